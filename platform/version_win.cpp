#include <windows.h>

#include "platform/system.h"
#include "platform/win_text.h"

namespace tavrelo {

VersionWord systemVersion() noexcept {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return VersionWord{static_cast<std::uint32_t>(GetVersion())};
#pragma GCC diagnostic pop
}

bool isWin9x() noexcept { return isWin9x(systemVersion()); }
bool isWindows2000() noexcept { return isWindows2000(systemVersion()); }
bool isWindowsXP() noexcept { return isWindowsXP(systemVersion()); }
bool isXPOrLater() noexcept { return isXPOrLater(systemVersion()); }

bool isVistaSP2OrLater() noexcept {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info; // 276 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info)) return false;
#pragma GCC diagnostic pop
    return isVistaSP2OrLater(info.dwMajorVersion, info.dwMinorVersion, tc(info.szCSDVersion));
}

} // namespace tavrelo
