#include <cstring>

#include "launcher/launcher.h"
#include "platform/os.h"
#include "resources/scramble.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {

struct Signature {
    const char16_t* extension;
    const char* first;
    const char* second; // an alternative, or null
    std::size_t length;
};
constexpr Signature kSignatures[] = {
    {u".bmp", "BM", nullptr, 2},
    {u".gif", "GIF8", nullptr, 4},
    {u".jpg", "\xFF\xD8\xFF\xE0", "\xFF\xD8\xFF\xE1", 4},
    {u".jpeg", "\xFF\xD8\xFF\xE0", "\xFF\xD8\xFF\xE1", 4},
    {u".png", "\x89PNG", nullptr, 4},
};

bool startsWith(std::string_view bytes, const char* mark, std::size_t length) noexcept {
    return mark && bytes.size() >= length && std::memcmp(bytes.data(), mark, length) == 0;
}

} // namespace

bool loadIconSource(TextView path, IconFile& out) {
    const auto resolved = resolveSourcePath(path, u".ico");
    if (!resolved) return false;
    std::string bytes;
    const ReadResult read = readFileCapped(*resolved, kIconFileCap, bytes);
    if (read == ReadResult::Missing) return false;
    auto icon = read == ReadResult::Read ? parseIconFile(bytes) : std::nullopt;
    if (!icon) {
        showMessage(kMessageNotAnIcon, kBoxWarning, {*resolved});
        return false;
    }
    icon->path = *resolved;
    out = std::move(*icon);
    return true;
}

bool loadImageSource(TextView path, Text& resolved, std::string& bytes) {
    for (const Signature& signature : kSignatures) {
        auto found = resolveSourcePath(path, signature.extension);
        if (!found) continue;
        std::string read;
        if (!os::readFile(*found, read)) return false;
        if (!startsWith(read, signature.first, signature.length) &&
            !startsWith(read, signature.second, signature.length)) {
            showMessage(kMessageNotAnImage, kBoxWarning, {*found});
            return false;
        }
        resolved = std::move(*found);
        bytes = std::move(read);
        return true;
    }
    return false;
}

bool loadPropertiesSource(TextView path, Text& resolved, Text& text) {
    auto found = resolveSourcePath(path, u".properties");
    std::string bytes;
    if (!found || !os::readFile(*found, bytes)) return false;
    Text read;
    for (const Text& line : propertiesLines(bytes)) read += line;
    resolved = std::move(*found);
    text = std::move(read);
    return true;
}

LoadedSources loadSources(const IntegrationJob& job) {
    LoadedSources sources;
    if (job.iconSource) {
        IconFile icon;
        if (loadIconSource(*job.iconSource, icon)) sources.icon = std::move(icon);
    }
    if (job.imageSource) {
        Text path;
        if (loadImageSource(*job.imageSource, path, sources.imageBytes)) sources.imagePath = std::move(path);
    }
    if (job.propertiesSource) {
        Text path;
        if (loadPropertiesSource(*job.propertiesSource, path, sources.propertiesText))
            sources.propertiesPath = std::move(path);
    }
    for (const Text& archive : job.archives) {
        std::string bytes;
        if (!os::readFile(archive, bytes)) {
            sources.archives.emplace_back();
            continue;
        }
        scrambleBytes(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
        sources.archives.emplace_back(std::move(bytes));
    }
    return sources;
}

} // namespace tavrelo
