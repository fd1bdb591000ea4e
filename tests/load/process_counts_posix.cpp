#include <dirent.h>
#include <malloc.h>
#include <poll.h>
#include <sys/socket.h>

#include "pipe_load.h"

namespace tavrelo::load {

namespace {
// The entries of a /proc directory, without "." and ".." (and without the descriptor reading it).
long entries(const char* path) noexcept {
    DIR* dir = ::opendir(path);
    if (!dir) return -1;
    long count = 0;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
    return count;
}
} // namespace

ProcessCounts processCounts() noexcept {
    ProcessCounts counts;
    counts.threads = entries("/proc/self/task");
    counts.handles = entries("/proc/self/fd") - 1;
    counts.memory = static_cast<long long>(::mallinfo2().uordblks);
    return counts;
}

bool connectionDropped(PipeRef pipe) noexcept {
    pollfd watch{static_cast<int>(pipe), POLLIN, 0};
    if (::poll(&watch, 1, 0) <= 0) return false;
    if (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
    char byte = 0;
    return ::recv(static_cast<int>(pipe), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

} // namespace tavrelo::load
