#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "platform/failure.h"
#include "platform/os.h"

namespace tavrelo::os {

namespace {
std::string narrow(TextView path) { return toUtf8(path); }

// Keeps errno as the failing call left it, with the step and its path; answers false.
bool failed(const char* what, TextView path) noexcept {
    noteFailure(what, path, lastError());
    return false;
}
bool failed(const char* what, const std::string& path) {
    const unsigned long code = lastError(); // before the conversion may touch errno
    noteFailure(what, fromUtf8(path), code);
    return false;
}
} // namespace

bool pathExists(TextView path) noexcept {
    try {
        struct stat info;
        return ::stat(narrow(path).c_str(), &info) == 0;
    } catch (...) {
        return false;
    }
}

bool isDirectory(TextView path) noexcept {
    try {
        struct stat info;
        return ::stat(narrow(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    } catch (...) {
        return false;
    }
}

bool isAbsolutePath(TextView path) noexcept { return !path.empty() && path[0] == u'/'; }

bool readFile(TextView path, std::string& bytes, std::size_t limit) {
    const int fd = ::open(narrow(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failed("reading", path);
    bytes.clear();
    char chunk[16384];
    ssize_t got = 0;
    while (bytes.size() < limit && (got = ::read(fd, chunk, std::min(sizeof chunk, limit - bytes.size()))) > 0)
        bytes.append(chunk, static_cast<std::size_t>(got));
    if (got < 0) failed("reading", path);
    ::close(fd);
    return got >= 0;
}

namespace {

// Writes the bytes to a new file (`path` as given), flushed to the disk when asked; false on any
// failure.
bool writeNewFile(const std::string& path, std::string_view bytes, bool flush) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return failed("writing", path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            if (n == 0) errno = ENOSPC; // nothing taken and no error given: the disk is full
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool written = done == bytes.size() && (!flush || ::fsync(fd) == 0);
    if (!written) failed("writing", path);
    ::close(fd);
    return written;
}

} // namespace

bool writeFile(TextView path, std::string_view bytes) { return writeNewFile(narrow(path), bytes, false); }

bool writeFileReplacing(TextView path, std::string_view bytes) {
    const std::string target = narrow(path);
    const std::string temporary = target + ".tmp";
    if (!writeNewFile(temporary, bytes, true)) return false;
    return ::rename(temporary.c_str(), target.c_str()) == 0 || failed("replacing", path);
}

bool moveFileReplacing(TextView from, TextView to) noexcept {
    try {
        return ::rename(narrow(from).c_str(), narrow(to).c_str()) == 0 || failed("replacing", to);
    } catch (...) {
        return false;
    }
}

std::optional<FileStamp> fileStamp(TextView path) noexcept {
    try {
        struct stat info;
        if (::stat(narrow(path).c_str(), &info) != 0) {
            failed("examining", path);
            return std::nullopt;
        }
        return FileStamp{static_cast<unsigned long long>(info.st_size),
                         static_cast<unsigned long long>(info.st_mtim.tv_sec) * 1000000000ull +
                             static_cast<unsigned long long>(info.st_mtim.tv_nsec)};
    } catch (...) {
        return std::nullopt;
    }
}

bool deleteFile(TextView path) noexcept {
    try {
        return ::unlink(narrow(path).c_str()) == 0 || failed("deleting", path);
    } catch (...) {
        return false;
    }
}

bool makeDirectory(TextView path) noexcept {
    try {
        return ::mkdir(narrow(path).c_str(), 0755) == 0 || failed("making the directory", path);
    } catch (...) {
        return false;
    }
}

bool removeDirectory(TextView path) noexcept {
    try {
        return ::rmdir(narrow(path).c_str()) == 0 || failed("removing the directory", path);
    } catch (...) {
        return false;
    }
}

bool listDirectory(TextView directory, DirectoryVisitor visit, void* context) {
    const std::string base = narrow(directory);
    DIR* dir = ::opendir(base.c_str());
    if (!dir) return failed("listing", directory);
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        struct stat info;
        const std::string full = base + "/" + entry->d_name;
        const bool directoryEntry = ::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (!visit(fromUtf8(entry->d_name), directoryEntry, context)) break;
    }
    ::closedir(dir);
    return true;
}

// The host has no separate long and short forms: an existing path is its own long form.
Text longPathName(TextView path) { return pathExists(path) ? Text(path) : Text(); }
Text shortPathName(TextView path) { return longPathName(path); }

Text longOrShortPath(TextView path) {
    Text result = longPathName(path);
    if (result.size() > 1 && result.back() == u'/') result.pop_back();
    if (result.size() > 4095) result.resize(4095);
    return result;
}

Text tempDirectory() {
    const char* dir = std::getenv("TMPDIR");
    Text out = fromUtf8(dir && *dir ? dir : "/tmp");
    if (out.back() != u'/') out.push_back(u'/');
    return out;
}

Text currentDirectory() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? fromUtf8(buffer) : Text();
}

bool setCurrentDirectory(TextView path) noexcept {
    try {
        return ::chdir(narrow(path).c_str()) == 0 || failed("changing to", path);
    } catch (...) {
        return false;
    }
}

std::optional<Text> environmentValue(TextView name) {
    const char* value = std::getenv(narrow(name).c_str());
    if (!value) return std::nullopt;
    return fromUtf8(value);
}

Text expandEnvironment(TextView text) {
    Text out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t close = text[i] == u'%' ? text.find(u'%', i + 1) : TextView::npos;
        if (close != TextView::npos && close > i + 1) {
            if (auto value = environmentValue(text.substr(i + 1, close - i - 1))) {
                out += *value;
                i = close + 1;
                continue;
            }
        }
        out.push_back(text[i++]);
    }
    return out;
}

unsigned long processId() noexcept { return static_cast<unsigned long>(::getpid()); }
unsigned long currentThreadId() noexcept { return static_cast<unsigned long>(::syscall(SYS_gettid)); }
Text loginSession() {
    // Not getsid: every terminal is a session of its own, and one login holds many of them.
    const char* id = std::getenv("XDG_SESSION_ID");
    if (!id) return {};
    const std::string_view value(id);
    // logind's ids are short letters and digits; anything else is no id of its.
    if (value.empty() || value.size() > 32) return {};
    for (char c : value)
        if (!std::isalnum(static_cast<unsigned char>(c))) return {};
    return fromUtf8(value);
}

void* executableModule() noexcept { return nullptr; }

Text moduleFileName(void* module) {
    if (module == nullptr) {
        char buffer[2048];
        const ssize_t n = ::readlink("/proc/self/exe", buffer, 2047);
        return n > 0 ? fromUtf8(std::string_view(buffer, static_cast<std::size_t>(n))) : Text();
    }
    Dl_info info;
    // dladdr needs an address inside the module; a dlopen handle is not one, so look up a symbol.
    if (::dladdr(module, &info) && info.dli_fname) return fromUtf8(info.dli_fname);
    return {};
}

void sleepMs(unsigned milliseconds) noexcept {
    timespec delay{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

void* loadLibrary(TextView path) noexcept {
    try {
        return ::dlopen(narrow(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    } catch (...) {
        return nullptr;
    }
}

void* libraryFunction(void* library, const char* name) noexcept {
    return library ? ::dlsym(library, name) : nullptr;
}

Text ansiToText(std::string_view bytes) { return fromUtf8(bytes); }
std::string textToAnsi(TextView text) { return toUtf8(text); }

int systemMessageBox(TextView caption, TextView text, unsigned style) noexcept {
    try {
        const std::string line = toUtf8(caption) + ": " + toUtf8(text) + "\n";
        (void)!::write(2, line.data(), line.size());
        const bool yesNo = (style & 0xF) == 4;
        if (!yesNo) return 1;
        if (!::isatty(0)) return 7;
        static const char prompt[] = "[y/n] ";
        (void)!::write(2, prompt, sizeof prompt - 1);
        char answer[16] = {};
        const ssize_t n = ::read(0, answer, sizeof answer - 1);
        return (n > 0 && (answer[0] == 'y' || answer[0] == 'Y' || answer[0] == 'o' || answer[0] == 'O')) ? 6 : 7;
    } catch (...) {
        return 0;
    }
}

Text systemErrorDescription(unsigned long code) {
    if (code == 0) return {};
    return fromUtf8(std::strerror(static_cast<int>(code)));
}

unsigned long lastError() noexcept { return static_cast<unsigned long>(errno); }

} // namespace tavrelo::os
