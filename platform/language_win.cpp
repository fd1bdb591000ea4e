#include <windows.h>

#include "platform/messages.h"
#include "platform/registry.h"

namespace tavrelo {

bool isFrench() {
    const auto value = regReadText(HKEY_CURRENT_USER, u"Control Panel\\International", u"iCountry");
    return value && *value == u"33";
}

} // namespace tavrelo
