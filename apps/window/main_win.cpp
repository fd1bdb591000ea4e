// Tavrelo.exe: the window-subsystem launcher. It runs the same sequence as the console build
// but has no console: its console flag is 0, the JVM gets no console marker option, the base
// name is not cut at "_console", and files dropped on it are launched as arguments instead of
// being handed to the resource tool (that hand-over belongs to the console build).
#include <windows.h>
#include <shellapi.h>

#include "launcher/launcher.h"
#include "platform/system.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    tavrelo::restrictDllSearch();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 0;
    tavrelo::EntryOptions options;
    options.console = 0;
    options.integration = false;
    options.extraOption = nullptr;
    return tavrelo::runEntry(argc, reinterpret_cast<const char16_t* const*>(argv), instance, options);
}
