#include <cstdlib>
#include <cstring>

#include "platform/os.h"
#include "test_language.h"

namespace tavrelo::test {

ScopedLanguage::ScopedLanguage(bool french) : saved_(os::environmentValue(u"LC_ALL")) {
    ::setenv("LC_ALL", french ? "fr_FR.UTF-8" : "en_GB.UTF-8", 1);
}

ScopedLanguage::~ScopedLanguage() {
    if (saved_) ::setenv("LC_ALL", toUtf8(*saved_).c_str(), 1);
    else ::unsetenv("LC_ALL");
}

Text systemTextOf(unsigned long code) { return fromUtf8(std::strerror(static_cast<int>(code))); }

} // namespace tavrelo::test
