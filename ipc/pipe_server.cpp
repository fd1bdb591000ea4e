#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "ipc/pipes.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr unsigned kGatePauseMs = 500;
constexpr unsigned kBeforeExchangeMs = 500;
constexpr unsigned kAfterExchangeMs = 250;
constexpr unsigned kBusyPauseMs = 50;
// A server that stays busy about this long is hung or flooded; the caller goes on without it.
// Counted from the waits themselves (a wait that runs out took the server's default time).
constexpr unsigned kBusyBudgetMs = 30000;

// What the listener thread and its connection threads share; the last of them frees it.
struct ServerStart {
    Text name;
    PipeAccess access;
    bool manyConnections;
    std::atomic<int>* stop;
    void* data;
    ConnectionHandler handler;
    std::atomic<int>* live;
    std::atomic<int> holders{1};     // the listener thread and every connection thread running
    std::atomic<int> connections{0}; // the connection threads running

    [[nodiscard]] bool stopping() const noexcept { return stop && stop->load() != 0; }
};

void letGo(ServerStart* server) noexcept {
    if (server->holders.fetch_sub(1) == 1) delete server;
}

struct ConnectionStart {
    PipeRef pipe;
    ServerStart* server;
};

void threadEnding() noexcept {
    if (auto hook = pipeProcessHooks().threadEnding) hook();
}

// Starts a thread counted in `live` (when given); the count is taken back if it cannot start.
bool startCounted(std::atomic<int>* live, void (*routine)(void*), void* argument) noexcept {
    if (live) live->fetch_add(1);
    if (startPipeThread(routine, argument)) return true;
    if (live) live->fetch_sub(1);
    return false;
}

// A ParentOnly name serves its parent process alone: a connection from anyone else is closed
// before any byte of it is read.
bool admitted(const ServerStart& server, PipeRef connection) noexcept {
    if (server.access != PipeAccess::ParentOnly) return true;
    const unsigned long parent = pipeParentProcess();
    return parent != 0 && pipeClientProcessId(connection) == parent;
}

void connectionThread(void* raw) {
    std::unique_ptr<ConnectionStart> start(static_cast<ConnectionStart*>(raw));
    ServerStart* server = start->server;
    std::atomic<int>* live = server->live;
    PipeHandle pipe(start->pipe);
    start.reset();
    server->handler(pipe.get(), server->data);
    disconnectPipe(pipe.get());
    pipe.reset();
    server->connections.fetch_sub(1);
    letGo(server);
    threadEnding();
    if (live) live->fetch_sub(1); // the last act: the owner may free the data from here on
}

// Serves the name until stopped, or after the first connection when only one is wanted.
void serve(ServerStart& server, PipeListener& listener) {
    while (!server.stopping()) {
        PipeHandle connection = listener.accept();
        if (!connection) continue; // accept paces its own retries
        if (server.stopping()) break;
        // A connection from a stranger, or one beyond the threads a listener may run, is closed
        // unread; the running connections end within their wait for the client.
        if (!admitted(server, connection.get()) || server.connections.load() >= kConnectionThreadLimit) {
            disconnectPipe(connection.get());
            continue;
        }
        auto* start = new (std::nothrow) ConnectionStart{connection.get(), &server};
        server.connections.fetch_add(1);
        server.holders.fetch_add(1);
        if (start && startCounted(server.live, connectionThread, start)) {
            (void)connection.release();
            if (!server.manyConnections) break;
        } else {
            server.connections.fetch_sub(1);
            server.holders.fetch_sub(1);
            delete start;
            disconnectPipe(connection.get());
        }
    }
}

void serverThread(void* raw) {
    std::unique_ptr<ServerStart> server(static_cast<ServerStart*>(raw));
    while (!server->stopping()) {
        // The gate: another process serves the name; take over only once it is gone.
        if (pipeIsServed(server->name)) {
            os::sleepMs(kGatePauseMs);
            continue;
        }
        PipeListener listener;
        if (!listener.open(server->name, server->access)) {
            // Somebody created the name between our probe and our first instance, or the system
            // refuses it: never serve beside them, and never retry at full speed.
            os::sleepMs(kGatePauseMs);
            continue;
        }
        serve(*server, listener);
        break;
    }
    std::atomic<int>* live = server->live;
    letGo(server.release());
    threadEnding();
    if (live) live->fetch_sub(1);
}

} // namespace

bool startPipeServer(TextView name, PipeAccess access, bool manyConnections, std::atomic<int>* stop, void* data,
                     ConnectionHandler handler, std::atomic<int>* liveThreads) noexcept {
    if (name.empty() || !handler) return false;
    ServerStart* start = nullptr;
    try {
        start = new ServerStart{Text(name), access, manyConnections, stop, data, handler, liveThreads};
    } catch (...) {
        return false;
    }
    if (startCounted(liveThreads, serverThread, start)) return true;
    delete start;
    return false;
}

void serveExchange(PipeRef pipe, std::size_t replySize, char* replyBuffer, MessageHandler handler,
                   void* data) noexcept {
    char handshake[1024] = {};
    const long got = readMessage(pipe, handshake, sizeof handshake);
    if (got < static_cast<long>(sizeof kHandshake) || std::memcmp(handshake, kHandshake, sizeof kHandshake) != 0)
        return;
    std::string local;
    char* reply = replyBuffer;
    if (!reply && replySize > 0) {
        try {
            local.assign(replySize, '\0');
        } catch (...) {
            return;
        }
        reply = local.data();
    }
    const bool answer = handler ? handler(pipe, reply, replySize, data) : true;
    if (answer && replySize > 0) (void)writeMessage(pipe, reply, replySize);
    flushPipe(pipe);
}

int pipeExchange(TextView name, PipeWriter writer, void* writerData, PipeReader reader, void* readerData,
                 PipeResult result) noexcept {
    os::sleepMs(kBeforeExchangeMs);
    if (name.empty()) return 0;
    unsigned busyMs = 0;
    for (;;) {
        bool busy = false;
        if (!waitForPipe(name, busy)) {
            busyMs += kPipeDefaultWaitMs;
            if (busy && busyMs < kBusyBudgetMs) continue;
            return 0;
        }
        PipeOpen outcome = PipeOpen::Failed;
        PipeHandle pipe = openPipe(name, outcome);
        if (outcome == PipeOpen::Busy) {
            // Another client took the free instance first.
            busyMs += kBusyPauseMs;
            if (busyMs >= kBusyBudgetMs) return 0;
            os::sleepMs(kBusyPauseMs);
            continue;
        }
        if (!pipe) return 0;
        bool ok =
            writeMessage(pipe.get(), kHandshake, sizeof kHandshake) && (!writer || writer(pipe.get(), writerData));
        if (ok) {
            flushPipe(pipe.get());
            ok = !reader || reader(pipe.get(), readerData);
        }
        os::sleepMs(kAfterExchangeMs);
        pipe.reset();
        if (!ok) return 0;
        return result ? result(readerData) : 1;
    }
}

} // namespace tavrelo
