// Installing the screen saver and registering the applet through the application's launcher:
// what lands in the system directory, the registry and the copies' resources. Base names are
// this file's own; everything put into the system is removed again.
#include <windows.h>

#include <gtest/gtest.h>

#include "demo_app.h"
#include "harness/box_driver.h"
#include "platform/win_text.h"
#include "resources/resource_writer.h"
#include "resources/resources.h"
#include "test_language.h"

namespace tavrelo::standin::test {
namespace {

constexpr wchar_t kCategoryKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended Properties\\System.ControlPanel.Category";
constexpr wchar_t kXpKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended "
                             L"Properties\\{305CA226-D286-468e-B848-2B2E8E697B74} 2";

// The application's directory with its launcher, properties and the build under `base`.
struct Installation {
    Installation(std::string_view scenario, const char16_t* base, TextView build) : app(scenario), name(base) {
        EXPECT_TRUE(installLauncher(launcher(), u"Tavrelo.exe"));
        EXPECT_TRUE(installLauncher(app.dir / (name + Text(build)), u"Tavrelo" + Text(build)));
        EXPECT_TRUE(os::writeFile(app.dir / (name + u".properties"), "MainClass=demo.App\r\n"));
    }
    Text launcher() const { return app.dir / (name + u".exe"); }
    ProcessResult run(TextView arguments, BoxDriver* driver = nullptr) const {
        return runProcess(launcher(), arguments, app.dir.path(), 60000, driver);
    }
    DemoApp app;
    Text name;
};

// A resource of a file as text: a string (numbered type 6 is taken as string id) or a "BIN".
Text fileText(TextView file, int id, bool string) {
    HMODULE module = LoadLibraryExW(wc(Text(file).c_str()), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return u"(no file)";
    Text text = u"(none)";
    wchar_t buffer[1024] = {};
    if (string) {
        if (LoadStringW(module, static_cast<UINT>(id), buffer, 1024) > 0) text = tc(buffer);
    } else if (id == kBinScreenSaverSource) {
        text = embeddedScreenSaverSource(module);
    } else if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"BIN")) {
        text = tc(static_cast<const wchar_t*>(LockResource(LoadResource(module, found))));
    }
    FreeLibrary(module);
    return text;
}


TEST(ScreenSaverInstallEndToEnd, TheInstalledCopyRunsBesideItsApplicationAndAskedRemovalDeletesIt) {
    Installation app(R"(
class demo.App
  method main ([Ljava/lang/String;)V
  method scrsvPaint (Ljava/awt/Graphics2D;II)V
  method scrsvOpenConfig ()V
  method scrsvGetInfo ()[Ljava/lang/String;
    return ["Tavrelo test saver"]
)",
                     u"TavScrInstall", u".scr");
    const Text installed = systemFile(u"TavScrInstall.scr");
    DeleteFileW(wc(installed));
    ASSERT_TRUE(CopyFileW(wc((standinDirectory() + u"\\desk\\desk.cpl").c_str()), wc((app.app.dir / u"desk.cpl").c_str()),
                          FALSE));
    EXPECT_EQ(app.run(u"-installSCR __OpenDialog__").exitCode, 1u);
    std::string dialog;
    for (int i = 0; i < 100 && !os::readFile(app.app.dir / u"desk-record.txt", dialog); ++i) os::sleepMs(100);
    const Text selected(reinterpret_cast<const char16_t*>(dialog.data()), dialog.size() / 2);
    EXPECT_TRUE(equalsIgnoreCase(selected, installed)) << toUtf8(selected);
    EXPECT_EQ(fileText(installed, 1, true), u"Tavrelo test saver");
    EXPECT_EQ(fileText(installed, kBinScreenSaverSource, false), app.app.dir / u"TavScrInstall.scr");

    const ProcessResult configured = runProcess(installed, u"/c", systemFile(u""), 60000);
    EXPECT_EQ(configured.exitCode, 1u);
    EXPECT_EQ(app.app.calls("scrsvOpenConfig"), 1u) << app.app.log().text();

    BoxDriver driver({kIdYes});
    EXPECT_EQ(app.run(u"", &driver).exitCode, 1u);
    ASSERT_EQ(driver.boxes().size(), 1u);
    EXPECT_EQ(driver.boxes()[0].caption, u"ScreenSaver");
    EXPECT_FALSE(os::pathExists(installed));
    DeleteFileW(wc(installed));
}

TEST(ScreenSaverInstallEndToEnd, APreviewOfAnOlderInstalledCopyOffersToInstallThroughTheLauncher) {
    tavrelo::test::ScopedLanguage english(false);
    Installation app(R"(
class demo.App
  method main ([Ljava/lang/String;)V
  method scrsvPaint (Ljava/awt/Graphics2D;II)V
  method scrsvGetInfo ()[Ljava/lang/String;
    return ["Offered saver"]
)",
                     u"TavScrOffer", u".scr");
    // The launcher beside the source copy is a recorder of how it was started.
    ASSERT_TRUE(CopyFileW(wc((standinDirectory() + u"\\..\\tool_recorder.exe").c_str()), wc(app.launcher().c_str()), FALSE));
    const Text installed = systemFile(u"TavScrOffer.scr");
    ASSERT_TRUE(CopyFileW(wc((app.app.dir / u"TavScrOffer.scr").c_str()), wc(installed.c_str()), FALSE));
    {
        ResourceUpdate update(installed);
        ASSERT_TRUE(update.put(kStringResource, 1, stringBlockBytes({u"", u"Offered saver", u""})));
        ASSERT_TRUE(update.commit());
        HANDLE file = CreateFileW(wc(installed.c_str()), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME old{0, 0x01A00000}; // the same description, but older than the source copy
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
        CloseHandle(file);
    }
    BoxDriver driver({kIdYes});
    (void)runProcess(app.app.dir / u"TavScrOffer.scr", u"/p 1234567", app.app.dir.path(), 20000, &driver);
    std::string record;
    for (int i = 0; i < 100 && !os::readFile(app.app.dir / u"tool-record.txt", record); ++i) os::sleepMs(100);
    DeleteFileW(wc(installed.c_str()));
    // Wine's EndTask is a stub that stops the process with its own "Program Error" box after ours.
    ASSERT_GE(driver.boxes().size(), 1u);
    EXPECT_EQ(driver.boxes()[0].text, u"Do you want to install this program as ScreenSaver ?");
    const Text recorded(reinterpret_cast<const char16_t*>(record.data()), record.size() / 2);
    EXPECT_NE(recorded.find(u"-installSCR __OpenDialog__\n" + app.app.dir.path()), Text::npos) << toUtf8(recorded);
}

TEST(AppletRegistrationEndToEnd, CategoryFollowsTheWindowsVersionAndResourcesAreWritten) {
    Installation app(R"(
class demo.App
  method main ([Ljava/lang/String;)V
  method cplGetInfo ()[Ljava/lang/String;
    return ["TavCplRegister applet" "Demo tools" "7"]
)",
                     u"TavCplRegister", u".cpl");
    const Text applet = app.app.dir / u"TavCplRegister.cpl";
    const wchar_t* appDefaults = L"Software\\Wine\\AppDefaults\\TavCplRegister.exe";
    struct Case {
        const wchar_t* version;
        const wchar_t* key;
        DWORD type;
    };
    for (const Case& c : {Case{L"win7", kCategoryKey, REG_SZ}, Case{L"winxp", kXpKey, REG_SZ},
                          Case{L"win2003", kCategoryKey, REG_DWORD}}) {
        SCOPED_TRACE(toUtf8(tc(c.version)));
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, appDefaults, L"Version", REG_SZ, c.version,
                                  static_cast<DWORD>((wcslen(c.version) + 1) * 2)),
                  ERROR_SUCCESS);
        EXPECT_EQ(app.run(u"-installCPL").exitCode, 1u);
        wchar_t value[512] = {};
        DWORD size = sizeof value;
        EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kCplsKey, L"TavCplRegister applet", RRF_RT_REG_SZ, nullptr, value, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(Text(tc(value)), applet);
        DWORD type = 0;
        BYTE data[64] = {};
        size = sizeof data;
        EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, c.key, wc(applet), RRF_RT_ANY, &type, data, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(type == REG_DWORD ? fromInt(*reinterpret_cast<DWORD*>(data)) : Text(tc(reinterpret_cast<wchar_t*>(data))),
                  u"7");
        EXPECT_EQ(app.run(u"-installCPL").exitCode, 0u); // registered already: nothing changes

        EXPECT_EQ(fileText(applet, kBinAppletName, false), u"TavCplRegister applet");
        EXPECT_EQ(fileText(applet, kBinAppletDescription, false), u"Demo tools");
        EXPECT_EQ(fileText(applet, kBinAppletCategory, false), u"7");

        EXPECT_EQ(app.run(u"-deleteCPL").exitCode, 0u);
        EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, kCplsKey, L"TavCplRegister applet", RRF_RT_ANY, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, c.key, wc(applet), RRF_RT_ANY, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults);
    RegDeleteKeyW(HKEY_CURRENT_USER, appDefaults);
}

// Without an action flag the launcher asks, or lets cplIsCreate and cplIsDelete decide; without
// cplGetInfo the base name is the registration's name and nothing else is written.
TEST(AppletRegistrationEndToEnd, TheQuestionsOrTheApplicationsAnswersDecide) {
    tavrelo::test::ScopedLanguage english(false);
    Installation asked("class demo.App\n  method main ([Ljava/lang/String;)V\n", u"TavCplAsked", u".cpl");
    const Text applet = asked.app.dir / u"TavCplAsked.cpl";
    const auto registered = [](const wchar_t* name) {
        return RegGetValueW(HKEY_LOCAL_MACHINE, kCplsKey, name, RRF_RT_REG_SZ, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    };
    BoxDriver declined({kIdNo}), agreed({kIdYes}), removal({kIdYes});
    EXPECT_EQ(asked.run(u"", &declined).exitCode, 0u);
    EXPECT_FALSE(registered(L"TavCplAsked"));
    EXPECT_EQ(asked.run(u"", &agreed).exitCode, 1u);
    EXPECT_TRUE(registered(L"TavCplAsked"));
    EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, kCategoryKey, wc(applet), RRF_RT_ANY, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(fileText(applet, kBinAppletName, false), u"TavCplAsked");
    EXPECT_EQ(fileText(applet, kBinAppletDescription, false) + fileText(applet, kBinAppletCategory, false),
              u"(none)(none)");
    EXPECT_EQ(asked.run(u"", &removal).exitCode, 0u);
    EXPECT_FALSE(registered(L"TavCplAsked"));
    ASSERT_EQ(declined.boxes().size() + agreed.boxes().size() + removal.boxes().size(), 3u);
    EXPECT_EQ(agreed.boxes()[0].caption, u"Control Panel");
    EXPECT_EQ(agreed.boxes()[0].text, u"Do you want to install this program as ControlPanel ?");
    EXPECT_EQ(removal.boxes()[0].text, u"The ControlPanel has already installed.\nDo you want to delete it ?");

    Installation answering(R"(
class demo.App
  method main ([Ljava/lang/String;)V
  method cplIsCreate ()Z
    return true
  method cplIsDelete ()Z
    return false
)",
                           u"TavCplAnswers", u".cpl");
    BoxDriver none;
    EXPECT_EQ(answering.run(u"", &none).exitCode, 1u);
    EXPECT_TRUE(registered(L"TavCplAnswers"));
    EXPECT_EQ(answering.run(u"", &none).exitCode, 0u);
    EXPECT_TRUE(registered(L"TavCplAnswers")) << "cplIsDelete said no";
    EXPECT_TRUE(none.boxes().empty());
    EXPECT_EQ(answering.run(u"-deleteCPL").exitCode, 0u);
    EXPECT_FALSE(registered(L"TavCplAnswers"));
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kCplsKey, L"TavCplAsked");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kCplsKey, L"TavCplAnswers");
}

} // namespace
} // namespace tavrelo::standin::test
