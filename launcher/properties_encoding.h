// How a properties file's bytes are read: the classification of the text (the system's
// IsTextUnicode on Windows, an equivalent heuristic on the host) and the encoding chosen from it.
#pragma once

#include <string>

#include "platform/text.h"

namespace tavrelo {

// The IsTextUnicode test flags the choice looks at.
inline constexpr int kTextAscii16 = 0x0001;
inline constexpr int kTextControls = 0x0004;
inline constexpr int kTextSignature = 0x0008;
inline constexpr int kTextReverseAscii16 = 0x0010;
inline constexpr int kTextReverseControls = 0x0040;
inline constexpr int kTextReverseSignature = 0x0080;
inline constexpr int kTextAllTests = 0x00FF;

struct TextVerdict {
    bool unicode = false; // the classifier's overall verdict
    int flags = 0;        // the tests it reports as passed
};

// Windows: IsTextUnicode over all bytes with every test requested. Host: BOMs and the share of
// zero bytes at odd positions, reported with the same flags.
[[nodiscard]] TextVerdict classifyText(const std::string& bytes);

enum class FileEncoding {
    ByMark,  // ", ccs=UNICODE": a byte-order mark decides; without one the text is ANSI
    Utf16le, // ", ccs=UTF-16LE"
    Ansi,    // no suffix
};
[[nodiscard]] FileEncoding chooseEncoding(const TextVerdict& verdict) noexcept;
// The bytes decoded as the C runtime's text mode would read them (CR LF becomes LF).
[[nodiscard]] Text decodeText(const std::string& bytes, FileEncoding encoding);

} // namespace tavrelo
