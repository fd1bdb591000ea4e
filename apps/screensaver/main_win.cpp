// Tavrelo.scr: the screen-saver build, started by Windows with "/S" (full screen), "/P <window>"
// (preview in the settings dialog) or "/C" (configure). It takes the line as Windows passes it,
// after the program name.
#include <windows.h>

#include "platform/system.h"
#include "platform/win_text.h"
#include "screensaver/screensaver.h"

namespace {

// The command line after the program name (quoted or not) and the blanks behind it.
const wchar_t* afterProgramName(const wchar_t* line) {
    bool quoted = false;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
        if (*line == L'"') quoted = !quoted;
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    tavrelo::restrictDllSearch();
    return tavrelo::runScreenSaverEntry(instance, tavrelo::tc(afterProgramName(GetCommandLineW())));
}
