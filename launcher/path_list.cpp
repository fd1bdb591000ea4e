#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr std::size_t kPathListUnits = 16383;

void replaceAll(Text& text, TextView from, TextView to) {
    std::size_t at = 0;
    while ((at = text.find(from, at)) != Text::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

// Web addresses (download pages) are kept as written.
bool isHttp(TextView element) noexcept {
    return startsWithIgnoreCase(element, u"http://") || startsWithIgnoreCase(element, u"https://");
}

// A file name without any directory part, in either separator.
bool isBareName(TextView element) noexcept {
    return element.find(u'/') == TextView::npos && element.find(u'\\') == TextView::npos;
}

} // namespace

Text removeEscapes(TextView value) {
    Text text(value);
    // Searching again from the same position collapses any run of backslashes into one.
    for (std::size_t at = 0; (at = text.find(u"\\\\", at)) != Text::npos;) text.erase(at, 1);
    replaceAll(text, u"\\:", u":");
    replaceAll(text, u"\\=", u"=");
    return text;
}

std::optional<Text> normalisePathList(TextView value, TextView launcherDirectory, PathReferences references) {
    Text unescaped = removeEscapes(value);
    if (references != PathReferences::Kept) unescaped = expandReferences(unescaped);
    if (unescaped.empty()) return std::nullopt;
    Text list;
    TextView rest = unescaped;
    for (bool first = true;; first = false) {
        const std::size_t semicolon = rest.find(u';');
        const TextView element = rest.substr(0, semicolon);
        if (!first) appendLimited(list, u";", kPathListUnits);
        // Elements are trimmed before they are resolved: "a.jar; b.jar" names two archives.
        const TextView trimmed = trimView(element);
        Text normalised;
        if (isHttp(trimmed)) {
            normalised = Text(trimmed);
        } else if (!trimmed.empty()) {
            Text path;
            if (!os::isAbsolutePath(trimmed)) {
                path = Text(launcherDirectory);
                path.push_back(os::kPathSeparator);
            }
            path.append(trimmed);
            normalised = trim(os::longOrShortPath(path));
            if (normalised.empty() && references == PathReferences::ExpandedProgram && isBareName(trimmed))
                normalised = Text(trimmed);
        }
        appendLimited(list, normalised, kPathListUnits);
        if (semicolon == TextView::npos) break;
        rest = rest.substr(semicolon + 1);
    }
    return list;
}

} // namespace tavrelo
