// Tavrelo.cpl: the Control Panel applet build, a DLL that the host enters through CPlApplet.
#include <windows.h>

#include "applet/applet.h"

extern "C" __declspec(dllexport) LONG APIENTRY CPlApplet(HWND window, UINT message, LPARAM first, LPARAM second) {
    return static_cast<LONG>(tavrelo::controlPanelMessage(window, message, first, second));
}

extern "C" __declspec(dllexport) BOOL WINAPI DllMain(HINSTANCE module, DWORD, LPVOID) {
    tavrelo::setAppletModule(module);
    return TRUE;
}
