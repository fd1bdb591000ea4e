// The restore side of session restore: the restarted run takes its saved arguments before
// anything else and hands the saved object to the application before main.
#include "desktop/session_restore.h"

#include <cstdio>

#include "bridge/bridge.h"
#include "bridge/object_conversion.h"
#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

FeatureInterface sessionFeature{4, nullptr};
enum SessionSlot : int { kIsRestore = 0, kGetMainArgs = 1, kGetData = 2, kSetData = 3 };

constexpr char16_t kRestoreArgument[] = u"__Tavrelo_restore=";

// Nothing is shown at logon: a damaged file is told on the error output and ignored.
void reportDamaged(TextView file) {
    const std::string line = "Session restore: ignored the damaged file " + toUtf8(file) + "\n";
    std::fputs(line.c_str(), stderr);
}

// The saved argument line: UTF-16 text ending with its NUL; absent when missing or damaged.
std::optional<Text> readArgumentsFile(const Text& file) {
    std::string bytes;
    if (!os::readFile(file, bytes)) {
        traceFailure("session restore: no saved arguments: ");
        return std::nullopt;
    }
    const std::size_t units = bytes.size() / 2;
    Text text(units, u'\0');
    for (std::size_t i = 0; i < units; ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    if (bytes.size() % 2 != 0 || units == 0 || text.back() != u'\0') {
        reportDamaged(file);
        return std::nullopt;
    }
    text.resize(textLength(text.c_str()));
    return text;
}

} // namespace

bool bindSessionRestore(const std::string& mainClass) noexcept {
    const char* main = mainClass.c_str();
    (void)bindMethod(sessionFeature, main, kIsRestore, "sessionIsRestore", "()Z");
    (void)bindMethod(sessionFeature, main, kGetMainArgs, "sessionGetMainArgs", "()[Ljava/lang/String;");
    (void)bindMethod(sessionFeature, main, kGetData, "sessionGetData", "()Ljava/io/Serializable;");
    (void)bindMethod(sessionFeature, main, kSetData, "sessionSetData", "(Ljava/io/Serializable;)V");
    return isDefined(sessionFeature, kIsRestore) || isDefined(sessionFeature, kGetMainArgs) ||
           isDefined(sessionFeature, kGetData);
}

bool isRestoreIdentifier(TextView identifier, TextView baseName) noexcept {
    if (baseName.empty() || identifier.size() < baseName.size() + 3) return false;
    if (!equalsIgnoreCase(identifier.substr(0, baseName.size()), baseName)) return false;
    const TextView rest = identifier.substr(baseName.size());
    if (rest[0] != u'_' || rest[1] != u'_') return false;
    for (const char16_t unit : rest.substr(2))
        if (unit < u'0' || unit > u'9') return false;
    return true;
}

Text restoreDataFile(TextView identifier) { return os::tempDirectory() + Text(identifier) + u".restore"; }
Text restoreArgumentsFile(TextView identifier) { return restoreDataFile(identifier) + u"_args"; }

std::optional<Text> takeRestoreArgument(std::vector<Text>& arguments, Text& argumentLine, TextView baseName) {
    if (arguments.empty()) return std::nullopt;
    TextView first = arguments.front();
    if (!first.empty() && first.front() == u'"') first.remove_prefix(1);
    const TextView prefix(kRestoreArgument);
    if (!startsWithIgnoreCase(first, prefix)) return std::nullopt;
    TextView identifier = first.substr(prefix.size());
    if (const std::size_t quote = identifier.find(u'"'); quote != TextView::npos)
        identifier = identifier.substr(0, quote);
    if (identifier.empty()) {
        arguments.erase(arguments.begin());
        argumentLine = trim(quoteArgumentLine(arguments));
        return std::nullopt;
    }
    const Text id(identifier);
    arguments.clear();
    argumentLine.clear();
    if (!isRestoreIdentifier(id, baseName)) return Text(); // a restore whose files are gone
    const Text file = restoreArgumentsFile(id);
    if (const std::optional<Text> saved = readArgumentsFile(file)) {
        argumentLine = trim(*saved);
        arguments = parseArgumentLine(argumentLine);
    }
    (void)os::deleteFile(file);
    deleteRestartCommand(id);
    return id;
}

Text sessionIdentifier() { return launchContext().baseName + u"__" + fromInt(static_cast<long long>(os::processId())); }

bool saveSession(const std::atomic<bool>& abandoned) noexcept {
    const auto gone = [&] { return abandoned.load(std::memory_order_acquire); };
    try {
        const Text id = sessionIdentifier();
        const bool asks = isDefined(sessionFeature, kIsRestore);
        if (gone() || (asks && !callBoolean(sessionFeature, kIsRestore))) return false;
        if (gone()) return false;
        const std::string data = callObjectAsBytes(sessionFeature, kGetData);
        bool wroteData = false;
        if (!data.empty() && !gone()) {
            wroteData = os::writeFileReplacing(restoreDataFile(id), data);
            if (!wroteData) traceFailure("session restore: the data is not saved: ");
        }
        if (gone()) return false;
        Text joined;
        const LocalRef<jobjectArray> extra = localAs<jobjectArray>(callObject(sessionFeature, kGetMainArgs));
        if (extra) joined = trim(fromJavaStringArrayToLine(extra.get()));
        if (!wroteData && joined.empty() && !(asks && !gone() && callBoolean(sessionFeature, kIsRestore))) return false;
        if (gone()) return false;
        // The saved line: this run's own (a restored run's is the restored one), then the new ones.
        Text line = trim(launchContext().argumentLine);
        if (!line.empty() && !joined.empty()) line.push_back(u' ');
        line += joined;
        std::string bytes;
        for (const char16_t unit : line)
            bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        bytes.append(2, '\0');
        if (!os::writeFileReplacing(restoreArgumentsFile(id), bytes))
            traceFailure("session restore: the arguments are not saved: ");
        // The command last: a restart only ever finds complete files.
        return !gone() && registerRestartCommand(id);
    } catch (...) {
        return false;
    }
}

void removeSavedSession() noexcept {
    try {
        const Text id = sessionIdentifier();
        deleteRestartCommand(id);
        for (const Text& file : {restoreDataFile(id), restoreArgumentsFile(id)}) {
            (void)os::deleteFile(file);
            (void)os::deleteFile(file + u".tmp");
        }
    } catch (...) {
    }
}

void restoreSession(TextView identifier) {
    (void)bindSessionRestore(mainClassName());
    const bool valid = !identifier.empty();
    std::string bytes;
    const Text dataFile = valid ? restoreDataFile(identifier) : Text();
    const bool read = valid && os::readFile(dataFile, bytes);
    if (valid && !read) traceFailure("session restore: no saved data: ");
    const bool haveData = read && !bytes.empty();
    if (isDefined(sessionFeature, kSetData)) {
        const LocalRef<jobject> object = haveData ? deserializeObject(bytes.data(), bytes.size()) : LocalRef<jobject>();
        if (haveData && !object) reportDamaged(dataFile);
        callVoid(sessionFeature, kSetData, object.get());
    }
    if (!valid) return;
    (void)os::deleteFile(dataFile);
    (void)os::deleteFile(restoreArgumentsFile(identifier));
}

} // namespace tavrelo
