#include "service/admin.h"

namespace tavrelo {

namespace {

// Reads a decimal number at `at` and moves past the next blank (or to the end).
int readNumber(TextView line, std::size_t& at) {
    const int value = at < line.size() ? toInt(line.substr(at)) : 0;
    const std::size_t blank = line.find(u' ', at);
    at = blank == TextView::npos ? line.size() : blank + 1;
    return value;
}

} // namespace

AdminState& adminState() noexcept {
    static AdminState state;
    return state;
}

int parseAdminToken(Text& argumentLine, int ownProcessId, AdminState& state) {
    state.parentProcessId = ownProcessId;
    constexpr TextView restart = u"__RunAsAdmin__";
    constexpr TextView section = u"__ThreadAsAdmin__";
    int kind = 0;
    std::size_t at = 0;
    if (startsWithIgnoreCase(argumentLine, restart)) {
        kind = 1;
        at = restart.size() + 1; // the token and the separator after it
    } else if (startsWithIgnoreCase(argumentLine, section)) {
        kind = 2;
        at = section.size() + 1;
    } else {
        return 0;
    }
    if (at > argumentLine.size()) at = argumentLine.size();
    state.parentProcessId = readNumber(argumentLine, at);
    if (kind == 2) state.sectionNumber = readNumber(argumentLine, at);
    argumentLine.erase(0, at);
    return kind;
}

} // namespace tavrelo
