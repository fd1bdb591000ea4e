#include <windows.h>

#include "launcher/properties_encoding.h"

namespace tavrelo {

TextVerdict classifyText(const std::string& bytes) {
    INT tests = kTextAllTests;
    TextVerdict verdict;
    verdict.unicode = IsTextUnicode(bytes.data(), static_cast<int>(bytes.size()), &tests) != 0;
    verdict.flags = tests;
    return verdict;
}

} // namespace tavrelo
