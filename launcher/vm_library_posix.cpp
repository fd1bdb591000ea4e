#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

#include "launcher/java_runtime.h"
#include "platform/failure.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

// Current runtimes keep the library in lib/<vm>, JDK 8 in (jre/)lib/<arch>/<vm>; the client VM
// is preferred where both exist, as on Windows.
constexpr const char16_t* kCandidates[] = {
    u"jre/lib/amd64/client/libjvm.so",
    u"lib/amd64/client/libjvm.so",
    u"lib/client/libjvm.so",
    u"jre/lib/amd64/server/libjvm.so",
    u"lib/amd64/server/libjvm.so",
    u"lib/server/libjvm.so",
    u"lib/zero/libjvm.so",
    u"jre/lib/amd64/zero/libjvm.so",
};

#if defined(__x86_64__)
constexpr std::uint16_t kOwnMachine = 62; // EM_X86_64
#elif defined(__aarch64__)
constexpr std::uint16_t kOwnMachine = 183; // EM_AARCH64
#else
constexpr std::uint16_t kOwnMachine = 0;
#endif

} // namespace

std::optional<Text> findVmLibrary(TextView home) {
    for (const char16_t* candidate : kCandidates) {
        Text path(home);
        path.push_back(u'/');
        path += candidate;
        if (os::pathExists(path)) return path;
    }
    trace("no VM library (libjvm.so under lib/server, lib/client, lib/<arch>/... or jre/lib/...) in ", home);
    return std::nullopt;
}

bool isVmLibrary64(TextView libraryPath) {
    // The ELF identification and machine fields; the library itself is large.
    unsigned char header[20] = {};
    const int fd = ::open(toUtf8(libraryPath).c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd < 0 ? -1 : ::read(fd, header, sizeof header);
    if (got < 0) os::noteFailure("reading", libraryPath, os::lastError());
    if (fd >= 0) ::close(fd);
    if (got < 0) {
        traceFailure("VM library: ");
        return false;
    }
    if (got != static_cast<ssize_t>(sizeof header) || header[0] != 0x7F || header[1] != 'E' || header[2] != 'L' ||
        header[3] != 'F') {
        trace("VM library ", libraryPath, " is not a library: no ELF header");
        return false;
    }
    const bool wide = header[4] == 2;         // ELFCLASS64
    const bool littleEndian = header[5] == 1; // ELFDATA2LSB
    const std::uint16_t machine = littleEndian ? static_cast<std::uint16_t>(header[18] | (header[19] << 8))
                                               : static_cast<std::uint16_t>((header[18] << 8) | header[19]);
    if (wide && machine == kOwnMachine) return true;
    trace("VM library ", libraryPath, " is not a library for this machine: ", wide ? "64" : "32", "-bit, machine ",
          machine);
    return false;
}

bool loadVmLibrary(JavaRuntime& runtime, TextView libraryPath) {
    runtime.libraryPath = Text(libraryPath);
    runtime.binaryDirectory = binaryDirectoryOf(libraryPath);
    // Global, as the JDK's own launcher loads it: the runtime's other libraries bind to it.
    void* library = ::dlopen(toUtf8(libraryPath).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!library) {
        const char* reason = ::dlerror();
        trace("VM library ", libraryPath, " could not be loaded: ", reason ? reason : "no reason given");
        return false;
    }
    runtime.getDefaultArgs = ::dlsym(library, "JNI_GetDefaultJavaVMInitArgs");
    runtime.createVm = ::dlsym(library, "JNI_CreateJavaVM");
    runtime.getCreatedVms = ::dlsym(library, "JNI_GetCreatedJavaVMs");
    if (!runtime.getDefaultArgs || !runtime.createVm) {
        trace("VM library ", libraryPath, " lacks the entry point ",
              runtime.getDefaultArgs ? "JNI_CreateJavaVM" : "JNI_GetDefaultJavaVMInitArgs");
        ::dlclose(library);
        runtime.getDefaultArgs = runtime.createVm = runtime.getCreatedVms = nullptr;
        return false;
    }
    runtime.library = library;
    trace("VM library loaded: ", libraryPath);
    return true;
}

void freeVmLibrary(void* library) noexcept {
    if (library) ::dlclose(library);
}

} // namespace tavrelo
