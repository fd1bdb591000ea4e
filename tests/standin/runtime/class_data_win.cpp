#include <windows.h>

#include <algorithm>

#include "runtime/runtime.h"

namespace tavrelo::standin {

// As a runtime of release 13 or later does at its end: the dynamic class-data archive named by
// the options is written, here as a small file that begins as the real one does.
void writeClassDataArchive() {
    const std::vector<std::string>& options = vm().options;
    const bool autoCreate = std::find(options.begin(), options.end(), "-XX:+AutoCreateSharedArchive") != options.end();
    std::string archive;
    for (const std::string& option : options) {
        constexpr std::string_view kAtExit = "-XX:ArchiveClassesAtExit=", kFile = "-XX:SharedArchiveFile=";
        if (option.rfind(kAtExit, 0) == 0) archive = option.substr(kAtExit.size());
        if (option.rfind(kFile, 0) == 0 && autoCreate) archive = option.substr(kFile.size());
    }
    if (archive.empty()) return;
    const HANDLE file = CreateFileA(archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return logError("the class-data archive could not be written: " + archive);
    const char bytes[] = "\xa8\xab\x0b\xf0 stand-in class data";
    DWORD written = 0;
    WriteFile(file, bytes, sizeof bytes - 1, &written, nullptr);
    CloseHandle(file);
    logLine("archive", archive);
}

} // namespace tavrelo::standin
