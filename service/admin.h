// Administrator sections: the elevated copies of a launcher, the command-line token that marks
// them, and the SectionManagement contract through which an application restarts elevated or runs
// numbered sections in an elevated copy, exchanging objects with it.
#pragma once

#include <span>

#include "natives/natives.h"
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

// The slots of the SectionManagement interface: natives the application declares (0, 1, 2, 4, 5)
// and static methods it may define (the others).
enum SectionSlot : int {
    kSectionIsAdmin = 0,
    kSectionExecAsAdmin,
    kSectionRestartAsAdmin,
    kSectionSetDataRestart,
    kSectionSetIconAdmin,
    kSectionStartAdminThread,
    kSectionMainAdmin,
    kSectionClosedAdminThread,
    kSectionIsDataForAdmin,
    kSectionDataForAdmin,
    kSectionDataFromAdmin,
    kSectionIsDataForUser,
    kSectionDataForUser,
    kSectionDataFromUser,
    kSectionSlotCount
};

// The five natives, under their own names.
[[nodiscard]] const NativeSet& sectionNatives() noexcept;
// The nine application methods (slot, name, signature), bound with bindMethod.
[[nodiscard]] std::span<const NativeMethod> sectionMethods() noexcept;

// The restart's and the section's parameter lines for the elevated copy: the keyword, the user
// process's id, then the section number or nothing, then `ownArguments` (a restart always; a
// section only from the service side) and `newArguments` (a restart), each trimmed and after a
// blank when not empty.
[[nodiscard]] Text restartParameters(int processId, TextView ownArguments, TextView newArguments);
[[nodiscard]] Text sectionParameters(int processId, int section, TextView ownArguments, bool withOwnArguments);

} // namespace tavrelo
