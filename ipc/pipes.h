// The named-pipe channel between cooperating launcher processes: pipe names, the transport
// (Windows named pipes; Unix SOCK_SEQPACKET sockets on the host, which keep message
// boundaries), the gated listener, the one-shot client exchange and the two-pipe object pump.
// Java is reached only through the hooks below, so this layer stands on its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/handle.h"
#include "platform/text.h"

namespace tavrelo {

// ---- Names ------------------------------------------------------------------------------------

inline constexpr char16_t kOneInstancePipe[] = u"\\\\.\\pipe\\Tavrelo_OneInstance";
inline constexpr char16_t kServiceUi1Pipe[] = u"\\\\.\\pipe\\Tavrelo_ServiceUI1";
inline constexpr char16_t kServiceUi2Pipe[] = u"\\\\.\\pipe\\Tavrelo_ServiceUI2";
inline constexpr char16_t kRunAsAdminPipe[] = u"\\\\.\\pipe\\Tavrelo_RunAsAdmin";
inline constexpr char16_t kThreadAsAdmin1Pipe[] = u"\\\\.\\pipe\\Tavrelo_ThreadAsAdmin1";
inline constexpr char16_t kThreadAsAdmin2Pipe[] = u"\\\\.\\pipe\\Tavrelo_ThreadAsAdmin2";

// The longest pipe name Windows accepts, "\\.\pipe\" included.
inline constexpr std::size_t kPipeNameLimit = 256;

// base, then "_<session>" when `withSession` and the login session is known (os::loginSession),
// "_<A>" when A >= 0, "_<B>" when B >= 0, then, when `directory` is not empty, "(" directory ["$" name] ")" with every
// ':' and path separator of the directory turned into '$'. A name longer than kPipeNameLimit
// keeps its first 238 units and ends with '#', 16 hex digits of a hash of the whole name and ')':
// the same inputs always give the same name, different ones practically never collide.
[[nodiscard]] Text buildPipeName(TextView base, TextView directory, TextView name, bool withSession, int numberA,
                                 int numberB);

// ---- Transport ----------------------------------------------------------------------------------

// A connected pipe end: the pipe HANDLE on Windows, a socket descriptor on the host.
using PipeRef = std::intptr_t;
struct PipePolicy {
    using Type = PipeRef;
    static constexpr Type invalid() noexcept { return -1; }
    static void close(Type pipe) noexcept;
};
using PipeHandle = UniqueHandle<PipePolicy>;
// The security attributes a listener creates its instances with (Windows; none on the host).
struct PipeAttributesPolicy {
    using Type = void*;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type attributes) noexcept;
};
using PipeAttributes = UniqueHandle<PipeAttributesPolicy>;

// Who may use a served pipe. Every pipe refuses remote clients and none is inherited.
enum class PipeAccess {
    CurrentUser, // the serving account and SYSTEM (single instance, administrator pipes)
    Service,     // SYSTEM, Administrators and the serving account fully; interactive users may
                 // read and write but not create instances (the service pipes)
    AdminPeer,   // CurrentUser, and Administrators may read and write: an elevated copy may run
                 // under another account (a user side's pipe for its elevated copy)
    ParentOnly,  // CurrentUser, and the parent process's account may read and write; only
                 // connections from the parent process itself are served (an elevated copy's pipes)
};

// The process whose clients a ParentOnly pipe serves (see setPipeParentProcess); set once at
// start, before any such pipe is served. 0: none, and ParentOnly pipes serve nobody.
void setPipeParentProcess(unsigned long processId) noexcept;
[[nodiscard]] unsigned long pipeParentProcess() noexcept;
// The process id of the client on a connected server end; 0 when unknown.
[[nodiscard]] unsigned long pipeClientProcessId(PipeRef pipe) noexcept;

enum class PipeOpen { Opened, Busy, Missing, Failed };

// How long a client waits for a free instance of a served pipe before it decides for itself.
inline constexpr unsigned kPipeDefaultWaitMs = 2000;

// True when somebody holds the name: an open for reading succeeds (the connection is closed at
// once; the server sees it as a connection without handshake), every instance is busy, or the
// pipe exists but refuses us.
[[nodiscard]] bool pipeIsServed(TextView name) noexcept;
// Waits up to the server's default time for a free instance. False when there is no such pipe
// (`busy` false) or it stayed busy (`busy` true).
[[nodiscard]] bool waitForPipe(TextView name, bool& busy) noexcept;
// One attempt at opening a served pipe for an exchange, in message mode.
[[nodiscard]] PipeHandle openPipe(TextView name, PipeOpen& outcome) noexcept;

// A served connection may keep its server waiting this long for one message, or for the peer to
// take one written to it: one that connects and never writes, stops in the middle of a frame or
// never reads is dropped after it. Clients wait for their servers without a limit.
inline constexpr unsigned kConnectionWaitMs = 5000;
// The most connection threads one listener runs at once. A connection beyond them is closed at
// once, unread; the listener goes on serving.
inline constexpr int kConnectionThreadLimit = 64;

// Writes `size` bytes as one message; true only when all of them were written.
[[nodiscard]] bool writeMessage(PipeRef pipe, const void* bytes, std::size_t size) noexcept;
// Reads one message, keeping at most `capacity` bytes; the rest of a longer message is read and
// dropped so the next read starts at the next message. Bytes kept, or -1 when the connection
// failed or ended.
[[nodiscard]] long readMessage(PipeRef pipe, void* buffer, std::size_t capacity) noexcept;
// Waits until the peer has read what was written (Windows); nothing to do on the host.
void flushPipe(PipeRef pipe) noexcept;
// Ends the server side of a connection before its handle is closed.
void disconnectPipe(PipeRef pipe) noexcept;

// The serving side of one name. Not thread-safe: one listener thread uses it.
class PipeListener {
public:
    PipeListener() = default;
    ~PipeListener() { close(); }
    PipeListener(const PipeListener&) = delete;
    PipeListener& operator=(const PipeListener&) = delete;

    // Creates the first instance of the name. False when another process already holds the name
    // (a squatter or a server of ours): the caller must not serve, so no client of ours ever
    // talks to an instance it did not create. False too when the system refuses the name.
    [[nodiscard]] bool open(TextView name, PipeAccess access) noexcept;
    // Blocks until a client connects and returns that connection; the next instance is created
    // before it is handed out, so the name never lapses while the listener lives. Invalid when
    // the wait failed (a failed creation pauses 500 ms first, so a caller's loop never spins).
    // Reads and writes on the connection wait at most kConnectionWaitMs.
    [[nodiscard]] PipeHandle accept() noexcept;
    void close() noexcept;

private:
    Text name_;
    PipeAccess access_ = PipeAccess::CurrentUser;
    PipeHandle instance_;     // Windows: the instance waiting for a client; host: the listening socket
    PipeHandle lock_;         // host: the lock file that makes the holder the only server
    PipeAttributes security_; // Windows: the attributes every instance is created with
};

// Starts a detached thread; false when it could not be created (`routine` then never runs).
[[nodiscard]] bool startPipeThread(void (*routine)(void* argument), void* argument) noexcept;

// ---- Framing --------------------------------------------------------------------------------------

inline constexpr char kHandshake[6] = {'R', 'E', 'A', 'D', 'Y', '\0'};
// The largest serialized object that crosses a pipe; a larger announced length drops the connection.
inline constexpr std::int32_t kObjectSizeLimit = 16 * 1024 * 1024;

// An int32, little-endian, as one message.
[[nodiscard]] bool writeInt32(PipeRef pipe, std::int32_t value) noexcept;
// One message of at least 4 bytes (read into a 400-byte buffer); its first int32.
[[nodiscard]] bool readInt32(PipeRef pipe, std::int32_t& value) noexcept;
// One message of exactly `size` bytes (1 to kObjectSizeLimit) into `bytes`; false for any other
// size or message, before anything is allocated when the size is out of range.
[[nodiscard]] bool readPayload(PipeRef pipe, std::int32_t size, std::string& bytes) noexcept;

// ---- Hooks into the process ---------------------------------------------------------------------

// Process-wide actions that messages on a pipe trigger, set once at start (the Java-backed ones
// by the bridge). Absent hooks do nothing.
struct PipeProcessHooks {
    void (*threadEnding)() = nullptr;  // every thread of this layer calls it last (JVM detach)
    void (*quit)() = nullptr;          // the quit control (-1) at endpoint 2
    void (*reAddTrayIcon)() = nullptr; // the re-add-tray control (-2) at endpoint 2
    // A window event forwarded by the companion; only the display change is ever dispatched.
    void (*dispatchEvent)(unsigned code, std::uintptr_t wParam, std::intptr_t lParam) = nullptr;
};
void setPipeProcessHooks(const PipeProcessHooks& hooks) noexcept;
[[nodiscard]] PipeProcessHooks pipeProcessHooks() noexcept;
// Pipe threads let go of the virtual machine when they end, and the quit control ends the Java
// application; the other hooks are kept.
void useJavaPipeHooks() noexcept;
inline constexpr unsigned kDisplayChangeEvent = 0x7E; // WM_DISPLAYCHANGE

// ---- Server and client exchange -----------------------------------------------------------------

// Runs on its own thread with one connected pipe; the caller disconnects and closes it afterwards.
using ConnectionHandler = void (*)(PipeRef pipe, void* data);

// Starts the gated listener for `name` on a thread of its own: while another process serves the
// name it probes every 500 ms; then it serves the name, one thread per connection running
// `handler`. It ends when `*stop` turns non-zero (never when `stop` is null) or, without
// `manyConnections`, after its first connection. `data` and `*stop` must outlive the listener and
// every connection, unless `liveThreads` is given: it counts the listener and each connection
// thread while they run (each one's last act is the decrement), so an owner can wait for zero
// before it frees what they use. A ParentOnly server drops other processes' connections unserved,
// so they do not count as its one connection. True when the thread was started.
[[nodiscard]] bool startPipeServer(TextView name, PipeAccess access, bool manyConnections, std::atomic<int>* stop,
                                   void* data, ConnectionHandler handler,
                                   std::atomic<int>* liveThreads = nullptr) noexcept;

// Called with the reply buffer after a valid handshake; true to write the reply.
using MessageHandler = bool (*)(PipeRef pipe, char* reply, std::size_t replySize, void* data);
// The body of a connection handler: reads the handshake (a connection without one is dropped
// silently: probes, stop wake-ups, foreign clients), runs `handler`, writes the reply unless the
// handler returned false or `replySize` is 0, then flushes.
void serveExchange(PipeRef pipe, std::size_t replySize, char* replyBuffer, MessageHandler handler, void* data) noexcept;

using PipeWriter = bool (*)(PipeRef pipe, void* data); // false: the exchange failed
using PipeReader = bool (*)(PipeRef pipe, void* data); // false: the exchange failed
using PipeResult = int (*)(void* data);
// The client exchange: pause 500 ms, wait for and open the pipe (a busy pipe is retried for up to
// 30 s), write the handshake, run `writer`, flush, run `reader`, pause 250 ms, close. The
// result routine's value (1 without one) when the handshake and every routine succeeded; 0
// otherwise, also for an empty name.
[[nodiscard]] int pipeExchange(TextView name, PipeWriter writer, void* writerData, PipeReader reader = nullptr,
                               void* readerData = nullptr, PipeResult result = nullptr) noexcept;

// ---- Object pump ---------------------------------------------------------------------------------

// What the application does for one endpoint; the Java-backed hooks come from the bridge.
struct EndpointHooks {
    void* context = nullptr;
    // The application has an object to send (called with the endpoint's callId). Absent: this
    // endpoint's side sends nothing and startSender refuses.
    bool (*query)(void* context, int callId) = nullptr;
    // The serialized object to send; false or empty for none.
    bool (*supply)(void* context, int callId, std::string& bytes) = nullptr;
    // A received object: its serialized bytes, or null and 0 for a null object; `deliverId` is
    // the endpoint's deliverId (-1: none). Absent: received objects are dropped.
    void (*deliver)(void* context, int deliverId, const char* bytes, std::size_t size) = nullptr;
};

// One end of a pump: the pipe one process serves. Process-lifetime record; threads keep a
// reference to it.
struct PipeEndpoint {
    Text name; // built once from the fields below (buildEndpointNames)
    const char16_t* baseName = nullptr;
    std::atomic<int> stop{0}; // ends the listener on this name and every sender aimed at it
    int refuseIfServed = 0;   // startReceiver fails when the name is already served
    int withSession = 0;
    int startDelayMs = 5000; // pause before a sender aimed at this endpoint starts
    int numberA = 0;
    int callId = -1;    // name number B; the query and supply argument
    int deliverId = -1; // when >= 0, handed to the delivery hook
    PipeAccess access = PipeAccess::CurrentUser;
    EndpointHooks hooks;
};

// Endpoint 1 is served by the first side (objects reach it tagged, window events too), endpoint 2
// by the second side (objects plain, controls -1 and -2).
struct EndpointPair {
    PipeEndpoint endpoint1;
    PipeEndpoint endpoint2;
    // The listeners, connections and senders of this pair still running (see stopPair).
    std::atomic<int> liveThreads{0};
};

struct FeatureInterface;
// The slots of a feature interface that drive one side of a pump: the query (an int argument,
// the endpoint's callId, which "()Z" methods ignore), the supply returning a
// java.io.Serializable, and the delivery taking one (after the deliverId when it is 0 or more).
struct JavaPumpMethods {
    const FeatureInterface* record = nullptr;
    int querySlot = 0;
    int supplySlot = 0;
    int deliverSlot = 0;
};
// Hooks that call those methods through the bridge, objects crossing as Java's serialized bytes.
// Bind the slots first: a query or delivery slot that is not defined gives no such hook. The
// record must live as long as the endpoint.
[[nodiscard]] EndpointHooks javaEndpointHooks(const JavaPumpMethods& methods) noexcept;

inline constexpr std::int32_t kQuitControl = -1;
inline constexpr std::int32_t kTrayReAddControl = -2;

// Clears the endpoint and sets its defaults and hooks; nothing when it already carries `baseName`.
void initEndpoint(PipeEndpoint& endpoint, const char16_t* baseName, PipeAccess access, const EndpointHooks& hooks);
// Builds the names of both endpoints that have none yet.
void buildEndpointNames(EndpointPair& pair, TextView directory, TextView applicationName);
// Serves endpoint `which` (1 or 2) with its reader. False when `refuseIfServed` found the name
// served or the listener could not be started.
[[nodiscard]] bool startReceiver(EndpointPair& pair, int which, TextView directory, TextView applicationName) noexcept;
// Starts the sender from endpoint `from` (1 or 2) to the other one: after the target's start
// delay it probes the target until it answers, then polls the query hook every 500 ms and sends
// each supplied object, until the target's stop flag is set. False when `from` has no query hook
// or the thread could not be started.
[[nodiscard]] bool startSender(EndpointPair& pair, int from, TextView directory, TextView applicationName) noexcept;
// Sets the stop flag, wakes the listener blocked on the name, and pauses 250 ms.
void stopEndpoint(PipeEndpoint& endpoint) noexcept;
// How long stopPair waits for the pair's threads.
inline constexpr unsigned kPairJoinMs = 5000;
// Stops endpoint 2, then endpoint 1, then waits up to kPairJoinMs for the pair's threads to end.
// True when none runs any more: only then may the pair be freed. A connection busy in the
// application (a delivery that does not return) keeps it false; such a pair must be left alive.
bool stopPair(EndpointPair& pair) noexcept;
// Sends kQuitControl or kTrayReAddControl to the endpoint (endpoint 2); 0 for any other value.
[[nodiscard]] int sendControl(PipeEndpoint& endpoint, std::int32_t value) noexcept;
// Sends a window event to the endpoint (endpoint 1). Only kDisplayChangeEvent is carried: its
// values are plain numbers, where other events carry pointers; 0 for any other code.
[[nodiscard]] int forwardEvent(PipeEndpoint& endpoint, unsigned code, std::uintptr_t wParam,
                               std::intptr_t lParam) noexcept;

} // namespace tavrelo
