// The application's class-data archive: what the start that lists the classes and the
// background process that writes the archive from that list share. Internal to the launcher.
//
// A start without a valid archive has the runtime list the classes it loads, at no cost worth
// measuring. At its end it leaves a request and starts this launcher again, detached and at a
// lower priority, which runs the runtime's own program to write the archive from the list under
// a temporary name and then moves it into place. Nobody waits for that writing: neither the
// user nor the application's end.
#pragma once

#include <string>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// The environment variable that makes a launcher write an archive instead of starting the
// application; its value is the request's path.
inline constexpr char16_t kClassDataRequestVariable[] = u"TAVRELO_CLASS_DATA_ARCHIVE";

// Where an archive of this application and runtime lives and what it is written from. Names in
// the cache directory: "<owner><validity><length>.jsa" for archives, "<owner><validity><process
// id>" followed by ".classes", ".request" or ".tmp" while one is being made.
struct ArchivePlan {
    Text directory;                   // with its trailing separator
    Text owner;                       // "<application and runtime>-": every file of the pair begins with it
    Text validity;                    // "<what makes the archive valid>-"
    Text javaProgram;                 // the runtime's launcher program that writes archives
    Text classList;                   // the list of loaded classes the start leaves
    std::vector<std::string> options; // the option array of later starts, without the archive
};

// The archives of a plan's application and runtime in its directory.
struct ArchiveListing {
    std::vector<Text> owned; // every file of the owner's: archives and what is left of making them
    Text intact;             // the first (by name) valid archive whose size is the length it states
    Text damaged;            // a valid archive whose size is not
};
[[nodiscard]] ArchiveListing listArchives(const ArchivePlan& plan);

// The request file's text, and the plan read back from it (false when it is not one).
[[nodiscard]] std::string requestText(const ArchivePlan& plan);
[[nodiscard]] bool readRequest(std::string_view text, ArchivePlan& plan);

// Starts this launcher's program detached from this process (its own session or no console, the
// standard streams on the null device, a lower priority) with the request variable set to
// `request`; false when it could not be started.
[[nodiscard]] bool startArchiveWriter(TextView launcher, TextView request) noexcept;
// Runs a program with these arguments, its standard streams on the null device, and waits for
// it: its exit status, or -1 when it could not be started or did not end normally.
[[nodiscard]] int runAndWait(TextView program, const std::vector<Text>& arguments) noexcept;
// Lowers this process's priority, and so that of the programs it starts, below the user's.
void lowerPriority() noexcept;

} // namespace tavrelo
