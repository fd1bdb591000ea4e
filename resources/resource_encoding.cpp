#include <vector>

#include "resources/resources.h"
#include "resources/scramble.h"

namespace tavrelo {

namespace {

void appendUnit(std::string& out, char16_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

} // namespace

std::string scrambledTextBytes(TextView text) {
    std::string bytes;
    bytes.reserve(2 * (text.size() + 1));
    for (char16_t unit : text) appendUnit(bytes, unit);
    appendUnit(bytes, 0);
    scrambleBytes(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

Text unscrambledText(const void* data, std::size_t size, std::size_t limit) {
    if (!data || size == 0) return {};
    // The resource memory is read-only, and what it hides should not linger once read.
    std::vector<std::uint8_t> copy(static_cast<const std::uint8_t*>(data),
                                   static_cast<const std::uint8_t*>(data) + size);
    unscrambleBytes(copy.data(), copy.size());
    Text text;
    for (std::size_t at = 0; at + 1 < copy.size() && text.size() < limit; at += 2) {
        const auto unit = static_cast<char16_t>(copy[at] | (copy[at + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    volatile std::uint8_t* wipe = copy.data();
    for (std::size_t i = 0; i < copy.size(); ++i) wipe[i] = 0;
    return text;
}

std::string stringBlockBytes(const std::vector<Text>& strings) {
    if (strings.size() > 16) return {};
    std::string block;
    for (const Text& text : strings) {
        const std::size_t length = text.size() < 0xFFFF ? text.size() : 0xFFFF;
        appendUnit(block, static_cast<char16_t>(length));
        for (std::size_t i = 0; i < length; ++i) appendUnit(block, text[i]);
    }
    return block;
}

} // namespace tavrelo
