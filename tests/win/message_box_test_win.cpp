#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <thread>

#include "platform/messages.h"
#include "test_language.h"

namespace tavrelo {
namespace {

// Finds the box this process shows, records what it says, and presses a button.
struct BoxReport {
    std::wstring caption;
    std::wstring text;
    bool found = false;
};

BOOL CALLBACK collectStatic(HWND child, LPARAM context) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (lstrcmpiW(className, L"Static") == 0) {
        wchar_t text[4096] = {};
        GetWindowTextW(child, text, 4096);
        if (text[0]) reinterpret_cast<BoxReport*>(context)->text = text;
    }
    return TRUE;
}

std::thread answerBox(const wchar_t* caption, WPARAM button, BoxReport& report) {
    return std::thread([caption, button, &report] {
        for (int i = 0; i < 200 && !report.found; ++i) {
            HWND box = FindWindowW(L"#32770", caption);
            if (box && IsWindowVisible(box)) {
                Sleep(100); // let the box finish its set-up before it is read
                report.found = true;
                wchar_t title[256] = {};
                GetWindowTextW(box, title, 256);
                report.caption = title;
                EnumChildWindows(box, &collectStatic, reinterpret_cast<LPARAM>(&report));
                PostMessageW(box, WM_COMMAND, button, 0);
                return;
            }
            Sleep(50);
        }
    });
}

TEST(SystemMessageBox, RealBoxIsTopmostWithTheTableTextAndAnswers) {
    test::ScopedLanguage english(false);
    BoxReport report;
    std::thread driver = answerBox(L"Windows Service", IDYES, report);
    const bool yes = showMessage(9, kBoxYesNo | kBoxQuestion);
    driver.join();
    ASSERT_TRUE(report.found);
    EXPECT_TRUE(yes);
    EXPECT_EQ(report.text, L"Do you want to install this program as Windows service ?");
    // The topmost request itself is checked on the presenter: wine does not reflect MB_TOPMOST
    // in the box's extended style, so it cannot be read back here.

    BoxReport declined;
    driver = answerBox(L"Windows Service", IDNO, declined);
    EXPECT_FALSE(showMessage(9, kBoxYesNo | kBoxQuestion));
    driver.join();
    EXPECT_TRUE(declined.found);
}

TEST(SystemMessageBox, FrenchBoxAndSystemErrorBox) {
    test::ScopedLanguage french(true);
    BoxReport report;
    std::thread driver = answerBox(L"Service Windows", IDNO, report);
    EXPECT_FALSE(showMessage(9, kBoxYesNo | kBoxQuestion));
    driver.join();
    ASSERT_TRUE(report.found);
    EXPECT_EQ(report.text, L"Voulez-vous installer l'application en tant que service Windows ?");

    BoxReport error;
    driver = answerBox(L"System", IDOK, error);
    showSystemError(5);
    driver.join();
    ASSERT_TRUE(error.found);
    EXPECT_EQ(error.caption, L"System");
    // The box shows what the system itself says for the code (line ends aside).
    std::wstring expected(reinterpret_cast<const wchar_t*>(test::systemTextOf(5).c_str()));
    while (!expected.empty() && iswspace(expected.back())) expected.pop_back();
    std::wstring shown = error.text;
    while (!shown.empty() && iswspace(shown.back())) shown.pop_back();
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(shown, expected);
}

} // namespace
} // namespace tavrelo
