// A bare program that reads the network adapters once a second, as the event window's poll
// does: the idle benchmark's baseline for what wine itself costs. Runs for the seconds given.
#include <windows.h>

#include <iphlpapi.h>

#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    const long seconds = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 70;
    using GetAdapters = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    const HMODULE library = LoadLibraryW(L"iphlpapi.dll");
    const auto get = library ? reinterpret_cast<GetAdapters>(
                                   reinterpret_cast<void (*)()>(GetProcAddress(library, "GetAdaptersInfo")))
                             : nullptr;
    if (!get) return 1;
    std::vector<BYTE> buffer(704);
    for (long i = 0; i < seconds; ++i) {
        ULONG size = static_cast<ULONG>(buffer.size());
        if (get(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &size) == ERROR_BUFFER_OVERFLOW) {
            buffer.resize(size);
            get(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &size);
        }
        Sleep(1000);
    }
    return 0;
}
