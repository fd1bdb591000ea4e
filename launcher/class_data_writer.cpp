// The background side of the application's class-data archive: the request a start leaves, and
// the launcher run that writes the archive from it.
#include <cstring>

#include "launcher/class_data_archive.h"
#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

// The first four bytes of an archive written from a class list (0xf00baba2, little-endian). The
// runtime writes the header last, so a file that begins with them was written to its end.
constexpr unsigned char kArchiveMagic[] = {0xa2, 0xab, 0x0b, 0xf0};
constexpr char kRequestHeader[] = "tavrelo class-data archive request 1";

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

struct ListingSearch {
    const ArchivePlan* plan;
    ArchiveListing listing;
};

} // namespace

ArchiveListing listArchives(const ArchivePlan& plan) {
    ListingSearch search{&plan, {}};
    (void)os::listDirectory(
        plan.directory,
        [](TextView name, bool isDirectory, void* context) {
            auto& found = *static_cast<ListingSearch*>(context);
            const ArchivePlan& wanted = *found.plan;
            if (isDirectory || name.substr(0, wanted.owner.size()) != wanted.owner) return true;
            found.listing.owned.emplace_back(name);
            const long long length = statedLength(name, wanted.owner + wanted.validity);
            if (length < 0) return true;
            Text& intact = found.listing.intact;
            const auto stamp = os::fileStamp(wanted.directory + Text(name));
            if (stamp && stamp->size == static_cast<unsigned long long>(length)) {
                if (intact.empty() || name < TextView(intact)) intact = Text(name);
            } else {
                found.listing.damaged = Text(name);
            }
            return true;
        },
        &search);
    return search.listing;
}

std::string requestText(const ArchivePlan& plan) {
    std::string text = kRequestHeader;
    for (const Text* line : {&plan.directory, &plan.owner, &plan.validity, &plan.javaProgram, &plan.classList})
        text += '\n' + toUtf8(*line);
    for (const std::string& option : plan.options) text += '\n' + toUtf8(os::ansiToText(option));
    return text + '\n';
}

bool readRequest(std::string_view text, ArchivePlan& plan) {
    std::vector<Text> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) return false; // cut short
        lines.push_back(fromUtf8(text.substr(start, end - start)));
        start = end + 1;
    }
    if (lines.size() < 6 || lines[0] != fromUtf8(kRequestHeader)) return false;
    plan.directory = lines[1];
    plan.owner = lines[2];
    plan.validity = lines[3];
    plan.javaProgram = lines[4];
    plan.classList = lines[5];
    plan.options.clear();
    for (std::size_t i = 6; i < lines.size(); ++i) plan.options.push_back(os::textToAnsi(lines[i]));
    const auto inDirectory = [&](const Text& path) {
        return path.size() > plan.directory.size() && path.compare(0, plan.directory.size(), plan.directory) == 0 &&
               path.find(os::kPathSeparator, plan.directory.size()) == Text::npos;
    };
    return !plan.directory.empty() && plan.directory.back() == os::kPathSeparator && !plan.owner.empty() &&
           !plan.validity.empty() && os::isAbsolutePath(plan.javaProgram) && inDirectory(plan.classList) &&
           plan.classList.compare(plan.directory.size(), plan.owner.size(), plan.owner) == 0;
}

int runArchiveWriter(TextView requestPath) {
    lowerPriority();
    std::string text;
    ArchivePlan plan;
    if (!os::readFile(requestPath, text)) {
        traceFailure("class-data archive: not written, no request: ");
        return 2;
    }
    if (!readRequest(text, plan)) {
        trace("class-data archive: not written, ", requestPath, " is not a request");
        return 2;
    }
    (void)os::deleteFile(requestPath);
    // Of two starts that listed their classes at once, the archive placed first is kept: a
    // writer finding one in place leaves it alone, the process that maps it may already run.
    if (const Text placed = listArchives(plan).intact; !placed.empty()) {
        (void)os::deleteFile(plan.classList);
        trace("class-data archive: not written, ", placed, " is in place");
        return 0;
    }
    const Text temporary = plan.classList.substr(0, plan.classList.rfind(u'.')) + u".tmp";
    std::vector<Text> arguments;
    for (const std::string& option : plan.options) arguments.push_back(os::ansiToText(option));
    arguments.insert(arguments.end(), {u"-Xshare:dump", u"-XX:SharedClassListFile=" + plan.classList,
                                       u"-XX:SharedArchiveFile=" + temporary});
    trace("class-data archive: ", plan.javaProgram, " writes ", temporary, " from ", plan.classList);
    const int status = runAndWait(plan.javaProgram, arguments);
    (void)os::deleteFile(plan.classList);
    std::string magic;
    const auto written = os::fileStamp(temporary);
    if (status != 0 || !written || !os::readFile(temporary, magic, sizeof kArchiveMagic) ||
        magic.size() < sizeof kArchiveMagic || std::memcmp(magic.data(), kArchiveMagic, sizeof kArchiveMagic) != 0) {
        (void)os::deleteFile(temporary);
        trace("class-data archive: not written, the runtime's program ended with status ", status,
              " and left no complete archive");
        return 1;
    }
    if (const Text first = listArchives(plan).intact; !first.empty()) {
        (void)os::deleteFile(temporary);
        trace("class-data archive: not written, ", first, " was placed meanwhile");
        return 0;
    }
    const Text placed = plan.directory + plan.owner + plan.validity + fromInt(static_cast<long long>(written->size)) + u".jsa";
    if (!os::moveFileReplacing(temporary, placed)) {
        traceFailure("class-data archive: not written: ");
        (void)os::deleteFile(temporary);
        return 1;
    }
    trace("class-data archive: written to ", placed, ", ", written->size, " bytes");
    // Should two have been placed at once, every writer keeps the first by name; stale and damaged
    // archives go, and so does what crashed processes left of making one.
    const ArchiveListing listing = listArchives(plan);
    for (const Text& name : listing.owned)
        if (name != listing.intact && os::deleteFile(plan.directory + name)) trace("class-data archive: removed ", name);
    return 0;
}

} // namespace tavrelo
