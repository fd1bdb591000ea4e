#include <windows.h>

#include <string>

#include "launcher/java_runtime.h"
#include "platform/handles.h"
#include "platform/os.h"
#include "platform/system.h"
#include "platform/trace.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

constexpr const char16_t* kVmKinds[] = {u"bin\\client\\jvm.dll", u"bin\\server\\jvm.dll", u"bin\\classic\\jvm.dll",
                                        u"bin\\hotspot\\jvm.dll"};

// A string of the resource's StringFileInfo, or absent.
std::optional<Text> versionString(std::string& resource, TextView block) {
    const void* value = nullptr;
    unsigned units = 0;
    if (!versionValue(resource, block, value, units)) return std::nullopt;
    const auto* text = static_cast<const char16_t*>(value);
    std::size_t length = 0;
    while (length < units && text[length])
        ++length;
    return Text(text, length);
}

// "%04x".
void appendHex4(Text& out, WORD value) {
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(u"0123456789abcdef"[(value >> shift) & 0xF]);
}

} // namespace

std::optional<Text> findVmLibrary(TextView home) {
    for (const char16_t* kind : kVmKinds) {
        for (const char16_t* prefix : {u"jre\\", u""}) {
            Text path(home);
            path += u'\\';
            path += prefix;
            path += kind;
            if (os::pathExists(path)) return path;
        }
    }
    trace("no VM library (jvm.dll under bin\\client, server, classic or hotspot, or jre\\bin\\...) in ", home);
    return std::nullopt;
}

bool isVmLibrary64(TextView libraryPath) {
    std::string resource = fileVersionResource(libraryPath);
    const void* translation = nullptr;
    unsigned bytes = 0;
    if (!versionValue(resource, u"\\VarFileInfo\\Translation", translation, bytes) || bytes < 4) return false;
    const auto* pair = static_cast<const WORD*>(translation);
    Text block = u"\\StringFileInfo\\";
    appendHex4(block, pair[0]);
    appendHex4(block, pair[1]);
    block += u"\\FileDescription";
    const auto description = versionString(resource, block);
    const bool wide = description && description->find(u"64") != Text::npos;
    if (!wide)
        trace("VM library ", libraryPath, " is not a 64-bit library: its description is \"",
              description ? *description : Text(u"(none)"), "\"");
    return wide;
}

RuntimeVersion readRuntimeVersion(TextView home) {
    std::string resource = fileVersionResource(Text(home) + u"\\bin\\java.exe");
    if (const auto full = versionString(resource, u"\\StringFileInfo\\000004b0\\Full Version")) {
        const RuntimeVersion version = parseRuntimeVersion(*full);
        if (version.major >= 0) return version;
    }
    return releaseFileVersion(home);
}

bool loadVmLibrary(JavaRuntime& runtime, TextView libraryPath) {
    runtime.libraryPath = Text(libraryPath);
    runtime.binaryDirectory = binaryDirectoryOf(libraryPath);
    // The library's own dependencies lie in its directory and the runtime's binary directory,
    // not beside us.
    ModuleHandle library;
    if (hasSetDllDirectory()) {
        setDllDirectory(runtime.binaryDirectory);
        library.reset(static_cast<HMODULE>(loadLibraryWithItsDirectory(runtime.libraryPath)));
    } else {
        const Text saved = os::currentDirectory();
        (void)os::setCurrentDirectory(runtime.binaryDirectory);
        library.reset(LoadLibraryW(wc(runtime.libraryPath)));
        (void)os::setCurrentDirectory(saved);
    }
    if (!library) {
        const DWORD error = GetLastError();
        trace("VM library ", runtime.libraryPath, " could not be loaded: ", errorReason(error));
        return false;
    }
    // Each required entry point, or the reason it is not there.
    const auto required = [&](const char* name) -> void* {
        void* address = reinterpret_cast<void*>(GetProcAddress(library.get(), name));
        if (!address)
            trace("VM library ", runtime.libraryPath, " lacks the entry point ", name, ": ",
                  errorReason(GetLastError()));
        return address;
    };
    void* getDefaultArgs = required("JNI_GetDefaultJavaVMInitArgs");
    void* createVm = getDefaultArgs ? required("JNI_CreateJavaVM") : nullptr;
    if (!getDefaultArgs || !createVm) { // the library is freed on the way out
        runtime.getDefaultArgs = runtime.createVm = runtime.getCreatedVms = nullptr;
        return false;
    }
    runtime.getDefaultArgs = getDefaultArgs;
    runtime.createVm = createVm;
    runtime.getCreatedVms = reinterpret_cast<void*>(GetProcAddress(library.get(), "JNI_GetCreatedJavaVMs"));
    runtime.library = library.release();
    trace("VM library loaded: ", runtime.libraryPath);
    return true;
}

void freeVmLibrary(void* library) noexcept {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace tavrelo
