// The hidden top-level window that receives the system's broadcasts, and the dispatcher that
// turns them into `notifyEvent` calls and the answers Windows expects.
#include <windows.h>

#include <dbt.h>

#include "desktop/desktop.h"
#include "launcher/launcher.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

constexpr wchar_t kEventWindowClass[] = L"Tavrelo WinEvent";
constexpr UINT_PTR kEventTimer = 1;
constexpr UINT kEventTimerPeriodMs = 1000;
// A device name beyond this is cut: the sender's buffer size is not known here.
constexpr std::size_t kDeviceNameLimit = 260;

HWND eventWindow = nullptr; // the desktop thread's, only it touches the window

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

int dispatchPower(WPARAM wParam, LPARAM lParam) noexcept {
    if (wParam == PBT_APMPOWERSTATUSCHANGE) return notifyBattery(lParam);
    // Power settings are not registered for, so a setting change here was sent by some program:
    // its record is not read.
    if (wParam == PBT_POWERSETTINGCHANGE) return kAnswerDefault;
    return answerFor(notifyPlain(WM_POWERBROADCAST, wParam, lParam), kBroadcastQueryDeny);
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
    if (launchContext().serviceSubMode == kSubModeCompanion) return kAnswerDefault;
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
        return dispatchPower(static_cast<WPARAM>(translated->wParam), translated->lParam);
    }
    case WM_TIMER: return 0;
    case WM_POWERBROADCAST: return dispatchPower(wParam, lParam);
    case WM_DEVICECHANGE: return dispatchDevice(wParam, lParam, origin);
    default: return kAnswerDefault;
    }
}

LRESULT CALLBACK eventWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const int answer = dispatch(message, wParam, lParam, Origin::Window);
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
    return true;
}

void destroyEventWindow() noexcept {
    if (!eventWindow) return;
    KillTimer(eventWindow, kEventTimer);
    DestroyWindow(eventWindow);
    eventWindow = nullptr;
}

long long dispatchSystemEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    return dispatch(message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam), Origin::Relayed);
}

} // namespace tavrelo
