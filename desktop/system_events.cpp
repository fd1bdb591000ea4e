// The application's side of system events: one static method answers them all.
#include <array>

#include "bridge/bridge.h"
#include "desktop/desktop.h"
#include "launcher/java_runtime.h"

namespace tavrelo {

namespace {

FeatureInterface systemEventFeature{1, "SystemEventManagement"};
constexpr int kNotifyEventSlot = 0;

constexpr int kCtrlBreakEvent = 1;
constexpr int kCtrlLogoffEvent = 5;

} // namespace

bool bindSystemEvents(const std::string& mainClass) noexcept {
    (void)bindMethod(systemEventFeature, mainClass.c_str(), kNotifyEventSlot, "notifyEvent",
                     "(IIILjava/lang/String;[I[B)I");
    return isDefined(systemEventFeature, kNotifyEventSlot);
}

int notifyEvent(const SystemEvent& event) noexcept {
    if (!isDefined(systemEventFeature, kNotifyEventSlot)) return 1;
    if (javaRuntime().ended.load(std::memory_order_acquire) || !javaEnv()) return 1;
    LocalRef<jstring> text;
    if (event.text) {
        text = toJavaString(*event.text);
        if (!text) return 1;
    }
    // jint is a long on Windows: the values are copied, not reinterpreted.
    constexpr std::size_t kMaxInts = 16;
    if (event.ints.size() > kMaxInts) return 1;
    std::array<jint, kMaxInts> values{};
    for (std::size_t i = 0; i < event.ints.size(); ++i)
        values[i] = event.ints[i];
    LocalRef<jintArray> ints(toJavaIntArray(values.data(), event.ints.size()));
    LocalRef<jbyteArray> bytes(toJavaByteArray(event.bytes.data(), event.bytes.size()));
    if (!ints || !bytes) return 1;
    return callInt(systemEventFeature, kNotifyEventSlot, static_cast<jint>(event.code), static_cast<jint>(event.wParam),
                   static_cast<jint>(event.lParam), text.get(), ints.get(), bytes.get());
}

std::optional<PowerTranslation> translateOldPowerRequest(std::uintptr_t request) noexcept {
    switch (request) {
    case 1:
        return PowerTranslation{0, 1}; // suspend request: the suspend query
    case 2:
        return PowerTranslation{7, 0}; // resumed from suspend
    case 3:
        return PowerTranslation{6, 0}; // resumed after a critical suspend
    default:
        return std::nullopt;
    }
}

bool screenSaverChanged(int& last, bool running) noexcept {
    const int now = running ? 1 : 0;
    const bool tell = now != last && (last != -1 || running);
    last = now;
    return tell;
}

ConsoleOutcome consoleEventOutcome(int controlCode, int answer, bool serviceProcess) noexcept {
    if (serviceProcess && controlCode == kCtrlLogoffEvent) return ConsoleOutcome::Handled;
    if (answer == 0) return ConsoleOutcome::Handled;
    return controlCode == kCtrlBreakEvent ? ConsoleOutcome::PassOn : ConsoleOutcome::Ending;
}

} // namespace tavrelo
