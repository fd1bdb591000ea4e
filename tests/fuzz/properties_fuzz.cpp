// The properties reader from a file's raw bytes: encoding choice, decoding, line cutting and
// every line through the key parser, as the launcher loads its configuration.
#include "fuzz.h"
#include "launcher/launcher.h"
#include "launcher/properties_encoding.h"

using namespace tavrelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Configuration config;
    config.launcherDirectory = u"/opt/app";
    Text joined;
    for (const Text& line : propertiesLines(bytes)) {
        // Non-empty pieces of at most the reader's buffer, a line feed only at a piece's end.
        FUZZ_CHECK(!line.empty() && line.size() <= 4095);
        FUZZ_CHECK(line.find(u'\n') == Text::npos || line.find(u'\n') == line.size() - 1);
        joined += line;
        parsePropertyLine(config, line);
    }
    // The pieces are the decoded text, nothing lost or added; a decoded unit needs a byte at least.
    if (!bytes.empty()) FUZZ_CHECK(joined == decodeText(bytes, chooseEncoding(classifyText(bytes))));
    FUZZ_CHECK(joined.size() <= bytes.size());
    for (const auto& slot : config.slots) FUZZ_CHECK(!slot || slot->size() <= 16383);

    // Text saved as UTF-16LE with its mark reads back as written (carriage returns aside).
    const Text text = fuzz::unitsOf(data, size);
    if (text.find(u'\r') == Text::npos) {
        std::string marked = "\xFF\xFE";
        for (const char16_t unit : text) marked += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        Text back;
        for (const Text& line : propertiesLines(marked)) back += line;
        FUZZ_CHECK(back == text);
    }
    return 0;
}
