// Between the screen-saver build's entry, its run and its install check (Windows only).
#pragma once

#include "screensaver/screensaver.h"

namespace tavrelo {

// Keeps the entry's request for the run and gives the desktop thread the screen-saver window.
// The entry's thread, before the launch sequence.
void setScreenSaverRequest(const ScreenSaverRequest& asked) noexcept;
// Calls scrsvFinish, then System.exit(0), which ends the process: once, whichever thread asks
// first (input, the preview watcher, the window's end); later calls return at once.
void finishScreenSaver() noexcept;
// The check before a preview: when the application's launcher is beside the source copy and the
// installed copy is missing, older, or describes another screen saver, offers to install it, and
// once the launcher was started to do so closes the settings dialog. True when the launcher was
// started: the preview process ends then (status 0).
[[nodiscard]] bool offerInstallFromPreview(void* previewParent) noexcept;

} // namespace tavrelo
