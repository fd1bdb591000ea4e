#include <array>
#include <atomic>

#include "launcher/java_runtime.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr std::size_t kMaxSteps = 16;
std::array<std::atomic<CleanUpStep>, kMaxSteps> steps{};
std::atomic<std::size_t> stepCount{0};
std::atomic<bool> ran{false};

} // namespace

bool addCleanUpStep(CleanUpStep step) noexcept {
    if (!step) return false;
    const std::size_t slot = stepCount.fetch_add(1);
    if (slot >= kMaxSteps) return false;
    steps[slot].store(step, std::memory_order_release);
    return true;
}

void runCleanUpHook() noexcept {
    // The Java side is ending the process: nothing may call into it from here on.
    javaRuntime().ended.store(true, std::memory_order_release);
    os::setLauncherEnding();
    if (ran.exchange(true)) return;
    const std::size_t count = stepCount.load() < kMaxSteps ? stepCount.load() : kMaxSteps;
    for (std::size_t i = 0; i < count; ++i)
        if (CleanUpStep step = steps[i].load(std::memory_order_acquire)) step();
}

} // namespace tavrelo
