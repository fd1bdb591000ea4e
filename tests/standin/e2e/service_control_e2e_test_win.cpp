// The service-control natives and the run types' shortcuts end to end: the console launcher runs
// a scenario whose main calls the natives on a small test service; shortcut files are written,
// read back with the shell's link object and run.
#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <thread>

#include "demo_app.h"
#include "harness/process.h"
#include "harness/standin.h"
#include "natives/natives.h"
#include "platform/os.h"
#include "platform/win_text.h"
#include "test_process.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

using tavrelo::test::waitUntil;

// The results the log shows for the calls of a native, in call order.
std::vector<std::string> answers(const CallLog& log, const std::string& native) {
    std::vector<std::string> found;
    for (const LogLine& line : log.find("native", ".scm" + native + "("))
        found.push_back(line.details.substr(line.details.rfind(" -> ") + 4));
    return found;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A text as a scenario string and the log write it (without the enclosing quotes).
std::string escaped(TextView text) {
    std::string out;
    for (const char c : toUtf8(text)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

constexpr char kNatives[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    invoke scmQueryStatus null
    invoke scmCreateService "TavScmTarget" "Tavrelo SCM Target" "First" "LINE" false true
    invoke scmQueryConfig "TavScmTarget"
    invoke scmChangeConfig "TavScmTarget" null -1 2 null null null null
    invoke scmQueryConfig "TavScmTarget"
    invoke scmSetDescription "TavScmTarget" "Second"
    invoke scmGetDescription "TavScmTarget"
    invoke scmStartService "TavScmTarget"
    sleep 800
    invoke scmQueryStatus "TavScmTarget"
    invoke scmPauseService "TavScmTarget"
    sleep 500
    invoke scmQueryStatus "TavScmTarget"
    invoke scmContinueService "TavScmTarget"
    sleep 500
    invoke scmQueryStatus "TavScmTarget"
    invoke scmEnumServices 48 3 false
    invoke scmEnumServices 48 3 true
    invoke scmGetNameSvc "Tavrelo SCM Target"
    invoke scmGetNameLong "TavScmTarget"
    invoke scmStopService "TavScmTarget"
    sleep 800
    invoke scmStopService "TavScmTarget"
    invoke scmGetErrorMessage 1060
    invoke scmGetErrorMessage 193
    invoke scmDeleteService "TavScmTarget"
    sleep 500
)";

// The natives as the application declares them, and after them a call of each that names a
// service, on the deleted one (a string is its name, then null; a number 0; a boolean true).
std::string declarationsAndCallsOnTheDeleted() {
    std::string natives, calls;
    for (const NativeMethod& method : serviceControlNatives().methods) {
        natives += std::string("  native ") + method.shortName + " " + method.signature + "\n";
        const std::string parameters(method.signature + 1,
                                     static_cast<const char*>(std::strchr(method.signature, ')')));
        if (parameters.rfind("Ljava/lang/String;", 0) != 0 || method.slot == 0 || method.slot == 14) continue;
        calls += std::string("    invoke ") + method.shortName + " \"TavScmTarget\"";
        for (std::size_t at = 18; at < parameters.size(); at += parameters[at] == 'L' ? 18 : 1)
            calls += parameters[at] == 'L' ? " null" : parameters[at] == 'Z' ? " true" : " 0";
        calls += "\n";
    }
    return calls + natives;
}

std::string systemText(DWORD code) {
    wchar_t text[2048] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, 2048, nullptr);
    return toUtf8(Text(tc(text), length));
}

TEST(ServiceControlEndToEnd, NativesCreateControlListAndDeleteATestService) {
    tavrelo::test::TempDir dir;
    const Text service = helperProgram(u"standin_test_service.exe");
    const Text line = u"\"" + service + u"\" \"" + (dir / u"pid.txt") + u"\"";
    std::string scenario = kNatives + declarationsAndCallsOnTheDeleted();
    scenario.replace(scenario.find("LINE"), 4, escaped(line));
    ASSERT_TRUE(installJre(dir / u"jre", "jre"));
    ASSERT_TRUE(writeScenario(dir / u"jre", scenario));
    ASSERT_TRUE(os::writeFile(dir / u"Demo.properties", "MainClass=demo.App\r\n"));
    ASSERT_TRUE(installLauncher(dir / u"Demo_console.exe", u"Tavrelo_console.exe"));
    const ProcessResult run = runProcess(dir / u"Demo_console.exe", u"", dir.path(), 60000);
    const CallLog log = CallLog::read(dir / u"jre");
    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;

    // Not a service process: a null name names nothing.
    EXPECT_EQ(answers(log, "QueryStatus")[0], "null") << log.text();
    EXPECT_EQ(answers(log, "CreateService")[0], "0"); // delayed start: wine answers 124
    const auto configs = answers(log, "QueryConfig");
    ASSERT_EQ(configs.size(), 3u) << log.text();
    EXPECT_EQ(configs[0], "[\"Tavrelo SCM Target\", \"" + escaped(line) + "\", \"\", \"LocalSystem\", \"16\", \"3\"]");
    // Nulls and SERVICE_NO_CHANGE change the start type alone.
    EXPECT_EQ(answers(log, "ChangeConfig")[0], "0");
    EXPECT_EQ(configs[1], configs[0].substr(0, configs[0].size() - 4) + "\"2\"]");
    EXPECT_EQ(answers(log, "GetDescription")[0], "\"Second\"");

    std::string pid;
    ASSERT_TRUE(os::readFile(dir / u"pid.txt", pid)) << log.text();
    const auto statuses = answers(log, "QueryStatus");
    ASSERT_EQ(statuses.size(), 5u);
    EXPECT_EQ(statuses[1], "[\"4\", \"16\", \"3\", \"" + pid + "\"]");
    EXPECT_EQ(statuses[2], "[\"7\", \"16\", \"3\", \"" + pid + "\"]");
    EXPECT_EQ(statuses[3], statuses[1]);
    EXPECT_EQ(answers(log, "PauseService")[0], "0");
    EXPECT_EQ(answers(log, "ContinueService")[0], "0");
    EXPECT_EQ(answers(log, "StopService")[0], "0");
    EXPECT_EQ(answers(log, "StopService")[1], "1062");

    const auto listings = answers(log, "EnumServices");
    ASSERT_EQ(listings.size(), 2u);
    // Rows of exactly three strings (eight with the details): each row has two (seven) separators.
    const std::size_t rows = occurrences(listings[0], "], [") + 1;
    EXPECT_GT(rows, 1u);
    EXPECT_EQ(occurrences(listings[1], "], [") + 1, rows);
    EXPECT_EQ(occurrences(listings[0], "\", \""), 2 * rows) << listings[0];
    EXPECT_EQ(occurrences(listings[1], "\", \""), 7 * rows) << listings[1];
    EXPECT_NE(listings[0].find("[\"TavScmTarget\", \"Tavrelo SCM Target\", \"4\"]"), std::string::npos);
    EXPECT_NE(
        listings[1].find("[\"TavScmTarget\", \"Tavrelo SCM Target\", \"4\", \"16\", \"3\", \"2\", \"0\", \"Second\"]"),
        std::string::npos);
    EXPECT_EQ(answers(log, "GetNameSvc")[0], "\"TavScmTarget\"");
    EXPECT_EQ(answers(log, "GetNameLong")[0], "\"Tavrelo SCM Target\"");
    const auto texts = answers(log, "GetErrorMessage");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find(systemText(1060).substr(0, 20)), std::string::npos) << texts[0];
    EXPECT_GT(systemText(193).size(), 10u);
    EXPECT_NE(texts[1].find(systemText(193).substr(0, 10)), std::string::npos) << texts[1];

    // Deleted: every native on it gives 1060, null or false.
    EXPECT_EQ(answers(log, "DeleteService"), (std::vector<std::string>{"0", "1060"}));
    for (const NativeMethod& method : serviceControlNatives().methods) {
        const char result = std::strchr(method.signature, ')')[1];
        if (method.slot == 0 || method.slot == 6 || method.slot == 14 || method.slot == 19) continue;
        EXPECT_EQ(answers(log, method.shortName + 3).back(), result == 'I'   ? "1060"
                                                             : result == 'Z' ? "false"
                                                                             : "null")
            << method.shortName;
    }
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

// Target, arguments, working directory, icon, description and hot key of a shortcut file.
std::vector<std::string> readLink(const Text& file) {
    IShellLinkW* shell = nullptr;
    IPersistFile* persist = nullptr;
    wchar_t texts[5][MAX_PATH] = {};
    int index = 0;
    WORD hotKey = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell))) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(wc(file), STGM_READ))) {
        (void)shell->GetPath(texts[0], MAX_PATH, nullptr, 0);
        (void)shell->GetArguments(texts[1], MAX_PATH);
        (void)shell->GetWorkingDirectory(texts[2], MAX_PATH);
        (void)shell->GetIconLocation(texts[3], MAX_PATH, &index);
        (void)shell->GetDescription(texts[4], MAX_PATH);
        (void)shell->GetHotkey(&hotKey);
    }
    if (persist) persist->Release();
    if (shell) shell->Release();
    std::vector<std::string> fields;
    for (const wchar_t* text : texts)
        fields.push_back(toUtf8(tc(text)));
    fields.push_back(std::to_string(hotKey));
    return fields;
}

// The shortcut files of an application in a directory, by action word.
std::set<std::string> shortcutsIn(const Text& directory, const Text& base = u"TavSvcLink") {
    std::set<std::string> words;
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileW(wc(directory + u"\\" + base + u" - *.lnk"), &found);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found)) {
        const std::string name = toUtf8(tc(found.cFileName));
        words.insert(name.substr(base.size() + 3, name.size() - base.size() - 7));
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return words;
}

// A shortcut run as the shell would run it: its target with its arguments in its directory.
unsigned long runLink(const std::vector<std::string>& link) {
    return runProcess(fromUtf8(link[0]), fromUtf8(link[1]), fromUtf8(link[2]), 60000).exitCode;
}

DWORD serviceState(const wchar_t* name) {
    SERVICE_STATUS status{};
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
    if (!service || !QueryServiceStatus(service, &status)) status.dwCurrentState = 0; // 0: no such service
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return status.dwCurrentState;
}

constexpr char kLinkedService[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "main ran"
  method serviceGetInfo ()[Ljava/lang/String;
    return ["Tavrelo Link Test" null "true" "true"]
  method serviceInit ()Z
    invoke scmQueryStatus null
    return true
  method serviceIsLaunch ()Z
    return true
  method taskGetInfo ()[Ljava/lang/String;
    return ["UI"]
  method taskInit (Z)V
    start AWT-EventQueue-0 60000
  native scmQueryStatus (Ljava/lang/String;)[Ljava/lang/String;
)";

// Written in the current directory, read back, each run for what it says; deleted in full from
// the launcher directory only; the sets of the other kinds of application.
TEST(ShortcutsEndToEnd, SetsAreWrittenReadBackRunAndDeleted) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    tavrelo::test::TempDir dir, elsewhere;
    const Text launcher = dir / u"TavSvcLink_console.exe";
    ASSERT_TRUE(installJre(dir / u"jre", "jre"));
    ASSERT_TRUE(writeScenario(dir / u"jre", kLinkedService));
    ASSERT_TRUE(os::writeFile(dir / u"TavSvcLink.properties", "MainClass=demo.App\r\n"));
    ASSERT_TRUE(installLauncher(launcher, u"Tavrelo_console.exe"));
    ASSERT_TRUE(installLauncher(dir / u"TavSvcLink.exe", u"Tavrelo.exe"));
    const auto log = [&] { return CallLog::read(dir / u"jre"); };

    EXPECT_EQ(runProcess(launcher, u"-createShortcut", elsewhere.path(), 60000).exitCode, 1u);
    EXPECT_EQ(shortcutsIn(elsewhere.path()), (std::set<std::string>{"stop", "start", "runUI", "install", "delete"}));
    EXPECT_TRUE(shortcutsIn(dir.path()).empty());
    EXPECT_FALSE(log().has("call", "demo.App.main"));
    const std::vector<std::pair<std::string, std::string>> options{{"install", "-installService"},
                                                                   {"stop", "-stopService"},
                                                                   {"start", "-startService"},
                                                                   {"runUI", "-startServiceUI"},
                                                                   {"delete", "-deleteService"}};
    std::vector<std::vector<std::string>> links;
    for (const auto& [word, option] : options) {
        links.push_back(readLink(elsewhere / (u"TavSvcLink - " + fromUtf8(word) + u".lnk")));
        EXPECT_EQ(links.back(), (std::vector<std::string>{toUtf8(os::longPathName(launcher)), option,
                                                          toUtf8(os::longPathName(dir.path())), "", "", "0"}));
    }

    // Each shortcut does what it says.
    EXPECT_EQ(runLink(links[0]), 1u);
    EXPECT_TRUE(waitUntil([] { return serviceState(L"TavSvcLink") == SERVICE_RUNNING; }, 10000)) << log().text();
    // In its own service process a null name is that service: its process id.
    const auto inits = log().find("call", "demo.App.serviceInit");
    const auto selves = answers(log(), "QueryStatus");
    ASSERT_TRUE(inits.size() == 1 && selves.size() == 1) << log().text();
    EXPECT_EQ(selves[0].substr(selves[0].rfind(", ") + 2), "\"" + std::to_string(inits[0].pid) + "\"]");
    EXPECT_EQ(runLink(links[1]), 1u);
    EXPECT_TRUE(waitUntil([] { return serviceState(L"TavSvcLink") == SERVICE_STOPPED; }, 10000));
    EXPECT_EQ(runLink(links[2]), 1u);
    EXPECT_TRUE(waitUntil([] { return serviceState(L"TavSvcLink") == SERVICE_RUNNING; }, 10000));
    unsigned long companion = 1;
    std::thread ui([&] { companion = runLink(links[3]); });
    EXPECT_TRUE(waitUntil([&] { return log().has("call", "demo.App.taskInit"); }, 20000)) << log().text();
    EXPECT_EQ(runLink(links[4]), 1u);
    ui.join();
    EXPECT_EQ(companion, 1u);
    EXPECT_TRUE(waitUntil([] { return serviceState(L"TavSvcLink") == 0; }, 10000));

    // The whole set goes from the launcher directory, whatever serviceGetInfo says now and with
    // a file already missing; the other directory keeps its own.
    EXPECT_EQ(runProcess(launcher, u"-createShortcut", dir.path(), 60000).exitCode, 1u);
    EXPECT_TRUE(os::deleteFile(dir / u"TavSvcLink - start.lnk"));
    ASSERT_TRUE(writeScenario(dir / u"jre", "class demo.App\n  method serviceInit ()Z\n    return true\n"));
    EXPECT_EQ(runProcess(launcher, u"-deleteShortcut", elsewhere.path(), 60000).exitCode, 1u);
    EXPECT_TRUE(shortcutsIn(dir.path()).empty());
    EXPECT_EQ(shortcutsIn(elsewhere.path()).size(), 5u);

    const struct {
        const char* scenario;
        const char* runType;
        std::set<std::string> words;
    } kinds[] = {
        {"  method serviceInit ()Z\n  method taskGetInfo ()[Ljava/lang/String;\n", "", {"runUI", "install", "delete"}},
        {"  method serviceGetInfo ()[Ljava/lang/String;\n    return [\"X\" null \"false\"]\n",
         "",
         {"start", "install", "delete"}},
        {"  method main ([Ljava/lang/String;)V\n", "", {}},
        {"  method main ([Ljava/lang/String;)V\n", "RunType=2", {"install", "delete"}},
        {"  method main ([Ljava/lang/String;)V\n", "RunType=3", {"install", "delete"}},
        {"  method scrsvOpenConfig ()V\n", "RunType=3", {"config", "install", "delete"}},
    };
    for (const auto& kind : kinds) {
        tavrelo::test::TempDir here;
        ASSERT_TRUE(writeScenario(dir / u"jre", std::string("class demo.App\n") + kind.scenario));
        ASSERT_TRUE(
            os::writeFile(dir / u"TavSvcLink.properties", "MainClass=demo.App\r\n" + std::string(kind.runType)));
        EXPECT_EQ(runProcess(launcher, u"-createShortcut", here.path(), 60000).exitCode, 1u);
        EXPECT_EQ(shortcutsIn(here.path()), kind.words) << kind.scenario << kind.runType;
    }
    EXPECT_FALSE(log().has("call", "demo.App.main"));
    EXPECT_EQ(log().errors(), std::vector<std::string>{}) << log().text();
    CoUninitialize();
}

constexpr char kSaverAndApplet[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
  method scrsvPaint (Ljava/awt/Graphics2D;II)V
  method scrsvOpenConfig ()V
  method cplGetInfo ()[Ljava/lang/String;
    return ["TavCplLink applet"]
)";


// The applet's Cpls value, empty when it is not registered.
std::string registeredApplet() {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    RegGetValueW(HKEY_LOCAL_MACHINE, kCplsKey, L"TavCplLink applet", RRF_RT_REG_SZ, nullptr, value, &size);
    return toUtf8(tc(value));
}

// A screen saver and an applet, each detected by its build beside the launcher: their shortcuts
// run the launcher into the actions that install, configure and remove them.
TEST(ShortcutsEndToEnd, ScreenSaverAndAppletShortcutsInstallConfigureAndRemove) {
    struct Leftovers {
        Leftovers() { clear(); }
        ~Leftovers() { clear(); }
        static void clear() {
            DeleteFileW(wc(systemFile(u"TavScrLink.scr")));
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kCplsKey, L"TavCplLink applet");
        }
    } leftovers;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    tavrelo::test::TempDir dir, elsewhere;
    ASSERT_TRUE(installJre(dir / u"jre", "jre"));
    ASSERT_TRUE(writeScenario(dir / u"jre", kSaverAndApplet));
    for (const Text base : {u"TavScrLink", u"TavCplLink"}) {
        ASSERT_TRUE(os::writeFile(dir / (base + u".properties"), "MainClass=demo.App\r\n"));
        ASSERT_TRUE(installLauncher(dir / (base + u"_console.exe"), u"Tavrelo_console.exe"));
    }
    ASSERT_TRUE(installLauncher(dir / u"TavScrLink.scr", u"Tavrelo.scr"));
    ASSERT_TRUE(installLauncher(dir / u"TavCplLink.cpl", u"Tavrelo.cpl"));
    const auto log = [&] { return CallLog::read(dir / u"jre"); };
    // Exactly the set is written; its shortcuts as read back, by action word.
    const auto createLinks = [&](const Text& base, const std::set<std::string>& words) {
        EXPECT_EQ(runProcess(dir / (base + u"_console.exe"), u"-createShortcut", elsewhere.path(), 60000).exitCode, 1u);
        EXPECT_EQ(shortcutsIn(elsewhere.path(), base), words);
        std::map<std::string, std::vector<std::string>> links;
        for (const std::string& word : words)
            links[word] = readLink(elsewhere / (base + u" - " + fromUtf8(word) + u".lnk"));
        return links;
    };

    auto saver = createLinks(u"TavScrLink", {"config", "install", "delete"});
    EXPECT_EQ(runLink(saver["install"]), 1u);
    std::string source, copy;
    EXPECT_TRUE(os::readFile(dir / u"TavScrLink.scr", source) && os::readFile(systemFile(u"TavScrLink.scr"), copy) && copy == source);
    EXPECT_EQ(runLink(saver["config"]), 1u);
    EXPECT_EQ(log().find("call", "demo.App.scrsvOpenConfig").size(), 1u) << log().text();
    EXPECT_EQ(runLink(saver["delete"]), 1u);
    EXPECT_FALSE(os::pathExists(systemFile(u"TavScrLink.scr")));

    auto applet = createLinks(u"TavCplLink", {"install", "delete"});
    EXPECT_EQ(runLink(applet["install"]), 1u);
    EXPECT_EQ(registeredApplet(), toUtf8(os::longPathName(dir / u"TavCplLink.cpl")));
    EXPECT_EQ(runLink(applet["delete"]), 0u);
    EXPECT_EQ(registeredApplet(), "");
    EXPECT_FALSE(log().has("call", "demo.App.main"));
    EXPECT_EQ(log().errors(), std::vector<std::string>{}) << log().text();
    CoUninitialize();
}

} // namespace
} // namespace tavrelo::standin::test
