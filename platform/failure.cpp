#include "platform/failure.h"

namespace tavrelo::os {

namespace {
thread_local Failure lastOfThread;
} // namespace

const Failure& lastFailure() noexcept { return lastOfThread; }

void noteFailure(const char* what, TextView path, unsigned long code) noexcept {
    Failure& failure = lastOfThread;
    failure.what = what;
    failure.code = code;
    try {
        failure.path.assign(path);
    } catch (...) {
        failure.path.clear();
    }
}

} // namespace tavrelo::os
