#include "resources/scramble.h"

#include <utility>

namespace tavrelo {

namespace {

void swapHalves(std::uint8_t* bytes, std::size_t length) noexcept {
    const std::size_t half = length / 2;
    for (std::size_t i = 0; i < half; ++i) std::swap(bytes[i], bytes[half + i]);
}

// The key schedule is the same both ways; only the byte transform differs.
template <class Transform>
void rollingPass(std::uint8_t* bytes, std::size_t length, Transform transform) noexcept {
    std::uint8_t key = kScrambleKey;
    std::size_t step = kScrambleStep;
    std::size_t period = kScramblePeriod;
    std::size_t divisor = length / kScramblePeriod + 1;
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t countdown = length - i;
        bytes[i] = transform(bytes[i], key, static_cast<std::uint8_t>(countdown & 0xFF));
        const std::size_t remainder = countdown % step;
        if (countdown % divisor == 0) {
            ++step;
            divisor = countdown / period + 1;
            period = period / 2 + 1;
        }
        if (remainder != 0) ++key;
    }
}

} // namespace

void scrambleBytes(std::uint8_t* bytes, std::size_t length) noexcept {
    if (!bytes) return;
    swapHalves(bytes, length);
    rollingPass(bytes, length, [](std::uint8_t x, std::uint8_t key, std::uint8_t m) {
        return static_cast<std::uint8_t>(key ^ static_cast<std::uint8_t>(x + m));
    });
}

void unscrambleBytes(std::uint8_t* bytes, std::size_t length) noexcept {
    if (!bytes) return;
    rollingPass(bytes, length, [](std::uint8_t x, std::uint8_t key, std::uint8_t m) {
        return static_cast<std::uint8_t>(static_cast<std::uint8_t>(key ^ x) - m);
    });
    swapHalves(bytes, length);
}

} // namespace tavrelo
