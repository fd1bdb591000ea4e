#include <gtest/gtest.h>

#include "desktop/desktop.h"

namespace tavrelo {
namespace {

constexpr int kCtrlC = 0, kCtrlBreak = 1, kCtrlClose = 2, kCtrlLogoff = 5, kCtrlShutdown = 6;
using enum ConsoleOutcome;

TEST(SystemEvents, ConsoleAnswerDecidesWhetherTheProcessEnds) {
    EXPECT_EQ(consoleEventOutcome(kCtrlC, 0, false), Handled);
    EXPECT_EQ(consoleEventOutcome(kCtrlC, 1, false), Ending);
    EXPECT_EQ(consoleEventOutcome(kCtrlClose, -2, false), Ending);
    EXPECT_EQ(consoleEventOutcome(kCtrlLogoff, 1, false), Ending);
    // The VM only prints its threads for Ctrl+Break: the launcher is not ending.
    EXPECT_EQ(consoleEventOutcome(kCtrlBreak, 1, false), PassOn);
    EXPECT_EQ(consoleEventOutcome(kCtrlBreak, 0, false), Handled);
    // A user's logoff is not the service's end, whatever the application answered.
    EXPECT_EQ(consoleEventOutcome(kCtrlLogoff, 1, true), Handled);
    EXPECT_EQ(consoleEventOutcome(kCtrlShutdown, 1, true), Ending);
    EXPECT_EQ(consoleEventOutcome(kCtrlShutdown, 0, true), Handled);
}

TEST(SystemEvents, ScreenSaverIsToldOnlyWhenItsStateChanges) {
    int last = -1;
    EXPECT_FALSE(screenSaverChanged(last, false)); // off at the first poll is no news
    EXPECT_FALSE(screenSaverChanged(last, false));
    EXPECT_TRUE(screenSaverChanged(last, true));
    EXPECT_FALSE(screenSaverChanged(last, true));
    EXPECT_TRUE(screenSaverChanged(last, false));
    int unknown = -1;
    EXPECT_TRUE(screenSaverChanged(unknown, true)); // already running at the first poll
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
