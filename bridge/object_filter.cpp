#include "bridge/object_filter.h"

#include <atomic>
#include <cstdio>

#include "bridge/bridge.h"

namespace tavrelo {

namespace {

// Where the filter API lives: java.io from feature release 9, sun.misc in the updates of 8
// that have it.
enum class FilterApi { none, javaIo, sunMisc };

constexpr char kJavaIoConfig[] = "java.io.ObjectInputFilter$Config";
constexpr char kSunMiscConfig[] = "sun.misc.ObjectInputFilter$Config";

FilterApi findFilterApi() noexcept {
    if (findJavaClass(kJavaIoConfig)) return FilterApi::javaIo;
    if (findJavaClass(kSunMiscConfig)) return FilterApi::sunMisc;
    return FilterApi::none;
}

FilterApi filterApi() noexcept {
    static const FilterApi api = findFilterApi(); // the runtime does not change
    return api;
}

std::string systemProperty(const char* key) noexcept {
    LocalRef<jstring> name(toJavaStringUtf(key));
    const LocalRef<jstring> value = localAs<jstring>(callMethodObject(
        "java.lang.System", nullptr, "getProperty", "java.lang.String", "Ljava/lang/String;", name.get()));
    return value ? fromJavaStringUtf(value.get()) : std::string();
}

void tellRefusedPatternOnce() noexcept {
    static std::atomic<bool> told{false};
    if (told.exchange(true)) return;
    std::fputs("tavrelo.serialFilter is not a valid filter pattern: objects from other processes are not read\n",
               stderr);
}

} // namespace

std::string defaultObjectFilter(const std::string& mainClass) {
    std::string pattern = "maxdepth=64;maxrefs=1000000;maxbytes=16777216;maxarray=16777216;"
                          "java.lang.*;java.util.*;java.time.*;java.math.*;";
    std::string dotted = mainClass;
    for (char& c : dotted)
        if (c == '/') c = '.';
    const std::size_t lastDot = dotted.rfind('.');
    if (lastDot != std::string::npos && lastDot > 0)
        pattern += dotted.substr(0, lastDot) + ".**;";
    else if (!dotted.empty() && lastDot == std::string::npos)
        pattern += dotted + ";" + dotted + "$*;";
    return pattern + "!*";
}

bool filterObjectStream(JNIEnv* env, jobject stream) noexcept {
    if (!env || !stream) return false;
    const FilterApi api = filterApi();
    if (api == FilterApi::none) return false;
    const bool javaIo = api == FilterApi::javaIo;
    const char* config = javaIo ? kJavaIoConfig : kSunMiscConfig;
    const char* filterType = javaIo ? "java.io.ObjectInputFilter" : "sun.misc.ObjectInputFilter";
    try {
        std::string pattern = systemProperty("tavrelo.serialFilter");
        const bool configured = !pattern.empty();
        if (!configured) {
            if (callMethodObject(config, nullptr, "getSerialFilter", filterType, nullptr))
                return true; // the process-wide filter is the stream's already
            pattern = defaultObjectFilter(mainClassName());
        }
        LocalRef<jstring> text(toJavaStringUtf(pattern.c_str()));
        LocalRef<jobject> filter(
            callMethodObject(config, nullptr, "createFilter", filterType, "Ljava/lang/String;", text.get()));
        if (!filter) {
            if (configured) tellRefusedPatternOnce();
            return false;
        }
        LocalRef<jclass> owner(findJavaClass(javaIo ? "java.io.ObjectInputStream" : config));
        if (!owner) return false;
        const jmethodID set =
            javaIo ? env->GetMethodID(owner.get(), "setObjectInputFilter", "(Ljava/io/ObjectInputFilter;)V")
                   : env->GetStaticMethodID(owner.get(), "setObjectInputFilter",
                                            "(Ljava/io/ObjectInputStream;Lsun/misc/ObjectInputFilter;)V");
        if (!set) {
            clearJavaException(env);
            return false;
        }
        if (javaIo)
            env->CallVoidMethod(stream, set, filter.get());
        else
            env->CallStaticVoidMethod(owner.get(), set, stream, filter.get());
        return !clearJavaException(env);
    } catch (...) {
        return false;
    }
}

} // namespace tavrelo
