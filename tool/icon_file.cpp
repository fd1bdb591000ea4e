#include "tool/tool.h"

namespace tavrelo {

namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kEntryBytes = 16;
constexpr int kIconListUnits = 2047;

std::uint32_t readWord(std::string_view bytes, std::size_t at) noexcept {
    return static_cast<std::uint8_t>(bytes[at]) | (static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

std::uint32_t readDword(std::string_view bytes, std::size_t at) noexcept {
    return readWord(bytes, at) | (readWord(bytes, at + 2) << 16);
}

void appendWord(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

int pixels(std::uint8_t sizeByte) noexcept { return sizeByte == 0 ? 256 : sizeByte; }

// Colours of an image: no bit count means 16, and from 24 bits on the count stops at true colour.
long long colours(std::uint16_t bitCount) noexcept {
    if (bitCount == 0) return 16;
    if (bitCount >= 24) return 16777216;
    return 1LL << bitCount;
}

TextView fileNameOf(TextView path) noexcept {
    const std::size_t separator = path.find_last_of(u"\\/");
    return separator == TextView::npos ? path : path.substr(separator + 1);
}

} // namespace

std::optional<IconFile> parseIconFile(std::string_view bytes) {
    if (bytes.size() < kHeaderBytes || bytes.size() > kIconFileCap) return std::nullopt;
    if (readWord(bytes, 0) != 0 || readWord(bytes, 2) != 1) return std::nullopt;
    const std::size_t count = readWord(bytes, 4);
    const std::size_t directoryEnd = kHeaderBytes + count * kEntryBytes;
    if (count == 0 || directoryEnd > bytes.size()) return std::nullopt;

    IconFile icon;
    icon.images.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kHeaderBytes + i * kEntryBytes;
        const std::uint64_t size = readDword(bytes, entry + 8);
        const std::uint64_t offset = readDword(bytes, entry + 12);
        // Sizes and offsets are 32-bit: in 64 bits their sum cannot wrap.
        if (size == 0 || offset < directoryEnd || offset + size > bytes.size()) return std::nullopt;
        IconImage image;
        image.width = static_cast<std::uint8_t>(bytes[entry]);
        image.height = static_cast<std::uint8_t>(bytes[entry + 1]);
        image.colourCount = static_cast<std::uint8_t>(bytes[entry + 2]);
        image.reserved = static_cast<std::uint8_t>(bytes[entry + 3]);
        image.planes = static_cast<std::uint16_t>(readWord(bytes, entry + 4));
        image.bitCount = static_cast<std::uint16_t>(readWord(bytes, entry + 6));
        image.bytes.assign(bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size)));
        icon.images.push_back(std::move(image));
    }
    return icon;
}

std::string iconGroupBytes(const IconFile& icon) {
    std::string group;
    group.reserve(kHeaderBytes + 14 * icon.images.size());
    appendWord(group, 0);
    appendWord(group, 1);
    appendWord(group, static_cast<std::uint32_t>(icon.images.size()));
    std::uint32_t id = 1;
    for (const IconImage& image : icon.images) {
        group.push_back(static_cast<char>(image.width));
        group.push_back(static_cast<char>(image.height));
        group.push_back(static_cast<char>(image.colourCount));
        group.push_back(static_cast<char>(image.reserved));
        appendWord(group, image.planes);
        appendWord(group, image.bitCount);
        // The size the group declares is the size of the image written, never a claim of the file.
        const auto size = static_cast<std::uint32_t>(image.bytes.size());
        appendWord(group, size & 0xFFFF);
        appendWord(group, size >> 16);
        appendWord(group, id++);
    }
    return group;
}

BuiltMessage iconInformation(const IconFile& icon) {
    Text lines;
    for (const IconImage& image : icon.images) {
        const auto line = buildMessage(kMessageIconLine, {pixels(image.width), pixels(image.height), colours(image.bitCount)});
        appendLimited(lines, u"\t", kIconListUnits);
        appendLimited(lines, line ? TextView(line->text) : TextView(), kIconListUnits);
        appendLimited(lines, u"\t\n", kIconListUnits);
    }
    auto message = buildMessage(kMessageIconInformation, {static_cast<int>(icon.images.size()), lines});
    return {Text(fileNameOf(icon.path)), message ? std::move(message->text) : Text()};
}

BuiltMessage propertiesInformation(TextView path, TextView text) {
    auto message = buildMessage(kMessagePropertiesInformation, {text});
    return {Text(fileNameOf(path)), message ? std::move(message->text) : Text()};
}

} // namespace tavrelo
