#include "launcher/launcher.h"
#include "platform/os.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {

constexpr char16_t kConsole[] = u"_console";

// Position of `needle` in `text`, ASCII case ignored; npos when absent. The last one is taken.
std::size_t findLastIgnoreCase(TextView text, TextView needle) noexcept {
    if (needle.empty() || text.size() < needle.size()) return TextView::npos;
    for (std::size_t at = text.size() - needle.size() + 1; at-- > 0;)
        if (equalsIgnoreCase(text.substr(at, needle.size()), needle)) return at;
    return TextView::npos;
}

// The escape rule halves every pair of backslashes, which would turn a share ("\\server\...") or
// a long path ("\\?\...") into a path under the current directory: a leading run is kept as
// the one prefix it stands for.
Text unescapedPath(TextView path) {
    std::size_t lead = 0;
    while (lead < path.size() && path[lead] == u'\\') ++lead;
    if (lead < 2) return removeEscapes(path);
    return u"\\\\" + removeEscapes(path.substr(lead));
}

// The existing long (or short) form of a full path, trimmed; empty when it does not exist.
Text existingForm(TextView full) { return trim(os::longOrShortPath(full)); }

} // namespace

bool isAbsoluteSourcePath(TextView path) noexcept {
    return os::isAbsolutePath(path) || startsWithIgnoreCase(path, u"http://");
}

std::optional<Text> resolveSourcePath(TextView path, TextView extension) {
    const Text unescaped = unescapedPath(path);
    Text full;
    if (!isAbsoluteSourcePath(unescaped)) {
        full = os::currentDirectory();
        if (!full.empty() && full.back() != os::kPathSeparator) full.push_back(os::kPathSeparator);
    }
    full.append(unescaped);

    Text form = existingForm(full);
    if (!form.empty() && endsWithIgnoreCase(form, extension)) return form;

    // A copy may bear the other build's name: Demo_console.exe for Demo.exe and back.
    Text variant;
    const Text consoleEnding = Text(kConsole) + Text(extension);
    if (const std::size_t at = findLastIgnoreCase(full, consoleEnding); at != Text::npos) {
        variant = full;
        variant.erase(at, textLength(kConsole));
    } else if (const std::size_t dot = findLastIgnoreCase(full, extension); dot != Text::npos) {
        variant = full;
        variant.insert(dot, kConsole);
    } else {
        return std::nullopt;
    }
    form = existingForm(variant);
    if (form.empty()) return std::nullopt;
    return form;
}

std::optional<Text> existingTargetPath(TextView path) {
    if (path.empty()) return std::nullopt;
    if (os::pathExists(path)) return Text(path);
    Text twin(path);
    if (endsWithIgnoreCase(path, u"_console.exe")) {
        twin.erase(path.size() - 12, 8);
    } else if (endsWithIgnoreCase(path, u".exe")) {
        twin.insert(path.size() - 4, kConsole);
    } else {
        return std::nullopt;
    }
    if (os::pathExists(twin)) return twin;
    return std::nullopt;
}

} // namespace tavrelo
