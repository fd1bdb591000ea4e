#include "platform/format.h"

#include "platform/os.h"

namespace tavrelo {

namespace {

Text argumentText(const FormatArg& arg, char16_t conversion) {
    switch (arg.kind()) {
    case FormatArg::Kind::Wide:
        return Text(arg.wide());
    case FormatArg::Kind::Narrow:
        return os::ansiToText(arg.narrow());
    case FormatArg::Kind::Number:
        break;
    }
    if (conversion == u'x') {
        static const char16_t digits[] = u"0123456789abcdef";
        unsigned long long v = static_cast<unsigned long long>(arg.number()) & 0xFFFFFFFFULL;
        Text out;
        do {
            out.insert(out.begin(), digits[v & 0xF]);
            v >>= 4;
        } while (v != 0);
        return out;
    }
    if (conversion == u'u') return fromInt(static_cast<long long>(static_cast<unsigned long long>(arg.number()) & 0xFFFFFFFFULL));
    return fromInt(arg.number());
}

} // namespace

Text formatText(TextView format, std::initializer_list<FormatArg> args, std::size_t limit) {
    Text out;
    const FormatArg* next = args.begin();
    for (std::size_t i = 0; i < format.size() && out.size() < limit; ++i) {
        const char16_t c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        const char16_t conversion = format[++i];
        switch (conversion) {
        case u'%':
            out.push_back(u'%');
            break;
        case u's':
        case u'S':
        case u'd':
        case u'u':
        case u'x':
            if (next != args.end()) appendLimited(out, argumentText(*next++, conversion), limit);
            break;
        default: // unknown conversion: keep it visible rather than guess
            out.push_back(u'%');
            out.push_back(conversion);
            break;
        }
    }
    if (out.size() > limit) out.resize(limit);
    return out;
}

} // namespace tavrelo
