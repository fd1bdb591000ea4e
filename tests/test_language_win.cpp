#include <windows.h>

#include "platform/registry.h"
#include "test_language.h"

namespace tavrelo::test {

namespace {
constexpr char16_t kKey[] = u"Control Panel\\International";
}

ScopedLanguage::ScopedLanguage(bool french) : saved_(regReadText(HKEY_CURRENT_USER, kKey, u"iCountry")) {
    (void)regWriteString(HKEY_CURRENT_USER, kKey, u"iCountry", french ? u"33" : u"1");
}

ScopedLanguage::~ScopedLanguage() {
    if (saved_) (void)regWriteString(HKEY_CURRENT_USER, kKey, u"iCountry", *saved_);
    else (void)regDeleteValue(HKEY_CURRENT_USER, kKey, u"iCountry");
}

} // namespace tavrelo::test
