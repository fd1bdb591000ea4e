// The embedded configuration: scrambled resource bytes read back as text, then applied.
#include <vector>

#include "fuzz.h"
#include "launcher/launcher.h"
#include "resources/resources.h"
#include "resources/scramble.h"

using namespace tavrelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t limit = data[0] | (data[1] << 8);
    const std::uint8_t* bytes = data + 2;
    const std::size_t count = size - 2;

    // The rolling pass undoes itself on every length.
    std::vector<std::uint8_t> copy(bytes, bytes + count);
    scrambleBytes(copy.data(), copy.size());
    unscrambleBytes(copy.data(), copy.size());
    FUZZ_CHECK(copy == std::vector<std::uint8_t>(bytes, bytes + count));

    const Text text = unscrambledText(count ? bytes : nullptr, count, limit);
    FUZZ_CHECK(text.size() <= limit && text.size() <= count / 2 && text.find(u'\0') == Text::npos);
    // What the resource tool writes reads back as it was.
    const std::string written = scrambledTextBytes(text);
    FUZZ_CHECK(written.size() == 2 * text.size() + 2);
    FUZZ_CHECK(unscrambledText(written.data(), written.size()) == text);

    Configuration config;
    config.launcherDirectory = u"/opt/app";
    applyEmbeddedText(config, text);
    for (const auto& slot : config.slots) FUZZ_CHECK(!slot || slot->size() <= 16383);
    return 0;
}
