#include <windows.h>

#include "runtime/runtime.h"

namespace tavrelo::standin {

// As a runtime does at its end when told to list the classes it loaded: a few lines to the file
// the option names (bin\java.exe writes an archive from them).
void writeClassList() {
    constexpr std::string_view kList = "-XX:DumpLoadedClassList=";
    for (const std::string& option : vm().options) {
        if (option.rfind(kList, 0) != 0) continue;
        const std::string path = option.substr(kList.size());
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return logError("the class list could not be written: " + path);
        const char lines[] = "java/lang/Object id: 0\ndemo/App id: 1\n";
        DWORD written = 0;
        WriteFile(file, lines, sizeof lines - 1, &written, nullptr);
        CloseHandle(file);
        logLine("classes", path);
    }
}

} // namespace tavrelo::standin
