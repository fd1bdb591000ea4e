#include <windows.h>

#include "launcher/launcher.h"
#include "platform/failure.h"
#include "platform/os.h"
#include "platform/trace.h"
#include "platform/win_text.h"
#include "resources/resources.h"

namespace tavrelo {

namespace {

// Traces why a resource the module may hold could not be had; a missing one is no failure.
void traceUnreadable(HMODULE module) {
    const DWORD code = GetLastError();
    if (code == ERROR_RESOURCE_TYPE_NOT_FOUND || code == ERROR_RESOURCE_NAME_NOT_FOUND || !tracing()) return;
    os::noteFailure("reading a resource of", os::moduleFileName(module), code);
    traceFailure("resources: an embedded text is not read: ");
}

// A scrambled "BIN" text of the module; empty when it is missing or empty.
Text scrambledResourceText(void* module, int id, std::size_t limit) {
    if (!module) return {};
    const auto instance = static_cast<HMODULE>(module);
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), wc(kBinType));
    const DWORD size = found ? SizeofResource(instance, found) : 0;
    HGLOBAL loaded = size ? LoadResource(instance, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data && (!found || size)) traceUnreadable(instance);
    return data ? unscrambledText(data, size, limit) : Text();
}

} // namespace

Text embeddedConfigurationText(void* module) { return scrambledResourceText(module, kBinConfiguration, SIZE_MAX); }

Text embeddedScreenSaverSource(void* module) {
    return scrambledResourceText(module, kBinScreenSaverSource, kScreenSaverPathUnits);
}

} // namespace tavrelo
