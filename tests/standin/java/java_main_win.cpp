// bin\java.exe of the stand-in runtime. The launcher never runs it; it only reads its version
// resource. Run by hand it says what it is.
#include <windows.h>

int main() {
    static const char text[] = "Tavrelo stand-in runtime: bin\\java.exe carries the version resource only.\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, sizeof text - 1, &written, nullptr);
    return 1;
}
