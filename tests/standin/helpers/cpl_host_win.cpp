// A Control Panel host of our own: loads the applet named by its argument, sends it the messages
// of one opening (INIT to EXIT), prints each answer, frees it and reports whether the module is
// still loaded and the process lives on. Copied as explorer.exe, it is a listing host.
#include <windows.h>

#include <cpl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

void print(const char* label, const wchar_t* text) {
    char utf8[512] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s %s\n", label, utf8);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 100;
    _setmode(_fileno(stdout), _O_BINARY);
    HMODULE applet = LoadLibraryW(argv[1]);
    const auto entry = reinterpret_cast<APPLET_PROC>(reinterpret_cast<void (*)()>(GetProcAddress(applet, "CPlApplet")));
    if (!entry) return 101;
    const LONG initialised = entry(nullptr, CPL_INIT, 0, 0);
    std::printf("init %ld count %ld\n", initialised, entry(nullptr, CPL_GETCOUNT, 0, 0));
    CPLINFO info;
    FillMemory(&info, sizeof info, 0xCC);
    const LONG inquired = entry(nullptr, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info));
    std::printf("inquire %ld size %u icon %d name %d info %d data %lld\n", inquired, static_cast<unsigned>(sizeof info),
                info.idIcon, info.idName, info.idInfo, static_cast<long long>(info.lData));
    NEWCPLINFOW inquiry;
    FillMemory(&inquiry, sizeof inquiry, 0xCC);
    const LONG newInquired = entry(nullptr, CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&inquiry));
    std::printf("newinquire %ld size %lu icon %d\n", newInquired, inquiry.dwSize, inquiry.hIcon != nullptr);
    print("name", inquiry.szName);
    print("tip", inquiry.szInfo);
    std::printf("dblclk %ld\n", entry(nullptr, CPL_DBLCLK, 0, 0));
    const LONG stopped = entry(nullptr, CPL_STOP, 0, 0);
    std::printf("stop %ld exit %ld\n", stopped, entry(nullptr, CPL_EXIT, 0, 0));
    std::fflush(stdout);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(applet, path, MAX_PATH);
    FreeLibrary(applet);
    Sleep(1500);
    std::printf("loaded after free %d\nalive\n", GetModuleHandleW(path) != nullptr);
    return 0;
}
