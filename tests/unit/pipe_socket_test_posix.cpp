// The host's pipes are sockets in a directory only the user may enter.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "ipc/pipes.h"
#include "pipe_test_support.h"
#include "test_support.h"

namespace tavrelo {
namespace {

// Points the socket directory at a scratch runtime directory for one test.
class ScopedRuntimeDirectory {
public:
    explicit ScopedRuntimeDirectory(const Text& path) {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
        had_ = std::getenv("XDG_RUNTIME_DIR") != nullptr;
        ::setenv("XDG_RUNTIME_DIR", toUtf8(path).c_str(), 1);
    }
    ~ScopedRuntimeDirectory() {
        if (had_)
            ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }

private:
    std::string saved_;
    bool had_ = false;
};

TEST(PipeSockets, LiveInAPrivateDirectoryAndLeaveNothingBehind) {
    test::TempDir runtime;
    ScopedRuntimeDirectory scoped(runtime.path());
    const Text name = test::uniquePipeName(u"socket");
    const std::string directory = toUtf8(runtime.path()) + "/tavrelo";
    {
        PipeListener listener;
        ASSERT_TRUE(listener.open(name, PipeAccess::CurrentUser));
        struct stat info;
        ASSERT_EQ(::stat(directory.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        EXPECT_EQ(info.st_uid, ::getuid());
        EXPECT_TRUE(pipeIsServed(name));
        PipeListener second;
        EXPECT_FALSE(second.open(name, PipeAccess::CurrentUser)) << "one server per name";
    }
    EXPECT_FALSE(pipeIsServed(name));
    const std::string socket = directory + "/" + toUtf8(name.substr(9));
    EXPECT_NE(::access(socket.c_str(), F_OK), 0) << "the socket file went with its listener";
}

TEST(PipeSockets, ADirectoryOthersMayEnterServesNothing) {
    test::TempDir runtime;
    ScopedRuntimeDirectory scoped(runtime.path());
    const std::string directory = toUtf8(runtime.path()) + "/tavrelo";
    ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(directory.c_str(), 0755), 0);
    const Text name = test::uniquePipeName(u"open");
    PipeListener listener;
    EXPECT_FALSE(listener.open(name, PipeAccess::CurrentUser));
    EXPECT_FALSE(pipeIsServed(name));
    PipeOpen outcome;
    EXPECT_FALSE(openPipe(name, outcome).valid());
}

} // namespace
} // namespace tavrelo
