// The system natives: power and session control for the application. Every int native clears
// the thread's last error before its Win32 call and lets the call's own result decide (a
// successful call may leave a stale code behind, a failing one may set none).
#include <windows.h>

#include <array>

#include "launcher/hand_overs.h"
#include "natives/natives.h"
#include "natives/system_actions.h"
#include "natives/system_natives.h"
#include "platform/system.h"

namespace tavrelo {

namespace {

FeatureInterface systemInterface{15, "SystemManagement"};

constexpr unsigned long kReasonApplication = 0x00040000; // SHTDN_REASON_MAJOR_APPLICATION
constexpr unsigned long kReasonPlanned = 0x80000000;     // SHTDN_REASON_FLAG_PLANNED
constexpr jint kMaxShutdownSeconds = 315360000;          // ten years, the system's limit

jint JNICALL systemShutdown(JNIEnv* env, jclass, jstring message, jint seconds, jboolean reboot, jboolean force,
                            jboolean planned) noexcept {
    bool failed = false;
    const std::optional<Text> text = javaArgument(env, message, failed);
    if (failed) return ERROR_NOT_ENOUGH_MEMORY;
    const jint clamped = seconds < 0 ? 0 : (seconds > kMaxShutdownSeconds ? kMaxShutdownSeconds : seconds);
    (void)enableShutdownPrivilege();
    SetLastError(0);
    return win32Result(systemActions().initiateShutdown(text ? text->c_str() : nullptr, static_cast<unsigned long>(clamped),
                                                        force != JNI_FALSE, reboot != JNI_FALSE,
                                                        kReasonApplication | (planned ? kReasonPlanned : 0)));
}

jint JNICALL systemAbortShutdown(JNIEnv*, jclass) noexcept {
    (void)enableShutdownPrivilege();
    SetLastError(0);
    return win32Result(systemActions().abortShutdown());
}

jint JNICALL systemStandby(JNIEnv*, jclass, jboolean hibernate, jboolean disableWakeEvents) noexcept {
    SetLastError(0);
    return win32Result(systemActions().suspend(hibernate != JNI_FALSE, disableWakeEvents != JNI_FALSE));
}

jint JNICALL systemSetRequiredState(JNIEnv*, jclass, jboolean noScreenSaver, jboolean display,
                                    jboolean system) noexcept {
    // The request belongs to the calling thread, as Windows keeps it.
    EXECUTION_STATE state = ES_CONTINUOUS;
    if (display) state |= ES_DISPLAY_REQUIRED;
    if (system) state |= ES_SYSTEM_REQUIRED;
    SetLastError(0);
    if (const int error = win32Result(SetThreadExecutionState(state) != 0)) return error;
    // The saver is only touched to keep it off, or to end keeping it off.
    keepScreenSaverOff(noScreenSaver != JNI_FALSE);
    return 0;
}

jint JNICALL systemUserLogoff(JNIEnv*, jclass, jboolean force) noexcept {
    SetLastError(0);
    return win32Result(systemActions().exitWindows(force ? EWX_FORCE : EWX_LOGOFF, kReasonApplication | kReasonPlanned));
}

jint JNICALL systemLock(JNIEnv*, jclass) noexcept {
    SetLastError(0);
    return win32Result(systemActions().lockWorkStation());
}

jint JNICALL systemBlockShutdown(JNIEnv* env, jclass, jstring reason) noexcept {
    bool failed = false;
    const std::optional<Text> text = javaArgument(env, reason, failed);
    if (failed) return ERROR_NOT_ENOUGH_MEMORY;
    try {
        return blockShutdown(text.value_or(Text()));
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

jint JNICALL systemUnblockShutdown(JNIEnv*, jclass) noexcept { return unblockShutdown(); }

jboolean JNICALL systemIsLocked(JNIEnv*, jclass) noexcept {
    // Another desktop (the secure one) has the input while the workstation is locked.
    const HDESK desktop = OpenInputDesktop(0, FALSE, GENERIC_READ);
    if (!desktop) return JNI_TRUE;
    CloseDesktop(desktop);
    return JNI_FALSE;
}

bool capability(bool (*has)(const SYSTEM_POWER_CAPABILITIES&)) noexcept {
    SYSTEM_POWER_CAPABILITIES capabilities{};
    return getPowerCapabilities(&capabilities) && has(capabilities);
}

jboolean JNICALL systemIsHibernateAllowed(JNIEnv*, jclass) noexcept {
    return capability([](const SYSTEM_POWER_CAPABILITIES& c) { return c.SystemS4 || c.FastSystemS4; });
}

jboolean JNICALL systemIsStandbyAllowed(JNIEnv*, jclass) noexcept {
    return capability([](const SYSTEM_POWER_CAPABILITIES& c) { return c.SystemS1 || c.SystemS2 || c.SystemS3; });
}

jboolean JNICALL systemIsShutdownAllowed(JNIEnv*, jclass) noexcept {
    return capability([](const SYSTEM_POWER_CAPABILITIES& c) { return c.SystemS5 != 0; });
}

jint JNICALL systemOpenDialogShutdown(JNIEnv*, jclass, jboolean reboot, jboolean force) noexcept {
    (void)enableShutdownPrivilege();
    return systemActions().restartDialog((reboot ? EWX_REBOOT : EWX_SHUTDOWN) | (force ? EWX_FORCE : 0));
}

jint JNICALL systemOpenDialogLogoff(JNIEnv*, jclass, jboolean) noexcept {
    return systemActions().restartDialog(EWX_LOGOFF);
}

template <class Function> void* entry(Function function) noexcept { return reinterpret_cast<void*>(function); }

} // namespace

jstring JNICALL errorMessageNative(JNIEnv* env, jclass, jint code) noexcept {
    wchar_t text[2048] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(code), 0, text, 2048, nullptr);
    jstring result = env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length));
    if (env->ExceptionCheck()) env->ExceptionClear();
    return result;
}

void awaitNativeThreadsEnd() {
    // Both only look at the Java threads: a second is enough for either to notice the end.
    constexpr unsigned long kEndWaitMs = 1000;
    awaitKeeperEnd(kEndWaitMs);
    awaitBlockWindowEnd(kEndWaitMs);
}

void registerSystemNatives(const std::string& mainClass) {
    const std::array<void*, 15> functions{
        entry(systemShutdown),         entry(systemAbortShutdown),      entry(systemStandby),
        entry(systemSetRequiredState), entry(systemBlockShutdown),      entry(systemUnblockShutdown),
        entry(systemUserLogoff),       entry(systemLock),               entry(systemIsLocked),
        entry(systemIsHibernateAllowed), entry(systemIsStandbyAllowed), entry(systemIsShutdownAllowed),
        entry(errorMessageNative),     entry(systemOpenDialogLogoff),   entry(systemOpenDialogShutdown),
    };
    (void)bindNativeSet(systemInterface, systemNatives(), mainClass, functions);
}

} // namespace tavrelo
