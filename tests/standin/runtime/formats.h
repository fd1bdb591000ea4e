// File formats the stand-in's JDK classes read: zip archives (JarFile) and images (ImageIO).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrelo::standin {

struct ArchiveEntry {
    std::string name;
    unsigned method = 0; // 0 stored, 8 deflated
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::uint32_t localOffset = 0;
};

// Lists the entries of a zip archive from its central directory, in directory order.
[[nodiscard]] bool readArchive(std::string_view bytes, std::vector<ArchiveEntry>& entries, std::string& error);
// The uncompressed content of an entry (stored or deflated).
[[nodiscard]] bool entryContent(std::string_view bytes, const ArchiveEntry& entry, std::string& out, std::string& error);
// Raw deflate data to bytes.
[[nodiscard]] bool inflate(std::string_view data, std::string& out);
// The main section of a manifest as name/value pairs (continuation lines joined).
[[nodiscard]] std::vector<std::pair<std::string, std::string>> manifestMainAttributes(std::string_view manifest);

// Decodes an image file: uncompressed BMP fully; PNG, GIF and JPEG by their size only (their
// pixels are a neutral grey). False for anything else.
[[nodiscard]] bool decodeImage(std::string_view bytes, int& width, int& height, std::vector<std::uint32_t>& pixels);

} // namespace tavrelo::standin
