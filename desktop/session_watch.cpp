#include "desktop/session_watch.h"

#include <bitset>

#include "desktop/desktop.h"
#include "service/companion.h"

namespace tavrelo {

namespace {

enum WtsEvent : unsigned {
    kConsoleConnect = 1,
    kConsoleDisconnect = 2,
    kRemoteConnect = 3,
    kRemoteDisconnect = 4,
    kSessionLogon = 5,
    kSessionLogoff = 6,
    kSessionLock = 7,
    kSessionUnlock = 8,
};

enum LogonType : unsigned long { kInteractive = 2, kUnlock = 7, kRemoteInteractive = 10 };

// Sessions with ids from here on (and the "no session" id) pass through without memory.
constexpr std::uint32_t kRememberedSessions = 1000;

// Event window's thread only; cleared before the watch thread starts. Grown on first use, so
// a process that never sees a session change does not carry a thousand empty names.
std::vector<Text> cachedUsers;
std::bitset<kRememberedSessions> disconnected;

bool isInteractive(unsigned long logonType) noexcept {
    return logonType == kInteractive || logonType == kUnlock || logonType == kRemoteInteractive;
}

// The user to pass to the application, or absent for no call.
std::optional<Text> userToPass(unsigned code, std::uint32_t sessionId, const Text& found) {
    if (sessionId >= kRememberedSessions) return found;
    if (cachedUsers.size() < kRememberedSessions) cachedUsers.resize(kRememberedSessions);
    Text& cached = cachedUsers[sessionId];
    switch (code) {
    case kConsoleConnect:
    case kRemoteConnect:
        disconnected.reset(sessionId);
        cached = found;
        return found;
    case kConsoleDisconnect:
    case kRemoteDisconnect:
        disconnected.set(sessionId);
        if (cached.empty()) cached = found;
        return cached;
    case kSessionLogon:
    case kSessionLogoff:
    case kSessionLock: cached = found; return found;
    case kSessionUnlock:
        // The unlock that follows a disconnect is the reconnection's, already told by connect.
        if (disconnected.test(sessionId)) return std::nullopt;
        if (cached.empty()) cached = found;
        return cached;
    default: return found;
    }
}

void notifySession(int code, std::uint32_t sessionId, const Text& user, std::vector<std::int32_t> ints) noexcept {
    SystemEvent event;
    event.code = kEventSessionChange;
    event.wParam = code;
    event.lParam = static_cast<int>(sessionId);
    event.text = user;
    event.ints = std::move(ints);
    (void)notifyEvent(event);
}

} // namespace

Text sessionUser(const std::vector<LogonRecord>& records, std::uint32_t sessionId) {
    for (const LogonRecord& record : records)
        if (record.sessionId == sessionId && isInteractive(record.logonType)) return record.user;
    return {};
}

void clearSessionUsers() noexcept {
    for (Text& user : cachedUsers) user.clear();
    disconnected.reset();
}

void deliverSessionChange(unsigned code, std::uint32_t sessionId, const Text& userFound) noexcept {
    try {
        const std::optional<Text> user = userToPass(code, sessionId, userFound);
        if (code == kSessionLogon) sendTrayReAdd();
        if (user) notifySession(static_cast<int>(code), sessionId, *user, {});
    } catch (...) {
        // Out of memory copying a name: this change is not told.
    }
}

void reportLoggedOnUsers(const std::vector<LogonRecord>& records, TextView ownUser) noexcept {
    try {
        const LogonRecord* previous = nullptr;
        for (const LogonRecord& record : records) {
            if (!isInteractive(record.logonType)) continue;
            if (previous && previous->user == record.user && previous->sessionId == record.sessionId) continue;
            previous = &record;
            notifySession(0, record.sessionId, record.user, {record.user == ownUser ? 1 : 0});
        }
    } catch (...) {
        // Out of memory: the rest of the report is not made.
    }
}

} // namespace tavrelo
