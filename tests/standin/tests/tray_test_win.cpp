// The tray's readings of the application's answers and the native menu built from its rows,
// against the stand-in runtime loaded into this process.
#include "desktop/tray.h"
#include "launcher/java_runtime.h"
#include "runtime_support.h"

namespace tavrelo::standin::test {
namespace {

std::string scenario() {
    const std::string rows = R"([["10" "Open"] ["20" "Tools"] ["30" "Admin" "0" "268435456"] ["0" "" "2048"] )"
                             R"(["40" "Pick" "512" "8"]])";
    const auto text = [](std::size_t length) { return "\"" + std::string(length, 'a') + "\""; };
    return "class demo.App\n"
           "  method taskGetInfo ()[Ljava/lang/String;\n"
           "    return sequence [" + text(200) + " \"x\" \"5\" null] null\n"
           "  method taskGetMenu (ZI)[[Ljava/lang/String;\n"
           "    return sequence " + rows + " null [] null null\n"
           "  method taskGetDefaultMenuID (Z)I\n"
           "    return 10\n"
           "  method taskGetBalloonInfo ()[Ljava/lang/String;\n"
           "    return sequence [\"\" \"Hi\" \"2\" \"5\"] [" + text(64) + " " + text(256) + " \"1\"] [\"T\" " +
           text(255) + "]\n";
}

struct Item {
    MENUITEMINFOW info{};
    wchar_t label[32]{};
};

Item item(HMENU menu, UINT position) {
    Item read;
    read.info.cbSize = sizeof read.info;
    read.info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
    read.info.dwTypeData = read.label;
    read.info.cch = 32;
    EXPECT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &read.info));
    return read;
}

TEST(TrayOnStandin, AnswersAreReadWithinTheirLimitsAndRowsBecomeTheMenu) {
    LoadedRuntime rt(scenario());
    ASSERT_EQ(rt.start(), JNI_OK);
    javaRuntime().vm.store(rt.vm);
    ASSERT_TRUE(bindTaskbar("demo.App"));

    const TrayInfo info = taskGetInfo();
    EXPECT_EQ(info.tooltip, Text(127, u'a'));
    EXPECT_EQ(info.action(true, false), 0); // unparsable
    EXPECT_EQ(info.action(true, true), 5);
    EXPECT_EQ(info.action(false, false), 0);
    EXPECT_EQ(info.action(false, true), kTrayDefaultItem); // missing: the default
    EXPECT_EQ(taskGetInfo().action(true, false), kTrayShowMenu);

    const BalloonInfo warning = taskGetBalloonInfo();
    EXPECT_EQ(warning.title, u" "); // an icon needs a title to show
    EXPECT_EQ(warning.text, u"Hi");
    EXPECT_EQ(warning.iconType, 2u);
    EXPECT_EQ(warning.timeoutMs, 5000u);
    const BalloonInfo tooLong = taskGetBalloonInfo();
    EXPECT_EQ(tooLong.title, u" ");
    EXPECT_EQ(tooLong.text, u"");
    EXPECT_EQ(taskGetBalloonInfo().text.size(), 255u);

    const HMENU menu = static_cast<HMENU>(buildTrayMenu(true, false));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 5);
    const Item open = item(menu, 0);
    EXPECT_EQ(Text(tc(open.label)), u"Open");
    EXPECT_EQ(open.info.wID, 10u);
    EXPECT_EQ(open.info.fState & MFS_DEFAULT, static_cast<UINT>(MFS_DEFAULT));
    EXPECT_EQ(open.info.hSubMenu, nullptr); // null rows: a plain item
    const Item tools = item(menu, 1);
    ASSERT_NE(tools.info.hSubMenu, nullptr); // empty rows: an empty submenu
    EXPECT_EQ(GetMenuItemCount(tools.info.hSubMenu), 0);
    EXPECT_EQ(item(menu, 2).info.fState & kMenuStateNeedsAdmin, 0u);
    EXPECT_EQ(item(menu, 3).info.fType & MFT_SEPARATOR, static_cast<UINT>(MFT_SEPARATOR));
    const Item pick = item(menu, 4);
    EXPECT_EQ(pick.info.fType & MFT_RADIOCHECK, static_cast<UINT>(MFT_RADIOCHECK));
    EXPECT_EQ(pick.info.fState & MFS_CHECKED, static_cast<UINT>(MFS_CHECKED));
    DestroyMenu(menu);
    // A separator's id 0 asks for nothing; every other item asks once for its submenu.
    EXPECT_EQ(rt.log().find("call", "taskGetMenu(ZI)[[Ljava/lang/String; (true, ").size(), 5u) << rt.log().text();
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
    javaRuntime().vm.store(nullptr);
}

TEST(TrayShield, IconIsComposedOnTheMenuColour) {
    // Left half transparent, right half opaque red.
    BYTE mask[16 * 2];
    for (int row = 0; row < 16; ++row) mask[row * 2] = 0xFF, mask[row * 2 + 1] = 0x00;
    DWORD colours[16 * 16];
    for (DWORD& pixel : colours) pixel = 0x00FF0000;
    ICONINFO parts{TRUE, 0, 0, CreateBitmap(16, 16, 1, 1, mask), CreateBitmap(16, 16, 1, 32, colours)};
    const HICON icon = CreateIconIndirect(&parts);
    ASSERT_NE(icon, nullptr);
    const HBITMAP shield = static_cast<HBITMAP>(composeShield(icon));
    ASSERT_NE(shield, nullptr);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD pixels[16 * 16] = {};
    const HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDIBits(screen, shield, 0, 16, pixels, &format, DIB_RGB_COLORS), 16);
    ReleaseDC(nullptr, screen);
    const COLORREF menu = GetSysColor(COLOR_MENU);
    EXPECT_EQ(pixels[5 * 16 + 2] & 0xFFFFFF, static_cast<DWORD>(RGB(GetBValue(menu), GetGValue(menu), GetRValue(menu))));
    EXPECT_EQ(pixels[5 * 16 + 12] & 0xFFFFFF, 0x00FF0000u);
    EXPECT_EQ(composeShield(nullptr), nullptr);
    DeleteObject(shield);
    DestroyIcon(icon);
    DeleteObject(parts.hbmMask);
    DeleteObject(parts.hbmColor);
}

} // namespace
} // namespace tavrelo::standin::test
