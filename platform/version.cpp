#include "platform/system.h"

namespace tavrelo {

namespace {
bool isNt(VersionWord v) noexcept { return (v.raw & 0x80000000u) == 0; }
unsigned major(VersionWord v) noexcept { return v.raw & 0xFF; }
unsigned minor(VersionWord v) noexcept { return (v.raw >> 8) & 0xFF; }
} // namespace

bool isWin9x(VersionWord v) noexcept { return !isNt(v); }
bool isWindows2000(VersionWord v) noexcept { return isNt(v) && major(v) == 5 && minor(v) == 0; }
bool isWindowsXP(VersionWord v) noexcept { return isNt(v) && major(v) == 5 && minor(v) == 1; }
bool isXPOrLater(VersionWord v) noexcept { return isNt(v) && (major(v) > 5 || (major(v) == 5 && minor(v) != 0)); }

bool isVistaSP2OrLater(unsigned majorVersion, unsigned minorVersion, TextView servicePack) noexcept {
    if (majorVersion > 6) return true;
    if (majorVersion < 6) return false;
    if (minorVersion != 0) return true;
    // "Service Pack %d"; anything else reads as 0.
    constexpr TextView prefix = u"Service Pack ";
    int pack = 0;
    if (servicePack.substr(0, prefix.size()) == prefix) pack = toInt(servicePack.substr(prefix.size()));
    return pack >= 2;
}

} // namespace tavrelo
