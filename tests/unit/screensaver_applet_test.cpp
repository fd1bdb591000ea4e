#include <gtest/gtest.h>

#include "applet/applet.h"
#include "screensaver/screensaver.h"

namespace tavrelo {
namespace {

using Elements = std::vector<std::optional<Text>>;

TEST(ScreenSaverRules, ArgumentLineGivesModeAndPreviewWindow) {
    const auto mode = [](TextView line) { return parseScreenSaverArguments(line).mode; };
    EXPECT_EQ(mode(u"/s"), ScreenSaverMode::FullScreen);
    EXPECT_EQ(mode(u"/S"), ScreenSaverMode::FullScreen);
    EXPECT_EQ(mode(u"/c:1234"), ScreenSaverMode::Configure);
    EXPECT_EQ(mode(u""), ScreenSaverMode::Configure);
    EXPECT_EQ(mode(u"/x"), ScreenSaverMode::None);
    for (TextView line : {TextView(u"/p 4321"), TextView(u"/P:4321")}) {
        EXPECT_EQ(parseScreenSaverArguments(line).mode, ScreenSaverMode::Preview);
        EXPECT_EQ(parseScreenSaverArguments(line).previewParent, 4321u);
    }
}

TEST(ScreenSaverRules, InformationDefaultsAndLimits) {
    const ScreenSaverInfo full = screenSaverInfoFrom(Elements{u"Demo", u"TRUE", u"0", u"50"});
    EXPECT_EQ(full.description, u"Demo");
    EXPECT_TRUE(full.captureScreen);
    EXPECT_FALSE(full.showCursor);
    EXPECT_EQ(full.periodMs, 100u);
    const ScreenSaverInfo none = screenSaverInfoFrom(std::nullopt);
    EXPECT_FALSE(none.captureScreen);
    EXPECT_EQ(none.periodMs, 1000u);
    EXPECT_EQ(screenSaverInfoFrom(Elements{std::nullopt, u"1", u"1", u""}).periodMs, 1000u);
    EXPECT_EQ(screenSaverInfoFrom(Elements{u"", u"no", u"no", u"x"}).periodMs, 100u);
    EXPECT_EQ(screenSaverInfoFrom(Elements{u"", u"", u"", u"250"}).periodMs, 250u);
}

TEST(ScreenSaverRules, KeysAndMovesEndItOnlyAsTheApplicationChose) {
    using enum InputDecision;
    EXPECT_EQ(keyDecision(false, false), Finish);
    EXPECT_EQ(keyDecision(false, true), Ignore);
    EXPECT_EQ(keyDecision(true, false), AskApplication);

    int x = -1, y = -1;
    EXPECT_EQ(mouseDecision(false, false, 5, 6, 0, 0, x, y), Ignore); // the first move is only recorded
    EXPECT_EQ(x, 5);
    EXPECT_EQ(mouseDecision(false, false, 5, 6, 0, 0, x, y), Ignore); // same point
    EXPECT_EQ(mouseDecision(false, false, 7, 6, 0, 0, x, y), Finish);
    EXPECT_EQ(mouseDecision(true, false, 9, 9, 0, 0, x, y), Ignore); // only keys end it
    EXPECT_EQ(mouseDecision(false, true, 9, 9, 1, 1, x, y), AskApplication); // a press, same point
}

TEST(ScreenSaverRules, FullScreenCoversTheVirtualScreenFromItsOrigin) {
    const ScreenArea left = screenSaverArea(false, {-1280, -200, 2560, 1224}, {0, 0, 1280, 1024});
    EXPECT_EQ(left.x, -1280);
    EXPECT_EQ(left.y, -200);
    EXPECT_EQ(left.width, 2560);
    const ScreenArea preview = screenSaverArea(true, {-1280, -200, 2560, 1224}, {0, 0, 1280, 1024});
    EXPECT_EQ(preview.width, 1280);
}

TEST(AppletRules, CategoryPlacePerWindowsVersion) {
    const VersionWord xp{0x0A280105}, vista{0x17700006}, seven{0x1DB10106};
    EXPECT_EQ(categoryPlaceFor(xp, 5, 1, u"Service Pack 3"), CategoryPlace::XpKey);
    EXPECT_EQ(categoryPlaceFor(vista, 6, 0, u""), CategoryPlace::CategoryNumber);
    EXPECT_EQ(categoryPlaceFor(vista, 6, 0, u"Service Pack 2"), CategoryPlace::CategoryText);
    EXPECT_EQ(categoryPlaceFor(seven, 6, 1, u""), CategoryPlace::CategoryText);
}

TEST(AppletRules, InformationHostAndFields) {
    EXPECT_EQ(controlPanelInfoFrom(true, std::nullopt).category, Text(u"0"));
    EXPECT_FALSE(controlPanelInfoFrom(false, std::nullopt).category);
    const ControlPanelInfo info = controlPanelInfoFrom(true, Elements{u"Demo", std::nullopt, u"7"});
    EXPECT_EQ(info.name, Text(u"Demo"));
    EXPECT_FALSE(info.description);
    EXPECT_EQ(info.category, Text(u"7"));

    EXPECT_TRUE(isExplorerImage(u"C:\\Windows\\Explorer.EXE"));
    EXPECT_FALSE(isExplorerImage(u"C:\\Windows\\System32\\rundll32.exe"));
    EXPECT_FALSE(isExplorerImage(u"C:\\Tools\\myexplorer.exe"));
    EXPECT_EQ(fitField(Text(40, u'n'), 32).size(), 31u);
}

} // namespace
} // namespace tavrelo
