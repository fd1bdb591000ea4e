#include <windows.h>

#include "launcher/launcher.h"
#include "platform/win_text.h"
#include "resources/resources.h"

namespace tavrelo {

namespace {

// A scrambled "BIN" text of the module; empty when it is missing or empty.
Text scrambledResourceText(void* module, int id, std::size_t limit) {
    if (!module) return {};
    const auto instance = static_cast<HMODULE>(module);
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), wc(kBinType));
    if (!found) return {};
    const DWORD size = SizeofResource(instance, found);
    HGLOBAL loaded = size ? LoadResource(instance, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data ? unscrambledText(data, size, limit) : Text();
}

} // namespace

Text embeddedConfigurationText(void* module) { return scrambledResourceText(module, kBinConfiguration, SIZE_MAX); }

Text embeddedScreenSaverSource(void* module) {
    return scrambledResourceText(module, kBinScreenSaverSource, kScreenSaverPathUnits);
}

} // namespace tavrelo
