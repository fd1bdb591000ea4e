// The system natives bound on a scenario class of the stand-in runtime loaded into this process,
// with the calls that would end the session replaced by a recorder.
#include <atomic>
#include <thread>

#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "natives/system_actions.h"
#include "runtime_support.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kScenario[] = R"(
class demo.App
  native systemShutdown (Ljava/lang/String;IZZZ)I
  native systemAbortShutdown ()I
  native systemStandby (ZZ)I
  native systemSetRequiredState (ZZZ)I
  native systemUserLogoff (Z)I
  native systemLock ()I
  native systemBlockShutdown (Ljava/lang/String;)I
  native systemUnblockShutdown ()I
  native systemOpenDialogShutdown (ZZ)I
)";

// What the recorder saw, and how its next call ends: success, or failure with this last error.
struct Record {
    std::u16string message = u"<none>";
    unsigned long seconds = 0, reason = 0, flags = 0;
    bool reboot = false, force = false, hibernate = false, noWake = false;
    int locks = 0;
    std::u16string reason16;
    DWORD createThread = 0, destroyThread = 0;
    bool succeed = true;
    DWORD error = 0;
} record;

bool finish() noexcept {
    SetLastError(record.error); // on success a stale code, on failure the call's own (or none)
    return record.succeed;
}

SystemActions recorder(const SystemActions& real) {
    SystemActions actions = real;
    actions.initiateShutdown = [](const char16_t* message, unsigned long seconds, bool force, bool reboot,
                                  unsigned long reason) noexcept {
        record.message = message ? message : u"<null>";
        record.seconds = seconds, record.force = force, record.reboot = reboot, record.reason = reason;
        return finish();
    };
    actions.abortShutdown = []() noexcept { return finish(); };
    actions.suspend = [](bool hibernate, bool noWake) noexcept {
        record.hibernate = hibernate, record.noWake = noWake;
        return finish();
    };
    actions.exitWindows = [](unsigned flags, unsigned long) noexcept {
        record.flags = flags;
        return finish();
    };
    actions.lockWorkStation = []() noexcept { return ++record.locks, finish(); };
    actions.restartDialog = [](unsigned flags) noexcept { return record.flags = flags, -1; };
    actions.blockReasonCreate = [](void*, const char16_t* reason) noexcept {
        record.reason16 = reason, record.createThread = GetCurrentThreadId();
        return BlockCall::Done;
    };
    actions.blockReasonDestroy = [](void*) noexcept {
        record.destroyThread = GetCurrentThreadId();
        return BlockCall::Done;
    };
    return actions;
}

std::vector<HWND> blockWindows() {
    std::vector<HWND> found;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"Tavrelo WinBlockShutdown", nullptr); w;
         w = FindWindowExW(nullptr, w, L"Tavrelo WinBlockShutdown", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) found.push_back(w);
    }
    return found;
}

BOOL saverActive() {
    BOOL active = FALSE;
    SystemParametersInfoW(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    return active;
}

TEST(SystemNativesOnStandin, CallsResultsTheBlockingWindowAndKeepingTheSaverOff) {
    LoadedRuntime rt(kScenario);
    ASSERT_EQ(rt.start(), JNI_OK);
    javaRuntime().vm.store(rt.vm);
    const SystemActions real = systemActions();
    systemActions() = recorder(real);
    registerSystemNatives("demo.App");
    JNIEnv* env = rt.env;
    const auto app = static_cast<jclass>(env->NewGlobalRef(env->FindClass("demo/App"))); // used on two more threads
    const auto call = [&](const char* name, const char* signature, auto... arguments) {
        return env->CallStaticIntMethod(app, env->GetStaticMethodID(app, name, signature), arguments...);
    };

    // A stale error beside a success is still success; failures give their own code, or one.
    record.error = ERROR_ACCESS_DENIED;
    EXPECT_EQ(call("systemShutdown", "(Ljava/lang/String;IZZZ)I", nullptr, -5, JNI_FALSE, JNI_FALSE, JNI_FALSE), 0);
    EXPECT_EQ(record.message, u"<null>");
    EXPECT_EQ(record.seconds, 0u);
    EXPECT_EQ(record.reason, 0x00040000u);
    record.succeed = false, record.error = 1115;
    jstring text = env->NewStringUTF("bye");
    EXPECT_EQ(call("systemShutdown", "(Ljava/lang/String;IZZZ)I", text, 400000000, JNI_TRUE, JNI_TRUE, JNI_TRUE), 1115);
    EXPECT_EQ(record.message, u"bye");
    EXPECT_EQ(record.seconds, 315360000u);
    EXPECT_EQ(record.reason, 0x80040000u);
    EXPECT_TRUE(record.reboot && record.force);
    record.error = 0;
    EXPECT_NE(call("systemAbortShutdown", "()I"), 0);
    record.succeed = true;
    EXPECT_EQ(call("systemStandby", "(ZZ)I", JNI_TRUE, JNI_TRUE), 0);
    EXPECT_TRUE(record.hibernate && record.noWake);
    EXPECT_EQ(call("systemUserLogoff", "(Z)I", JNI_TRUE), 0);
    EXPECT_EQ(record.flags, static_cast<unsigned long>(EWX_FORCE));
    EXPECT_EQ(call("systemLock", "()I"), 0);
    EXPECT_EQ(record.locks, 1);
    EXPECT_EQ(call("systemOpenDialogShutdown", "(ZZ)I", JNI_TRUE, JNI_FALSE), -1);
    EXPECT_EQ(record.flags, static_cast<unsigned long>(EWX_REBOOT));

    // Two Java threads blocking at once make one window; its own thread gives the reasons.
    std::atomic<int> blocked{0};
    const auto blockFromJava = [&] {
        JNIEnv* own = nullptr;
        rt.vm->AttachCurrentThread(reinterpret_cast<void**>(&own), nullptr);
        jstring reason = own->NewStringUTF("saving");
        const jint result = own->CallStaticIntMethod(
            app, own->GetStaticMethodID(app, "systemBlockShutdown", "(Ljava/lang/String;)I"), reason);
        own->DeleteLocalRef(reason);
        rt.vm->DetachCurrentThread();
        if (result == 0) ++blocked;
    };
    std::thread first(blockFromJava), second(blockFromJava);
    first.join(), second.join();
    EXPECT_EQ(blocked.load(), 2);
    ASSERT_EQ(blockWindows().size(), 1u);
    const HWND window = blockWindows()[0];
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), 0);
    const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    EXPECT_EQ(record.createThread, windowThread);
    jstring other = env->NewStringUTF("other");
    EXPECT_EQ(call("systemBlockShutdown", "(Ljava/lang/String;)I", other), 0);
    EXPECT_EQ(record.reason16, u"other");
    EXPECT_EQ(blockWindows(), std::vector<HWND>{window});
    EXPECT_EQ(call("systemUnblockShutdown", "()I"), 0);
    EXPECT_EQ(record.destroyThread, windowThread);
    EXPECT_TRUE(blockWindows().empty());
    EXPECT_EQ(call("systemUnblockShutdown", "()I"), 0);
    // A window that cannot be made: its error, in time, and no window.
    systemActions().createBlockWindow = [](void*) noexcept -> void* {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    };
    EXPECT_EQ(call("systemBlockShutdown", "(Ljava/lang/String;)I", other), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(blockWindows().empty());

    // Keeping the saver off puts back what it found: on in one round, off in the other; a call for
    // the display alone leaves an off saver off.
    const BOOL userSetting = saverActive();
    for (const BOOL found : {TRUE, FALSE}) {
        SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, found, nullptr, 0);
        for (int request = 0; request < 3; ++request)
            EXPECT_EQ(call("systemSetRequiredState", "(ZZZ)I", JNI_TRUE, JNI_FALSE, JNI_FALSE), 0);
        Sleep(300);
        EXPECT_FALSE(saverActive());
        EXPECT_EQ(call("systemSetRequiredState", "(ZZZ)I", JNI_FALSE, JNI_TRUE, JNI_FALSE), 0);
        Sleep(1200);
        EXPECT_EQ(saverActive(), found);
    }
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, userSetting, nullptr, 0);
    systemActions() = real;
    EXPECT_EQ(rt.errors(), std::vector<std::string>{});
    javaRuntime().vm.store(nullptr);
}

} // namespace
} // namespace tavrelo::standin::test
