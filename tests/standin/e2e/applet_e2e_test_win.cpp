// The applet build end to end: Demo.cpl beside the application, loaded by a host program of ours
// that sends one opening's messages, and by the same host named explorer.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include "demo_app.h"
#include "test_process.h"
#include "resources/resource_writer.h"
#include "resources/resources.h"

namespace tavrelo::standin::test {
namespace {

std::string bytesOf(TextView text) {
    return std::string(reinterpret_cast<const char*>(text.data()), (text.size() + 1) * sizeof(char16_t));
}

// Demo.cpl beside the application, with the name and tip an installation writes.
struct AppletDirectory {
    AppletDirectory(std::string_view scenario, TextView name, TextView tip) : app(scenario, u"Tavrelo_console.exe", "MainArgs=-x\r\n") {
        EXPECT_TRUE(installLauncher(applet, u"Tavrelo.cpl"));
        if (name.empty()) return;
        ResourceUpdate update(applet);
        EXPECT_TRUE(update.put(kBinResource, kBinAppletName, bytesOf(name)));
        EXPECT_TRUE(update.put(kBinResource, kBinAppletDescription, bytesOf(tip)));
        EXPECT_TRUE(update.commit());
    }
    ProcessResult host(TextView program = helperProgram(u"standin_cpl_host.exe")) const {
        return runProcess(program, u"\"" + applet + u"\"", app.dir.path(), 60000);
    }
    DemoApp app;
    Text applet = app.dir / u"Demo.cpl";
};

TEST(AppletEndToEnd, AnOpeningInTheHostRunsCplOpenOnItsThreadAndEndsTheVm) {
    const Text longName = u"Applet name of forty characters, exactly";
    ASSERT_EQ(longName.size(), 40u);
    AppletDirectory dir(R"(
class demo.App
  method main ([Ljava/lang/String;)V
  method cplOpen ()V
  method taskGetInfo ()[Ljava/lang/String;
    return ["Demo"]
)",
                        longName, u" Demo tools ");
    const ProcessResult r = dir.host();
    EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
    for (const char* expected :
         {"init 1 count 1\n", "inquire 0 size 20 icon 1 name 0 info 0 data 0\n", "newinquire 0 size 476 icon 1\n",
          "name Applet name of forty characters\n", "tip Demo tools\n", "dblclk 0\n", "stop 0 exit 0\n",
          "loaded after free 1\nalive\n"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    const CallLog log = dir.app.log();
    const auto opened = log.find("call", "demo.App.cplOpen");
    ASSERT_EQ(opened.size(), 1u) << log.text();
    EXPECT_EQ(opened[0].thread, "main"); // the thread that sent CPL_INIT made the VM
    EXPECT_FALSE(log.has("call", "demo.App.main"));
    EXPECT_TRUE(log.has("call", "demo.App.taskGetInfo")) << log.text(); // the desktop thread ran
    EXPECT_TRUE(log.has("destroy"));
    EXPECT_EQ(log.errors(), std::vector<std::string>{});

    // The system's own host runs the same opening.
    ASSERT_TRUE(DeleteFileW(reinterpret_cast<const wchar_t*>((dir.app.dir / u"jre/standin.log").c_str())));
    EXPECT_EQ(dir.host(systemFile(u"control.exe")).exitCode, 0u);
    EXPECT_EQ(dir.app.calls("demo.App.cplOpen"), 1u) << dir.app.log().text();
    EXPECT_TRUE(dir.app.log().has("destroy"));
}

TEST(AppletEndToEnd, WithoutCplOpenMainRunsAndExplorerOnlyListsTheApplet) {
    AppletDirectory dir(R"(
class demo.App
  method main ([Ljava/lang/String;)V
)",
                        u"", u"");
    const ProcessResult opened = dir.host();
    EXPECT_EQ(opened.exitCode, 0u) << opened.out;
    EXPECT_TRUE(dir.app.log().has("call", "demo.App.main([Ljava/lang/String;)V ([\"-x\"])")) << dir.app.log().text();

    ASSERT_TRUE(DeleteFileW(reinterpret_cast<const wchar_t*>((dir.app.dir / u"jre/standin.log").c_str())));
    const Text explorer = dir.app.dir / u"explorer.exe";
    ASSERT_TRUE(CopyFileW(reinterpret_cast<const wchar_t*>(helperProgram(u"standin_cpl_host.exe").c_str()),
                          reinterpret_cast<const wchar_t*>(explorer.c_str()), FALSE));
    const ProcessResult listed = dir.host(explorer);
    EXPECT_EQ(listed.exitCode, 0u);
    for (const char* expected : {"init 1 count 1\n", "newinquire 0 size 476 icon 1\n", "name Demo\n", "tip \n"})
        EXPECT_NE(listed.out.find(expected), std::string::npos) << expected << "\n" << listed.out;
    EXPECT_FALSE(dir.app.log().has("load")) << dir.app.log().text();
}

// Registered through the launcher, the applet is listed by the system's Control Panel, which runs
// it in its own process; closing that window ends the VM.
TEST(AppletEndToEnd, TheControlPanelListsARegisteredAppletAndItsCloseEndsTheVm) {
    AppletDirectory dir("class demo.App\n  method main ([Ljava/lang/String;)V\n", u"", u"");
    ASSERT_EQ(dir.app.run(u"-installCPL").exitCode, 1u);
    ASSERT_TRUE(DeleteFileW(reinterpret_cast<const wchar_t*>((dir.app.dir / u"jre/standin.log").c_str())));
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    std::wstring command(reinterpret_cast<const wchar_t*>(systemFile(u"control.exe").c_str()));
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    HWND panel = nullptr;
    EXPECT_TRUE(tavrelo::test::waitUntil(
        [&] { return (panel = FindWindowW(nullptr, L"Wine Control Panel")) != nullptr && dir.app.log().has("created"); },
        20000))
        << dir.app.log().text();
    if (panel) PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(dir.app.log().has("destroy")) << dir.app.log().text();
    EXPECT_EQ(dir.app.run(u"-deleteCPL").exitCode, 0u);
}

} // namespace
} // namespace tavrelo::standin::test
