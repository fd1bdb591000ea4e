#include "platform/os.h"
#include "platform/system.h"

namespace tavrelo {

Text userName() { return os::environmentValue(u"USERNAME").value_or(Text()); }
Text userDomain() { return os::environmentValue(u"USERDOMAIN").value_or(Text()); }

Text systemRootDirectory() {
    if (auto root = os::environmentValue(u"SystemRoot")) return *root;
    return os::environmentValue(u"windir").value_or(Text());
}

} // namespace tavrelo
