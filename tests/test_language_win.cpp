#include <windows.h>

#include "platform/registry.h"
#include "platform/win_text.h"
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

Text systemTextOf(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const Text out = n && text ? Text(tc(text), n) : Text();
    if (text) LocalFree(text);
    return out;
}

} // namespace tavrelo::test
