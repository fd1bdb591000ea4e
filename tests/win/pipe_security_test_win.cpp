// What Windows itself reports about our pipes: the access list read back from a live pipe, the
// instance parameters, handle inheritance, the session part of names, and a squatted name.
#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "ipc/pipes.h"
#include "pipe_test_support.h"
#include "platform/os.h"
#include "platform/win_text.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::ChildProcess;
using test::TempDir;

// The rights a handle was opened with, as the system recorded them (generic rights mapped).
DWORD grantedAccess(HANDLE handle) {
    using Query = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, void*, ULONG, ULONG*);
    const auto query =
        reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    PUBLIC_OBJECT_BASIC_INFORMATION info{};
    if (!query || query(handle, ObjectBasicInformation, &info, sizeof info, nullptr) < 0) return 0;
    return info.GrantedAccess;
}

class PipeSecurity : public ::testing::Test {
protected:
    void serveFromPeer(const Text& access) {
        ASSERT_TRUE(test::startPeer(server, {u"serve", name, access, u"1", out}));
        ASSERT_TRUE(test::waitReady(out));
    }

    TempDir dir;
    Text out = dir / u"server.txt";
    Text name = test::uniquePipeName(u"security");
    ChildProcess server;
};

TEST_F(PipeSecurity, UserPipesAdmitOnlyTheUserAndSystem) {
    serveFromPeer(u"user");
    const auto entries = test::pipeAccess(name);
    EXPECT_EQ(entries, (std::map<std::string, DWORD>{{"user", FILE_ALL_ACCESS}, {"system", FILE_ALL_ACCESS}}));
}

TEST_F(PipeSecurity, ServicePipesLetUsersReadAndWriteButNotCreateInstances) {
    serveFromPeer(u"service");
    const auto entries = test::pipeAccess(name);
    const DWORD users = (FILE_GENERIC_READ | FILE_GENERIC_WRITE) & ~FILE_CREATE_PIPE_INSTANCE;
    EXPECT_EQ(entries, (std::map<std::string, DWORD>{{"user", FILE_ALL_ACCESS},
                                                     {"system", FILE_ALL_ACCESS},
                                                     {"administrators", FILE_ALL_ACCESS},
                                                     {"interactive", users}}));
    ASSERT_TRUE(entries.count("interactive"));
    EXPECT_EQ(entries.at("interactive") & FILE_CREATE_PIPE_INSTANCE, 0u);
    EXPECT_NE(entries.at("interactive") & FILE_WRITE_DATA, 0u);

    // Our client asks for no more than users hold, so any user can still talk to the service
    // pipe. This process owns the pipe and would be let in whatever it asked: the rights it was
    // granted are what tell. The access probe took the listener's instance: wait for the next.
    bool busy = false;
    ASSERT_TRUE(waitForPipe(name, busy));
    PipeOpen outcome;
    PipeHandle client = openPipe(name, outcome);
    ASSERT_EQ(outcome, PipeOpen::Opened);
    const DWORD granted = grantedAccess(reinterpret_cast<HANDLE>(client.get()));
    EXPECT_NE(granted & FILE_WRITE_DATA, 0u) << std::hex << granted;
    EXPECT_EQ(granted & ~users, 0u) << "rights users do not hold: " << std::hex << (granted & ~users);
    ASSERT_TRUE(writeMessage(client.get(), kHandshake, sizeof kHandshake));
    std::int32_t reply = 0;
    ASSERT_TRUE(readInt32(client.get(), reply));
    EXPECT_EQ(reply, 1);
}

TEST_F(PipeSecurity, InstancesAreMessagePipesOfTheAgreedSize) {
    serveFromPeer(u"user");
    PipeOpen outcome;
    PipeHandle client = openPipe(name, outcome);
    ASSERT_EQ(outcome, PipeOpen::Opened);
    DWORD flags = 0, outSize = 0, inSize = 0, instances = 0;
    ASSERT_TRUE(GetNamedPipeInfo(reinterpret_cast<HANDLE>(client.get()), &flags, &outSize, &inSize, &instances));
    EXPECT_EQ(flags & PIPE_TYPE_MESSAGE, static_cast<DWORD>(PIPE_TYPE_MESSAGE));
    EXPECT_EQ(outSize, 512u);
    EXPECT_EQ(inSize, 512u);
    // Unlimited instances: Windows reports 255, wine reports it as -1.
    EXPECT_TRUE(instances == PIPE_UNLIMITED_INSTANCES || instances == 0xFFFFFFFF) << instances;
    DWORD mode = 0;
    ASSERT_TRUE(
        GetNamedPipeHandleStateW(reinterpret_cast<HANDLE>(client.get()), &mode, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(mode & PIPE_READMODE_MESSAGE, static_cast<DWORD>(PIPE_READMODE_MESSAGE)) << "clients read messages too";
}

TEST_F(PipeSecurity, ServerHandlesAreNotInherited) {
    PipeListener listener;
    ASSERT_TRUE(listener.open(name, PipeAccess::CurrentUser));
    // A client that connects before the server listens is a good connection all the same.
    PipeOpen outcome;
    PipeHandle client = openPipe(name, outcome);
    ASSERT_EQ(outcome, PipeOpen::Opened);
    PipeHandle connected = listener.accept();
    ASSERT_TRUE(connected.valid());
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(connected.get()), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    ASSERT_TRUE(writeMessage(client.get(), "ping", 4));
    char got[8] = {};
    EXPECT_EQ(readMessage(connected.get(), got, sizeof got), 4);
    EXPECT_STREQ(got, "ping");
}

TEST_F(PipeSecurity, ABusyPipeCountsAsServedAndWaitingForItEnds) {
    PipeListener listener;
    ASSERT_TRUE(listener.open(name, PipeAccess::CurrentUser));
    PipeOpen outcome;
    PipeHandle first = openPipe(name, outcome); // takes the only instance
    ASSERT_EQ(outcome, PipeOpen::Opened);
    PipeHandle second = openPipe(name, outcome);
    EXPECT_EQ(outcome, PipeOpen::Busy);
    EXPECT_TRUE(pipeIsServed(name)) << "every instance busy still means somebody serves the name";

    const DWORD started = GetTickCount();
    bool busy = false;
    EXPECT_FALSE(waitForPipe(name, busy));
    EXPECT_TRUE(busy);
    const DWORD waited = GetTickCount() - started;
    EXPECT_GE(waited, kPipeDefaultWaitMs - 200);
    EXPECT_LT(waited, kPipeDefaultWaitMs + 3000) << "the pipe's own default wait is finite";
}

struct CountingServer {
    std::atomic<int> stop{0};
    std::atomic<int> handled{0};
};
void countConnection(PipeRef pipe, void* data) {
    serveExchange(
        pipe, 0, nullptr,
        [](PipeRef, char*, std::size_t, void* d) {
            ++static_cast<CountingServer*>(d)->handled;
            return false;
        },
        data);
}

TEST_F(PipeSecurity, ASquattedNameMakesOurServerFailClosed) {
    ChildProcess squatter;
    ASSERT_TRUE(test::startPeer(squatter, {u"squat", name, out}));
    ASSERT_TRUE(test::waitReady(out));

    PipeListener listener;
    EXPECT_FALSE(listener.open(name, PipeAccess::CurrentUser)) << "our first instance is refused";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    auto* counting = new CountingServer;
    ASSERT_TRUE(startPipeServer(name, PipeAccess::CurrentUser, true, &counting->stop, counting, countConnection));
    os::sleepMs(1500);
    HANDLE client = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 50 && client == INVALID_HANDLE_VALUE; ++attempt) {
        client = CreateFileW(wc(name), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (client == INVALID_HANDLE_VALUE) WaitNamedPipeW(wc(name), 1000); // the squatter is busy with a probe
    }
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    DWORD instances = 0;
    ASSERT_TRUE(GetNamedPipeHandleStateW(client, nullptr, &instances, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(instances, 1u) << "only the squatter's instance exists: we created none beside it";
    CloseHandle(client);
    EXPECT_EQ(counting->handled, 0);

    // Once the squatter is gone the name is ours.
    squatter.kill();
    os::sleepMs(1000);
    EXPECT_EQ(pipeExchange(name, nullptr, nullptr), 1);
    EXPECT_TRUE(test::waitUntil([&] { return counting->handled == 1; }, 3000));
    counting->stop = 1;
    PipeOpen outcome;
    PipeHandle wake = openPipe(name, outcome);
}

TEST(PipeNamesOnWindows, SessionPartIsTheSystemsSessionNumber) {
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    const Text expected = Text(u"\\\\.\\pipe\\Tavrelo_OneInstance_") + fromInt(session) + u"(C$$Apps$Demo$Demo)";
    EXPECT_EQ(buildPipeName(kOneInstancePipe, u"C:\\Apps\\Demo", u"Demo", true, -1, -1), expected);
}

} // namespace
} // namespace tavrelo
