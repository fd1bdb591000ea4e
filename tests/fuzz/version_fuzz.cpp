// Runtime version texts and their comparison: a total order on feature releases.
#include "fuzz.h"
#include "launcher/java_runtime.h"

using namespace tavrelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Three versions, separated by line feeds.
    const Text text = fuzz::unitsOf(data, size);
    RuntimeVersion v[3];
    std::size_t start = 0;
    for (auto& version : v) {
        const std::size_t feed = std::min(text.find(u'\n', start), text.size());
        version = parseRuntimeVersion(TextView(text).substr(std::min(start, text.size()), feed - std::min(start, text.size())));
        start = feed + 1;
    }
    for (const RuntimeVersion& a : v) {
        FUZZ_CHECK(meetsMinimum(a, a));
        if (featureRelease(a) < 0) for (const RuntimeVersion& b : v) FUZZ_CHECK(meetsMinimum(b, a));
        if (a.major >= 0 && a.minor >= 0) {
            // The trace's form reads back as the same version.
            const RuntimeVersion back = parseRuntimeVersion(fromUtf8(versionText(a)));
            FUZZ_CHECK(back.major == a.major && back.minor == a.minor);
        }
        for (const RuntimeVersion& b : v) {
            if (featureRelease(a) < 0 || featureRelease(b) < 0) continue;
            FUZZ_CHECK(meetsMinimum(a, b) || meetsMinimum(b, a));
            if (featureRelease(a) > featureRelease(b)) FUZZ_CHECK(meetsMinimum(a, b) && !meetsMinimum(b, a));
            for (const RuntimeVersion& c : v)
                if (meetsMinimum(a, b) && meetsMinimum(b, c) && featureRelease(c) >= 0) FUZZ_CHECK(meetsMinimum(a, c));
        }
    }
    return 0;
}
