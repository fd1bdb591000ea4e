#include "platform/messages.h"
#include "platform/os.h"

namespace tavrelo {

// The host's counterpart of the country setting: the locale's territory, France as fr_FR.
bool isFrench() {
    for (const char16_t* name : {u"LC_ALL", u"LC_MESSAGES", u"LANG"}) {
        const auto value = os::environmentValue(name);
        if (!value || value->empty()) continue;
        const TextView locale = *value;
        return locale.size() >= 5 && locale.substr(0, 5) == u"fr_FR";
    }
    return false;
}

} // namespace tavrelo
