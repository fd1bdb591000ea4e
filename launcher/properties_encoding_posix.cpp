#include "launcher/properties_encoding.h"

namespace tavrelo {

// Reports what the system classifier would for the files that matter: byte-order marks as
// signatures, and UTF-16 without a mark through its many zero high bytes.
TextVerdict classifyText(const std::string& bytes) {
    TextVerdict verdict;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return {true, kTextSignature};
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') return {true, kTextReverseSignature};
    if (bytes.size() < 2 || bytes.size() % 2 != 0) return verdict;
    std::size_t zeroOdd = 0, zeroEven = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        zeroEven += bytes[i] == '\0';
        zeroOdd += bytes[i + 1] == '\0';
    }
    const std::size_t units = bytes.size() / 2;
    if (zeroOdd * 2 > units && zeroEven == 0) return {true, kTextAscii16};
    if (zeroEven * 2 > units && zeroOdd == 0) return {true, kTextReverseAscii16};
    return verdict;
}

} // namespace tavrelo
