// A library that looks like a 64-bit Java runtime but exports none of the invocation entry
// points: the launcher must refuse it without crashing.
#include <windows.h>

extern "C" __declspec(dllexport) int StandinWithoutEntryPoints() {
    return 0;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
