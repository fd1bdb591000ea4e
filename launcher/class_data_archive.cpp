#include <cstdint>
#include <cstring>

#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

// The first four bytes of a dynamic archive (0xf00baba8, little-endian). The runtime writes the
// header last, so a file that begins with them was written to its end.
constexpr unsigned char kDynamicArchiveMagic[] = {0xa8, 0xab, 0x0b, 0xf0};

// Options after which the runtime cannot write an archive (releases before 19 refuse to start
// with the writing option then) or after which the user has chosen the archive himself.
constexpr const char* kUserChoices[] = {"-Xshare:", "SharedArchiveFile", "ArchiveClassesAtExit", "-Dtavrelo.cds=false"};
constexpr const char* kNoArchiveOptions[] = {"-XX:-UseCompressedClassPointers", "--patch-module", "--limit-modules",
                                             "--upgrade-module-path", "-javaagent:", "-agentlib:", "-agentpath:",
                                             "-Xbootclasspath/a:"};

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

// What the clean-up step needs to move a written archive into place; written once before the VM
// is created.
struct PendingArchive {
    Text directory; // with its trailing separator
    Text owner;     // "<application and runtime>-": every archive of this pair begins with it
    Text prefix;    // owner and validity: "<owner><validity>-"
    Text temporary; // the runtime's file for this process
};
PendingArchive& pending() {
    static PendingArchive archive;
    return archive;
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

// The length a file name "<prefix><length>.jsa" states, or -1 when it has another form.
long long statedLength(TextView name, TextView prefix) {
    constexpr TextView kExtension = u".jsa";
    if (name.size() <= prefix.size() + kExtension.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - kExtension.size()) != kExtension)
        return -1;
    const TextView digits = name.substr(prefix.size(), name.size() - prefix.size() - kExtension.size());
    if (digits.size() > 15) return -1;
    long long length = 0;
    for (const char16_t unit : digits) {
        if (unit < u'0' || unit > u'9') return -1;
        length = length * 10 + (unit - u'0');
    }
    return length;
}

// The archives of this application and runtime in the cache directory.
struct Listing {
    const PendingArchive* archive = nullptr;
    std::vector<Text> owned; // every "<owner>...jsa"
    Text intact;             // the first (by name) valid one whose size is the length it states
    Text damaged;            // a valid one whose size is not
};

Listing listArchives(const PendingArchive& archive) {
    Listing listing;
    listing.archive = &archive;
    (void)os::listDirectory(
        archive.directory,
        [](TextView name, bool isDirectory, void* context) {
            auto& found = *static_cast<Listing*>(context);
            const TextView owner = found.archive->owner;
            if (isDirectory || name.substr(0, owner.size()) != owner || !name.ends_with(u".jsa")) return true;
            found.owned.emplace_back(name);
            const long long length = statedLength(name, found.archive->prefix);
            if (length < 0) return true;
            const auto stamp = os::fileStamp(found.archive->directory + Text(name));
            if (stamp && stamp->size == static_cast<unsigned long long>(length)) {
                if (found.intact.empty() || name < TextView(found.intact)) found.intact = Text(name);
            } else {
                found.damaged = Text(name);
            }
            return true;
        },
        &listing);
    return listing;
}

// Moves the archive the runtime wrote at its end into place under its length, then removes this
// application's other archives for the runtime: stale ones, damaged ones, and of two written at
// once all but the first by name, which every process keeps alike.
void finishArchive() noexcept {
    try {
        const PendingArchive& archive = pending();
        if (archive.temporary.empty()) return;
        std::string bytes;
        if (!os::readFile(archive.temporary, bytes) || bytes.size() < sizeof kDynamicArchiveMagic ||
            std::memcmp(bytes.data(), kDynamicArchiveMagic, sizeof kDynamicArchiveMagic) != 0) {
            (void)os::deleteFile(archive.temporary);
            trace("class-data archive: not written, the runtime left no complete archive");
            return;
        }
        const Text placed = archive.directory + archive.prefix + fromInt(static_cast<long long>(bytes.size())) + u".jsa";
        if (!os::moveFileReplacing(archive.temporary, placed)) {
            const unsigned long error = os::lastError();
            (void)os::deleteFile(archive.temporary);
            trace("class-data archive: not written, ", placed, " could not be replaced: ", errorReason(error));
            return;
        }
        trace("class-data archive: written to ", placed, ", ", bytes.size(), " bytes");
        const Listing listing = listArchives(archive);
        for (const Text& name : listing.owned)
            if (name != listing.intact && os::deleteFile(archive.directory + name))
                trace("class-data archive: removed ", name);
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
    const Text library = values.libraryPath;
    const Text baseArchive = library.substr(0, library.find_last_of(os::kPathSeparator) + 1) + u"classes.jsa";
    if (!os::pathExists(baseArchive)) return off("the runtime has no base archive", toUtf8(baseArchive));
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
    validity.stamp(library);
    validity.narrow(versionText(runtime.version));
    std::string releaseFile;
    if (os::readFile(runtime.home + os::kPathSeparator + u"release", releaseFile)) validity.narrow(releaseFile);
    for (const Text& element : splitWordsAt(values.classPath, os::kListSeparator)) validity.stamp(element);
    for (const std::string& each : options) validity.narrow(each);

    PendingArchive& archive = pending();
    archive.directory = directory + os::kPathSeparator;
    archive.owner = owner.hex() + u"-";
    archive.prefix = archive.owner + validity.hex() + u"-";
    const Listing listing = listArchives(archive);
    if (!listing.damaged.empty())
        trace("class-data archive: refused ", listing.damaged, ", its size is not the length it was written with");
    options.emplace_back("-Xlog:cds*=off"); // the application's output stays its own
    if (!listing.intact.empty()) {
        const Text path = archive.directory + listing.intact;
        trace("class-data archive: used, ", path);
        options.push_back("-XX:SharedArchiveFile=" + os::textToAnsi(path));
        return;
    }
    archive.temporary = archive.prefix + fromInt(static_cast<long long>(os::processId())) + u".tmp";
    archive.temporary.insert(0, archive.directory);
    (void)os::deleteFile(archive.temporary);
    if (!addCleanUpStep(&finishArchive)) {
        archive.temporary.clear();
        return off("no clean-up step is left to move it into place");
    }
    const std::string temporary = os::textToAnsi(archive.temporary);
    trace("class-data archive: none valid yet, the runtime writes ", archive.temporary, " at its end");
    if (release >= 19) {
        options.emplace_back("-XX:+AutoCreateSharedArchive");
        options.push_back("-XX:SharedArchiveFile=" + temporary);
    } else {
        options.push_back("-XX:ArchiveClassesAtExit=" + temporary);
    }
}

} // namespace tavrelo
