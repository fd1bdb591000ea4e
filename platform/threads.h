// A joinable thread and a lock for portable code. The Windows builds use the system's own
// threads and slim locks: the C++ thread library would link a threading runtime into every
// launcher for them.
#pragma once

#ifndef _WIN32
#include <mutex>
#endif

namespace tavrelo {

// One thread that its owner joins (the destructor joins one still running).
class JoinableThread {
  public:
    JoinableThread() noexcept = default;
    ~JoinableThread() { join(); }
    JoinableThread(const JoinableThread&) = delete;
    JoinableThread& operator=(const JoinableThread&) = delete;

    // Runs routine(argument) on a new thread; false when none could be started.
    [[nodiscard]] bool start(void (*routine)(void*), void* argument) noexcept;
    // Waits for the thread to end; nothing when none runs.
    void join() noexcept;
    [[nodiscard]] bool joinable() const noexcept { return handle_ != nullptr; }

  private:
    void* handle_ = nullptr;
};

// A non-recursive lock, for std::lock_guard.
class SlimLock {
  public:
    SlimLock() noexcept = default;
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;
#ifdef _WIN32
    void lock() noexcept;
    void unlock() noexcept;

  private:
    void* state_ = nullptr; // an SRWLOCK, whose initial state is all zero
#else
    void lock() noexcept { mutex_.lock(); }
    void unlock() noexcept { mutex_.unlock(); }

  private:
    std::mutex mutex_;
#endif
};

} // namespace tavrelo
