// Finding a Java runtime, creating the virtual machine in this process, calling main and
// ending the application. Part of the launcher core (included by launcher.h).
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

struct JavaVM_;
struct HKEY__;

namespace tavrelo {

struct Configuration;

// ---- Versions ---------------------------------------------------------------------------------

// A runtime version as "%d.%d" reads it: a part that does not parse stays -1.
struct RuntimeVersion {
    int major = -1;
    int minor = -1;
};
[[nodiscard]] RuntimeVersion parseRuntimeVersion(TextView text) noexcept;
// The feature release: 8 for "1.8", 17 for "17.0.15"; -1 when unknown.
[[nodiscard]] int featureRelease(RuntimeVersion version) noexcept;
// True when `runtime` is at least `required`, both read the same way ("1.8" and "8" are the
// same release). An unknown required version accepts everything.
[[nodiscard]] bool meetsMinimum(RuntimeVersion runtime, RuntimeVersion required) noexcept;
// "1.8", "17.0"; "unknown" when the major part is; for the trace.
[[nodiscard]] std::string versionText(RuntimeVersion version);
// The version a runtime's "release" file states (JAVA_VERSION), also looked for one directory
// up (a JDK 8 home may be its "jre"); unknown when there is none.
[[nodiscard]] RuntimeVersion releaseFileVersion(TextView home);

// Expands %NAME% references of configured and registered paths: an undefined name is removed,
// an unmatched '%' is kept.
[[nodiscard]] Text expandReferences(TextView text);

// ---- Runtime state ----------------------------------------------------------------------------

// The values the virtual machine is created with; copies are kept for later use.
struct VmLaunchValues {
    Text launcherDirectory;
    Text runtimeHome;
    Text libraryPath;
    Text optionString;    // split into the VM's options
    Text classPathOption; // the native library path option, prefix included
    Text classPath;
    std::vector<Text> programArguments; // main's arguments, each exactly as main gets it
    Text baseName;
    bool classDataArchive = false; // an ordinary start: keep the application's class-data archive
};

// Process-wide, written on the launch thread while the VM is created; `vm` and `ended` are read
// by every thread.
struct JavaRuntime {
    Text home;
    RuntimeVersion version;
    Text libraryPath;
    Text binaryDirectory; // the library path without its last two components
    void* library = nullptr;
    void* getDefaultArgs = nullptr; // JNI_GetDefaultJavaVMInitArgs
    void* createVm = nullptr;       // JNI_CreateJavaVM
    void* getCreatedVms = nullptr;  // JNI_GetCreatedJavaVMs (optional)
    int interfaceVersion = 0;
    // A VM was created or joined through `library`: from then on the library is never freed.
    bool vmHasRun = false;
    std::atomic<JavaVM_*> vm{nullptr};
    VmLaunchValues values;
    // The VM has been shut down or the Java side has exited: nothing calls into Java any more.
    std::atomic<bool> ended{false};
};
JavaRuntime& javaRuntime() noexcept;

// ---- Finding the runtime ----------------------------------------------------------------------

// Where the registry lists installed runtimes: HKEY_LOCAL_MACHINE "SOFTWARE\JavaSoft" on
// Windows (tests use keys of their own). Unused on the host.
struct RuntimeRegistry {
    HKEY__* root = nullptr; // null: HKEY_LOCAL_MACHINE
    Text base = u"SOFTWARE\\JavaSoft";
};

struct FoundRuntime {
    Text home;
    RuntimeVersion version; // known when the registry (or the runtime's files) gave it
};

// The first runtime of: "PathJRE"; the "jre" beside the launcher; the "jre" in the resource
// directory; then the system's own records, each subject to "JREversion": on Windows the
// registry products "Java Runtime Environment", "Java Development Kit", "JDK" and "JRE", then
// JAVA_HOME and the java.exe on PATH; on the host JAVA_HOME, the java on PATH and
// /usr/lib/jvm/default-java. Absent when none qualifies. Shows nothing.
[[nodiscard]] std::optional<FoundRuntime> locateRuntime(TextView launcherDirectory, const Configuration& config,
                                                        const RuntimeRegistry& registry = {});
// locateRuntime; when nothing is found, offers the installation (see offerRuntimeInstallation)
// and returns absent. Records the home and a known version in javaRuntime().
[[nodiscard]] std::optional<Text> findRuntimeHome(TextView launcherDirectory, const Configuration& config);
// The installation prompt: asks (unless "Display_BoxInstall" is "0") and, when agreed, opens
// "URL_InstallJRE" (or our default download page) in "PathBrowser" or the system's browser.
void offerRuntimeInstallation(const Configuration& config);
// Starts `browser` (searched on the PATH when it names no directory) with the argument list
// "iexplore" and the page, without waiting; opens a page with the system's own handler.
[[nodiscard]] bool startBrowser(TextView browser, TextView page);
[[nodiscard]] bool openWebPage(TextView page);
// The page offered when "URL_InstallJRE" is not configured.
inline constexpr char16_t kDefaultDownloadPage[] = u"https://www.java.com/download/";

// A runtime known only by its directory (`source` says how it was found, for the trace): it must
// hold a VM library and meet `required` when that is given. Absent otherwise.
[[nodiscard]] std::optional<FoundRuntime> qualifiedRuntime(const Text& home,
                                                           const std::optional<RuntimeVersion>& required,
                                                           const char* source);

// ---- The runtime's files (platform specific) --------------------------------------------------

// The system's own records of installed runtimes (the steps after the "jre" directories), each
// checked against `required` when it is given.
[[nodiscard]] std::optional<FoundRuntime> locateSystemRuntime(const std::optional<RuntimeVersion>& required,
                                                              const RuntimeRegistry& registry);

// The first existing virtual-machine library under `home`, or absent. Windows: jre\bin\client,
// bin\client, jre\bin\server, bin\server, then classic and hotspot alike, each "\jvm.dll".
// Host: the libjvm.so layouts of current and JDK 8 runtimes.
[[nodiscard]] std::optional<Text> findVmLibrary(TextView home);
// True when the library is built for this launcher's width. Windows: its version resource's
// FileDescription mentions "64". Host: a 64-bit ELF object for this machine.
[[nodiscard]] bool isVmLibrary64(TextView libraryPath);
// The version the runtime's own files state (Windows: bin\java.exe's "Full Version", else the
// "release" file; host: the "release" file). Unknown parts stay -1.
[[nodiscard]] RuntimeVersion readRuntimeVersion(TextView home);
// Loads the library with its binary directory as the search directory for its own
// dependencies, and looks up the three entry points. False (library released) when it cannot be
// loaded or lacks JNI_GetDefaultJavaVMInitArgs or JNI_CreateJavaVM.
[[nodiscard]] bool loadVmLibrary(JavaRuntime& runtime, TextView libraryPath);
void freeVmLibrary(void* library) noexcept;
// The runtime's binary directory: the path with its last two components removed.
[[nodiscard]] Text binaryDirectoryOf(TextView libraryPath);

// ---- The virtual machine ----------------------------------------------------------------------

// The option array handed to the VM, before the fixed options are added to it.
struct VmOptionSet {
    std::vector<std::string> options; // narrow (ANSI on Windows, UTF-8 on the host)
    std::vector<Text> keptBack;       // "-D" options with non-ASCII text, without their "-D"
};
// Splits the option string, sorts it without regard to case, drops case-insensitive repeats,
// keeps non-ASCII "-D" options back, then appends the class path, the launcher directory (in
// vmPathForm) and the native library path options and the fixed plain option. Each option is
// trimmed and loses enclosing double quotes. The exit hook option is not part of it (it
// carries a pointer).
[[nodiscard]] VmOptionSet buildVmOptions(TextView optionString, TextView classPath, TextView launcherDirectory,
                                         TextView classPathOption);

// Adds the options that map this application's class-data archive from the user's cache, or,
// when there is no valid one, make the runtime list the classes it loads, from which a clean-up
// step has a background run of this launcher write the archive. Adds nothing (the trace says
// why) unless the values ask for it and the runtime (release 13 or later, with its own program)
// and the options allow it.
void addClassDataArchiveOptions(const JavaRuntime& runtime, std::vector<std::string>& options);
// The launcher run that writes an archive from the request a start left: 0 when it was placed.
[[nodiscard]] int runArchiveWriter(TextView request);

// The fixed texts of the VM options, unscrambled on first use.
enum class FixedOption { ClassPath, LauncherDirectory, LibraryPath, NoSystemAssertions, ExitHook };
[[nodiscard]] const char* fixedOption(FixedOption which) noexcept;

// Creates the VM (or joins one already in the process) with these values. On failure shows
// "Can't run the JVM" once and returns false. A process creates at most one VM: a start after
// shutdownJavaVm fails, and keeps the library loaded, as does every path once a VM has run.
[[nodiscard]] bool createJavaVm(const VmLaunchValues& values);
// Starts the desktop thread for a non-empty feature set, then calls the main class's main with
// the program arguments. A missing class or method shows its message and gives 0. After main
// (an escaping exception is printed) the VM is destroyed, which waits for the application's
// non-daemon threads. 1 when main was called.
[[nodiscard]] int callMain(int desktopFeatureSet);
// As callMain with the stored program arguments, but silent, without the desktop thread and
// without shutting down.
[[nodiscard]] int callMainQuietly();
// Clears a pending exception; with `destroy`, detaches this thread and destroys the VM (waiting
// for the non-daemon threads). Marks the runtime ended.
void shutdownJavaVm(bool destroy);
// java.lang.System.exit(0).
void exitJava();
// False once ended; otherwise true while a "main" thread (or "AWT-EventQueue-0", or with
// `countThreads` a "Thread-" thread) is alive. Requests a garbage collection on every call.
[[nodiscard]] bool isApplicationAlive(bool countThreads);

// ---- The clean-up hook ------------------------------------------------------------------------

// The one place that closes what the launcher's features opened (tray icon, event window,
// screen-saver window...) when the Java side ends the process: each feature registers its step
// when it opens something. Steps run once, in the order registered; at most 16.
using CleanUpStep = void (*)() noexcept;
bool addCleanUpStep(CleanUpStep step) noexcept;
// Runs the steps (once per process) and marks the runtime ended. The VM calls it from
// System.exit; it is safe on any thread.
void runCleanUpHook() noexcept;
// The function given to the VM as the exit hook.
[[nodiscard]] void* cleanUpHookFunction() noexcept;

} // namespace tavrelo
