#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/threads.h"
#include "platform/trace.h"
#include "platform/trace_sink.h"

namespace tavrelo {

namespace {

SlimLock sinkLock;
int traceFile = -1; // appended to; open for the process's life

void writeAll(int fd, const std::string& line) noexcept {
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

void openTraceSinks(TextView value) noexcept {
    if (value.find(u'/') == TextView::npos) return;
    try {
        traceFile = ::open(toUtf8(value).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    } catch (...) {
    }
}

void writeTraceSinks(const std::string& line) noexcept {
    std::lock_guard<SlimLock> hold(sinkLock);
    writeAll(STDERR_FILENO, line);
    if (traceFile >= 0) writeAll(traceFile, line); // O_APPEND: each write lands whole at the end
}

long long millisecondsSinceStart() noexcept {
    // The process's start in clock ticks after boot (field 22 of /proc/self/stat), against the
    // time since boot now.
    char buffer[1024] = {};
    const int fd = ::open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0) return 0;
    const char* field = std::strrchr(buffer, ')'); // the command name may hold spaces
    if (!field) return 0;
    // After ")": state is field 3; start time is field 22.
    for (int index = 2; index < 22 && field; ++index)
        field = std::strchr(field + 1, ' ');
    if (!field) return 0;
    const unsigned long long startTicks = std::strtoull(field + 1, nullptr, 10);
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (ticksPerSecond <= 0) return 0;
    const long long started = static_cast<long long>(startTicks) * 1000 / ticksPerSecond;
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - started;
}

} // namespace tavrelo
