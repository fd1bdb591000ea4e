#include "launcher/launcher.h"
#include "launcher/properties_encoding.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

constexpr std::size_t kLineUnits = 4095;

Text propertiesPath(TextView directory, TextView subdirectory, TextView baseName) {
    // "%s\%s\%s.properties": an empty subdirectory leaves two separators, which file systems accept.
    Text path(directory);
    path.push_back(os::kPathSeparator);
    path.append(subdirectory);
    path.push_back(os::kPathSeparator);
    path.append(baseName);
    path.append(u".properties");
    return path;
}

struct SubdirectorySearch {
    TextView directory;
    TextView baseName;
    Text found;
};

Text decodeUtf16(const std::string& bytes, std::size_t start, bool bigEndian) {
    Text out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        out.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return out;
}

bool startsWithBytes(const std::string& bytes, const char* mark, std::size_t n) {
    return bytes.size() >= n && bytes.compare(0, n, mark, n) == 0;
}

} // namespace

Text findPropertiesFile(TextView launcherDirectory, TextView baseName) {
    Text beside = propertiesPath(launcherDirectory, u"", baseName);
    if (os::pathExists(beside)) return beside;
    SubdirectorySearch search{launcherDirectory, baseName, {}};
    const bool listed = os::listDirectory(
        launcherDirectory,
        [](TextView name, bool isDirectory, void* context) {
            auto& s = *static_cast<SubdirectorySearch*>(context);
            if (!isDirectory) return true;
            Text candidate = propertiesPath(s.directory, name, s.baseName);
            if (!os::pathExists(candidate)) return true;
            s.found = std::move(candidate);
            return false;
        },
        &search);
    if (!listed) traceFailure("configuration: no directory beside the launcher searched: ");
    return search.found;
}

FileEncoding chooseEncoding(const TextVerdict& verdict) noexcept {
    if (!verdict.unicode || (verdict.flags & (kTextSignature | kTextReverseSignature)) != 0)
        return FileEncoding::ByMark;
    if ((verdict.flags & (kTextAscii16 | kTextReverseAscii16 | kTextControls | kTextReverseControls)) != 0)
        return FileEncoding::Utf16le;
    return FileEncoding::Ansi;
}

Text decodeText(const std::string& bytes, FileEncoding encoding) {
    Text text;
    switch (encoding) {
    case FileEncoding::ByMark:
        if (startsWithBytes(bytes, "\xEF\xBB\xBF", 3)) {
            text = fromUtf8(std::string_view(bytes).substr(3));
        } else if (startsWithBytes(bytes, "\xFF\xFE", 2)) {
            text = decodeUtf16(bytes, 2, false);
        } else if (startsWithBytes(bytes, "\xFE\xFF", 2)) {
            // Big-endian text is read as what it is rather than as ANSI noise.
            text = decodeUtf16(bytes, 2, true);
        } else {
            text = os::ansiToText(bytes);
        }
        break;
    case FileEncoding::Utf16le:
        text = decodeUtf16(bytes, startsWithBytes(bytes, "\xFF\xFE", 2) ? 2 : 0, false);
        break;
    case FileEncoding::Ansi:
        text = os::ansiToText(bytes);
        break;
    }
    // Text mode: CR LF reads as LF.
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')) out.push_back(text[i]);
    return out;
}

std::vector<Text> propertiesLines(const std::string& bytes) {
    std::vector<Text> lines;
    if (bytes.empty()) return lines;
    const FileEncoding encoding = chooseEncoding(classifyText(bytes));
    if (tracing())
        trace("configuration: read as ", encoding == FileEncoding::Utf16le ? "UTF-16LE (no mark, by its content)"
                                         : encoding == FileEncoding::Ansi  ? "ANSI"
                                         : startsWithBytes(bytes, "\xEF\xBB\xBF", 3) ? "UTF-8 (mark)"
                                         : startsWithBytes(bytes, "\xFF\xFE", 2)     ? "UTF-16LE (mark)"
                                         : startsWithBytes(bytes, "\xFE\xFF", 2)     ? "UTF-16BE (mark)"
                                                                                     : "ANSI (no byte-order mark)");
    const Text text = decodeText(bytes, encoding);
    // Lines keep their line feed, and a line longer than the reader's buffer arrives in pieces.
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u'\n', start);
        end = (end == Text::npos) ? text.size() : end + 1;
        for (std::size_t piece = start; piece < end; piece += kLineUnits)
            lines.emplace_back(text, piece, std::min(kLineUnits, end - piece));
        start = end;
    }
    return lines;
}

} // namespace tavrelo
