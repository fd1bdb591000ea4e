// The launcher core: the launch context, the command line, the configuration and the launch
// sequence that every launcher build runs after its own entry.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "launcher/java_runtime.h"
#include "platform/text.h"

namespace tavrelo {

// ---- Launch context ---------------------------------------------------------------------------

enum LaunchMode : int { kModeApplication = 0, kModeServiceSide = 1, kModeApplet = 2, kModeScreenSaver = 3 };
enum AdminKind : int { kAdminNone = 0, kAdminRestart = 1, kAdminSection = 2 };
// What the application is, configured by "RunType" or detected from what it defines.
enum RunType : int { kRunOrdinary = 0, kRunService = 1, kRunApplet = 2, kRunScreenSaver = 3 };
enum ServiceSubMode : int { kSubModeNone = 0, kSubModeService = -1, kSubModeCompanion = 1 };

// Written once at start by the entry and the first steps of the launch sequence, then only read.
struct LaunchContext {
    void* module = nullptr;
    int console = 0;
    Text longFileName;  // the launcher's full file name, long form (at most 2,047 units)
    Text shortFileName; // the same in short form
    Text bareFileName;  // after the last separator (at most 511 units)
    unsigned long mainThreadId = 0;
    Text argumentLine; // after the restore and administrator keywords were taken off
    // The same arguments one by one, as the system delivered them (empty ones kept). A line for
    // another process is built from these with quoteArgumentLine, never from argumentLine.
    std::vector<Text> arguments;
    int launchMode = kModeApplication;
    int serviceSubMode = kSubModeNone;
    int adminKind = kAdminNone;
    Text launcherDirectory; // long form, no trailing separator; "." when the name has none
    Text baseName;          // bare name without extension ("_console" cut in the console build)
};

LaunchContext& launchContext() noexcept;

// Fills module, console flag, file names, main thread, argument line and list from the running
// module.
void initLaunchContext(LaunchContext& context, void* module, int console, TextView argumentLine,
                       std::vector<Text> arguments);
// Sets launcherDirectory and baseName from the file names (the first thing the launch sequence does).
void deriveNames(LaunchContext& context);
[[nodiscard]] Text launcherDirectoryOf(TextView longFileName);
[[nodiscard]] Text baseNameOf(TextView bareFileName, bool cutConsoleSuffix);
[[nodiscard]] Text bareFileNameOf(TextView fileName);
// The launcher's path as written on command lines built for other processes: the long name when
// it is plain ASCII, else the short one.
[[nodiscard]] Text commandLinePath(const LaunchContext& context);

// ---- Command line -----------------------------------------------------------------------------

// Joins the arguments after the program name: single spaces between them; an argument holding a
// space, '*' or '?' that does not begin with a double quote is put in double quotes; null ones
// are skipped. The line serves keyword and action detection only: an argument holding a double
// quote does not survive it.
[[nodiscard]] Text joinArguments(int count, const char16_t* const* arguments);
// The arguments one by one: null ones skipped, empty ones kept.
[[nodiscard]] std::vector<Text> argumentList(int count, const char16_t* const* arguments);
// Takes the administrator keyword and the numbers behind it (one for a restart, two for a
// section) off the front of the list, as parseAdminToken takes them off the line.
void dropAdminArguments(std::vector<Text>& arguments, int adminKind);

// One line holding `arguments` by this platform's command-line rules (Windows: the rules of
// CommandLineToArgvW and the C runtime; POSIX: the shell's quoting), for a line that travels to
// another process. parseArgumentLine of that line gives the same list back, empty ones included.
[[nodiscard]] Text quoteArgumentLine(const std::vector<Text>& arguments);
// One argument quoted by the platform's rules, appended to a line.
void appendQuotedArgument(Text& line, TextView argument);
// The arguments of a line by this platform's rules (the line holds no program name).
[[nodiscard]] std::vector<Text> parseArgumentLine(TextView line);

enum ActionFlag : int {
    kInstallService = 0,
    kDeleteService,
    kStartService,
    kStopService,
    kInstallCpl,
    kDeleteCpl,
    kInstallScr, // -1: install, then open the screen-saver dialog
    kDeleteScr,
    kConfigScr,
    kCreateShortcut,
    kDeleteShortcut,
    kActionCount
};

struct CommandLineActions {
    std::array<int, kActionCount> flags{};
    [[nodiscard]] int operator[](ActionFlag flag) const noexcept { return flags[static_cast<std::size_t>(flag)]; }
};

// Scans every argument (the program name included) into the flags; "__OpenDialog__" after
// "-installSCR" turns that flag into -1.
void scanActions(CommandLineActions& actions, int count, const char16_t* const* arguments);
// Service sub-mode from the first argument after the program name (absent: none).
[[nodiscard]] int serviceSubModeOf(const char16_t* firstArgument) noexcept;

// ---- Configuration ----------------------------------------------------------------------------

enum ConfigSlot : int {
    kJreVersion = 0,
    kPersonalClasspath,
    kMainArgs,
    kMainClass,
    kPersonalOptions,
    kRunType,
    kClassDirectory,
    kResourceDirectory,
    kUrlInstallJre,
    kDisplayBoxInstall,
    kPathBrowser,
    kPathJre,
    kConfigSlotCount = 14
};

struct Configuration {
    std::array<std::optional<Text>, kConfigSlotCount> slots;
    Text launcherDirectory; // relative path elements are resolved against it

    [[nodiscard]] const Text* get(ConfigSlot slot) const noexcept {
        const auto& value = slots[static_cast<std::size_t>(slot)];
        return value ? &*value : nullptr;
    }
    [[nodiscard]] bool has(ConfigSlot slot) const noexcept { return get(slot) != nullptr; }
    void set(ConfigSlot slot, std::optional<Text> value) { slots[static_cast<std::size_t>(slot)] = std::move(value); }
};

Configuration& configuration() noexcept;

// Clears the table, sets the defaults, then applies the properties file and the embedded text
// of `module` (the embedded keys win). Never fails.
void loadConfiguration(Configuration& config, TextView launcherDirectory, TextView baseName, void* module);
// Applies one "key=value" line; lines without '=' and unknown keys are ignored.
void parsePropertyLine(Configuration& config, TextView line);
// Applies an embedded properties text: trimmed, split at line feeds, up to the first empty piece.
void applyEmbeddedText(Configuration& config, TextView text);
// The properties file for the base name: beside the launcher, else in the first subdirectory
// (file-system order) that holds one. Empty when there is none.
[[nodiscard]] Text findPropertiesFile(TextView launcherDirectory, TextView baseName);
// Decodes a properties file's bytes as the file would be read in its detected encoding, and
// cuts it into the lines the parser sees (each at most 4,095 units).
[[nodiscard]] std::vector<Text> propertiesLines(const std::string& bytes);

// Escapes of option values and path lists: "\\" runs collapse, then "\:" and "\=".
[[nodiscard]] Text removeEscapes(TextView value);
// A path list normalised against the launcher directory; absent when empty after escapes. With
// Expanded, %NAME% references are expanded once the escapes are removed and before the elements
// are resolved (an expanded value's own backslashes, such as a UNC prefix, stay as they are).
// ExpandedProgram also keeps a bare file name that names nothing beside the launcher as written,
// for the system to search on the PATH when the program is started.
enum class PathReferences { Kept, Expanded, ExpandedProgram };
[[nodiscard]] std::optional<Text> normalisePathList(TextView value, TextView launcherDirectory,
                                                    PathReferences references = PathReferences::Kept);

// Words of an argument or option string (spaces outside double quotes separate them).
[[nodiscard]] std::vector<Text> splitWords(TextView text);
// The same rule with another separator (a path list: the platform's list separator).
[[nodiscard]] std::vector<Text> splitWordsAt(TextView text, char16_t separator);

// A path as the JVM receives it: its options are narrow text, which cannot carry every name, so
// an existing path takes its long form, or its short form when the long one holds a unit of 128
// or more. A path that does not exist is returned as given.
[[nodiscard]] Text vmPathForm(TextView path);

// Every path in these parts is in vmPathForm.
struct ClassPathParts {
    Text classPath;       // for the JVM, joined with the platform's list separator
    Text classPathOption; // the class-path option: prefix, extra entry, launcher and resource dirs
    Text optionString;    // extra option, a space, then "PersonalOptions"
};
[[nodiscard]] ClassPathParts buildClassPath(const Configuration& config, TextView baseName, TextView extraEntry,
                                            TextView extraOptionEntry, TextView extraOption,
                                            TextView classPathOptionPrefix);

// The embedded properties text of a launcher module (empty when it has none).
[[nodiscard]] Text embeddedConfigurationText(void* module);

// ---- Launch sequence --------------------------------------------------------------------------

// Fills `out` (1,024 bytes) with the main class name; non-zero when it did.
using MainClassFinder = int (*)(const char16_t* baseName, char* out);

struct LaunchRequest {
    int launchMode = kModeApplication;
    std::optional<Text> restoreName;
    std::optional<Text> argumentLine;
    std::vector<Text> arguments; // for main and a running instance, before the "MainArgs" words
    std::optional<Text> extraOption;
    std::optional<Text> extraClassPath;       // put ahead of the class path
    std::optional<Text> extraClassPathOption; // put ahead of the class-path option's value
    const CommandLineActions* actions = nullptr;
    MainClassFinder mainClassFinder = nullptr;
    int adminKind = kAdminNone;
};

// Runs the shared launch sequence; returns the exit status: 1 when main was called (the VM then
// ran to its end; an application's System.exit ends the process with its own status before
// this returns), 0 when the launch ended before main (no runtime, a refused library, another
// instance took the start over, a missing main class or method), and the status of the
// service side, the applet, the screen saver or a command-line action when one ran instead.
[[nodiscard]] int runLauncher(const LaunchRequest& request);

// The entry shared by the console and window builds: everything after the system handed over
// the wide arguments (arguments[0] is the program name). Returns the exit status.
struct EntryOptions {
    int console = 1;           // 1 console build, 0 window build
    bool integration = true;   // hand dropped files to the resource tool
    const char16_t* extraOption = u"-Dtavrelo.isConsole=1";
};
[[nodiscard]] int runEntry(int count, const char16_t* const* arguments, void* module, const EntryOptions& options);

} // namespace tavrelo
