// The elevated copies of a launcher: the command-line token that marks them.
#pragma once

#include "platform/text.h"

namespace tavrelo {

struct AdminState {
    int parentProcessId = 0; // the user process: our own id, or the one read from the token
    int sectionNumber = 0;   // the admin thread an elevated section copy serves
};

AdminState& adminState() noexcept;

// Takes "__RunAsAdmin__ <pid> " (kind 1) or "__ThreadAsAdmin__ <pid> <section> " (kind 2) off
// the front of `argumentLine`, case-insensitively, filling `state`; 0 and the line untouched
// for any other line. `ownProcessId` is the parent id when there is no token.
int parseAdminToken(Text& argumentLine, int ownProcessId, AdminState& state);

} // namespace tavrelo
