#include <cstdint>

#include "ipc/pipes.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

std::uint64_t nameHash(TextView name) noexcept {
    std::uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a over the UTF-16 units
    for (char16_t unit : name) {
        hash = (hash ^ (unit & 0xFF)) * 0x100000001b3ull;
        hash = (hash ^ (unit >> 8)) * 0x100000001b3ull;
    }
    return hash;
}

void appendNumber(Text& out, int number) {
    out.push_back(u'_');
    out += fromInt(number);
}

// Long installation directories would make the system refuse the name outright; a stable
// shortened form keeps single instance and the service pipes working for them.
Text fitPipeName(Text name) {
    if (name.size() <= kPipeNameLimit) return name;
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    const std::uint64_t hash = nameHash(name);
    std::size_t keep = kPipeNameLimit - 18;
    if (name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep; // never split a surrogate pair
    name.resize(keep);
    name.push_back(u'#');
    for (int shift = 60; shift >= 0; shift -= 4)
        name.push_back(kDigits[(hash >> shift) & 0xF]);
    name.push_back(u')');
    return name;
}

} // namespace

Text buildPipeName(TextView base, TextView directory, TextView name, bool withSession, int numberA, int numberB) {
    Text out(base);
    if (withSession) {
        const Text session = os::loginSession();
        if (!session.empty()) {
            out.push_back(u'_');
            out += session;
        }
    }
    if (numberA >= 0) appendNumber(out, numberA);
    if (numberB >= 0) appendNumber(out, numberB);
    if (!directory.empty()) {
        out.push_back(u'(');
        for (char16_t c : directory)
            out.push_back((c == u':' || c == u'\\' || c == os::kPathSeparator) ? u'$' : c);
        if (!name.empty()) {
            out.push_back(u'$');
            out.append(name);
        }
        out.push_back(u')');
    }
    return fitPipeName(std::move(out));
}

} // namespace tavrelo
