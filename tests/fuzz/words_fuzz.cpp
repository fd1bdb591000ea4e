// Words of an option or argument string, split at blanks or at the list separator.
#include "fuzz.h"
#include "launcher/launcher.h"

using namespace tavrelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const char16_t separator = (data[0] & 1) ? u';' : u' ';
    const Text text = fuzz::unitsOf(data + 1, size - 1);
    const std::vector<Text> words = separator == u' ' ? splitWords(text) : splitWordsAt(text, separator);
    std::size_t units = 0;
    for (const Text& word : words) units += word.size();
    FUZZ_CHECK(units <= text.size());
    // Without quotes the words are exactly the text's non-empty pieces between separators.
    if (text.find(u'"') == Text::npos) {
        std::vector<Text> pieces(1);
        for (const char16_t unit : text) {
            if (unit != separator) pieces.back().push_back(unit);
            else if (!pieces.back().empty()) pieces.emplace_back();
        }
        if (pieces.back().empty()) pieces.pop_back();
        FUZZ_CHECK(words == pieces);
    }
    return 0;
}
