// The reversible byte scrambling of the embedded configuration, the screen-saver source path,
// embedded archives and a few fixed texts inside the deliverables. One definition serves every
// deliverable, so a file scrambled by one is read by all.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrelo {

// Start key, start step divisor and start period divisor of the rolling pass.
inline constexpr std::uint8_t kScrambleKey = 0xA7;
inline constexpr unsigned kScrambleStep = 5;
inline constexpr unsigned kScramblePeriod = 11;

// In place; unscrambleBytes(scrambleBytes(x)) == x for every length, 0 and 1 included.
void scrambleBytes(std::uint8_t* bytes, std::size_t length) noexcept;
void unscrambleBytes(std::uint8_t* bytes, std::size_t length) noexcept;

} // namespace tavrelo
