#include "launcher/java_runtime.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

// One "%d" conversion: optional blanks and sign, then digits. False when there are no digits.
bool readNumber(TextView text, std::size_t& at, int& value) noexcept {
    while (at < text.size() && isBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) negative = text[at++] == u'-';
    const std::size_t start = at;
    long long number = 0;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
        if (number < 100000000) number = number * 10 + (text[at] - u'0');
        ++at;
    }
    if (at == start) return false;
    value = static_cast<int>(negative ? -number : number);
    return true;
}

// The part after the "feature" number, used only to break a tie: "1.8" has none, "17.0.2" has 0.
int nextPart(RuntimeVersion version) noexcept { return version.major == 1 ? -1 : version.minor; }

} // namespace

RuntimeVersion parseRuntimeVersion(TextView text) noexcept {
    RuntimeVersion version;
    std::size_t at = 0;
    if (!readNumber(text, at, version.major)) return version;
    if (at < text.size() && text[at] == u'.') {
        ++at;
        if (!readNumber(text, at, version.minor)) version.minor = -1;
    }
    return version;
}

int featureRelease(RuntimeVersion version) noexcept {
    if (version.major == 1 && version.minor >= 0) return version.minor; // "1.8" is release 8
    return version.major;
}

bool meetsMinimum(RuntimeVersion runtime, RuntimeVersion required) noexcept {
    const int wanted = featureRelease(required);
    if (wanted < 0) return true;
    const int have = featureRelease(runtime);
    if (have != wanted) return have > wanted;
    const int wantedNext = nextPart(required);
    if (wantedNext < 0) return true;
    const int haveNext = nextPart(runtime);
    return (haveNext < 0 ? 0 : haveNext) >= wantedNext;
}

JavaRuntime& javaRuntime() noexcept {
    static JavaRuntime runtime;
    return runtime;
}

Text binaryDirectoryOf(TextView libraryPath) {
    auto cut = [](TextView path) {
        for (std::size_t i = path.size(); i > 0; --i)
            if (path[i - 1] == os::kPathSeparator || path[i - 1] == u'/') return path.substr(0, i - 1);
        return TextView();
    };
    return Text(cut(cut(libraryPath)));
}

} // namespace tavrelo

namespace tavrelo {

namespace {

RuntimeVersion releaseVersionIn(TextView directory) {
    std::string bytes;
    Text path(directory);
    path.push_back(os::kPathSeparator);
    path += u"release";
    if (!os::readFile(path, bytes)) {
        traceFailure("runtime: no version from the release file: ");
        return {};
    }
    static constexpr std::string_view key = "JAVA_VERSION=";
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        std::string_view line(bytes.data() + at, end - at);
        if (line.substr(0, key.size()) == key) {
            line.remove_prefix(key.size());
            if (!line.empty() && line.front() == '"') line.remove_prefix(1);
            return parseRuntimeVersion(fromUtf8(line));
        }
        at = end + 1;
    }
    return {};
}

} // namespace

RuntimeVersion releaseFileVersion(TextView home) {
    RuntimeVersion version = releaseVersionIn(home);
    if (version.major >= 0) return version;
    // A JDK 8 home may be its "jre" directory, with the file one level up.
    const std::size_t cut = home.find_last_of(u"/\\");
    if (cut == TextView::npos || cut == 0) return version;
    return releaseVersionIn(home.substr(0, cut));
}

Text expandReferences(TextView text) {
    Text out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find(u'%', at);
        if (open == TextView::npos) break;
        const std::size_t close = text.find(u'%', open + 1);
        if (close == TextView::npos) break; // an unmatched '%' stays as written
        out.append(text.substr(at, open - at));
        const TextView name = text.substr(open + 1, close - open - 1);
        if (name.empty()) {
            out.push_back(u'%');
            at = open + 1;
            continue;
        }
        if (auto value = os::environmentValue(name)) out += *value; // an undefined name is removed
        at = close + 1;
    }
    out.append(text.substr(at));
    return out;
}

std::string versionText(RuntimeVersion version) {
    if (version.major < 0) return "unknown";
    std::string text = std::to_string(version.major);
    if (version.minor >= 0) text.append(1, '.').append(std::to_string(version.minor));
    return text;
}

} // namespace tavrelo
