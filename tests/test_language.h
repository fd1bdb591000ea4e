// Switches the user's language setting for the length of a test and restores it afterwards
// (the country code in the registry on Windows, the locale variables on the host).
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

} // namespace tavrelo::test
