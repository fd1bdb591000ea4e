// Shows one message box and ends with the button pressed: the process the message-box
// driver's own tests watch. Arguments: style (decimal), caption, text.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 100;
    const auto style = static_cast<UINT>(std::wcstoul(argv[1], nullptr, 10));
    return MessageBoxW(nullptr, argv[3], argv[2], style);
}
