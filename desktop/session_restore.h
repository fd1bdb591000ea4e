// Session restore: an application that survives the end of a Windows session. When the session
// ends the launcher saves the application's object and arguments and registers itself to start
// at the next logon; that run hands them back before main.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// The application allowed the session to end (not a log-off): start saving its session data on
// a thread of its own. Event window's thread.
void startSessionSave() noexcept;
// The session ends (`ending`: wait for the save to finish) or its end was cancelled (undo the
// save). Called before the application hears of it. Event window's thread.
void endSession(bool ending) noexcept;

// Binds the main class's session methods (launch thread); true when one of the saving methods
// (`sessionIsRestore`, `sessionGetMainArgs`, `sessionGetData`) is defined.
bool bindSessionRestore(const std::string& mainClass) noexcept;

// Whether `identifier` names this application's restore: "<base name>__<digits>", the base name
// in any letter case. Anything else could name files outside the temporary directory.
[[nodiscard]] bool isRestoreIdentifier(TextView identifier, TextView baseName) noexcept;

// The restart's argument, first of all (launch thread): when the first argument is the restore
// argument, `arguments` and `argumentLine` become the saved run's (its arguments file consumed,
// its restart command deleted) and the identifier is returned: empty when it names no restore of
// this application (the run then starts without arguments and without data). Absent otherwise.
[[nodiscard]] std::optional<Text> takeRestoreArgument(std::vector<Text>& arguments, Text& argumentLine,
                                                      TextView baseName);

// The files of a restore, in the temporary directory.
[[nodiscard]] Text restoreDataFile(TextView identifier);
[[nodiscard]] Text restoreArgumentsFile(TextView identifier);

// The restart command's registration (Windows: the user's RunOnce value; elsewhere nothing).
[[nodiscard]] bool registerRestartCommand(TextView identifier) noexcept;
void deleteRestartCommand(TextView identifier) noexcept;

// This run's identifier: "<base name>__<process id>".
[[nodiscard]] Text sessionIdentifier();

// The save, on the save thread: asks the application, writes the data file, the arguments file
// and the restart command, in that order. Before each call into Java and each write it checks
// `abandoned`; once that is set nothing more is written. True when a restart was registered.
bool saveSession(const std::atomic<bool>& abandoned) noexcept;
// Undoes a save of this run: the restart command and both files (and their left-overs).
void removeSavedSession() noexcept;

} // namespace tavrelo
