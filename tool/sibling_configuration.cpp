#include <array>
#include <cstdint>

#include "launcher/launcher.h"
#include "resources/scramble.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {

// The sibling family's option key (two spellings) and the option words its launchers need,
// kept scrambled so that the tool's file does not show them as plain strings.
constexpr std::uint8_t kKeyForm[] = {0xDC, 0xFA, 0xD5, 0x29, 0xDD, 0xD3, 0xDC, 0xF4,
                                     0xC0, 0xD5, 0xD6, 0xDC, 0xC1, 0xD2, 0xC6};
constexpr std::uint8_t kOtherKeyForm[] = {0xC8, 0xF6, 0xD7, 0x2B, 0xDE, 0xD6, 0xD5, 0xD2,
                                          0xF7, 0xC3, 0xC8, 0xC9, 0xC1, 0xC2, 0xD7, 0xD8};
constexpr std::uint8_t kFirstWord[] = {0xE3, 0xD2, 0x28, 0xDF, 0xDC, 0xD9, 0xD9, 0xDA, 0xDD, 0xFA, 0x8C,
                                       0x8A, 0xFD, 0xCE, 0xDD, 0xC8, 0xCF, 0xDA, 0xD5, 0xD1, 0xD4, 0xDE};
constexpr std::uint8_t kSecondWord[] = {0xDF, 0xE6, 0x2A, 0xDA, 0xDA, 0xD0, 0xD8, 0xDD, 0xE4, 0x92,
                                        0x98, 0xE2, 0xCC, 0xD9, 0xCE, 0xCB, 0xD8, 0xD9, 0xD1, 0xDA};

template <std::size_t N>
Text builtIn(const std::uint8_t (&scrambled)[N]) {
    std::array<std::uint8_t, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) bytes[i] = scrambled[i];
    unscrambleBytes(bytes.data(), N);
    Text text;
    for (std::uint8_t byte : bytes) text.push_back(byte);
    return text;
}

bool containsWord(const std::vector<Text>& words, TextView word) noexcept {
    for (const Text& existing : words)
        if (equalsIgnoreCase(existing, word)) return true;
    return false;
}

} // namespace

Text siblingConfiguration(TextView text) {
    const Text keyForms[] = {builtIn(kKeyForm), builtIn(kOtherKeyForm)};
    const Text words[] = {builtIn(kFirstWord), builtIn(kSecondWord)};
    Text out;
    bool completed = false;
    while (!text.empty()) {
        const std::size_t end = text.find(u'\n');
        const TextView line = text.substr(0, end);
        text = end == TextView::npos ? TextView() : text.substr(end + 1);
        const std::size_t equals = line.find(u'=');
        if (equals == TextView::npos) continue;
        const TextView key = trimView(line.substr(0, equals));
        Text value(trimView(line.substr(equals + 1)));
        if (!completed && (equalsIgnoreCase(key, keyForms[0]) || equalsIgnoreCase(key, keyForms[1]))) {
            completed = true;
            const std::vector<Text> present = splitWords(value);
            for (const Text& word : words) {
                if (containsWord(present, word)) continue;
                if (!value.empty()) value.push_back(u' ');
                value += word;
            }
        }
        out.append(key).append(u" = ").append(value).push_back(u'\n');
    }
    if (!completed) out.append(keyForms[0]).append(u" = ").append(words[0]).append(u" ").append(words[1]).push_back(u'\n');
    return out;
}

} // namespace tavrelo
