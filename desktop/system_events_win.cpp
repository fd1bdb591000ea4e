// The hidden top-level window that receives the system's broadcasts, and the dispatcher that
// turns them into `notifyEvent` calls and the answers Windows expects.
#include <windows.h>

#include <dbt.h>

#include <atomic>
#include <cstring>
#include <utility>

#include "desktop/desktop.h"
#include "desktop/network_adapters.h"
#include "desktop/session_restore.h"
#include "desktop/session_watch.h"
#include "launcher/launcher.h"
#include "platform/system.h"
#include "platform/win_text.h"
#include "service/service_pump.h"

namespace tavrelo {

namespace {

constexpr wchar_t kEventWindowClass[] = L"Tavrelo WinEvent";
constexpr UINT_PTR kEventTimer = 1;
constexpr UINT kEventTimerPeriodMs = 1000;
// A device name beyond this is cut: the sender's buffer size is not known here.
constexpr std::size_t kDeviceNameLimit = 260;

// The desktop thread's, only it touches these.
HWND eventWindow = nullptr;
// Given up by the desktop thread or, at the process's end, by the clean-up step.
std::atomic<void*> monitorPowerNotification{nullptr};
std::atomic<void*> batteryNotification{nullptr};
unsigned long winlogonId = 0; // the first winlogon.exe when the window was made
int screenSaverState = -1;    // unknown until the first poll
AdapterTable networkAdapters;

constexpr GUID kMonitorPowerOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
constexpr GUID kBatteryPercentageRemaining = {
    0xA7AD8041, 0xB45A, 0x4CAE, {0x87, 0xA3, 0xEE, 0xCB, 0xB4, 0x68, 0xA9, 0xE1}};
constexpr std::uintptr_t kMonitorPower = 0xF170; // SC_MONITORPOWER
constexpr int kMonitorOff = 2, kMonitorOn = -1;
constexpr LPARAM kEndSessionLogoff = static_cast<LPARAM>(0x80000000u);

// Where the message carries an address, it is only meaningful in the process that received it.
enum class Origin { Window, Relayed };

int answerFor(int result, int defaultAnswer) noexcept { return result == 0 ? defaultAnswer : result; }

int notifyPlain(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    SystemEvent event;
    event.code = static_cast<int>(message);
    event.wParam = static_cast<int>(wParam);
    event.lParam = static_cast<int>(lParam);
    return notifyEvent(event);
}

int notifyBattery(LPARAM lParam) noexcept {
    SYSTEM_POWER_STATUS status{};
    if (!GetSystemPowerStatus(&status)) return 1;
    SystemEvent event;
    event.code = kEventPowerBroadcast;
    event.wParam = PBT_APMPOWERSTATUSCHANGE;
    event.lParam = static_cast<int>(lParam);
    event.text = Text();
    event.ints = {static_cast<std::int32_t>(status.BatteryLifeTime), static_cast<std::int32_t>(status.BatteryFullLifeTime)};
    event.bytes = {status.ACLineStatus, status.BatteryFlag, status.BatteryLifePercent};
    return notifyEvent(event);
}

// A setting the window registered for, read only within the data length the record declares.
// Absent for the settings that are passed on as plain power broadcasts.
std::optional<int> notifyPowerSetting(const POWERBROADCAST_SETTING& setting) noexcept {
    if (IsEqualGUID(setting.PowerSetting, kMonitorPowerOn)) {
        DWORD on = 0;
        if (setting.DataLength < sizeof on) return 1;
        memcpy(&on, setting.Data, sizeof on);
        return notifyPlain(WM_SYSCOMMAND, kMonitorPower, on == 0 ? kMonitorOff : kMonitorOn);
    }
    if (IsEqualGUID(setting.PowerSetting, kBatteryPercentageRemaining)) return notifyBattery(0);
    return std::nullopt;
}

int dispatchPower(WPARAM wParam, LPARAM lParam, Origin origin) noexcept {
    if (wParam == PBT_APMPOWERSTATUSCHANGE) return notifyBattery(lParam);
    if (wParam == PBT_POWERSETTINGCHANGE && lParam != 0) {
        if (origin != Origin::Window) return kAnswerDefault;
        if (auto answer = notifyPowerSetting(*reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam))) return *answer;
    }
    return answerFor(notifyPlain(WM_POWERBROADCAST, wParam, lParam), kBroadcastQueryDeny);
}

// In the service process the secure desktop's screen saver is seen as a ".scr" program that
// winlogon started; elsewhere the system says whether one runs. Absent when it cannot say.
std::optional<bool> screenSaverRunning() noexcept {
    if (launchContext().serviceSubMode == kSubModeService) {
        struct Search {
            unsigned long parent;
            bool found;
        } search{winlogonId, false};
        if (search.parent == 0) return false;
        forEachProcess(
            [](unsigned long, unsigned long parentId, TextView name, void* context) {
                auto& s = *static_cast<Search*>(context);
                s.found = parentId == s.parent && endsWithIgnoreCase(name, u".scr");
                return !s.found;
            },
            &search);
        return search.found;
    }
    BOOL running = FALSE;
    if (!SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return std::nullopt;
    return running != FALSE;
}

void pollScreenSaver() noexcept {
    const auto running = screenSaverRunning();
    if (running && screenSaverChanged(screenSaverState, *running))
        (void)notifyPlain(WM_SYSCOMMAND, SC_SCREENSAVE, *running ? 1 : 0);
}

// The device record the message points to, read only within the size it declares.
int notifyDeviceRecord(WPARAM wParam, LPARAM lParam) noexcept {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (!header || header->dbch_size < sizeof(DEV_BROADCAST_HDR)) return 1;
    const DWORD size = header->dbch_size;
    SystemEvent event;
    event.code = kEventDeviceChange;
    event.wParam = static_cast<int>(wParam);
    const std::int32_t common[] = {static_cast<std::int32_t>(size), static_cast<std::int32_t>(header->dbch_devicetype),
                                   static_cast<std::int32_t>(header->dbch_reserved)};
    event.ints.assign(std::begin(common), std::end(common));
    switch (header->dbch_devicetype) {
    case DBT_DEVTYP_OEM: {
        if (size < sizeof(DEV_BROADCAST_OEM)) return 1;
        const auto* oem = reinterpret_cast<const DEV_BROADCAST_OEM*>(header);
        event.ints.push_back(static_cast<std::int32_t>(oem->dbco_identifier));
        event.ints.push_back(static_cast<std::int32_t>(oem->dbco_suppfunc));
        break;
    }
    case DBT_DEVTYP_VOLUME: {
        if (size < offsetof(DEV_BROADCAST_VOLUME, dbcv_flags) + sizeof(WORD)) return 1;
        const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(header);
        event.ints.push_back(static_cast<std::int32_t>(volume->dbcv_unitmask));
        event.ints.push_back(static_cast<std::int32_t>(volume->dbcv_flags));
        break;
    }
    case DBT_DEVTYP_PORT: {
        constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_PORT_W, dbcp_name);
        if (size < kNameOffset + sizeof(wchar_t)) return 1;
        const auto* port = reinterpret_cast<const DEV_BROADCAST_PORT_W*>(header);
        const std::size_t room = (size - kNameOffset) / sizeof(wchar_t);
        event.text = Text(tc(port->dbcp_name), wcsnlen(port->dbcp_name, room));
        break;
    }
    default: return 1;
    }
    return notifyEvent(event);
}

int dispatchDevice(WPARAM wParam, LPARAM lParam, Origin origin) noexcept {
    switch (wParam) {
    case DBT_QUERYCHANGECONFIG:
        return answerFor(notifyPlain(WM_DEVICECHANGE, wParam, lParam), kBroadcastQueryDeny);
    case DBT_CONFIGCHANGED:
    case DBT_CONFIGCHANGECANCELED: return answerFor(notifyPlain(WM_DEVICECHANGE, wParam, lParam), 1);
    case DBT_DEVICEARRIVAL:
    case DBT_DEVICEQUERYREMOVE:
    case DBT_DEVICEQUERYREMOVEFAILED:
    case DBT_DEVICEREMOVEPENDING:
    case DBT_DEVICEREMOVECOMPLETE:
    case DBT_DEVICETYPESPECIFIC:
    case DBT_CUSTOMEVENT:
    case DBT_USERDEFINED: {
        if (origin != Origin::Window) return 1;
        const int defaultAnswer = wParam == DBT_DEVICEQUERYREMOVE ? kBroadcastQueryDeny
                                  : wParam == DBT_USERDEFINED  ? 0
                                                               : 1;
        return answerFor(notifyDeviceRecord(wParam, lParam), defaultAnswer);
    }
    default: return 1;
    }
}

int dispatch(UINT message, WPARAM wParam, LPARAM lParam, Origin origin) noexcept {
    // The companion hands the display change to its service; nothing here is the application's.
    if (launchContext().serviceSubMode == kSubModeCompanion) {
        if (message == WM_DISPLAYCHANGE && origin == Origin::Window)
            (void)forwardDisplayChange(static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam));
        return kAnswerDefault;
    }
    switch (message) {
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
    case WM_TIMECHANGE:
    case WM_COMPACTING:
    case WM_USERCHANGED:
    case WM_DISPLAYCHANGE:
    case WM_SYSCOMMAND: return notifyPlain(message, wParam, lParam);
    case WM_DEVMODECHANGE: {
        if (origin != Origin::Window) return kAnswerDefault;
        SystemEvent event;
        event.code = WM_DEVMODECHANGE;
        event.wParam = static_cast<int>(wParam);
        if (const auto* name = reinterpret_cast<const wchar_t*>(lParam))
            event.text = Text(tc(name), wcsnlen(name, kDeviceNameLimit));
        return notifyEvent(event);
    }
    case WM_POWER: {
        const auto translated = translateOldPowerRequest(wParam);
        if (!translated) return kAnswerDefault;
        return dispatchPower(static_cast<WPARAM>(translated->wParam), translated->lParam, origin);
    }
    case WM_TIMER:
        if (origin != Origin::Window) return 0;
        pollScreenSaver();
        reportNetworkAdapters(networkAdapters, readNetworkAdapters());
        return 0;
    case WM_POWERBROADCAST: return dispatchPower(wParam, lParam, origin);
    case WM_DEVICECHANGE: return dispatchDevice(wParam, lParam, origin);
    case WM_WTSSESSION_CHANGE:
        onSessionChange(static_cast<unsigned>(wParam), static_cast<std::uint32_t>(lParam));
        return 0;
    default: return kAnswerDefault;
    }
}

LRESULT CALLBACK eventWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // Session data is kept for a shutdown or restart, not for a log-off.
    const bool sessionEnds = (lParam & kEndSessionLogoff) == 0;
    if (message == WM_ENDSESSION && sessionEnds) endSession(wParam != 0);
    const int answer = dispatch(message, wParam, lParam, Origin::Window);
    if (message == WM_QUERYENDSESSION && sessionEnds && answer != 0) startSessionSave();
    if (answer <= kAnswerDefault) return DefWindowProcW(window, message, wParam, lParam);
    return answer;
}

} // namespace

bool createEventWindow(const std::string&) noexcept {
    if (eventWindow) return true;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = eventWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kEventWindowClass;
    if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    // Top level, not message-only: the system broadcasts only to top-level windows.
    eventWindow = CreateWindowExW(0, kEventWindowClass, L"", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!eventWindow) return false;
    // The timer also gives the desktop loop a message at least once a second to test liveness on.
    SetTimer(eventWindow, kEventTimer, kEventTimerPeriodMs, nullptr);
    (void)startSessionWatch(eventWindow);
    monitorPowerNotification.store(registerPowerNotification(eventWindow, &kMonitorPowerOn));
    batteryNotification.store(registerPowerNotification(eventWindow, &kBatteryPercentageRemaining));
    winlogonId = winlogonProcessId();
    return true;
}

void unregisterEventNotifications() noexcept {
    unregisterPowerNotification(monitorPowerNotification.exchange(nullptr));
    unregisterPowerNotification(batteryNotification.exchange(nullptr));
    releaseSessionNotifications();
}

void destroyEventWindow() noexcept {
    if (!eventWindow) return;
    unregisterEventNotifications();
    stopSessionWatch();
    KillTimer(eventWindow, kEventTimer);
    DestroyWindow(eventWindow);
    eventWindow = nullptr;
}

long long dispatchSystemEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    return dispatch(message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam), Origin::Relayed);
}

} // namespace tavrelo
