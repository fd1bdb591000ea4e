#include <gtest/gtest.h>

#include "desktop/desktop.h"

namespace tavrelo {
namespace {

constexpr int kCtrlC = 0, kCtrlClose = 2, kCtrlLogoff = 5, kCtrlShutdown = 6;

TEST(SystemEvents, ConsoleAnswerDecidesWhetherTheProcessEnds) {
    EXPECT_FALSE(consoleEventEndsProcess(kCtrlC, 0, false));
    EXPECT_TRUE(consoleEventEndsProcess(kCtrlC, 1, false));
    EXPECT_TRUE(consoleEventEndsProcess(kCtrlClose, -2, false));
    EXPECT_TRUE(consoleEventEndsProcess(kCtrlLogoff, 1, false));
    // A user's logoff is not the service's end, whatever the application answered.
    EXPECT_FALSE(consoleEventEndsProcess(kCtrlLogoff, 1, true));
    EXPECT_TRUE(consoleEventEndsProcess(kCtrlShutdown, 1, true));
    EXPECT_FALSE(consoleEventEndsProcess(kCtrlShutdown, 0, true));
}

TEST(SystemEvents, OldPowerRequestsBecomeTheirBroadcasts) {
    const auto suspend = translateOldPowerRequest(1);
    ASSERT_TRUE(suspend);
    EXPECT_EQ(suspend->wParam, 0); // the suspend query
    EXPECT_EQ(suspend->lParam, 1);
    EXPECT_EQ(translateOldPowerRequest(2)->wParam, 7);
    EXPECT_EQ(translateOldPowerRequest(3)->wParam, 6);
    EXPECT_FALSE(translateOldPowerRequest(0));
    EXPECT_FALSE(translateOldPowerRequest(4));
}

} // namespace
} // namespace tavrelo
