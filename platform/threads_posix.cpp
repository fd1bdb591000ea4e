#include <pthread.h>

#include <new>

#include "platform/threads.h"

namespace tavrelo {

namespace {

struct ThreadStart {
    void (*routine)(void*);
    void* argument;
};

void* threadEntry(void* parameter) {
    const ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    start.routine(start.argument);
    return nullptr;
}

} // namespace

bool JoinableThread::start(void (*routine)(void*), void* argument) noexcept {
    if (handle_ || !routine) return false;
    auto* start = new (std::nothrow) ThreadStart{routine, argument};
    auto* thread = new (std::nothrow) pthread_t;
    if (start && thread && ::pthread_create(thread, nullptr, threadEntry, start) == 0) {
        handle_ = thread;
        return true;
    }
    delete start;
    delete thread;
    return false;
}

void JoinableThread::join() noexcept {
    auto* thread = static_cast<pthread_t*>(handle_);
    if (!thread) return;
    ::pthread_join(*thread, nullptr);
    delete thread;
    handle_ = nullptr;
}

} // namespace tavrelo
