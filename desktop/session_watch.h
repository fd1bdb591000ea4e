// The session watch of the system-event window: who logs on, off, locks, unlocks, connects or
// disconnects which session, and the report of the users already logged on at start.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// One logon session as the system's security layer lists it; the user as DOMAIN\user.
struct LogonRecord {
    std::uint32_t sessionId = 0;
    unsigned long logonType = 0;
    Text user;
};

// The user of the first interactive (console, unlock or remote) record of that session; empty
// when there is none.
[[nodiscard]] Text sessionUser(const std::vector<LogonRecord>& records, std::uint32_t sessionId);

// Forgets every cached user and disconnected mark (the watch's start).
void clearSessionUsers() noexcept;
// One session change (WTS event code, session id) with the user found for that session now:
// updates the per-session cache and marks, signals the companion on a logon, and passes the
// change to `notifyEvent` (code 689) unless it is an unlock of a disconnected session.
// Event window's thread only.
void deliverSessionChange(unsigned code, std::uint32_t sessionId, const Text& userFound) noexcept;
// Reports each interactive logon (a user and session differing from the one reported before
// it) with whether it is `ownUser`, to `notifyEvent` (689, 0, session id, user, [same]).
void reportLoggedOnUsers(const std::vector<LogonRecord>& records, TextView ownUser) noexcept;

// Windows builds. Starts the watch for the event window once per window: registration for
// the notifications of all sessions and the start-up report happen on a thread of its own.
// False when the session-notification functions are missing. Event window's thread.
bool startSessionWatch(void* window) noexcept;
// Stops the watch thread (waiting for it) and then ends the registration. Same thread.
void stopSessionWatch() noexcept;
// For the process's end, from any thread: gives the notifications up without waiting for the
// watch thread (stopSessionWatch still joins it when the desktop thread gets there).
void releaseSessionNotifications() noexcept;
// A session-change message of the event window: finds the session's user and delivers it.
void onSessionChange(unsigned code, std::uint32_t sessionId) noexcept;

} // namespace tavrelo
