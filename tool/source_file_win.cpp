#include <windows.h>

#include "platform/handles.h"
#include "platform/win_text.h"
#include "tool/tool.h"

namespace tavrelo {

ReadResult readFileCapped(TextView path, std::size_t cap, std::string& bytes) {
    FileHandle file(CreateFileW(wc(cstr(path)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ReadResult::Missing;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return ReadResult::Missing;
    if (static_cast<unsigned long long>(size.QuadPart) > cap) return ReadResult::TooLarge;
    std::string read(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t got = 0;
    while (got < read.size()) {
        DWORD n = 0;
        if (!ReadFile(file.get(), read.data() + got, static_cast<DWORD>(read.size() - got), &n, nullptr))
            return ReadResult::Missing;
        if (n == 0) break; // a file that shrank while it was read is taken as it now is
        got += n;
    }
    read.resize(got);
    bytes = std::move(read);
    return ReadResult::Read;
}

} // namespace tavrelo
