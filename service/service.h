// The Windows service: what the application's ServiceManagement methods describe, read into
// plain records, and the operations that install, control and run the service.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

struct CommandLineActions;

// ---- What serviceGetInfo describes (portable) -------------------------------------------------

inline constexpr std::size_t kServiceInfoElements = 12;
inline constexpr std::size_t kServiceCommandLineLimit = 2048;

// The raw String[] of serviceGetInfo: at most 12 elements, a null element absent.
using ServiceInfoElements = std::vector<std::optional<Text>>;

// The elements read with their defaults.
struct ServiceInfo {
    std::optional<Text> displayName; // 0; absent: the service name
    std::optional<Text> description; // 1; absent: not set
    bool autoStart = true;           // 2
    bool acceptsStop = false;        // 3: stop and pause/continue
    Text failureProgram;             // 4
    Text failureArguments;           // 5
    Text dependencies;               // 6: names separated by '/'
    Text actionTypes;                // 7: "RESTART/REBOOT/RUN/..." words
    Text actionDelays;               // 8: seconds separated by '/'
    int resetPeriod = 0;             // 9: seconds, at least -1
    std::optional<Text> rebootMessage; // 10
    bool delayedStart = false;       // 11
};

// Short arrays and null elements take the defaults; booleans are "1" or "true" in any case;
// numbers are read as _wtoi reads them (a non-number is 0).
[[nodiscard]] ServiceInfo parseServiceInfo(const ServiceInfoElements& elements);

enum FailureActionType : int { kFailureNone = 0, kFailureRestart = 1, kFailureReboot = 2, kFailureRun = 3 };
struct FailureAction {
    int type = kFailureNone;
    std::uint32_t delayMs = 0;
    bool operator==(const FailureAction&) const = default;
};

// The failure command as the service manager gets it: the program in double quotes (kept as it
// is when it begins with one), its '/' turned into '\', then a blank and the arguments as
// written. Empty without a program.
[[nodiscard]] Text failureCommand(const ServiceInfo& info);
// One action per word of element 7 (delays from element 8, in ms); RUN added when a command
// exists without one; then NONE up to at least three. Empty when no word gives an action.
[[nodiscard]] std::vector<FailureAction> failureActions(const ServiceInfo& info);
// The same rule for words and delays given apart, with or without a failure command.
[[nodiscard]] std::vector<FailureAction> failureActions(TextView types, TextView delays, bool withCommand);
// The actions back as "RESTART/NONE/..." and their delays in seconds "60/0/...".
struct FailureActionText {
    Text types;
    Text delays;
    bool operator==(const FailureActionText&) const = default;
};
[[nodiscard]] FailureActionText reverseForm(const std::vector<FailureAction>& actions);
// The dependencies as a multi-string (each name NUL-ended, one more NUL at the end); empty
// names and names holding a NUL are skipped, since they would end the list early or split into
// other names. Empty without names.
[[nodiscard]] Text dependencyList(TextView dependencies);
// "\"<directory>\<application>.exe\" __RunService__": the window launcher, also when the console
// launcher installs (at most kServiceCommandLineLimit units).
[[nodiscard]] Text serviceCommandLine(TextView directory, TextView applicationName);

// The companion's Run value name and the named mutex a companion holds for its life.
[[nodiscard]] Text companionRunValueName(TextView serviceName);
[[nodiscard]] Text companionMutexName(TextView serviceName);

// The time a stop (the application's stop method) and serviceFinish each get: the option
// "-Dtavrelo.serviceStopTimeout=<seconds>" of an option string (the last one wins), else 30 s;
// values below 1 s count as 1 s.
inline constexpr unsigned kDefaultStopTimeoutMs = 30000;
[[nodiscard]] unsigned stopTimeoutFrom(TextView optionString) noexcept;

// ---- Shortcuts of the run types (portable) --------------------------------------------------

// One shortcut of a set: the action word in its file name "<application> - <word>.lnk" and the
// option it runs the launcher with.
struct Shortcut {
    TextView word;
    TextView option;
    bool operator==(const Shortcut&) const = default;
};
// What decides which shortcuts of a set exist.
struct ShortcutFacts {
    bool autoStart = true;     // serviceGetInfo element 2
    bool acceptsStop = false;  // element 3
    bool companion = false;    // the application has a user-interface companion
    bool screenSaverConfig = false;
};
// The set of run type 1 (service), 2 (applet) or 3 (screen saver) in its fixed order; empty for
// other run types. `everything` gives the whole set whatever the facts (for deleting).
[[nodiscard]] std::vector<Shortcut> shortcutSet(int runType, const ShortcutFacts& facts, bool everything = false);
// "<application> - <word>.lnk".
[[nodiscard]] Text shortcutFileName(TextView applicationName, TextView word);

// ---- The application's ServiceManagement methods ---------------------------------------------

enum ServiceSlot : int {
    kServiceIsCreate = 0,
    kServiceIsLaunch,
    kServiceIsDelete,
    kServiceControlPause,
    kServiceControlContinue,
    kServiceControlStop,
    kServiceControlShutdown,
    kServiceInit,
    kServiceFinish,
    kServiceGetInfo,
    kServiceSlotCount
};

struct FeatureInterface;
// The process-wide record, bound by bindServiceInterface on the launch thread.
[[nodiscard]] const FeatureInterface& serviceMethods() noexcept;
[[nodiscard]] bool isServiceApplication() noexcept;
// serviceGetInfo's elements; absent when the method is missing, threw or returned null. Any
// thread.
[[nodiscard]] std::optional<ServiceInfoElements> readServiceInfoElements() noexcept;
// The same read with the defaults: a missing method or a null answer gives every default.
[[nodiscard]] ServiceInfo readServiceInfo() noexcept;
// The application's method name of a slot ("serviceControl_Stop"...), for messages.
[[nodiscard]] const char* serviceMethodName(int slot) noexcept;

// ---- Windows operations (service_*_win.cpp) ----------------------------------------------------

// The setup flow of a service application started by a user, with the four service flags of
// `actions` (null: none). 1 when it ran; 0 when the service manager could not be opened or a
// requested step failed (the user has been told).
[[nodiscard]] int serviceSetup(TextView directory, TextView applicationName, const CommandLineActions* actions);
// Creates the service (LocalSystem, own process) and configures it. 0 or a Win32 error; after a
// configuration error the created service stays. `manager` is an open service-manager handle.
[[nodiscard]] unsigned long createService(void* manager, TextView serviceName, TextView commandLine,
                                          const ServiceInfo& info);
// Description, dependencies, failure actions and delayed start on an open service handle, under
// the database lock; ERROR_INVALID_LEVEL counts as success. 0 or a Win32 error.
[[nodiscard]] unsigned long configureService(void* manager, void* service, const ServiceInfo& info);
// The failure actions alone (the REBOOT privilege first); 0 or a Win32 error (124 is success).
[[nodiscard]] unsigned long applyFailureActions(void* service, const ServiceInfo& info);
// The same with the command as the manager takes it (kept as given) and the reset period in
// seconds (-1: never reset).
[[nodiscard]] unsigned long applyFailureActions(void* service, const std::vector<FailureAction>& actions,
                                                TextView command, TextView rebootMessage, int resetPeriod);

// In the service process: every message box goes to the event log (source: the application
// name) and counts as answered No. Nothing on the host.
void useServicePresenter() noexcept;

// The service process (first argument "__RunService__"): runs until the service has stopped,
// then returns the exit status.
[[nodiscard]] int runService(int desktopFeatureSet, TextView directory, TextView applicationName);

// In the service process: the controls accepted (stop and pause/continue when `acceptsStop`,
// shutdown always), reported to the manager at once with the current state; recorded only
// before the manager connected.
void updateAcceptedControls(bool acceptsStop);

// The configuration watcher: every `periodMs` (30 s in the product) reads serviceGetInfo and
// applies each changed group to the service `serviceName`; a null answer changes nothing. Runs
// on the calling thread until `keepRunning` returns false (tested before each read).
using WatchCondition = bool (*)();
void watchServiceConfiguration(TextView serviceName, const ServiceInfo& initial, unsigned periodMs,
                               WatchCondition keepRunning) noexcept;

// The companion (first argument "-startServiceUI"): its whole life; the exit status.
[[nodiscard]] int runCompanion(int desktopFeatureSet, TextView directory, TextView applicationName);
// True when the application has tray or pump methods that a companion would serve.
[[nodiscard]] bool hasCompanion() noexcept;
// Writes the companion's Run value for this user (the launcher's own path, "-startServiceUI")
// and starts the companion in the user's session; nothing without a companion.
void registerCompanion(TextView serviceName);
// Deletes the Run value; nothing without a companion.
void unregisterCompanion(TextView serviceName);

} // namespace tavrelo
