#include <gtest/gtest.h>

#include "platform/system.h"

namespace tavrelo {
namespace {

constexpr VersionWord nt(unsigned major, unsigned minor) { return VersionWord{major | (minor << 8)}; }

TEST(WindowsVersion, ClassifiesTheVersionWord) {
    EXPECT_TRUE(isWin9x(VersionWord{0x80000004u | (10u << 8)}));
    EXPECT_FALSE(isXPOrLater(VersionWord{0x80000005u | (1u << 8)}));
    EXPECT_TRUE(isWindows2000(nt(5, 0)));
    EXPECT_FALSE(isXPOrLater(nt(5, 0)));
    EXPECT_TRUE(isWindowsXP(nt(5, 1)));
    EXPECT_TRUE(isXPOrLater(nt(5, 2)));
    EXPECT_FALSE(isWindowsXP(nt(5, 2)));
    EXPECT_TRUE(isXPOrLater(nt(10, 0)));
    EXPECT_FALSE(isWin9x(nt(10, 0)));
    EXPECT_FALSE(isXPOrLater(nt(4, 0)));
}

TEST(WindowsVersion, VistaServicePackTwoOrLater) {
    EXPECT_TRUE(isVistaSP2OrLater(10, 0, u""));
    EXPECT_TRUE(isVistaSP2OrLater(6, 1, u""));
    EXPECT_FALSE(isVistaSP2OrLater(6, 0, u""));
    EXPECT_FALSE(isVistaSP2OrLater(6, 0, u"Service Pack 1"));
    EXPECT_TRUE(isVistaSP2OrLater(6, 0, u"Service Pack 2"));
    EXPECT_FALSE(isVistaSP2OrLater(6, 0, u"Service Pack x"));
    EXPECT_FALSE(isVistaSP2OrLater(5, 1, u"Service Pack 3"));
}

} // namespace
} // namespace tavrelo
