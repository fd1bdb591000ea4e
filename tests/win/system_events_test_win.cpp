#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include "desktop/desktop.h"

namespace tavrelo {
namespace {

// An address from another process: reading through it here would crash the test.
constexpr std::intptr_t kForeignAddress = 0x10;

TEST(RelayedSystemEvents, AddressesFromAnotherProcessAreNeverRead) {
    // Without a VM the application cannot answer, which counts as 1; plain values still pass.
    EXPECT_EQ(dispatchSystemEvent(WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768)), 1);
    EXPECT_EQ(dispatchSystemEvent(WM_DEVMODECHANGE, 0, kForeignAddress), kAnswerDefault);
    EXPECT_EQ(dispatchSystemEvent(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, kForeignAddress), 1);
    EXPECT_EQ(dispatchSystemEvent(WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, kForeignAddress), 1);
    EXPECT_EQ(dispatchSystemEvent(WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kForeignAddress), kAnswerDefault);
}

} // namespace
} // namespace tavrelo
