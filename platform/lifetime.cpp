#include <atomic>

#include "platform/os.h"

namespace tavrelo::os {

namespace {
std::atomic<bool> ending{false};
}

bool launcherEnding() noexcept { return ending.load(std::memory_order_acquire); }
void setLauncherEnding() noexcept { ending.store(true, std::memory_order_release); }

} // namespace tavrelo::os
