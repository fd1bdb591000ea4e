// The resource tool's portable core: the job read from its command line, the sources it loads
// (icon file, splash image, properties text, archives), and what it writes into which launcher
// copy. Everything here is plain data and single-threaded; the resource store that carries the
// plan out lives beside it. Every untrusted file is checked before anything is allocated for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/text.h"
#include "resources/resource_writer.h"

namespace tavrelo {

// Exit statuses: every requested write done, something requested not done, usage error.
inline constexpr int kToolSucceeded = 0;
inline constexpr int kToolFailed = 1;
inline constexpr int kToolUsage = 2;

// An icon file larger than this is refused before it is read.
inline constexpr std::size_t kIconFileCap = 16u * 1024u * 1024u;

// ---- The job --------------------------------------------------------------------------------

struct IntegrationJob {
    std::optional<Text> exeTarget;
    std::optional<Text> cplTarget;
    std::optional<Text> scrTarget;
    std::optional<Text> iconSource;
    std::optional<Text> imageSource;
    std::optional<Text> propertiesSource;
    std::vector<Text> archives; // "BIN" 10001 and up, in order
    bool run = false;
    bool info = false;
    bool adminGiven = false;
    bool admin = false;
};

// A job's path field.
using Field = std::optional<Text> IntegrationJob::*;
// The field a file fills, by its extension (any case); null for any other file.
[[nodiscard]] Field fieldForFile(TextView file) noexcept;

// The job of a command line (the text after the program name). File arguments are classified
// by extension, resolved against the current directory and completed with their companions
// (a target's icon, properties and image beside it, and a source's targets); fields set by
// options are used as given until a later file argument resolves them.
[[nodiscard]] IntegrationJob parseToolCommandLine(TextView commandLine);
// The same from arguments already split (a POSIX program's own).
[[nodiscard]] IntegrationJob parseToolArguments(const std::vector<Text>& arguments);

// A source or target path as the tool uses it: escapes removed, made absolute against the
// current directory (drive paths, UNC and "\\?\" paths, a leading '/' on the host and
// "http://" count as absolute), long form (short when the long one is not ASCII), trimmed. The
// result must exist and end in `extension`; otherwise the "_console" variant is tried (taken
// out, or put in before the extension). Absent when neither exists.
[[nodiscard]] std::optional<Text> resolveSourcePath(TextView path, TextView extension);
[[nodiscard]] bool isAbsoluteSourcePath(TextView path) noexcept;
// A target as the writers take it: the path when it exists, else its "_console.exe"/".exe"
// twin when that exists; absent otherwise.
[[nodiscard]] std::optional<Text> existingTargetPath(TextView path);

// The image extensions, in the order sources and companions are tried.
inline constexpr const char16_t* kImageExtensions[] = {u".bmp", u".gif", u".jpg", u".jpeg", u".png"};

// ---- Sources --------------------------------------------------------------------------------

struct IconImage {
    std::uint8_t width = 0;  // 0 stands for 256
    std::uint8_t height = 0; // likewise
    std::uint8_t colourCount = 0;
    std::uint8_t reserved = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::string bytes; // exactly the declared size, read from the declared offset
};

struct IconFile {
    Text path;
    std::vector<IconImage> images; // at least one
};

// Parses an icon file's bytes: words 0, 1 and a count of at least one whose directory fits the
// file; every image non-empty, after the directory and inside the file. Absent otherwise.
[[nodiscard]] std::optional<IconFile> parseIconFile(std::string_view bytes);

struct LoadedSources {
    std::optional<IconFile> icon;
    std::optional<Text> imagePath;
    std::string imageBytes;
    std::optional<Text> propertiesPath;
    Text propertiesText;
    std::vector<std::optional<std::string>> archives; // scrambled; absent when unreadable
};

// Each loader resolves the path, returns false silently for a file that is missing or cannot
// be read, and shows its message (warning box) for a file that is not what its name says:
// "isn't an icon file" for a damaged or oversized icon file, "isn't an image file" for an
// image whose first bytes do not match its extension. `out` is changed only on success.
[[nodiscard]] bool loadIconSource(TextView path, IconFile& out);
[[nodiscard]] bool loadImageSource(TextView path, Text& resolved, std::string& bytes);
// The properties text as the launcher's own reader decodes it (CR LF read as LF).
[[nodiscard]] bool loadPropertiesSource(TextView path, Text& resolved, Text& text);
// Loads every source the job sets (archives are read whole and scrambled).
[[nodiscard]] LoadedSources loadSources(const IntegrationJob& job);

// Reads at most `cap` bytes of a file: Missing when it cannot be opened or read, TooLarge
// (nothing read) when it is bigger than the cap.
enum class ReadResult { Read, Missing, TooLarge };
[[nodiscard]] ReadResult readFileCapped(TextView path, std::size_t cap, std::string& bytes);

// The RT_GROUP_ICON bytes of an icon file: words 0, 1, the count, then per image width, height,
// colour count, reserved, planes, bit count, its byte count and its identifier (from 1).
[[nodiscard]] std::string iconGroupBytes(const IconFile& icon);
// The information box of an icon (caption: the file's name; text: one line per image with its
// size, a 0 byte counting as 256, and colours, 2 to the bit count, 0 bits counting as 4 and
// 24 bits or more as 16,777,216) and of a properties text.
[[nodiscard]] BuiltMessage iconInformation(const IconFile& icon);
[[nodiscard]] BuiltMessage propertiesInformation(TextView path, TextView text);

// ---- The writing ----------------------------------------------------------------------------

enum class TargetKind { Executable, Applet, ScreenSaver };

struct PlanTarget {
    TargetKind kind = TargetKind::Executable;
    Text path;
    bool siblingFamily = false; // its delivery name belongs to the sibling launcher family
};

// Which loaded sources a target's update carries (for the summary).
inline constexpr unsigned kCarriesIcon = 1;
inline constexpr unsigned kCarriesImage = 2;
inline constexpr unsigned kCarriesProperties = 4;

struct ResourceWrite {
    ResourceType type;
    int id = 0;
    std::string bytes;
};

// Everything one target receives, applied as one update: the old icon images and group are
// removed first (when `replaceIcons`), then every write in order.
struct TargetUpdate {
    PlanTarget target;
    bool replaceIcons = false;
    std::vector<ResourceWrite> writes;
    unsigned carries = 0;
};

// The updates for the targets that passed the launcher and open checks, in order executable,
// applet, screen saver: icon into all, image into the executable only, configuration into all
// (rewritten for the sibling family, the rewritten text going on to the targets that follow),
// the manifest template into the executable when an administrator choice was given, archives
// into all. A target that would receive nothing gets no update.
[[nodiscard]] std::vector<TargetUpdate> planWrites(const IntegrationJob& job, const LoadedSources& sources,
                                                   const std::vector<PlanTarget>& targets,
                                                   std::string_view manifestTemplate);

// The configuration text the sibling launcher family reads: lines without '=' dropped, each
// other written as "key = value", and its option word list completed with the built-in words.
[[nodiscard]] Text siblingConfiguration(TextView text);

// 0, or the message that stops a command-line run: no source, then no target.
[[nodiscard]] int commandLineRunProblem(const IntegrationJob& job) noexcept;

// What a run achieved, for the summary and the exit status.
struct RunOutcome {
    bool usageError = false;       // stopped before writing
    bool somethingFailed = false;  // a source or target dropped, an open or commit failed
    std::vector<Text> writtenSources; // icon, image and properties paths written somewhere
    std::vector<Text> writtenTargets; // targets whose update was committed
    unsigned carried = 0;             // kCarries… of the committed updates
};
// Marks the outcome failed when a source the job names did not load (or an archive was unreadable).
void recordSources(RunOutcome& outcome, const IntegrationJob& job, const LoadedSources& sources);
// Records one target's update result into the outcome.
void recordTargetResult(RunOutcome& outcome, const LoadedSources& sources, const TargetUpdate& update, bool committed);
[[nodiscard]] int exitStatus(const RunOutcome& outcome) noexcept;
// True when a "-info" summary is due: the run reached the writing and something was written (a
// summary of nothing would read as a success).
[[nodiscard]] bool summaryDue(const IntegrationJob& job, const RunOutcome& outcome) noexcept;
// The "-info" summary: only what was written.
[[nodiscard]] BuiltMessage summaryMessage(const RunOutcome& outcome);

// ---- The resource store ---------------------------------------------------------------------
// What the writers need of a target file, in the platform's own terms: the Win32 resource
// functions on Windows, the tool's own program-file reader and writer elsewhere.

// The delivery names that make a file a target, compared exactly; the first two are the
// sibling family's.
inline constexpr const char16_t* kShippedNames[] = {u"Tavshield_console.exe", u"Tavshield.exe", u"Tavrelo.cpl",
                                                    u"Tavrelo.scr",           u"Tavrelo_console.exe", u"Tavrelo.exe"};
// String 1000 of a program file (at most 1,023 units); absent when the file cannot be loaded.
[[nodiscard]] std::optional<Text> deliveryNameOf(TextView file);
// True when `name` is a shipped name; `sibling` tells whether it belongs to the sibling family.
[[nodiscard]] bool isShippedName(TextView name, bool* sibling = nullptr) noexcept;
// True when the file's delivery name is a shipped name (`sibling` as above).
[[nodiscard]] bool isLauncherFile(TextView file, bool* sibling = nullptr);
// True when the file can be opened for writing without sharing it.
[[nodiscard]] bool canOpenExclusively(TextView file);
// Carries out one target's update as one commit. On failure the file is as it was and `reason`
// holds a text for the user (the system's own where it gave one, else a plain one naming the
// file).
[[nodiscard]] bool applyTargetUpdate(const TargetUpdate& update, Text& reason);
// The manifest template the tool carries (908 bytes for administrator rights, 897 without).
[[nodiscard]] std::string manifestTemplate(bool admin);

// ---- A run ----------------------------------------------------------------------------------

// Before any source is loaded: "-info" waits 500 ms, and every target set is checked for being
// a launcher (the message for each that is not).
void prepareRun(const IntegrationJob& job);
// The writing stage for a job whose sources are loaded: targets resolved, checked and opened
// (a target still held is retried for up to 5 s with "-info"), the plan written target by
// target, every failure shown. The outcome lists only what was written.
[[nodiscard]] RunOutcome writeIntegration(const IntegrationJob& job, const LoadedSources& sources);
// The dialog (Windows): the job's rows shown and chosen by the user, sources loaded and
// accepted as they are picked or dropped; true when OK closed it (unchecked rows cleared, admin
// taken from its check box), false for Cancel.
[[nodiscard]] bool runDialog(IntegrationJob& job, LoadedSources& sources);
// A command-line run ("-run") from the job to its outcome: checks, sources, the no-source and
// no-target messages (usage error), the writing.
[[nodiscard]] RunOutcome runCommandLine(const IntegrationJob& job);

} // namespace tavrelo
