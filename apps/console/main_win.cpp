// Tavrelo_console.exe: the console launcher.
#include <windows.h>

#include "launcher/launcher.h"
#include "platform/system.h"

int wmain(int argc, wchar_t** argv) {
    tavrelo::restrictDllSearch();
    return tavrelo::runEntry(argc, reinterpret_cast<const char16_t* const*>(argv), GetModuleHandleW(nullptr),
                             tavrelo::EntryOptions{});
}
