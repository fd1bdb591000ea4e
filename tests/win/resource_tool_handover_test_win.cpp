#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "platform/os.h"
#include "platform/win_text.h"
#include "test_programs.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::TempDir;

// What the stand-in tool recorded: its command line and its current directory.
struct ToolRecord {
    Text commandLine;
    Text directory;
};

std::optional<ToolRecord> readRecord(TextView directory) {
    std::string bytes;
    if (!os::readFile(Text(directory) + u"\\tool-record.txt", bytes)) return std::nullopt;
    Text text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    const std::size_t feed = text.find(u'\n');
    return ToolRecord{text.substr(0, feed), feed == Text::npos ? Text() : text.substr(feed + 1)};
}

std::optional<ToolRecord> waitForRecord(TextView directory, unsigned timeoutMs = 15000) {
    for (unsigned waited = 0;; waited += 100) {
        if (auto record = readRecord(directory)) return record;
        if (waited >= timeoutMs) return std::nullopt;
        Sleep(100);
    }
}

// A launcher copied beside an application, with the stand-in tool as Tavpack.exe beside it.
struct Application {
    Text directory;
    Text launcher;
};

class ResourceToolHandOver : public ::testing::Test {
protected:
    void SetUp() override {
        TAVRELO_REQUIRE_LAUNCHER(console, u"Tavrelo_console.exe");
        TAVRELO_REQUIRE_LAUNCHER(window, u"Tavrelo.exe");
        tool = test::builtFile(u"tests\\tool_recorder.exe");
        ASSERT_FALSE(tool.empty());
        SetEnvironmentVariableW(L"TAVRELO_TOOL_DELAY_MS", nullptr);
    }
    void TearDown() override { SetEnvironmentVariableW(L"TAVRELO_TOOL_DELAY_MS", nullptr); }

    Application install(TextView directory, TextView launcherName = u"Demo_console.exe", bool withTool = true,
                        TextView from = {}) {
        Application app{root.makeDir(directory), {}};
        app.launcher = app.directory + u"\\" + Text(launcherName);
        EXPECT_TRUE(test::copyFile(from.empty() ? console : from, app.launcher));
        if (withTool) {
            EXPECT_TRUE(test::copyFile(tool, app.directory + u"\\Tavpack.exe"));
        }
        // A launch that goes on finds no runtime and, without asking, opens the download page in
        // the configured browser: the stand-in again, recording beside itself in "browser".
        const Text browser = root.makeDir(Text(directory) + u"\\browser") + u"\\browser.exe";
        EXPECT_TRUE(test::copyFile(tool, browser));
        Text escaped;
        for (const char16_t c : browser) escaped += c == u'\\' ? Text(u"\\\\") : Text(1, c);
        (void)os::writeFile(app.directory + u"\\Demo.properties",
                            "Display_BoxInstall=0\r\nURL_InstallJRE=http://example.invalid/jre\r\nPathBrowser=" +
                                toUtf8(escaped) + "\r\n");
        return app;
    }

    // Runs the launcher from the work directory; the dropped files are given as they stand.
    unsigned long drop(const Application& app, TextView arguments) {
        const test::ProgramRun run = test::runProgram(app.launcher, arguments, work);
        EXPECT_TRUE(run.started);
        EXPECT_TRUE(run.finished) << "the launcher did not end";
        return run.exitCode;
    }

    TempDir root;
    Text work = root.makeDir(u"work");
    Text console, window, tool;
};

TEST_F(ResourceToolHandOver, DroppedFilesReachTheToolQuotedAfterTheLauncherItself) {
    const Application app = install(u"App With Spaces");
    const Text splash = root / u"My Art\\splash.png";
    EXPECT_EQ(drop(app, u"demo.ico \"" + splash + u"\""), 0u);
    const auto record = waitForRecord(app.directory);
    ASSERT_TRUE(record) << "the tool was not started";
    EXPECT_EQ(record->commandLine, u"Tavpack.exe -run -info -exe=\"" + app.launcher + u"\" -ico=\"demo.ico\" -img=\"" +
                                       splash + u"\"");
    // The relative name is resolved by the tool, in the directory it inherits from the launcher.
    EXPECT_TRUE(equalsIgnoreCase(record->directory, work)) << toUtf8(record->directory);
}

TEST_F(ResourceToolHandOver, ThreeFilesOfEveryKindAndAShortNameForAnUnusualDirectory) {
    const Application app = install(u"Caf\u00e9 Demo");
    EXPECT_EQ(drop(app, u"Demo.JPEG Demo.properties logo.gif"), 0u);
    const auto record = waitForRecord(app.directory);
    ASSERT_TRUE(record) << "the tool was not started";
    const Text shortName = os::shortPathName(app.launcher);
    ASSERT_TRUE(isAscii(shortName)) << toUtf8(shortName);
    EXPECT_EQ(record->commandLine, u"Tavpack.exe -run -info -exe=\"" + shortName +
                                       u"\" -img=\"Demo.JPEG\" -prp=\"Demo.properties\" -img=\"logo.gif\"");
}

TEST_F(ResourceToolHandOver, ArgumentAlreadyInQuotesIsNotQuotedTwice) {
    const Application app = install(u"App");
    const Text icon = root / u"My Art\\logo.ico";
    // Within the outer quotes, \" puts a quote into the argument the launcher receives.
    EXPECT_EQ(drop(app, u"\"\\\"" + icon + u"\\\"\""), 0u);
    const auto record = waitForRecord(app.directory);
    ASSERT_TRUE(record) << "the tool was not started";
    EXPECT_EQ(record->commandLine, u"Tavpack.exe -run -info -exe=\"" + app.launcher + u"\" -ico=\"" + icon + u"\"");
}

TEST_F(ResourceToolHandOver, LauncherEndsWithoutWaitingForTheTool) {
    const Application app = install(u"App");
    SetEnvironmentVariableW(L"TAVRELO_TOOL_DELAY_MS", L"3000"); // inherited by the launcher and the tool
    EXPECT_EQ(drop(app, u"demo.ico"), 0u);
    EXPECT_FALSE(readRecord(app.directory)) << "the launcher waited for the tool";
    EXPECT_TRUE(waitForRecord(app.directory)) << "the tool was not started";
}

TEST_F(ResourceToolHandOver, OtherArgumentsAndMissingToolLaunchNormally) {
    const Application four = install(u"Four");
    const Application text = install(u"Text");
    const Application backup = install(u"Backup");
    const Application noTool = install(u"NoTool", u"Demo_console.exe", false);
    const Application windowBuild = install(u"Window", u"Demo.exe", true, window);
    EXPECT_EQ(drop(four, u"a.ico b.png c.gif d.bmp"), 0u);
    EXPECT_EQ(drop(text, u"notes.txt"), 0u);
    EXPECT_EQ(drop(backup, u"Demo.jpg.bak"), 0u);
    EXPECT_EQ(drop(noTool, u"demo.ico"), 0u);
    EXPECT_EQ(drop(windowBuild, u"demo.ico"), 0u); // the window build hands nothing over
    // A control: the same tool beside a console launcher is started within this time.
    const Application control = install(u"Control");
    EXPECT_EQ(drop(control, u"demo.ico"), 0u);
    ASSERT_TRUE(waitForRecord(control.directory)) << "the control's tool was not started";
    // The others went on with the launch: each reached the download page of its missing runtime.
    for (const Application* app : {&four, &text, &backup, &noTool, &windowBuild}) {
        const auto opened = waitForRecord(app->directory + u"\\browser");
        ASSERT_TRUE(opened) << "no launch from " << toUtf8(app->directory);
        EXPECT_EQ(opened->commandLine, u"iexplore http://example.invalid/jre");
    }
    Sleep(1000);
    for (const Application* app : {&four, &text, &backup, &windowBuild})
        EXPECT_FALSE(readRecord(app->directory)) << "handed over from " << toUtf8(app->directory);
    EXPECT_FALSE(readRecord(control.directory + u"\\browser")) << "the control launched as well";
}

} // namespace
} // namespace tavrelo
