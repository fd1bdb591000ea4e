#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tool/tool.h"

namespace tavrelo {

ReadResult readFileCapped(TextView path, std::size_t cap, std::string& bytes) {
    const int file = ::open(toUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return ReadResult::Missing;
    struct stat info {};
    ReadResult result = ReadResult::Missing;
    if (::fstat(file, &info) == 0 && S_ISREG(info.st_mode)) {
        if (static_cast<unsigned long long>(info.st_size) > cap) {
            result = ReadResult::TooLarge;
        } else {
            std::string read(static_cast<std::size_t>(info.st_size), '\0');
            std::size_t got = 0;
            ssize_t n = 0;
            while (got < read.size() && (n = ::read(file, read.data() + got, read.size() - got)) > 0)
                got += static_cast<std::size_t>(n);
            if (n >= 0) {
                // A file that shrank while it was read is taken as it now is.
                read.resize(got);
                bytes = std::move(read);
                result = ReadResult::Read;
            }
        }
    }
    ::close(file);
    return result;
}

} // namespace tavrelo
