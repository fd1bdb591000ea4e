// The console launcher's system-event window and console handler, end to end against the
// stand-in runtime: the application's notifyEvent answers Windows, and its answer to Ctrl+C
// decides whether the process goes on.
#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>
#include <iphlpapi.h>

#include <cstdio>
#include <thread>

#include "demo_app.h"
#include "platform/os.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kNotifySignature[] = "demo.App.notifyEvent(IIILjava/lang/String;[I[B)I ";

// notifyEvent answers with its wParam, so each message's answer shows which result it followed.
constexpr char kEchoingApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    sleep 5000
  method notifyEvent (IIILjava/lang/String;[I[B)I
    return arg 2
)";

constexpr char kEndingApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    sleep 30000
  method notifyEvent (IIILjava/lang/String;[I[B)I
    return 1
)";

struct EventApp : DemoApp {
    using DemoApp::DemoApp;
    // The console helper presses Ctrl+C once main runs, in a console it shares with the launcher.
    ProcessResult runWithCtrlC() const {
        return runProcess(helperProgram(u"standin_console_helper.exe"),
                          u"\"" + (dir / u"jre") + u"\\standin.log\" demo.App.main( \"" + launcher + u"\"", dir.path(),
                          60000);
    }
};

// The event window of the launcher's process, found by class and process id.
HWND findEventWindow(const EventApp& app) { return app.window(L"Tavrelo WinEvent"); }

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0xBAD;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &answer)) return -12345;
    return static_cast<LRESULT>(answer);
}

bool notified(const CallLog& log, std::string_view arguments) {
    return log.has("call", std::string(kNotifySignature) + std::string(arguments));
}

TEST(SystemEventsEndToEnd, WindowAnswersFollowNotifyEventAndCtrlCZeroKeepsTheApplication) {
    EventApp app(kEchoingApp);
    ProcessResult result;
    std::thread run([&] { result = app.runWithCtrlC(); });
    const HWND window = findEventWindow(app);
    EXPECT_NE(window, nullptr) << app.log().text();
    if (window) {
        EXPECT_EQ(send(window, WM_QUERYENDSESSION, 0, 0), 0);          // 0: the session must not end
        EXPECT_EQ(send(window, WM_QUERYENDSESSION, 0xFFFFFFFE, 0), 1); // -2: the default procedure's TRUE
        EXPECT_EQ(send(window, WM_QUERYENDSESSION, 7, 0), 7);
        EXPECT_EQ(send(window, WM_TIMECHANGE, 3, 4), 3);
        EXPECT_EQ(send(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768)), 32);
        DEV_BROADCAST_VOLUME volume{};
        volume.dbcv_size = sizeof volume;
        volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
        volume.dbcv_unitmask = 1u << 4; // E:
        EXPECT_EQ(send(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume)), DBT_DEVICEARRIVAL);
        // A record too short for a volume's fields gives no call and the plain answer.
        volume.dbcv_size = sizeof(DEV_BROADCAST_HDR);
        EXPECT_EQ(send(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume)), 1);
        // A port name ends with the record that carries it, terminated or not.
        struct {
            DEV_BROADCAST_PORT_W header;
            wchar_t rest[8];
        } port{};
        port.header.dbcp_devicetype = DBT_DEVTYP_PORT;
        wcscpy(port.header.dbcp_name, L"COM7");
        port.header.dbcp_size = offsetof(DEV_BROADCAST_PORT_W, dbcp_name) + 2 * sizeof(wchar_t);
        EXPECT_EQ(send(window, WM_DEVICECHANGE, DBT_DEVICEREMOVEPENDING, reinterpret_cast<LPARAM>(&port)),
                  DBT_DEVICEREMOVEPENDING);
        wchar_t printer[] = L"Office Printer";
        EXPECT_EQ(send(window, WM_DEVMODECHANGE, 9, reinterpret_cast<LPARAM>(printer)), 9);
        constexpr LRESULT kDeny = 0x424D5144;
        EXPECT_EQ(send(window, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), kDeny); // 0: suspend denied
        EXPECT_EQ(send(window, WM_POWER, PWR_SUSPENDREQUEST, 0), kDeny);           // as the suspend query
        EXPECT_EQ(send(window, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 5), PBT_APMPOWERSTATUSCHANGE);
        // A burst of messages, as pointer moves would be, must not test liveness per message.
        for (int i = 0; i < 200; ++i) PostMessageW(window, WM_NULL, 0, 0);
    }
    run.join();
    // Ctrl+C was answered 0, so main's own end ended the process, not the VM's exit path.
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    const CallLog log = app.log();
    EXPECT_TRUE(notified(log, "(17, 0, 0, null, [], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(17, -2, 0, null, [], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(30, 3, 4, null, [], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(126, 32, 50332672, null, [], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(537, 32768, 0, null, [20, 2, 0, 16, 0], bytes:)")) << log.text();
    EXPECT_FALSE(notified(log, "(537, 32772,")) << log.text();
    EXPECT_TRUE(notified(log, "(537, 32771, 0, \"CO\", [16, 3, 0], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(27, 9, 0, \"Office Printer\", [], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(1026, 0, 0, null, [], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(536, 0, 0, null, [], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(536, 0, 1, null, [], bytes:)")) << log.text();
    SYSTEM_POWER_STATUS power{};
    ASSERT_TRUE(GetSystemPowerStatus(&power));
    char battery[128];
    snprintf(battery, sizeof battery, "(536, 10, 5, \"\", [%d, %d], bytes:%02x%02x%02x)",
             static_cast<int>(power.BatteryLifeTime), static_cast<int>(power.BatteryFullLifeTime), power.ACLineStatus,
             power.BatteryFlag, power.BatteryLifePercent);
    EXPECT_TRUE(notified(log, battery)) << battery << "\n" << log.text();
    EXPECT_FALSE(log.has("console-event")) << log.text();
    // main ran about 5 s: about one liveness test a second, each enumerating the threads.
    EXPECT_LE(log.find("call", "java.lang.Thread.enumerate(").size(), 10u);
    EXPECT_FALSE(log.has("exit")) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

// Wine keeps the running screen saver in the prefix's registry; each process reads it once.
struct ScreenSaverRunning {
    ScreenSaverRunning() { ok = SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, TRUE, nullptr, 0) != FALSE; }
    ~ScreenSaverRunning() { SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, nullptr, 0); }
    bool ok;
};

// A power-setting record as the system sends it: it lives in the receiving process.
LRESULT sendPowerSetting(HWND window, HANDLE process, const GUID& setting, DWORD dataLength, DWORD data) {
    POWERBROADCAST_SETTING record{setting, dataLength, {}};
    BYTE bytes[sizeof record + sizeof data];
    memcpy(bytes, &record, offsetof(POWERBROADCAST_SETTING, Data));
    memcpy(bytes + offsetof(POWERBROADCAST_SETTING, Data), &data, sizeof data);
    void* remote = VirtualAllocEx(process, nullptr, sizeof bytes, MEM_COMMIT, PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(process, remote, bytes, sizeof bytes, nullptr)) return -12345;
    const LRESULT answer = send(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(remote));
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return answer;
}

// Each adapter as the poll must report it, read here with the same system call.
std::vector<std::string> adapterReports() {
    std::vector<std::string> reports;
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return reports;
    std::vector<BYTE> buffer(size);
    auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(adapters, &size) != ERROR_SUCCESS) return reports;
    for (const IP_ADAPTER_INFO* a = adapters; a; a = a->Next) {
        int ip[4] = {}, gw[4] = {}, mask[4] = {};
        sscanf(a->IpAddressList.IpAddress.String, "%d.%d.%d.%d", &ip[0], &ip[1], &ip[2], &ip[3]);
        sscanf(a->GatewayList.IpAddress.String, "%d.%d.%d.%d", &gw[0], &gw[1], &gw[2], &gw[3]);
        sscanf(a->IpAddressList.IpMask.String, "%d.%d.%d.%d", &mask[0], &mask[1], &mask[2], &mask[3]);
        const bool addressed = ip[0] || ip[1] || ip[2] || ip[3];
        const int state = addressed && (gw[0] || gw[1] || gw[2] || gw[3]) ? 2 : 1;
        char line[512];
        snprintf(line, sizeof line,
                 "(1025, %d, 0, \"%s\", [%u, %d, %d, %d, %d, %d, %d, %d, %d, %d, %d, %d, %d], bytes:)", state,
                 a->Description, a->Type, ip[0], ip[1], ip[2], ip[3], gw[0], gw[1], gw[2], gw[3], mask[0], mask[1],
                 mask[2], mask[3]);
        reports.push_back(line);
    }
    return reports;
}

TEST(SystemEventsEndToEnd, PollsPowerSettingsAndSessionChangesReachTheApplication) {
    const std::vector<std::string> adapters = adapterReports();
    // Already running at start: the first poll tells the application.
    const ScreenSaverRunning screenSaver;
    ASSERT_TRUE(screenSaver.ok);
    EventApp app(kEchoingApp);
    app.start();
    const HWND window = findEventWindow(app);
    EXPECT_NE(window, nullptr) << app.log().text();
    if (window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
        EXPECT_NE(process, nullptr);
        constexpr GUID kMonitor = {0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
        constexpr GUID kBattery = {0xA7AD8041, 0xB45A, 0x4CAE, {0x87, 0xA3, 0xEE, 0xCB, 0xB4, 0x68, 0xA9, 0xE1}};
        constexpr GUID kOther = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
        EXPECT_EQ(sendPowerSetting(window, process, kMonitor, 4, 0), SC_MONITORPOWER);
        EXPECT_EQ(sendPowerSetting(window, process, kMonitor, 4, 1), SC_MONITORPOWER);
        EXPECT_EQ(sendPowerSetting(window, process, kMonitor, 2, 0), 1); // too short to hold the state
        EXPECT_EQ(sendPowerSetting(window, process, kBattery, 4, 40), PBT_APMPOWERSTATUSCHANGE);
        EXPECT_EQ(sendPowerSetting(window, process, kOther, 4, 0), PBT_POWERSETTINGCHANGE);
        CloseHandle(process);
        // The window answers session changes with 0 whatever the application says.
        EXPECT_EQ(send(window, WM_WTSSESSION_CHANGE, 7, 4), 0);
    }
    const ProcessResult result = app.finish();
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    const CallLog log = app.log();
    // Off, then on; the record too short for the state made no call.
    const std::vector<LogLine> monitor = log.find("call", std::string(kNotifySignature) + "(274, 61808,");
    ASSERT_EQ(monitor.size(), 2u) << log.text();
    EXPECT_NE(monitor[0].details.find("(274, 61808, 2, null, [], bytes:)"), std::string::npos);
    EXPECT_NE(monitor[1].details.find("(274, 61808, -1, null, [], bytes:)"), std::string::npos);
    EXPECT_TRUE(notified(log, "(536, 10, 0, \"\", [")) << log.text();
    EXPECT_TRUE(notified(log, "(536, 32787, ")) << log.text();
    EXPECT_TRUE(notified(log, "(689, 7, 4, \"\", [], bytes:)")) << log.text();
    EXPECT_TRUE(notified(log, "(274, 61760, 1, null, [], bytes:)")) << log.text();
    EXPECT_EQ(log.find("call", std::string(kNotifySignature) + "(274, 61760,").size(), 1u) << log.text();
    EXPECT_FALSE(adapters.empty());
    for (const std::string& report : adapters) EXPECT_TRUE(notified(log, report)) << report << "\n" << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(SystemEventsEndToEnd, CtrlCAnsweredOneGoesOnToTheVmsHandler) {
    EventApp app(kEndingApp);
    const ProcessResult result = app.runWithCtrlC();
    EXPECT_EQ(result.exitCode, 130u) << result.out << result.err;
    const CallLog log = app.log();
    EXPECT_TRUE(notified(log, "(1026, 0, 0, null, [], bytes:)")) << log.text();
    EXPECT_TRUE(log.has("console-event", "CTRL_C_EVENT")) << log.text();
    EXPECT_TRUE(log.has("exit", "130 (exit hook)")) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

} // namespace
} // namespace tavrelo::standin::test
