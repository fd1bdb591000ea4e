// Inside the administrator sections (Windows builds): what the natives and the elevated copy
// share.
#pragma once

#include <jni.h>

#include <string>

#include "bridge/bridge.h"

namespace tavrelo {

// Holds the process's one admin-busy mark while a restart or a thread start is prepared: a
// second request meanwhile finds it taken and is refused, not queued. Released on every path.
class AdminBusy {
  public:
    AdminBusy() noexcept;
    ~AdminBusy() { release(); }
    AdminBusy(const AdminBusy&) = delete;
    AdminBusy& operator=(const AdminBusy&) = delete;
    // True when this request took the mark.
    [[nodiscard]] bool held() const noexcept { return held_; }
    void release() noexcept;

  private:
    bool held_ = false;
};

// The SectionManagement record, bound once by bindAdminSections.
[[nodiscard]] FeatureInterface& sectionManagement() noexcept;

// ShellExecuteExW of `program`, "open" when this process is elevated and "runas" otherwise; the
// process handle when `process` is given (the caller closes it). False when the start failed,
// also when the user declined the prompt.
[[nodiscard]] bool startElevated(TextView program, TextView parameters, TextView directory,
                                 void** process = nullptr) noexcept;

// User side: hands the serialized start object (empty: null) to the elevated copy's RunAsAdmin
// pipe of this process and `numberB` (-1: none), waiting about 15 s for the copy to serve it.
// True when it was delivered, or when the application does not define the method of `slot`
// (the copy then waits for nothing).
[[nodiscard]] bool sendStartObject(int slot, int numberB, const std::string& bytes) noexcept;

// sectionStartAdminThread: the channel for `number`, the elevated copy, the start object, and
// the closing thread; see admin_channel_win.cpp.
[[nodiscard]] bool startAdminThread(int number, jobject data, bool wait) noexcept;

} // namespace tavrelo
