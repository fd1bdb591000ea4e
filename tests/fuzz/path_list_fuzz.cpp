// Path-list normalisation and its escapes: the list keeps one element per ';' and its cap.
#include <algorithm>

#include "fuzz.h"
#include "launcher/launcher.h"

using namespace tavrelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto references = static_cast<PathReferences>(data[0] % 3);
    const Text value = fuzz::unitsOf(data + 1, size - 1);
    const Text unescaped = removeEscapes(value);
    FUZZ_CHECK(unescaped.size() <= value.size() && unescaped.find(u"\\\\") == Text::npos);

    const std::optional<Text> list = normalisePathList(value, u"/opt/app", references);
    if (references == PathReferences::Kept) {
        FUZZ_CHECK(list.has_value() == !unescaped.empty());
        if (list && list->size() < 16383)
            FUZZ_CHECK(std::count(list->begin(), list->end(), u';') == std::count(unescaped.begin(), unescaped.end(), u';'));
    }
    if (list) FUZZ_CHECK(list->size() <= 16383);
    return 0;
}
