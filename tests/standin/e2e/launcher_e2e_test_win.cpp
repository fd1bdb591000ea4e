// The real Tavrelo_console.exe and Tavrelo.exe, copied and renamed as a user would, run against
// the stand-in Java runtime: what main receives, the exit status, and every message box.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "demo_app.h"
#include "harness/box_driver.h"
#include "harness/process.h"
#include "harness/standin.h"
#include "platform/messages.h"
#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "platform/win_text.h"
#include "resources/resource_writer.h"
#include "resources/resources.h"
#include "test_language.h"
#include "test_programs.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

// An application directory: launcher copies, their properties, and a stand-in jre beside them.
class AppDirectory {
public:
    explicit AppDirectory(std::string_view layout = "jre", std::string_view scenario = kPrintingApp) {
        if (!layout.empty()) {
            EXPECT_TRUE(installJre(jreHome(), layout)) << "the stand-in jre layout is missing";
            EXPECT_TRUE(writeScenario(jreHome(), scenario));
        }
    }
    Text jreHome() const { return dir / u"jre"; }
    Text launcher(TextView name, TextView deliverable = u"Tavrelo_console.exe") const {
        const Text path = dir / name;
        EXPECT_TRUE(installLauncher(path, deliverable)) << "the launchers are not built";
        return path;
    }
    void properties(std::string_view text, TextView name = u"Demo.properties") const {
        ASSERT_TRUE(os::writeFile(dir / name, text));
    }
    ProcessResult run(const Text& program, TextView arguments, BoxDriver* driver = nullptr) const {
        return runProcess(program, arguments, dir.path(), 60000, driver);
    }
    CallLog log() const { return CallLog::read(jreHome()); }
    std::vector<std::string> options() const {
        std::vector<std::string> out;
        for (const LogLine& l : log().find("option")) out.push_back(l.details);
        return out;
    }

    tavrelo::test::TempDir dir;
};

bool hasOption(const std::vector<std::string>& options, std::string_view wanted) {
    for (const std::string& o : options)
        if (o == wanted) return true;
    return false;
}

std::string optionStarting(const std::vector<std::string>& options, std::string_view prefix) {
    for (const std::string& o : options)
        if (o.rfind(prefix, 0) == 0) return o;
    return {};
}

std::u16string messageText(int number, std::initializer_list<FormatArg> args = {}) {
    const auto built = buildMessage(number, args);
    return built ? built->text : std::u16string();
}

// ---- Running the application -------------------------------------------------------------------

TEST(LauncherEndToEnd, ConsoleLauncherRunsMainWithItsArgumentsAndOptions) {
    AppDirectory app;
    const Text demo = app.launcher(u"Demo_console.exe");
    app.properties("MainClass=demo.App\r\nPersonalOptions=-Dsource=file -Dfile.only=1\r\n");
    ASSERT_TRUE(writeScrambledText(demo, kBinConfiguration, u"PersonalOptions=-Dsource=embedded -Xmx64m"));

    BoxDriver driver;
    const ProcessResult r = app.run(demo, u"a \"b c\"", &driver);
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1u) << r.err;
    EXPECT_EQ(r.out, "main ran\r\n");
    EXPECT_TRUE(driver.boxes().empty());

    const CallLog log = app.log();
    const auto main = log.find("call", "demo.App.main(");
    ASSERT_EQ(main.size(), 1u) << log.text();
    EXPECT_EQ(main[0].details, "demo.App.main([Ljava/lang/String;)V ([\"a\", \"b c\"])");
    EXPECT_EQ(main[0].thread, "main");
    const std::vector<std::string> options = app.options();
    // The class path holds the launcher's directory; the embedded options replace the file's.
    const std::string classPath = optionStarting(options, "-Djava.class.path=");
    EXPECT_NE(classPath.find(toUtf8(app.dir.path())), std::string::npos) << classPath;
    EXPECT_TRUE(hasOption(options, "-Dtavrelo.isConsole=1")) << log.text();
    EXPECT_TRUE(hasOption(options, "-Dsource=embedded"));
    EXPECT_TRUE(hasOption(options, "-Xmx64m"));
    EXPECT_FALSE(hasOption(options, "-Dsource=file"));
    EXPECT_FALSE(hasOption(options, "-Dfile.only=1"));
    EXPECT_TRUE(log.has("destroyed"));
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(LauncherEndToEnd, SystemExitStatusBecomesTheProcessStatus) {
    AppDirectory app("jre", R"(
class demo.App
  method main ([Ljava/lang/String;)V
    exit 5
)");
    const Text demo = app.launcher(u"Demo_console.exe");
    app.properties("MainClass=demo.App\r\n");
    const ProcessResult r = app.run(demo, u"");
    EXPECT_EQ(r.exitCode, 5u);
    const CallLog log = app.log();
    EXPECT_TRUE(log.has("exit", "5 (exit hook)")) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(LauncherEndToEnd, CtrlCInTheConsoleEndsTheApplicationThroughTheVmsExitPath) {
    AppDirectory app("jre", R"(
class demo.App
  method main ([Ljava/lang/String;)V
    sleep 30000
)");
    const Text demo = app.launcher(u"Demo_console.exe");
    app.properties("MainClass=demo.App\r\n");
    // The helper shares a console with the launcher and presses Ctrl+C once main runs.
    const ProcessResult r = app.run(helperProgram(u"standin_console_helper.exe"),
                                    u"\"" + app.jreHome() + u"\\standin.log\" demo.App.main( \"" + demo + u"\"");
    EXPECT_EQ(r.exitCode, 130u) << r.out << r.err;
    const CallLog log = app.log();
    EXPECT_TRUE(log.has("console-event", "CTRL_C_EVENT")) << log.text();
    EXPECT_TRUE(log.has("exit", "130 (exit hook)")) << log.text();
    EXPECT_FALSE(hasOption(app.options(), "-Xrs"));
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(LauncherEndToEnd, WindowLauncherRunsMainWithoutTheConsoleMarker) {
    AppDirectory app;
    const Text demo = app.launcher(u"Demo.exe", u"Tavrelo.exe");
    app.properties("MainClass=demo.App\r\nMainArgs=-x\r\n");
    const ProcessResult r = app.run(demo, u"in.txt");
    EXPECT_EQ(r.exitCode, 1u);
    const CallLog log = app.log();
    EXPECT_TRUE(log.has("call", "demo.App.main([Ljava/lang/String;)V ([\"in.txt\", \"-x\"])")) << log.text();
    EXPECT_FALSE(hasOption(app.options(), "-Dtavrelo.isConsole=1"));
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(LauncherEndToEnd, NonAsciiMainClassReachesTheJvmAsUtf8) {
    AppDirectory app("jre", "\nclass d\xC3\xA9mo.App\n  method main ([Ljava/lang/String;)V\n    print \"main ran\"\n");
    const Text demo = app.launcher(u"Demo_console.exe");
    app.properties("\xEF\xBB\xBFMainClass=d\xC3\xA9mo.App\r\n");
    const ProcessResult r = app.run(demo, u"");
    EXPECT_EQ(r.exitCode, 1u) << r.err;
    EXPECT_EQ(r.out, "main ran\r\n");
    const CallLog log = app.log();
    EXPECT_EQ(log.find("call", "d\xC3\xA9mo.App.main(").size(), 1u) << log.text();
}

TEST(LauncherEndToEnd, AnExceptionEscapingMainIsPrintedAndTheRunCounts) {
    AppDirectory app("jre", R"(
class demo.App
  method main ([Ljava/lang/String;)V
    throw java.lang.IllegalStateException "broken"
)");
    const Text demo = app.launcher(u"Demo_console.exe");
    app.properties("MainClass=demo.App\r\n");
    const ProcessResult r = app.run(demo, u"");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.err.find("Exception in thread \"main\" java.lang.IllegalStateException: broken"), std::string::npos) << r.err;
    EXPECT_EQ(app.log().errors(), std::vector<std::string>{}) << app.log().text();
}

TEST(LauncherEndToEnd, RuntimeVariantsThatStillRun) {
    // Without the optional JNI_GetCreatedJavaVMs, with an older runtime, and with the library
    // under jre\bin\client.
    for (const char* layout : {"jre-nocreated", "jre-java6", "jre-client"}) {
        SCOPED_TRACE(layout);
        AppDirectory app(layout);
        const Text demo = app.launcher(u"Demo_console.exe");
        app.properties("MainClass=demo.App\r\n");
        const ProcessResult r = app.run(demo, u"");
        EXPECT_EQ(r.exitCode, 1u) << r.err;
        EXPECT_TRUE(app.log().has("call", "demo.App.main(")) << app.log().text();
        EXPECT_EQ(app.log().errors(), std::vector<std::string>{}) << app.log().text();
    }
}

// ---- No runtime ---------------------------------------------------------------------------------

// The command line a "browser" (the recording stand-in) was started with, once it has written it.
std::optional<Text> browserRecord(const Text& directory, int waitMs) {
    std::string record;
    for (int waited = 0; !os::readFile(directory + u"\\tool-record.txt", record); waited += 100) {
        if (waited >= waitMs) return std::nullopt;
        os::sleepMs(100);
    }
    const Text text(reinterpret_cast<const char16_t*>(record.data()), record.size() / 2);
    return text.substr(0, text.find(u'\n'));
}

TEST(NoRuntimeEndToEnd, ThePromptNamesTheConfiguredVersionAndOnlyYesOpensThePage) {
    for (const bool french : {false, true}) {
        SCOPED_TRACE(french ? "French" : "English");
        tavrelo::test::ScopedLanguage language(french);
        AppDirectory app("");
        const Text demo = app.launcher(u"Demo_console.exe");
        // A recording browser, named by its full path (backslashes doubled in the properties).
        const Text browsers = app.dir / u"browser";
        ASSERT_TRUE(os::makeDirectory(browsers));
        ASSERT_TRUE(tavrelo::test::copyFile(standinDirectory() + u"\\..\\tool_recorder.exe", browsers + u"\\browser.exe"));
        Text escaped;
        for (const char16_t c : browsers + u"\\browser.exe") escaped += c == u'\\' ? Text(u"\\\\") : Text(1, c);
        app.properties("JREversion=1.8\r\nURL_InstallJRE=http://example.invalid/jre\r\nPathBrowser=" + toUtf8(escaped) +
                       "\r\n");
        BoxDriver driver({kIdNo});
        const ProcessResult r = app.run(demo, u"", &driver);
        EXPECT_EQ(r.exitCode, 0u);
        const auto boxes = driver.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, u"Java Runtime Environment (JRE)");
        EXPECT_EQ(boxes[0].text, french ? u"Java 1.8 n'est pas installé !\n\nVoulez-vous l'installer ?"
                                        : u"Java 1.8 isn't installed !\n\nDo you want to install it ?");
        EXPECT_EQ(boxes[0].style(), kBoxYesNo | kBoxStop);
        EXPECT_TRUE(boxes[0].expected);
        EXPECT_FALSE(browserRecord(browsers, 2000)) << "the page was opened after No";

        BoxDriver yes({kIdYes});
        EXPECT_EQ(app.run(demo, u"", &yes).exitCode, 0u);
        ASSERT_EQ(yes.boxes().size(), 1u);
        const auto opened = browserRecord(browsers, 10000);
        ASSERT_TRUE(opened) << "the page was not opened after Yes";
        EXPECT_EQ(*opened, u"iexplore http://example.invalid/jre");
    }
}

TEST(NoRuntimeEndToEnd, DisplayBoxInstallZeroOpensThePageWithoutAsking) {
    AppDirectory app("");
    const Text demo = app.launcher(u"Demo_console.exe");
    // The "browser" records how it was started.
    const Text recorder = standinDirectory() + u"\\..\\tool_recorder.exe";
    ASSERT_TRUE(tavrelo::test::copyFile(recorder, app.dir / u"browser.exe"));
    app.properties("Display_BoxInstall=0\r\nURL_InstallJRE=http://example.invalid/jre\r\nPathBrowser=browser.exe\r\n");
    BoxDriver driver;
    const ProcessResult r = app.run(demo, u"", &driver);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(driver.boxes().empty());
    std::string record;
    for (int i = 0; i < 100 && !os::readFile(app.dir / u"tool-record.txt", record); ++i) os::sleepMs(100);
    const Text line = Text(reinterpret_cast<const char16_t*>(record.data()), record.size() / 2);
    EXPECT_NE(line.find(u"iexplore http://example.invalid/jre"), Text::npos) << toUtf8(line);
}

// ---- Launches that stop with a message ---------------------------------------------------------

struct Refusal {
    const char* layout;
    int message;
    unsigned style;
};

TEST(LauncherFailureEndToEnd, UnsuitableRuntimesAreRefusedWithTheirMessage) {
    tavrelo::test::ScopedLanguage english(false);
    const Refusal refusals[] = {
        {"jre-x86", 31, kBoxWarning},      // 32-bit description
        {"jre-noversion", 31, kBoxWarning}, // no description at all
        {"jre-noentry", 5, kBoxOk},        // no invocation entry points
        {"jre-nojava", 5, kBoxOk},         // no version to be read
        {"jre-java11", 5, kBoxOk},         // 1.1 is too old
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.layout);
        AppDirectory app(refusal.layout);
        const Text demo = app.launcher(u"Demo_console.exe");
        app.properties("MainClass=demo.App\r\n");
        BoxDriver driver({kIdOk});
        const ProcessResult r = app.run(demo, u"", &driver);
        EXPECT_EQ(r.exitCode, 0u);
        const auto boxes = driver.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, u"JVM");
        EXPECT_EQ(boxes[0].text, refusal.message == 31 ? messageText(31, {u"x86", u"x64"}) : messageText(refusal.message));
        EXPECT_EQ(boxes[0].style(), refusal.style);
        EXPECT_FALSE(app.log().has("created")) << app.log().text();
    }
}

// TAVRELO_DEBUG naming a file: the console launcher traces on its standard error and into the
// file, the window launcher into the file alone; a refused library is named with the reason.
TEST(LauncherFailureEndToEnd, TheTraceNamesEachRefusedLibraryAndWhy) {
    tavrelo::test::ScopedLanguage english(false);
    AppDirectory x86("jre-x86"), noEntry("jre-noentry");
    x86.properties("MainClass=demo.App\r\n");
    noEntry.properties("MainClass=demo.App\r\n");
    const Text file = x86.dir / u"trace.log";
    SetEnvironmentVariableW(L"TAVRELO_DEBUG", wc(file));
    BoxDriver consoleBoxes({kIdOk}), windowBoxes({kIdOk});
    const ProcessResult console = x86.run(x86.launcher(u"Demo_console.exe"), u"", &consoleBoxes);
    const ProcessResult window = noEntry.run(noEntry.launcher(u"Demo.exe", u"Tavrelo.exe"), u"", &windowBoxes);
    SetEnvironmentVariableW(L"TAVRELO_DEBUG", nullptr);
    std::string traced;
    ASSERT_TRUE(os::readFile(file, traced));

    const std::string x86Library = toUtf8(x86.jreHome()) + "\\bin\\server\\jvm.dll";
    const std::string refusedWidth = "VM library " + x86Library + " is not a 64-bit library: its description is \"";
    EXPECT_NE(console.err.find(refusedWidth), std::string::npos) << console.err;
    EXPECT_NE(console.err.find("launch ends with status 0: the VM library is not for this launcher's width"),
              std::string::npos);
    const std::string noEntryLibrary = toUtf8(noEntry.jreHome()) + "\\bin\\server\\jvm.dll";
    EXPECT_NE(traced.find("VM library " + noEntryLibrary + " lacks the entry point JNI_GetDefaultJavaVMInitArgs: error 127"),
              std::string::npos)
        << traced;
    EXPECT_NE(traced.find(refusedWidth), std::string::npos) << "both processes append to one file";
    EXPECT_EQ(window.err, "");
    EXPECT_EQ(console.exitCode + window.exitCode, 0u);
}

TEST(LauncherFailureEndToEnd, AMissingMainClassOrMainMethodIsReported) {
    tavrelo::test::ScopedLanguage english(false);
    AppDirectory app("jre", R"(
class demo.NoMain
  method helper ()V
)");
    const Text demo = app.launcher(u"Demo_console.exe");
    app.properties("MainClass=demo.Missing\r\n");
    BoxDriver driver({kIdOk, kIdOk});
    EXPECT_EQ(app.run(demo, u"", &driver).exitCode, 0u);
    app.properties("MainClass=demo.NoMain\r\n");
    EXPECT_EQ(app.run(demo, u"", &driver).exitCode, 0u);
    const auto boxes = driver.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, u"JVM");
    EXPECT_EQ(boxes[0].text, u"Can't find main class \"demo.Missing\"");
    EXPECT_EQ(boxes[0].style(), kBoxOk);
    EXPECT_EQ(boxes[1].text, u"Can't find main method");
    const CallLog log = app.log();
    EXPECT_TRUE(log.has("class-missing", "demo/Missing")) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(LauncherFailureEndToEnd, TheDeliveryNameAsksForARenameOnceARuntimeIsFound) {
    tavrelo::test::ScopedLanguage english(false);
    AppDirectory app;
    const Text unrenamed = app.launcher(u"Tavrelo_console.exe");
    BoxDriver driver({kIdOk});
    EXPECT_EQ(app.run(unrenamed, u"", &driver).exitCode, 0u);
    const auto boxes = driver.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Tavrelo");
    EXPECT_EQ(boxes[0].text, messageText(26));
    EXPECT_EQ(boxes[0].text.rfind(u"You must rename Tavrelo with the same name of your main .CLASS or .JAR", 0), 0u);
    EXPECT_EQ(boxes[0].style(), kBoxWarning);
    EXPECT_FALSE(app.log().has("created"));

    // Without a runtime the installation prompt comes first.
    AppDirectory bare("");
    const Text bareLauncher = bare.launcher(u"Tavrelo_console.exe");
    BoxDriver asked({kIdNo});
    EXPECT_EQ(bare.run(bareLauncher, u"", &asked).exitCode, 0u);
    ASSERT_EQ(asked.boxes().size(), 1u);
    EXPECT_EQ(asked.boxes()[0].caption, u"Java Runtime Environment (JRE)");
}

// ---- Where a launcher is put --------------------------------------------------------------------

// A user's folder named outside the code page, holding a DLL named like a system one (as a
// Downloads folder may); the runtime and the browser are configured through environment references.
TEST(PlacementEndToEnd, ForeignFolderPlantedDllAndReferencedRuntimeAndBrowser) {
    tavrelo::test::TempDir root;
    const Text folder = root.makeDir(u"Приложение 应用");
    (void)root.makeDir(u"Приложение 应用/resource");
    (void)root.makeDir(u"tools");
    const Text demo = folder + u"\\Downloaded_console.exe";
    ASSERT_TRUE(installLauncher(demo, u"Tavrelo_console.exe"));
    ASSERT_TRUE(writeJar(folder + u"\\Downloaded.jar", "", {{"demo/App.class", "x"}}));
    ASSERT_TRUE(tavrelo::test::copyFile(standinDirectory() + u"\\planted\\version.dll", folder + u"\\version.dll"));
    ASSERT_TRUE(tavrelo::test::copyFile(standinDirectory() + u"\\..\\tool_recorder.exe", root / u"tools\\browser.exe"));
    const Text jre = root / u"runtimes\\jre";
    ASSERT_TRUE(installJre(jre));
    ASSERT_TRUE(writeScenario(jre, kPrintingApp));
    SetEnvironmentVariableW(L"TAVRELO_TEST_RUNTIMES", wc(root / u"runtimes")); // test-only names, left set
    SetEnvironmentVariableW(L"TAVRELO_TEST_TOOLS", wc(root / u"tools"));

    const Text properties = folder + u"\\Downloaded.properties";
    ASSERT_TRUE(os::writeFile(properties, "MainClass=demo.App\r\nPathJRE=%TAVRELO_TEST_RUNTIMES%\\jre\r\n"));
    // Wine prefers its own system DLLs; told to take the file the search finds first (for this
    // launcher's name only), it loads a planted one as Windows does any DLL that is not a KnownDLL.
    // Wine's own user32 imports version.dll, so the planted one is in the process whatever the
    // launcher imports: what the launcher must not do is use it.
    ASSERT_TRUE(regWriteString(HKEY_CURRENT_USER, u"Software\\Wine\\AppDefaults\\Downloaded_console.exe\\DllOverrides",
                               u"version", u"native,builtin"));
    BoxDriver driver;
    const ProcessResult r = runProcess(demo, u"", folder, 60000, &driver);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Downloaded_console.exe");
    EXPECT_EQ(r.exitCode, 1u) << r.err;
    EXPECT_EQ(r.out, "main ran\r\n");
    EXPECT_TRUE(driver.boxes().empty());
    // Every path the JVM received names what exists, the archive named after the launcher included.
    std::vector<Text> paths;
    for (const LogLine& option : CallLog::read(jre).find("option"))
        for (const char16_t* prefix : {u"-Djava.class.path=", u"-Djava.library.path=", u"-Dtavrelo.launcher="})
            if (const Text text = os::ansiToText(option.details); text.rfind(prefix, 0) == 0)
                for (const Text& path : splitWordsAt(text.substr(Text(prefix).size()), u';')) paths.push_back(path);
    EXPECT_GE(paths.size(), 6u);
    for (const Text& path : paths) EXPECT_TRUE(os::pathExists(path)) << toUtf8(path);
    const auto named = [&](const Text& path) { return os::longPathName(path) == folder + u"\\Downloaded.jar"; };
    EXPECT_EQ(std::count_if(paths.begin(), paths.end(), named), 1);

    // No runtime where the reference leads: the referenced browser is given the page.
    ASSERT_TRUE(os::writeFile(properties,
                              "PathJRE=%TAVRELO_TEST_RUNTIMES%\\none\r\nDisplay_BoxInstall=0\r\n"
                              "URL_InstallJRE=http://example.invalid/jre\r\n"
                              "PathBrowser=%TAVRELO_TEST_TOOLS%\\browser.exe\r\n"));
    EXPECT_EQ(runProcess(demo, u"", folder, 60000, &driver).exitCode, 0u);
    EXPECT_TRUE(driver.boxes().empty());
    std::string record;
    for (int i = 0; i < 100 && !os::readFile(root / u"tools\\tool-record.txt", record); ++i) os::sleepMs(100);
    const Text line = Text(reinterpret_cast<const char16_t*>(record.data()), record.size() / 2);
    EXPECT_NE(line.find(u"iexplore http://example.invalid/jre"), Text::npos) << toUtf8(line);
}

} // namespace
} // namespace tavrelo::standin::test
