// Session restore as the system-event window drives it at the end of a Windows session.
#pragma once

namespace tavrelo {

// The application allowed the session to end (not a log-off): start saving its session data on
// a thread of its own. Event window's thread.
void startSessionSave() noexcept;
// The session ends (`ending`: wait for the save to finish) or its end was cancelled (undo the
// save). Called before the application hears of it. Event window's thread.
void endSession(bool ending) noexcept;

} // namespace tavrelo
