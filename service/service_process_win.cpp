// The service process: started by the service manager with "__RunService__", it connects to
// the manager, answers its controls through the application's control methods, and keeps the
// registered configuration in step with serviceGetInfo.
//
// Threads. The launch thread calls serviceInit (or starts main on a thread of its own) and
// enters the dispatcher, whose control handler only reports the pending state and queues the
// control: the control thread runs the application's methods, the tray removal and the quit
// for the companion in arrival order. A stop that is not settled within the stop time-out is
// ended by its watchdog. Every status report takes one lock; nothing follows STOPPED.
#include <windows.h>

#include <mutex> // std::lock_guard
#include <vector>

#include "bridge/bridge.h"
#include "desktop/tray.h"
#include "ipc/pipes.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/format.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "platform/threads.h"
#include "platform/win_text.h"
#include "service/service.h"
#include "service/service_manager.h"
#include "service/service_pump.h"

namespace tavrelo {

namespace {

constexpr unsigned kWatchPeriodMs = 30000;
constexpr DWORD kServiceSpecificError = ERROR_SERVICE_SPECIFIC_ERROR; // 1066
constexpr DWORD kStopTimedOut = ERROR_SERVICE_REQUEST_TIMEOUT;        // 1053

// ---- Status --------------------------------------------------------------------------------------

struct StatusRecord {
    SlimLock lock;
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, SERVICE_ACCEPT_SHUTDOWN, 0, 0, 0, 0};
    ServiceStatusHandle handle = nullptr;
    bool stopped = false;
};
StatusRecord& statusRecord() {
    static StatusRecord record;
    return record;
}

DWORD acceptedControls(bool acceptsStop) {
    return SERVICE_ACCEPT_SHUTDOWN | (acceptsStop ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE : 0);
}

// Sets the state and exit code and tells the manager. After STOPPED the manager may already
// have let the process go: nothing is reported any more.
void reportState(DWORD state, DWORD exitCode) {
    StatusRecord& record = statusRecord();
    std::lock_guard guard(record.lock);
    if (record.stopped) return;
    record.status.dwCurrentState = state;
    record.status.dwWin32ExitCode = exitCode;
    record.status.dwServiceSpecificExitCode = exitCode == kServiceSpecificError ? 0xFFFFFFFF : 0;
    record.status.dwCheckPoint = 0;
    record.status.dwWaitHint = 0;
    record.stopped = state == SERVICE_STOPPED;
    if (record.handle) serviceManagerApi().setServiceStatus(record.handle, &record.status);
}

void reportAccepted(bool acceptsStop) {
    StatusRecord& record = statusRecord();
    std::lock_guard guard(record.lock);
    record.status.dwControlsAccepted = acceptedControls(acceptsStop);
    if (record.stopped || !record.handle) return;
    record.status.dwWin32ExitCode = 0;
    record.status.dwServiceSpecificExitCode = 0;
    serviceManagerApi().setServiceStatus(record.handle, &record.status);
}

DWORD currentState() {
    StatusRecord& record = statusRecord();
    std::lock_guard guard(record.lock);
    return record.status.dwCurrentState;
}

bool serviceStopped() {
    StatusRecord& record = statusRecord();
    std::lock_guard guard(record.lock);
    return record.stopped;
}

// ---- The process's values ------------------------------------------------------------------------

struct ServiceProcess {
    Text name;
    ServiceInfo info;
    bool initOk = true;
    unsigned stopTimeoutMs = kDefaultStopTimeoutMs;
};
ServiceProcess& process() {
    static ServiceProcess values;
    return values;
}

void warn(TextView text) { serviceManagerApi().reportEvent(launchContext().baseName, text, true); }

// Past the stop time-out the application's method is abandoned: the manager hears STOPPED with
// ERROR_SERVICE_REQUEST_TIMEOUT and the process ends without serviceFinish.
[[noreturn]] void abandon(const char* method) {
    warn(formatText(u"%S did not return within %d s; the service process ends.",
                    {method, static_cast<int>(process().stopTimeoutMs / 1000)}));
    reportState(SERVICE_STOPPED, kStopTimedOut);
    TerminateProcess(GetCurrentProcess(), kStopTimedOut);
    for (;;) Sleep(INFINITE);
}

// A box in the service's session would block the service until the manager kills it: the
// text goes to the event log and the answer is No.
int servicePresenter(TextView caption, TextView text, unsigned) {
    warn(Text(caption) + u": " + Text(text));
    return kAnswerNo;
}

// ---- Controls ------------------------------------------------------------------------------------

struct Control {
    DWORD code;
    DWORD previousState;
    unsigned long long ticket; // stops and shutdowns: the watchdog's number
};

// Win32 threads and events rather than the standard library's: they keep the launcher small.
struct ControlQueue {
    SlimLock lock;
    HANDLE arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr); // auto-reset; process lifetime
    std::vector<Control> pending;
    unsigned long long stopsArrived = 0;
    std::atomic<unsigned long long> stopsSettled{0};
    std::atomic<int> runningSlot{-1};
};
ControlQueue& controls() {
    static ControlQueue queue;
    return queue;
}

constexpr DWORD kWatchdogPollMs = 50;

void startThread(void (*routine)(void*), void* argument) {
    if (!startPipeThread(routine, argument)) throw std::bad_alloc();
}

int slotOf(DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_STOP: return kServiceControlStop;
    case SERVICE_CONTROL_SHUTDOWN: return kServiceControlShutdown;
    case SERVICE_CONTROL_PAUSE: return kServiceControlPause;
    default: return kServiceControlContinue;
    }
}

void settleStop(unsigned long long ticket) {
    std::atomic<unsigned long long>& settled = controls().stopsSettled;
    unsigned long long seen = settled.load();
    while (seen < ticket && !settled.compare_exchange_weak(seen, ticket)) {
    }
}

void runControl(const Control& control) {
    ControlQueue& queue = controls();
    const int slot = slotOf(control.code);
    queue.runningSlot = slot;
    const bool agreed = !isDefined(serviceMethods(), slot) || callBoolean(serviceMethods(), slot) != JNI_FALSE;
    queue.runningSlot = -1;
    const bool stopping = control.code == SERVICE_CONTROL_STOP || control.code == SERVICE_CONTROL_SHUTDOWN;
    if (stopping) {
        // Whatever the method answered, the user's side of the service goes away; before the
        // final report, since the process may end as soon as STOPPED is out.
        removeTrayIconNow();
        sendQuit();
    }
    if (!agreed)
        reportState(control.previousState, kServiceSpecificError);
    else if (stopping)
        reportState(SERVICE_STOPPED, 0);
    else
        reportState(control.code == SERVICE_CONTROL_PAUSE ? SERVICE_PAUSED : SERVICE_RUNNING, 0);
    if (stopping) settleStop(control.ticket);
}

void controlThread(void*) {
    ControlQueue& queue = controls();
    for (;;) {
        WaitForSingleObject(queue.arrived, INFINITE);
        for (;;) {
            Control control{};
            {
                std::lock_guard guard(queue.lock);
                if (queue.pending.empty()) break;
                control = queue.pending.front();
                queue.pending.erase(queue.pending.begin());
            }
            runControl(control);
            releaseJavaThread();
        }
    }
}

void watchdog(void* argument) {
    const auto ticket = reinterpret_cast<std::uintptr_t>(argument);
    ControlQueue& queue = controls();
    const ULONGLONG deadline = GetTickCount64() + process().stopTimeoutMs;
    while (queue.stopsSettled.load() < ticket) {
        if (GetTickCount64() >= deadline) {
            const int slot = queue.runningSlot.load();
            abandon(serviceMethodName(slot >= 0 ? slot : kServiceControlStop));
        }
        Sleep(kWatchdogPollMs);
    }
}

void WINAPI controlHandler(DWORD code) {
    DWORD pendingState = 0;
    switch (code) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: pendingState = SERVICE_STOP_PENDING; break;
    case SERVICE_CONTROL_PAUSE: pendingState = SERVICE_PAUSE_PENDING; break;
    case SERVICE_CONTROL_CONTINUE: pendingState = SERVICE_CONTINUE_PENDING; break;
    default: return;
    }
    try {
        const DWORD previous = currentState();
        reportState(pendingState, 0);
        ControlQueue& queue = controls();
        Control control{code, previous, 0};
        {
            std::lock_guard guard(queue.lock);
            if (pendingState == SERVICE_STOP_PENDING) control.ticket = ++queue.stopsArrived;
            queue.pending.push_back(control);
        }
        SetEvent(queue.arrived);
        if (control.ticket != 0) startThread(watchdog, reinterpret_cast<void*>(static_cast<std::uintptr_t>(control.ticket)));
    } catch (...) {
        // No thread for the control: the manager's own time-out applies.
    }
}

// ---- The service main routine ----------------------------------------------------------------------

void runFailureCommand() {
    Text command = failureCommand(process().info);
    if (command.empty() || isWindows2000()) return;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, const_cast<wchar_t*>(wc(command)), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return;
    CloseHandle(started.hThread);
    WaitForSingleObject(started.hProcess, INFINITE);
    CloseHandle(started.hProcess);
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
    const ServiceManagerApi& api = serviceManagerApi();
    const ServiceStatusHandle handle = api.registerServiceCtrlHandler(wc(process().name), controlHandler);
    {
        StatusRecord& record = statusRecord();
        std::lock_guard guard(record.lock);
        record.handle = handle;
    }
    if (process().initOk) {
        reportState(SERVICE_RUNNING, 0);
        return;
    }
    // The application could not start: the process ends without a state, so that the manager
    // applies its failure actions.
    runFailureCommand();
    TerminateProcess(GetCurrentProcess(), 0);
}

// ---- The application's main without serviceInit ------------------------------------------------

char mainThreadName[] = "main";

void mainThread(void*) {
    JavaVM* vm = javaVm();
    JNIEnv* env = nullptr;
    JavaVMAttachArgs arguments{JNI_VERSION_1_2, mainThreadName, nullptr};
    if (!vm || vm->AttachCurrentThread(reinterpret_cast<void**>(&env), &arguments) != JNI_OK) return;
    (void)callMainQuietly();
    if (JavaVM* still = javaVm()) still->DetachCurrentThread();
}

// Asked every few tenths of a second: the thread listing behind the application's liveness is
// too dear for that, so it is taken once per period.
bool watcherGoesOn() {
    static ULONGLONG lastTest = 0;
    static bool alive = true;
    if (serviceStopped() || javaRuntime().ended.load(std::memory_order_acquire)) return false;
    const ULONGLONG now = GetTickCount64();
    if (now - lastTest >= kWatchPeriodMs) {
        alive = isApplicationAlive(false);
        lastTest = now;
    }
    return alive;
}

void watcherThread(void*) {
    watchServiceConfiguration(process().name, process().info, kWatchPeriodMs, watcherGoesOn);
    releaseJavaThread();
}

// serviceFinish gets the stop time-out too; past it the process ends all the same.
void finishApplication() {
    if (!isDefined(serviceMethods(), kServiceFinish)) return;
    // Process lifetime: the thread may still set it when the wait is over.
    static const HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    startThread(
        [](void*) {
            callVoid(serviceMethods(), kServiceFinish);
            releaseJavaThread();
            SetEvent(finished);
        },
        nullptr);
    if (WaitForSingleObject(finished, process().stopTimeoutMs) != WAIT_OBJECT_0) {
        warn(formatText(u"serviceFinish did not return within %d s; the service process ends.",
                        {static_cast<int>(process().stopTimeoutMs / 1000)}));
        TerminateProcess(GetCurrentProcess(), kStopTimedOut);
        for (;;) Sleep(INFINITE);
    }
}

} // namespace

void updateAcceptedControls(bool acceptsStop) { reportAccepted(acceptsStop); }

void useServicePresenter() noexcept { (void)setMessagePresenter(servicePresenter); }

int runService(int desktopFeatureSet, TextView directory, TextView applicationName) {
    try {
        ServiceProcess& values = process();
        values.name = Text(applicationName);
        values.info = readServiceInfo();
        const Text* options = configuration().get(kPersonalOptions);
        values.stopTimeoutMs = stopTimeoutFrom(options ? TextView(*options) : TextView());

        startServicePump(directory, applicationName);
        if (isDefined(serviceMethods(), kServiceInit)) {
            values.initOk = callBoolean(serviceMethods(), kServiceInit) != JNI_FALSE;
        } else {
            // main may run for the service's whole life: the dispatcher must not wait for it, or
            // the manager gives up on the start.
            values.initOk = true;
            startThread(mainThread, nullptr);
        }
        if (desktopFeatureSet != 0) startDesktopThread(desktopFeatureSet, mainClassName());
        reportAccepted(values.info.acceptsStop);
        startThread(controlThread, nullptr);
        if (isDefined(serviceMethods(), kServiceGetInfo)) startThread(watcherThread, nullptr);

        SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(wc(values.name)), serviceMain}, {nullptr, nullptr}};
        if (!serviceManagerApi().startServiceCtrlDispatcher(table)) {
            // Not started by the service manager (a user typed the keyword): nothing to serve.
            shutdownJavaVm(false);
            return 0;
        }
        reportState(SERVICE_STOPPED, 0);
        finishApplication();
        stopServicePump();
        shutdownJavaVm(false);
        return 1;
    } catch (...) {
        return 0;
    }
}

} // namespace tavrelo
