#include <algorithm>
#include <cstdint>
#include <cstring>

#include "launcher/class_data_archive.h"
#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

// Options after which the runtime cannot write or map an archive of the application's classes,
// or after which the user has chosen the archive himself.
constexpr const char* kUserChoices[] = {"-Xshare:", "SharedArchiveFile", "ArchiveClassesAtExit", "-Dtavrelo.cds=false"};
constexpr char kQuiet[] = "-Xlog:cds*=off"; // the application's output stays its own
constexpr const char* kNoArchiveOptions[] = {"-XX:-UseCompressedClassPointers", "--patch-module", "--limit-modules",
                                             "--upgrade-module-path", "-javaagent:", "-agentlib:", "-agentpath:",
                                             "-Xbootclasspath/a:"};

// Options that make the runtime write files of the application's: logs, recordings, dumps. The
// writer's run of the runtime leaves them out, so as not to replace what the application's own
// run just wrote.
constexpr const char* kFileWritingOptions[] = {"-Xlog",           "-verbose",         "-XX:+LogVMOutput",
                                               "-XX:LogFile",     "-XX:ErrorFile",    "-XX:HeapDumpPath",
                                               "-XX:StartFlight", "-XX:+StartFlight", "-XX:FlightRecorder"};

// 64-bit FNV-1a over everything fed to it, each piece closed by a zero byte.
struct Hash {
    std::uint64_t value = 0xcbf29ce484222325ull;
    void bytes(const void* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            value ^= static_cast<const unsigned char*>(data)[i];
            value *= 0x100000001b3ull;
        }
        const unsigned char end = 0;
        value ^= end;
        value *= 0x100000001b3ull;
    }
    void text(TextView text) { bytes(text.data(), text.size() * sizeof(char16_t)); }
    void narrow(std::string_view text) { bytes(text.data(), text.size()); }
    void stamp(TextView path) {
        const auto stamp = os::fileStamp(path);
        const os::FileStamp found = stamp.value_or(os::FileStamp{~0ull, ~0ull});
        text(path);
        bytes(&found, sizeof found);
    }
    [[nodiscard]] Text hex() const {
        Text out;
        for (int shift = 60; shift >= 0; shift -= 4) out.push_back(u"0123456789abcdef"[(value >> shift) & 0xF]);
        return out;
    }
};

// The plan of this start when it lists its classes for a new archive; written once before the VM
// is created, read by the clean-up step.
ArchivePlan& pending() {
    static ArchivePlan plan;
    return plan;
}

bool makeDirectories(TextView base, std::initializer_list<const char16_t*> names, Text& path) {
    path = Text(base);
    (void)os::makeDirectory(path);
    for (const char16_t* name : names) {
        path += os::kPathSeparator;
        path += name;
        (void)os::makeDirectory(path);
    }
    return os::isDirectory(path);
}

// The user's cache directory for archives, made when missing; empty when there is none.
Text cacheDirectory() {
    Text path;
#ifdef _WIN32
    const auto local = os::environmentValue(u"LOCALAPPDATA");
    if (!local || !os::isAbsolutePath(*local) || !makeDirectories(*local, {u"Tavrelo", u"cds"}, path)) return {};
#else
    auto base = os::environmentValue(u"XDG_CACHE_HOME");
    if (!base || !os::isAbsolutePath(*base)) {
        const auto home = os::environmentValue(u"HOME");
        if (!home || !os::isAbsolutePath(*home)) return {};
        base = *home + u"/.cache";
    }
    if (!makeDirectories(*base, {u"tavrelo", u"cds"}, path)) return {};
#endif
    return vmPathForm(path);
}

// Leaves the request for the archive and starts the writer; its end is nobody's to wait for.
void requestArchive() noexcept {
    try {
        const ArchivePlan& plan = pending();
        if (plan.classList.empty()) return;
        const auto listed = os::fileStamp(plan.classList);
        if (!listed || listed->size == 0) {
            (void)os::deleteFile(plan.classList);
            trace("class-data archive: not written, the runtime left no class list");
            return;
        }
        const Text request = plan.classList.substr(0, plan.classList.rfind(u'.')) + u".request";
        const bool requested = os::writeFile(request, requestText(plan));
        if (!requested) traceFailure("class-data archive: not written, no request: ");
        if (!requested || !startArchiveWriter(os::moduleFileName(nullptr), request)) {
            if (requested) trace("class-data archive: not written, the writer could not be started: ", errorReason(os::lastError()));
            (void)os::deleteFile(request);
            (void)os::deleteFile(plan.classList);
            return;
        }
        trace("class-data archive: ", listed->size, " bytes of class list, the archive is written in the background");
    } catch (...) {
    }
}

// Looks for class files below a directory of the class path, a few levels deep, leaving out the
// runtime; a directory too large to look through counts as holding some.
struct ClassFileSearch {
    Text directory;
    TextView runtimeHome;
    int depth = 0;
    int* budget = nullptr;
    bool found = false;
};

bool holdsClassFiles(ClassFileSearch& search) {
    const bool listed = os::listDirectory(
        search.directory,
        [](TextView name, bool isDirectory, void* context) {
            auto& outer = *static_cast<ClassFileSearch*>(context);
            const Text path = outer.directory + os::kPathSeparator + Text(name);
            if (--*outer.budget < 0 || (!isDirectory && name.ends_with(u".class"))) {
                outer.found = true;
            } else if (isDirectory && path != outer.runtimeHome) {
                ClassFileSearch inner{path, outer.runtimeHome, outer.depth + 1, outer.budget};
                outer.found = outer.depth < 4 ? holdsClassFiles(inner) : true;
            }
            return !outer.found;
        },
        &search);
    return !listed || search.found;
}

// The runtime archives an application's classes only when no directory that holds files comes
// before their archive on the class path, and the launcher's own directory, first on it, always
// does. So the class path goes to the runtime with its archives ahead of its directories, which
// finds every class where it was found before as long as the directories hold no class files:
// when one does, the class path stays as it is and the archive off. Gives that directory.
Text archivesFirst(std::string& classPathOption, TextView runtimeHome) {
    const std::string prefix = fixedOption(FixedOption::ClassPath);
    std::string archives, directories;
    int budget = 4000;
    for (const Text& element : splitWordsAt(os::ansiToText(classPathOption.substr(prefix.size())), os::kListSeparator)) {
        std::string& group = os::isDirectory(element) ? directories : archives;
        if (&group == &directories) {
            ClassFileSearch search{element, runtimeHome, 0, &budget};
            if (holdsClassFiles(search)) return element;
        }
        if (!group.empty()) group += static_cast<char>(os::kListSeparator);
        group += os::textToAnsi(element);
    }
    if (!archives.empty() && !directories.empty()) archives += static_cast<char>(os::kListSeparator);
    classPathOption = prefix + archives + directories;
    return {};
}

// Why the archive stays off for these options, or null.
const char* refusingOption(const std::vector<std::string>& options, std::string& found) {
    for (const std::string& option : options) {
        for (const char* choice : kUserChoices)
            if (option.find(choice) != std::string::npos) {
                found = option;
                return "the options choose the class data themselves";
            }
        for (const char* prefix : kNoArchiveOptions)
            if (option.rfind(prefix, 0) == 0) {
                found = option;
                return "the runtime cannot write an archive with this option";
            }
    }
    return nullptr;
}

} // namespace

void addClassDataArchiveOptions(const JavaRuntime& runtime, std::vector<std::string>& options) {
    const auto off = [](const char* why, const std::string& detail = {}) {
        trace("class-data archive: off, ", why, detail.empty() ? "" : ": ", detail);
    };
    const VmLaunchValues& values = runtime.values;
    if (!values.classDataArchive) return off("not an ordinary start of the application");
    const int release = featureRelease(runtime.version);
    if (release < 13) return off("the runtime's release is older than 13", versionText(runtime.version));
    std::string option;
    std::vector<std::string> all = options;
    if (const auto tool = os::environmentValue(u"JAVA_TOOL_OPTIONS"))
        for (const Text& word : splitWords(*tool)) all.push_back(os::textToAnsi(word));
    if (const char* why = refusingOption(all, option)) return off(why, option);
    const Text directory = cacheDirectory();
    if (directory.empty()) return off("there is no cache directory");
    if (os::ansiToText(os::textToAnsi(directory)) != directory)
        return off("the runtime cannot be given the cache directory's name", toUtf8(directory));

    const std::string classPathPrefix = fixedOption(FixedOption::ClassPath);
    for (std::string& each : options) {
        if (each.rfind(classPathPrefix, 0) != 0) continue;
        const Text classDirectory = archivesFirst(each, runtime.home);
        if (!classDirectory.empty()) return off("a directory of the class path holds class files", toUtf8(classDirectory));
    }

    Hash owner;
    owner.text(values.launcherDirectory);
    owner.text(values.baseName);
    owner.text(runtime.home);
    Hash validity = owner;
    validity.stamp(values.libraryPath);
    validity.narrow(versionText(runtime.version));
    std::string releaseFile;
    if (os::readFile(runtime.home + os::kPathSeparator + u"release", releaseFile)) validity.narrow(releaseFile);
    for (const Text& element : splitWordsAt(values.classPath, os::kListSeparator)) validity.stamp(element);
    for (const std::string& each : options) validity.narrow(each);

    ArchivePlan plan;
    plan.directory = directory + os::kPathSeparator;
    plan.owner = owner.hex() + u"-";
    plan.validity = validity.hex() + u"-";
    const ArchiveListing listing = listArchives(plan);
    if (!listing.damaged.empty())
        trace("class-data archive: refused ", listing.damaged, ", its size is not the length it was written with");
    if (!listing.intact.empty()) {
        const Text path = plan.directory + listing.intact;
        trace("class-data archive: used, ", path);
        options.emplace_back(kQuiet);
        options.push_back("-XX:SharedArchiveFile=" + os::textToAnsi(path));
        return;
    }
#ifdef _WIN32
    plan.javaProgram = runtime.home + u"\\bin\\java.exe";
#else
    plan.javaProgram = runtime.home + u"/bin/java";
#endif
    if (!os::pathExists(plan.javaProgram)) return off("the runtime has no program to write one with", toUtf8(plan.javaProgram));
    options.emplace_back(kQuiet);
    for (const std::string& each : options)
        if (std::none_of(std::begin(kFileWritingOptions), std::end(kFileWritingOptions),
                         [&](const char* prefix) { return each.rfind(prefix, 0) == 0; }))
            plan.options.push_back(each);
    plan.classList = plan.directory + plan.owner + plan.validity + fromInt(static_cast<long long>(os::processId())) + u".classes";
    (void)os::deleteFile(plan.classList);
    pending() = std::move(plan);
    if (!addCleanUpStep(&requestArchive)) {
        pending().classList.clear();
        return off("no clean-up step is left to request it");
    }
    trace("class-data archive: none valid yet, the runtime lists its classes in ", pending().classList);
    options.push_back("-XX:DumpLoadedClassList=" + os::textToAnsi(pending().classList));
}

} // namespace tavrelo
