// A stand-in runtime loaded into the test process: each instance installs its own jre copy, so
// every test gets a fresh library (and virtual machine) of its own.
#pragma once

#include <windows.h>

#include <jni.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "harness/standin.h"
#include "platform/win_text.h"
#include "test_support.h"

namespace tavrelo::standin::test {

using CreateFn = jint(JNICALL*)(JavaVM**, void**, void*);
using DefaultsFn = jint(JNICALL*)(void*);
using CreatedFn = jint(JNICALL*)(JavaVM**, jsize, jsize*);

template <class F>
F entryPoint(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

class LoadedRuntime {
public:
    explicit LoadedRuntime(std::string_view scenario, std::string_view layout = "jre") {
        home = dir / u"jre";
        EXPECT_TRUE(installJre(home, layout)) << "the stand-in jre layout is missing; is TAVRELO_STANDIN_DIR set?";
        EXPECT_TRUE(writeScenario(home, scenario));
        library = LoadLibraryW(wc(home + u"\\bin\\server\\jvm.dll"));
        EXPECT_NE(library, nullptr);
        create = entryPoint<CreateFn>(library, "JNI_CreateJavaVM");
        defaults = entryPoint<DefaultsFn>(library, "JNI_GetDefaultJavaVMInitArgs");
        created = entryPoint<CreatedFn>(library, "JNI_GetCreatedJavaVMs");
    }

    jint start(std::vector<std::string> options = {}, bool ignoreUnrecognized = true) {
        std::vector<JavaVMOption> raw;
        for (std::string& o : options) raw.push_back({o.data(), nullptr});
        JavaVMInitArgs args{JNI_VERSION_1_6, static_cast<jint>(raw.size()), raw.data(),
                            static_cast<jboolean>(ignoreUnrecognized ? JNI_TRUE : JNI_FALSE)};
        return create(&vm, reinterpret_cast<void**>(&env), &args);
    }

    [[nodiscard]] CallLog log() const { return CallLog::read(home); }
    [[nodiscard]] std::vector<std::string> errors() const { return log().errors(); }

    tavrelo::test::TempDir dir;
    Text home;
    HMODULE library = nullptr;
    CreateFn create = nullptr;
    DefaultsFn defaults = nullptr;
    CreatedFn created = nullptr;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
};

// The errors logged since `before` errors were there.
inline std::vector<std::string> errorsSince(const LoadedRuntime& runtime, std::size_t before) {
    std::vector<std::string> all = runtime.errors();
    return std::vector<std::string>(all.begin() + static_cast<long>(before < all.size() ? before : all.size()), all.end());
}

inline std::string javaString(JNIEnv* env, jstring s) {
    if (!s) return "<null>";
    const char* chars = env->GetStringUTFChars(s, nullptr);
    std::string out = chars;
    env->ReleaseStringUTFChars(s, chars);
    return out;
}

inline std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

} // namespace tavrelo::standin::test
