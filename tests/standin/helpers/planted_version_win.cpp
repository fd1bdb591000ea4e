// Built as "version.dll": a DLL planted beside a launcher copy, named like a system library that
// is not one of the KnownDLLs. Its functions fail, so a launcher that bound to them could not
// read any version resource and would refuse every runtime.
#include <windows.h>

extern "C" {

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD) { return 0; }
__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) { return FALSE; }
__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) { return FALSE; }

} // extern "C"
