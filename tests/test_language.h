// Switches the user's language setting for the length of a test and restores it afterwards
// (the country code in the registry on Windows, the locale variables on the host); and the
// system's own text for an error code, asked of the system directly.
#pragma once

#include <optional>

#include "platform/text.h"

namespace tavrelo::test {

class ScopedLanguage {
public:
    explicit ScopedLanguage(bool french);
    ~ScopedLanguage();
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;

private:
    std::optional<Text> saved_;
};

// What the system itself says for `code` (FormatMessageW on Windows, strerror on the host),
// whole and without any of the product's code in between.
Text systemTextOf(unsigned long code);

} // namespace tavrelo::test
