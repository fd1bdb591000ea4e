#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "resources/scramble.h"

namespace tavrelo {
namespace {

std::vector<std::uint8_t> pattern(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    return bytes;
}

TEST(Scramble, RoundTripsEveryLength) {
    for (std::size_t n : {0u, 1u, 2u, 3u, 16u, 17u, 255u, 256u, 257u, 4096u, 70001u}) {
        const auto original = pattern(n);
        auto bytes = original;
        scrambleBytes(bytes.data(), bytes.size());
        if (n >= 16) {
            EXPECT_NE(bytes, original) << n;
        }
        unscrambleBytes(bytes.data(), bytes.size());
        EXPECT_EQ(bytes, original) << n;
    }
}

TEST(Scramble, RandomBuffersRoundTrip) {
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> original(random() % 3000);
        for (auto& b : original) b = static_cast<std::uint8_t>(random());
        auto bytes = original;
        scrambleBytes(bytes.data(), bytes.size());
        unscrambleBytes(bytes.data(), bytes.size());
        ASSERT_EQ(bytes, original);
    }
}

TEST(Scramble, OddLengthKeepsTheLastByteOutOfTheSwap) {
    // Only the rolling pass touches the last byte of an odd buffer: undoing that pass alone
    // must give the original last byte back, and the swapped halves before it.
    const auto original = pattern(17);
    auto bytes = original;
    scrambleBytes(bytes.data(), bytes.size());
    // A buffer that differs only in its last byte scrambles to one that differs only there.
    auto other = original;
    other[16] ^= 0xFF;
    scrambleBytes(other.data(), other.size());
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], other[i]) << i;
    EXPECT_NE(bytes[16], other[16]);
    // And one that differs in byte 0 differs at position 8 (its place after the half swap).
    auto first = original;
    first[0] ^= 0xFF;
    scrambleBytes(first.data(), first.size());
    for (std::size_t i = 0; i < 17; ++i) {
        if (i == 8) {
            EXPECT_NE(bytes[i], first[i]);
        } else {
            EXPECT_EQ(bytes[i], first[i]) << i;
        }
    }
}

TEST(Scramble, ZeroBuffersDoNotScrambleToZeros) {
    std::vector<std::uint8_t> zeros(64, 0);
    scrambleBytes(zeros.data(), zeros.size());
    int nonZero = 0;
    for (auto b : zeros) nonZero += b != 0;
    EXPECT_GT(nonZero, 48);
}

} // namespace
} // namespace tavrelo
