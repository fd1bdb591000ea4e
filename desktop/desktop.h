// The desktop thread and the system events it delivers to the application's `notifyEvent`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// Feature bits of the desktop thread (combined).
enum DesktopFeature : int { kFeatureTray = 1, kFeatureSystemEvents = 2, kFeatureScreenSaverWindow = 4 };

// Codes `notifyEvent` receives that are not window messages.
enum SystemEventCode : int {
    kEventSysCommand = 274,
    kEventPowerBroadcast = 536,
    kEventDeviceChange = 537,
    kEventSessionChange = 689,
    kEventNetworkAdapter = 1025,
    kEventConsole = 1026,
};

// What the window answers: anything at or below this lets the default window procedure answer.
inline constexpr int kAnswerDefault = -2;
inline constexpr int kBroadcastQueryDeny = 0x424D5144;

// One call of `notifyEvent(code, wParam, lParam, text, ints, bytes)`. Absent text is Java null.
struct SystemEvent {
    int code = 0;
    int wParam = 0;
    int lParam = 0;
    std::optional<Text> text;
    std::vector<std::int32_t> ints;
    std::vector<std::uint8_t> bytes;
};

// Binds `notifyEvent` for the main class (launch thread, before the desktop thread runs); true
// when the application defines it.
bool bindSystemEvents(const std::string& mainClass) noexcept;
// The application's answer; 1 when it does not define the method or the call cannot be made.
// Any thread (the caller lets go of Java itself when it is not a thread that stays).
[[nodiscard]] int notifyEvent(const SystemEvent& event) noexcept;

// The old power message's request translated into the power broadcast it stands for
// (wParam, lParam); absent for requests that have none.
struct PowerTranslation {
    int wParam;
    int lParam;
};
[[nodiscard]] std::optional<PowerTranslation> translateOldPowerRequest(std::uintptr_t request) noexcept;

// The screen-saver poll's decision: whether to tell the application that the screen saver now
// runs or not. `last` is the state remembered (-1 while unknown, 0 off, 1 running) and becomes
// the new one. A screen saver found off at the first poll is not news.
[[nodiscard]] bool screenSaverChanged(int& last, bool running) noexcept;

// The console control handler's decision once `notifyEvent` answered. A service process keeps
// running through a user's logoff whatever the application said: that user's end is not the
// service's. Ctrl+Break goes on to the VM, which prints its threads and goes on itself.
enum class ConsoleOutcome {
    Handled, // the process goes on; no later handler sees the event
    PassOn,  // later handlers see it; the process goes on
    Ending,  // later handlers see it and end the process: the launcher is ending
};
[[nodiscard]] ConsoleOutcome consoleEventOutcome(int controlCode, int answer, bool serviceProcess) noexcept;

// The screen-saver build's window, made and destroyed on the desktop thread when the feature set
// holds kFeatureScreenSaverWindow. Set by that build before the launch sequence; the other
// builds have none.
struct DesktopWindowFunctions {
    bool (*create)() noexcept = nullptr;
    void (*destroy)() noexcept = nullptr;
};
void setScreenSaverWindowFunctions(DesktopWindowFunctions functions) noexcept;

// The system-event window of the desktop thread: created and destroyed on that thread only.
bool createEventWindow(const std::string& mainClass) noexcept;
void destroyEventWindow() noexcept;
// Gives up the power-setting and session notifications; any thread, no waiting (the process's end).
void unregisterEventNotifications() noexcept;

// The tray icon counts as not shown, so its next refresh adds it again (the shell lost it, or a
// companion was asked to show it anew). Any thread.
void markIconHidden();

// Dispatches a message relayed from another process (the companion's display change). Only
// messages whose parameters are plain values are handled; the others answer kAnswerDefault,
// since an address from another process means nothing here.
[[nodiscard]] long long dispatchSystemEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) noexcept;

} // namespace tavrelo
