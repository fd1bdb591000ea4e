// Ends with the screen-saver switch as a fresh process sees it (1 on, 0 off): the process that
// changed it may read back its own stale copy.
#include <windows.h>

int wmain() {
    BOOL active = FALSE;
    if (!SystemParametersInfoW(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) return 2;
    return active ? 1 : 0;
}
