#include <cstdint>
#include <cstring>

#include "launcher/java_runtime.h"
#include "resources/scramble.h"

namespace tavrelo {

namespace {

// The fixed VM option texts, kept scrambled in the binary like the other fixed texts of the
// launcher files, NUL included: "-Djava.class.path=", "-Dtavrelo.launcher=" (the launcher's
// directory), "-Djava.library.path=", "-dsa" and "exit" (the VM's exit hook, called from
// System.exit and from the VM's own ending on a signal or console event).
// The fourth slot holds a plain option that changes nothing (system assertions are off by
// default). It must not reduce the VM's signal use: the VM's own console-control and signal
// handlers are what run the application's shutdown hooks on Ctrl+C, a closed console, logoff,
// shutdown and SIGTERM; a service's VM still survives a user's logoff, as the VM ignores that
// event where the window station is not visible.
constexpr std::uint8_t kClassPath[] = {0xD3, 0x2D, 0x2D, 0x94, 0xD4, 0xC3, 0x2C, 0xDA, 0xE7, 0x87,
                                       0xFC, 0xC0, 0xDB, 0xC8, 0xD3, 0x84, 0xD1, 0xD6, 0xB8};
constexpr std::uint8_t kLauncherDirectory[] = {0x27, 0xD3, 0x2F, 0xD7, 0xDA, 0xDD, 0xD8, 0xD3, 0xE4, 0xA5,
                                               0x98, 0xE2, 0xCC, 0xD9, 0xCE, 0xC4, 0xDD, 0xDA, 0xC7, 0x98};
constexpr std::uint8_t kLibraryPath[] = {0x20, 0xDD, 0x2D, 0x22, 0x96, 0x2A, 0xDB, 0x2E, 0xD8, 0xE7, 0x97,
                                         0xFE, 0xC3, 0xD8, 0xCF, 0xD4, 0x87, 0xC5, 0xDA, 0xD3, 0xB9};
constexpr std::uint8_t kNoSystemAssertions[] = {0xDF, 0xC2, 0x98, 0xCF, 0xAB};
constexpr std::uint8_t kExitHook[] = {0xC9, 0xDF, 0xC0, 0xD3, 0xAB};

struct Plain {
    char classPath[sizeof kClassPath];
    char launcherDirectory[sizeof kLauncherDirectory];
    char libraryPath[sizeof kLibraryPath];
    char noSystemAssertions[sizeof kNoSystemAssertions];
    char exitHook[sizeof kExitHook];
};

template <std::size_t N> void unscrambleInto(char (&out)[N], const std::uint8_t (&scrambled)[N]) noexcept {
    std::uint8_t bytes[N];
    std::memcpy(bytes, scrambled, N);
    unscrambleBytes(bytes, N);
    std::memcpy(out, bytes, N);
    out[N - 1] = '\0';
}

Plain unscrambled() noexcept {
    Plain texts;
    unscrambleInto(texts.classPath, kClassPath);
    unscrambleInto(texts.launcherDirectory, kLauncherDirectory);
    unscrambleInto(texts.libraryPath, kLibraryPath);
    unscrambleInto(texts.noSystemAssertions, kNoSystemAssertions);
    unscrambleInto(texts.exitHook, kExitHook);
    return texts;
}

// Unscrambled once, on first use, by whichever thread comes first.
const Plain& plain() noexcept {
    static const Plain texts = unscrambled();
    return texts;
}

} // namespace

const char* fixedOption(FixedOption which) noexcept {
    const Plain& texts = plain();
    switch (which) {
    case FixedOption::ClassPath: return texts.classPath;
    case FixedOption::LauncherDirectory: return texts.launcherDirectory;
    case FixedOption::LibraryPath: return texts.libraryPath;
    case FixedOption::NoSystemAssertions: return texts.noSystemAssertions;
    case FixedOption::ExitHook: return texts.exitHook;
    }
    return "";
}

} // namespace tavrelo
