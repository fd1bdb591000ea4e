// One configuration line: only a line with '=' and a known key changes a slot, and only one.
#include "fuzz.h"
#include "launcher/launcher.h"

using namespace tavrelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text line = fuzz::unitsOf(data, size);
    Configuration config;
    config.launcherDirectory = u"/opt/app";
    for (std::size_t i = 0; i < kConfigSlotCount; ++i) config.slots[i] = u"unset";
    parsePropertyLine(config, line);
    int changed = 0;
    for (const auto& slot : config.slots) {
        if (slot && *slot == u"unset") continue;
        ++changed;
        // Every value within the longest a slot holds (a resolved path list).
        FUZZ_CHECK(!slot || slot->size() <= 16383);
    }
    FUZZ_CHECK(changed <= 1);
    if (line.find(u'=') == Text::npos) FUZZ_CHECK(changed == 0);
    // The main class is taken as written, trimmed, up to the line's last line break.
    const Text* mainClass = config.get(kMainClass);
    if (changed == 1 && mainClass && *mainClass != u"unset") {
        TextView cut = line;
        if (std::size_t at = cut.rfind(u'\r'); at != TextView::npos) cut = cut.substr(0, at);
        else if (std::size_t feed = cut.rfind(u'\n'); feed != TextView::npos) cut = cut.substr(0, feed);
        FUZZ_CHECK(*mainClass == trim(cut.substr(cut.find(u'=') + 1)));
    }
    return 0;
}
