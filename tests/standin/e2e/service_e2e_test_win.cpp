// The real launchers as a service under wine's service manager, against the stand-in runtime:
// the setup flow's questions and options, what gets registered, the controls reaching the
// application's methods, and stops that the application holds up.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "harness/box_driver.h"
#include "harness/process.h"
#include "harness/standin.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "platform/win_text.h"
#include "test_process.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

using tavrelo::test::waitUntil;

SERVICE_STATUS statusOf(const Text& name) {
    SERVICE_STATUS status{};
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, wc(name), SERVICE_QUERY_STATUS) : nullptr;
    if (!service || !QueryServiceStatus(service, &status)) status.dwCurrentState = 0;
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return status;
}

// 0 when the control was accepted, else the error.
DWORD control(const Text& name, DWORD code) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(manager, wc(name), SERVICE_ALL_ACCESS);
    SERVICE_STATUS status{};
    DWORD error = 0;
    if (code == 0 ? !StartServiceW(service, 0, nullptr) : !ControlService(service, code, &status))
        error = GetLastError();
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return error;
}

bool reaches(const Text& name, DWORD state, unsigned timeoutMs) {
    return waitUntil([&] { return statusOf(name).dwCurrentState == state; }, timeoutMs);
}

bool serviceExists(const Text& name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(manager, wc(name), SERVICE_QUERY_STATUS);
    const bool exists = service != nullptr;
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return exists;
}

void deleteService(const Text& name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (SC_HANDLE service = OpenServiceW(manager, wc(name), SERVICE_ALL_ACCESS)) {
        SERVICE_STATUS status{};
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

// The service processes that called `method`, from the log: each gone within `timeoutMs`.
bool processesGone(const Text& jre, const std::string& method, unsigned timeoutMs) {
    for (const LogLine& line : CallLog::read(jre).find("call", method)) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, line.pid);
        if (!process) continue;
        const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
        CloseHandle(process);
        if (!ended) return false;
    }
    return true;
}

class Service : public ::testing::Test {
  protected:
    void install(const Text& name, const char* scenario, const char* options = "") {
        name_ = name;
        deleteService(name_);
        ASSERT_TRUE(installJre(dir / u"jre", "jre"));
        ASSERT_TRUE(writeScenario(dir / u"jre", scenario));
        ASSERT_TRUE(os::writeFile(dir / (name + u".properties"),
                                  std::string("MainClass=demo.App\r\nPersonalOptions=") + options + "\r\n"));
        ASSERT_TRUE(installLauncher(dir / (name + u"_console.exe"), u"Tavrelo_console.exe"));
        ASSERT_TRUE(installLauncher(dir / (name + u".exe"), u"Tavrelo.exe"));
    }
    void TearDown() override {
        if (!name_.empty()) deleteService(name_);
    }
    ProcessResult launch(const Text& program, const Text& arguments, BoxDriver* driver = nullptr) {
        return runProcess(dir / program, arguments, dir.path(), 60000, driver);
    }
    [[nodiscard]] CallLog log() const { return CallLog::read(dir / u"jre"); }

    tavrelo::test::TempDir dir;
    Text name_;
};

constexpr char kLifeApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "main ran"
  method serviceGetInfo ()[Ljava/lang/String;
    return sequence ["Tavrelo Life Test" "Life test service" "false" "true" null null "RpcSs/PlugPlay"] ["Tavrelo Life Test" "Watched" "false" "true" null null "RpcSs/PlugPlay"]
  method serviceInit ()Z
    return true
  method serviceControl_Pause ()Z
    return sequence true false
  method serviceControl_Continue ()Z
    return true
  method serviceFinish ()V
    print "finished"
)";

// Declined, installed from the console launcher, paused, refused, stopped and deleted: one
// installed service throughout, since the manager's starts and stops are slow under wine.
TEST_F(Service, SetupRegistersControlsAndDeletes) {
    const Text name = u"TavSvcLife";
    install(name, kLifeApp);

    BoxDriver decline({kIdNo});
    const ProcessResult declined = launch(name + u"_console.exe", u"", &decline);
    ASSERT_EQ(decline.boxes().size(), 1u);
    EXPECT_EQ(decline.boxes()[0].text, u"Do you want to install this program as Windows service ?");
    EXPECT_EQ(declined.exitCode, 1u);
    EXPECT_FALSE(serviceExists(name));
    EXPECT_FALSE(log().has("call", "demo.App.main"));

    BoxDriver none;
    const ProcessResult installed = launch(name + u"_console.exe", u"-installService -startService", &none);
    EXPECT_EQ(installed.exitCode, 1u);
    EXPECT_TRUE(none.boxes().empty());
    ASSERT_TRUE(reaches(name, SERVICE_RUNNING, 10000)) << log().text();

    const Text key = u"System\\CurrentControlSet\\Services\\" + name;
    EXPECT_EQ(regReadText(HKEY_LOCAL_MACHINE, key, u"DisplayName").value_or(u""), u"Tavrelo Life Test");
    EXPECT_EQ(regReadText(HKEY_LOCAL_MACHINE, key, u"ImagePath").value_or(u""),
              u"\"" + os::longPathName(dir.path()) + u"\\" + name + u".exe\" __RunService__");
    const auto start = regReadValue(HKEY_LOCAL_MACHINE, key, u"Start", true);
    ASSERT_TRUE(start);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(start->data.data()), static_cast<DWORD>(SERVICE_DEMAND_START));
    // wine's QueryServiceConfigW leaves the dependencies out: the registry holds them.
    const auto dependencies = regReadValue(HKEY_LOCAL_MACHINE, key, u"DependOnService", false);
    ASSERT_TRUE(dependencies);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(dependencies->data.data()), dependencies->size / 2),
              std::u16string(u"RpcSs\0PlugPlay\0\0", 16));
    const auto description = [&] {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = OpenServiceW(manager, wc(name), SERVICE_QUERY_CONFIG);
        alignas(8) BYTE buffer[8192];
        DWORD needed = 0;
        std::wstring text;
        if (QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buffer, sizeof buffer, &needed))
            text = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer)->lpDescription;
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return text;
    };
    EXPECT_EQ(description(), L"Life test service");
    const ULONGLONG running = GetTickCount64();

    EXPECT_EQ(control(name, SERVICE_CONTROL_PAUSE), 0u);
    EXPECT_TRUE(reaches(name, SERVICE_PAUSED, 5000));
    EXPECT_EQ(control(name, SERVICE_CONTROL_CONTINUE), 0u);
    EXPECT_TRUE(reaches(name, SERVICE_RUNNING, 5000));
    EXPECT_EQ(control(name, SERVICE_CONTROL_PAUSE), 0u); // refused this time
    EXPECT_TRUE(waitUntil([&] { return statusOf(name).dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR; }, 5000));
    const SERVICE_STATUS refused = statusOf(name);
    EXPECT_EQ(refused.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(refused.dwServiceSpecificExitCode, 0xFFFFFFFFu);
    EXPECT_EQ(log().find("call", "demo.App.serviceControl_Pause").size(), 2u);
    EXPECT_TRUE(log().has("call", "demo.App.serviceControl_Continue"));

    // The service reads serviceGetInfo again every 30 s and applies what changed.
    EXPECT_TRUE(waitUntil([&] { return description() == L"Watched"; }, 45000));
    EXPECT_GE(GetTickCount64() - running, 25000u);

    EXPECT_EQ(control(name, SERVICE_CONTROL_STOP), 0u);
    EXPECT_TRUE(reaches(name, SERVICE_STOPPED, 5000));
    EXPECT_EQ(statusOf(name).dwWin32ExitCode, 0u);
    EXPECT_TRUE(processesGone(dir / u"jre", "demo.App.serviceInit", 5000));
    EXPECT_EQ(log().find("call", "demo.App.serviceFinish").size(), 1u);

    BoxDriver agree({kIdYes});
    const ProcessResult deleted = launch(name + u".exe", u"", &agree);
    ASSERT_EQ(agree.boxes().size(), 1u);
    EXPECT_EQ(agree.boxes()[0].text, u"The service has already installed.\nDo you want to delete it ?");
    EXPECT_EQ(deleted.exitCode, 1u);
    EXPECT_TRUE(waitUntil([&] { return !serviceExists(name); }, 5000));
    EXPECT_FALSE(log().has("call", "demo.App.main"));
    EXPECT_TRUE(log().errors().empty()) << log().text();
}

// main blocks for the service's life; the stop and pause methods never come back.
constexpr char kHangingApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "main ran"
    sleep 600000
  method serviceGetInfo ()[Ljava/lang/String;
    return ["Tavrelo Hang Test" null "false" "true"]
  method serviceControl_Stop ()Z
    sleep 120000
    return true
  method serviceControl_Pause ()Z
    sleep 120000
    return true
  method serviceFinish ()V
    print "finished"
)";

TEST_F(Service, BlockingMainRunsAndHungMethodsEndWithinTheStopTimeout) {
    const Text name = u"TavSvcHang";
    install(name, kHangingApp, "-Dtavrelo.serviceStopTimeout=3");
    const ProcessResult installed = launch(name + u"_console.exe", u"-installService -startService");
    EXPECT_EQ(installed.exitCode, 1u);
    // wine's manager gives a start 10 s: main must not hold the dispatcher up.
    ASSERT_TRUE(reaches(name, SERVICE_RUNNING, 10000)) << log().text();
    const auto mains = log().find("call", "demo.App.main");
    ASSERT_EQ(mains.size(), 1u);
    EXPECT_EQ(mains[0].thread, "main");

    for (const DWORD first : {0ul, static_cast<DWORD>(SERVICE_CONTROL_PAUSE)}) {
        if (first != 0) {
            ASSERT_EQ(control(name, 0), 0u); // started again after the abandoned stop
            ASSERT_TRUE(reaches(name, SERVICE_RUNNING, 10000));
            EXPECT_EQ(control(name, first), 0u);
            EXPECT_TRUE(reaches(name, SERVICE_PAUSE_PENDING, 3000));
        }
        const ULONGLONG asked = GetTickCount64();
        EXPECT_EQ(control(name, SERVICE_CONTROL_STOP), 0u);
        EXPECT_TRUE(reaches(name, SERVICE_STOPPED, 6000));
        EXPECT_LE(GetTickCount64() - asked, 5000u);
        EXPECT_EQ(statusOf(name).dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
        EXPECT_TRUE(processesGone(dir / u"jre", "demo.App.main", 5000));
    }
    EXPECT_FALSE(log().has("call", "demo.App.serviceFinish"));
    EXPECT_EQ(log().find("call", "demo.App.main").size(), 2u);

    // The setup's delete finds the service stopped and takes it away.
    EXPECT_EQ(launch(name + u"_console.exe", u"-deleteService").exitCode, 1u);
    EXPECT_TRUE(waitUntil([&] { return !serviceExists(name); }, 5000));
}

// serviceInit fails once, with a failure command; then it succeeds, but stop is not accepted.
TEST_F(Service, FailedInitRunsTheFailureCommandAndStopNeedsConsent) {
    const Text name = u"TavSvcFail";
    const Text record = dir / u"failure.txt";
    std::string escaped;
    for (const char c : toUtf8(record))
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const std::string info = R"(
  method serviceGetInfo ()[Ljava/lang/String;
    return ["Tavrelo Fail Test" null "false" "false" "C:/windows/system32/cmd.exe" "/c echo ran>>)" +
                             escaped + R"("]
)";
    install(name, ("class demo.App\n  method serviceInit ()Z\n    return false\n" + info).c_str());
    BoxDriver noStart({kIdNo});
    EXPECT_EQ(launch(name + u"_console.exe", u"-installService", &noStart).exitCode, 1u);
    ASSERT_EQ(noStart.boxes().size(), 1u);
    EXPECT_EQ(noStart.boxes()[0].text, u"The service has created, do you want to start it ?");
    ASSERT_TRUE(serviceExists(name));
    EXPECT_EQ(statusOf(name).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    (void)control(name, 0);
    std::string recorded;
    EXPECT_TRUE(waitUntil([&] { return os::readFile(record, recorded) && !recorded.empty(); }, 10000));
    EXPECT_TRUE(processesGone(dir / u"jre", "demo.App.serviceInit", 5000));
    EXPECT_TRUE(os::readFile(record, recorded));
    EXPECT_EQ(recorded, "ran\r\n");

    // Without a runtime the start fails at once: no box holds the service process up.
    ASSERT_TRUE(MoveFileW(wc(dir / u"jre"), wc(dir / u"gone")));
    const ULONGLONG asked = GetTickCount64();
    EXPECT_NE(control(name, 0), 0u);
    EXPECT_LE(GetTickCount64() - asked, 8000u);
    EXPECT_TRUE(reaches(name, SERVICE_STOPPED, 5000));
    EXPECT_TRUE(os::readFile(record, recorded));
    EXPECT_EQ(recorded, "ran\r\n");
    ASSERT_TRUE(MoveFileW(wc(dir / u"gone"), wc(dir / u"jre")));

    ASSERT_TRUE(writeScenario(dir / u"jre", "class demo.App\n  method serviceInit ()Z\n    return true\n" + info));
    EXPECT_EQ(control(name, 0), 0u);
    EXPECT_TRUE(reaches(name, SERVICE_RUNNING, 10000));
    EXPECT_EQ(control(name, SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    EXPECT_EQ(statusOf(name).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    // It cannot be stopped: the test ends its process itself.
    for (const LogLine& line : log().find("call", "demo.App.serviceInit"))
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, line.pid)) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    // (wine's manager takes a while to notice; the service is deleted all the same)
}

constexpr char kCompanionApp[] = R"(
class demo.App
  method serviceGetInfo ()[Ljava/lang/String;
    return ["Tavrelo UI Test" null "false" "true"]
  method serviceInit ()Z
    return true
  method serviceIsDataForUI ()Z
    return sequence true false
  method serviceDataForUI ()Ljava/io/Serializable;
    return "to companion"
  method serviceDataFromUI (Ljava/io/Serializable;)V
    print "service got"
  method taskIsDataForService ()Z
    return sequence true false
  method taskDataForService ()Ljava/io/Serializable;
    return "to service"
  method taskDataFromService (Ljava/io/Serializable;)V
    print "companion got"
  method taskGetInfo ()[Ljava/lang/String;
    return ["UI"]
  method taskInit (Z)V
    start AWT-EventQueue-0 60000
  method taskErrorNoService ()V
    print "no service"
  method notifyEvent (IIILjava/lang/String;[I[B)I
    return 1
)";

// The companion: started at installation through its Run value, one per session, objects both
// ways, alive through a pause, gone with the stop.
TEST_F(Service, CompanionExchangesObjectsAndFollowsItsService) {
    const Text name = u"TavSvcUi";
    install(name, kCompanionApp);
    const Text runKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const Text runValue = u"Tavrelo_SVC_UI__" + name;
    (void)regDeleteValue(HKEY_CURRENT_USER, runKey, runValue);

    // Without its service the companion tells the application and ends.
    const ProcessResult alone = launch(name + u".exe", u"-startServiceUI");
    EXPECT_EQ(alone.exitCode, 1u);
    EXPECT_EQ(log().find("call", "demo.App.taskErrorNoService").size(), 1u);

    EXPECT_EQ(launch(name + u"_console.exe", u"-installService -startService").exitCode, 1u);
    ASSERT_TRUE(reaches(name, SERVICE_RUNNING, 10000));
    EXPECT_EQ(regReadText(HKEY_CURRENT_USER, runKey, runValue).value_or(u""),
              u"\"" + os::longPathName(dir.path()) + u"\\" + name + u"_console.exe\" -startServiceUI");
    // wine's processes are all fully elevated and it has no shell window: an elevated setup
    // starts no companion (the Run value will, at the next logon); the test starts it instead.
    Sleep(1500);
    EXPECT_EQ(log().find("created").size(), 3u) << log().text();
    ProcessResult companionRun;
    std::thread companionThread([&] { companionRun = launch(name + u"_console.exe", u"-startServiceUI"); });
    // The first probe of the companion brings it a null, then each side's object arrives.
    const bool exchanged = waitUntil(
        [&] {
            return log().has("call", "demo.App.serviceDataFromUI") &&
                   log().find("call", "demo.App.taskDataFromService").size() >= 2;
        },
        20000);
    if (!exchanged) companionThread.join();
    ASSERT_TRUE(exchanged) << log().text();
    const auto toCompanion = log().find("call", "demo.App.taskDataFromService");
    EXPECT_NE(toCompanion[0].details.find("(null)"), std::string::npos) << toCompanion[0].details;
    EXPECT_NE(toCompanion[1].details.find("\"to companion\""), std::string::npos) << toCompanion[1].details;
    EXPECT_NE(log().find("call", "demo.App.serviceDataFromUI")[0].details.find("\"to service\""), std::string::npos);
    const unsigned long companion = toCompanion[0].pid;

    // A display change in the companion's session reaches the service's own notifyEvent; the
    // companion's application is not told.
    HWND eventWindow = nullptr;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"Tavrelo WinEvent", nullptr); w && !eventWindow;
         w = FindWindowExW(nullptr, w, L"Tavrelo WinEvent", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == companion) eventWindow = w;
    }
    ASSERT_NE(eventWindow, nullptr);
    PostMessageW(eventWindow, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    EXPECT_TRUE(waitUntil(
        [&] { return log().has("call", "demo.App.notifyEvent(IIILjava/lang/String;[I[B)I (126, 32, 50332672,"); },
        10000))
        << log().text();
    for (const auto& call : log().find("call", "demo.App.notifyEvent"))
        EXPECT_NE(call.pid, companion);

    // A second companion in the session ends at once, before any exchange.
    const ProcessResult second = launch(name + u".exe", u"-startServiceUI");
    EXPECT_EQ(second.exitCode, 1u);
    EXPECT_FALSE(log().has("call", "demo.App.taskGetInfo") &&
                 log().find("call", "demo.App.taskGetInfo").back().pid != companion);

    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, companion);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(control(name, SERVICE_CONTROL_PAUSE), 0u);
    EXPECT_TRUE(reaches(name, SERVICE_PAUSED, 5000));
    EXPECT_EQ(WaitForSingleObject(process, 2000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(control(name, SERVICE_CONTROL_STOP), 0u);
    EXPECT_EQ(WaitForSingleObject(process, 8000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(process);
    companionThread.join();
    EXPECT_FALSE(companionRun.timedOut);

    EXPECT_EQ(launch(name + u"_console.exe", u"-deleteService").exitCode, 1u);
    EXPECT_FALSE(regReadText(HKEY_CURRENT_USER, runKey, runValue));
    EXPECT_TRUE(log().errors().empty()) << log().text();
}

} // namespace
} // namespace tavrelo::standin::test
