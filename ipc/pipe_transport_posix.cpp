// The host stand-in for named pipes: Unix SOCK_SEQPACKET sockets in a directory private to the
// user, one socket file per pipe name. A lock file held by the serving listener plays the part of
// the first pipe instance: only its holder serves, and a socket left by a dead server is replaced.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <string>

#include "ipc/pipes.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

// Every message travels as records of a flag byte (1: more records follow) and at most this
// many bytes: a socket record cannot be as large as an object may be.
constexpr std::size_t kChunk = 16384;
constexpr int kBacklog = 64;
constexpr char16_t kPipePrefix[] = u"\\\\.\\pipe\\";

// XDG_RUNTIME_DIR is private to the user by design; else a directory of our own in /tmp that
// must be ours and closed to everybody else, or no pipe works at all.
std::string socketDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string dir = (runtime && runtime[0] == '/') ? std::string(runtime) + "/tavrelo"
                                                           : "/tmp/tavrelo-" + std::to_string(::getuid());
    (void)::mkdir(dir.c_str(), 0700);
    struct stat info;
    if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0)
        return {};
    return dir;
}

// The socket file of a pipe name. Socket paths hold at most 107 bytes, so a name too long for
// that keeps a stable hash of itself in place of its tail.
std::string socketPath(TextView name) {
    const std::string dir = socketDirectory();
    if (dir.empty()) return {};
    const TextView prefix(kPipePrefix);
    if (name.substr(0, prefix.size()) == prefix) name.remove_prefix(prefix.size());
    std::string file = toUtf8(name);
    for (char& c : file)
        if (c == '/' || c == '\0') c = '$';
    if (file.empty() || file == "." || file == "..") file = std::string("$") + file;
    constexpr std::size_t kPathLimit = sizeof(sockaddr_un{}.sun_path) - 1;
    const std::size_t room = kPathLimit - dir.size() - 1;
    if (dir.size() + 1 >= kPathLimit || room < 24) return {};
    if (file.size() > room) {
        std::uint64_t hash = 0xcbf29ce484222325ull;
        for (unsigned char c : file)
            hash = (hash ^ c) * 0x100000001b3ull;
        std::size_t keep = room - 17;
        while (keep > 0 && (static_cast<unsigned char>(file[keep]) & 0xC0) == 0x80)
            --keep;
        file.resize(keep);
        file.push_back('#');
        static constexpr char kDigits[] = "0123456789ABCDEF";
        for (int shift = 60; shift >= 0; shift -= 4)
            file.push_back(kDigits[(hash >> shift) & 0xF]);
    }
    return dir + "/" + file;
}

bool addressOf(const std::string& path, sockaddr_un& address) noexcept {
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// A non-blocking connect: 0 connected (descriptor in `fd`), else the errno.
int connectTo(TextView name, int& fd) noexcept {
    fd = -1;
    sockaddr_un address;
    try {
        if (!addressOf(socketPath(name), address)) return ENOENT;
    } catch (...) {
        return ENOMEM;
    }
    const int s = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) return errno;
    int result = 0;
    while ((result = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        const int error = errno;
        ::close(s);
        return error;
    }
    fd = s;
    return 0;
}

struct ThreadStart {
    void (*routine)(void*);
    void* argument;
};

void* threadEntry(void* raw) {
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.routine(start.argument);
    return nullptr;
}

} // namespace

void PipeAttributesPolicy::close(Type) noexcept {} // the host's pipes carry no attributes

void PipePolicy::close(Type pipe) noexcept {
    const int saved = errno;
    ::close(static_cast<int>(pipe));
    errno = saved;
}

bool pipeIsServed(TextView name) noexcept {
    int fd = -1;
    const int error = connectTo(name, fd);
    if (error == 0) {
        ::close(fd);
        return true;
    }
    return error == EAGAIN || error == EACCES; // a full backlog is a busy server
}

bool waitForPipe(TextView name, bool& busy) noexcept {
    busy = false;
    try {
        struct stat info;
        const std::string path = socketPath(name);
        return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
    } catch (...) {
        return false;
    }
}

PipeHandle openPipe(TextView name, PipeOpen& outcome) noexcept {
    int fd = -1;
    const int error = connectTo(name, fd);
    if (error != 0) {
        outcome = error == EAGAIN                              ? PipeOpen::Busy
                  : (error == ENOENT || error == ECONNREFUSED) ? PipeOpen::Missing
                                                               : PipeOpen::Failed;
        return PipeHandle();
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        outcome = PipeOpen::Failed;
        return PipeHandle();
    }
    outcome = PipeOpen::Opened;
    return PipeHandle(fd);
}

bool writeMessage(PipeRef pipe, const void* bytes, std::size_t size) noexcept {
    const char* next = static_cast<const char*>(bytes);
    std::size_t left = size;
    do {
        const std::size_t n = left < kChunk ? left : kChunk;
        unsigned char more = left > n ? 1 : 0;
        iovec parts[2] = {{&more, 1}, {const_cast<char*>(next), n}};
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = 2;
        ssize_t sent = 0;
        while ((sent = ::sendmsg(static_cast<int>(pipe), &message, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
        }
        if (sent != static_cast<ssize_t>(n + 1)) return false;
        next += n;
        left -= n;
    } while (left > 0);
    return true;
}

long readMessage(PipeRef pipe, void* buffer, std::size_t capacity) noexcept {
    char record[kChunk + 1];
    std::size_t kept = 0;
    for (;;) {
        ssize_t got = 0;
        while ((got = ::recv(static_cast<int>(pipe), record, sizeof record, 0)) < 0 && errno == EINTR) {
        }
        if (got <= 0) return -1;
        const std::size_t size = static_cast<std::size_t>(got) - 1;
        const std::size_t take = size < capacity - kept ? size : capacity - kept;
        if (take > 0) std::memcpy(static_cast<char*>(buffer) + kept, record + 1, take);
        kept += take;
        if (record[0] == 0) break;
    }
    return static_cast<long>(kept);
}

unsigned long pipeClientProcessId(PipeRef pipe) noexcept {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(static_cast<int>(pipe), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.pid <= 0) return 0;
    return static_cast<unsigned long>(peer.pid);
}

void flushPipe(PipeRef) noexcept {} // a closed socket still delivers what it sent

void disconnectPipe(PipeRef) noexcept {}

bool PipeListener::open(TextView name, PipeAccess access) noexcept {
    close();
    sockaddr_un address;
    std::string path;
    try {
        name_.assign(name);
        path = socketPath(name_);
        if (!addressOf(path, address)) return false;
    } catch (...) {
        return false;
    }
    access_ = access; // the private directory admits only the user on the host
    PipeHandle lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    // Held by another listener: the name is theirs.
    if (!lock || ::flock(static_cast<int>(lock.get()), LOCK_EX | LOCK_NB) != 0) return false;
    (void)::unlink(path.c_str()); // the socket of a server that is gone
    PipeHandle listening(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    const int s = static_cast<int>(listening.get());
    if (!listening || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, kBacklog) != 0)
        return false;
    instance_ = std::move(listening);
    lock_ = std::move(lock);
    return true;
}

PipeHandle PipeListener::accept() noexcept {
    if (!instance_) {
        os::sleepMs(500);
        return PipeHandle();
    }
    PipeHandle connection;
    while (!(connection = PipeHandle(::accept4(static_cast<int>(instance_.get()), nullptr, nullptr, SOCK_CLOEXEC))) &&
           errno == EINTR) {
    }
    if (!connection) {
        os::sleepMs(100);
        return PipeHandle();
    }
    const int fd = static_cast<int>(connection.get());
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid()) return PipeHandle();
    // A client may keep a read or a write waiting kConnectionWaitMs at most.
    const timeval wait{kConnectionWaitMs / 1000, (kConnectionWaitMs % 1000) * 1000};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait) != 0)
        return PipeHandle();
    return connection;
}

void PipeListener::close() noexcept {
    if (instance_) {
        try {
            const std::string path = socketPath(name_);
            if (!path.empty()) (void)::unlink(path.c_str()); // while the lock is still ours
        } catch (...) {
        }
    }
    instance_.reset();
    lock_.reset();
}

bool startPipeThread(void (*routine)(void*), void* argument) noexcept {
    auto* start = new (std::nothrow) ThreadStart{routine, argument};
    if (!start) return false;
    pthread_attr_t attributes;
    if (::pthread_attr_init(&attributes) != 0) {
        delete start;
        return false;
    }
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const bool started = ::pthread_create(&thread, &attributes, threadEntry, start) == 0;
    ::pthread_attr_destroy(&attributes);
    if (!started) delete start;
    return started;
}

} // namespace tavrelo
