#include <cstdlib>

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

} // namespace tavrelo::test
