// Admin threads and the start object: the user process's channel to an elevated copy running one
// numbered section, and the elevated copies' side (restart and section).
#include <windows.h>

#include <atomic>
#include <new>
#include <string>

#include "bridge/object_conversion.h"
#include "ipc/pipes.h"
#include "launcher/hand_overs.h"
#include "platform/handles.h"
#include "platform/os.h"
#include "platform/system.h"
#include "platform/threads.h"
#include "service/admin.h"
#include "service/admin_sections.h"

namespace tavrelo {

namespace {

constexpr unsigned kPollMs = 500;
constexpr unsigned kSectionPollMs = 250;
constexpr int kStartAttempts = 30; // about 15 s, polled every 500 ms
constexpr int kRemoteStartDelayMs = 500;

// ---- The start object ---------------------------------------------------------------------------

bool writeStartObject(PipeRef pipe, void* data) {
    const std::string& bytes = *static_cast<const std::string*>(data);
    if (bytes.size() > static_cast<std::size_t>(kObjectSizeLimit)) return false;
    return writeInt32(pipe, static_cast<std::int32_t>(bytes.size())) &&
           (bytes.empty() || writeMessage(pipe, bytes.data(), bytes.size()));
}

// What the elevated copy received. Process-lifetime: a late connection may still write here
// after the launch stopped waiting, and nobody reads it then.
struct StartObject {
    std::atomic<int> stop{0};
    std::atomic<bool> received{false};
    std::string bytes; // empty: the null object
};

StartObject& startObject() noexcept {
    static StartObject box;
    return box;
}

// A length, then that many bytes; 0 is the null object, a negative length marks nothing, and a
// length out of range or a payload of another size drops the connection.
bool readStartObject(PipeRef pipe, char*, std::size_t, void* data) {
    auto& box = *static_cast<StartObject*>(data);
    std::int32_t size = 0;
    if (!readInt32(pipe, size) || size < 0) return false;
    std::string bytes;
    if (size > 0 && !readPayload(pipe, size, bytes)) return false;
    box.bytes = std::move(bytes);
    box.received.store(true, std::memory_order_release);
    return false;
}

void startObjectConnection(PipeRef pipe, void* data) { serveExchange(pipe, 0, nullptr, readStartObject, data); }

// Serves this copy's RunAsAdmin pipe for the parent's one connection and waits about 15 s for
// the object; true when it came (its bytes are in startObject()).
bool receiveStartObject(int numberB) noexcept {
    StartObject& box = startObject();
    Text name;
    try {
        name = buildPipeName(kRunAsAdminPipe, {}, {}, false, adminState().parentProcessId, numberB);
    } catch (...) {
        return false;
    }
    if (!startPipeServer(name, PipeAccess::ParentOnly, false, &box.stop, &box, startObjectConnection)) return false;
    for (int attempt = 0; attempt < kStartAttempts && !box.received.load(std::memory_order_acquire); ++attempt)
        os::sleepMs(kPollMs);
    if (box.received.load(std::memory_order_acquire)) return true;
    // Nobody came: end the listener (our own wake-up connection is dropped like any stranger's).
    box.stop = 1;
    PipeOpen outcome = PipeOpen::Failed;
    PipeHandle wake = openPipe(name, outcome);
    return false;
}

// ---- The channel --------------------------------------------------------------------------------

const JavaPumpMethods userMethods{&sectionManagement(), kSectionIsDataForAdmin, kSectionDataForAdmin,
                                  kSectionDataFromAdmin};
const JavaPumpMethods copyMethods{&sectionManagement(), kSectionIsDataForUser, kSectionDataForUser,
                                  kSectionDataFromUser};

struct AdminThreadChannel {
    EndpointPair pair;
    std::atomic<int> started{0}; // the elevated copy was launched
    int number = 0;
};

// Both processes build the same pair; each side sets only its own hooks and serves its own end:
// the user side ThreadAsAdmin1 (which the elevated copy, maybe another account, may use), the copy
// ThreadAsAdmin2 (for its parent process alone).
AdminThreadChannel* newChannel(int number, bool userSide) noexcept {
    auto* channel = new (std::nothrow) AdminThreadChannel;
    if (!channel) return nullptr;
    channel->number = number;
    const EndpointHooks none;
    PipeEndpoint& one = channel->pair.endpoint1;
    PipeEndpoint& two = channel->pair.endpoint2;
    initEndpoint(one, kThreadAsAdmin1Pipe, PipeAccess::AdminPeer, userSide ? javaEndpointHooks(userMethods) : none);
    initEndpoint(two, kThreadAsAdmin2Pipe, PipeAccess::ParentOnly, userSide ? none : javaEndpointHooks(copyMethods));
    for (PipeEndpoint* endpoint : {&one, &two}) {
        endpoint->numberA = adminState().parentProcessId;
        endpoint->callId = number;
        endpoint->refuseIfServed = 1;
    }
    one.deliverId = number;
    if (!userSide) one.startDelayMs = kRemoteStartDelayMs;
    return channel;
}

struct Closing {
    AdminThreadChannel* channel;
    HANDLE process; // owned; null when no copy was started
};

// Stops the channel and frees it once its threads are gone; a channel whose connection is still
// inside the application after the join's bound is left alive rather than freed under it.
void closeChannel(AdminThreadChannel* channel) noexcept {
    if (stopPair(channel->pair)) delete channel;
}

// Closing threads that may still call Java; the launcher's end waits a moment for them.
std::atomic<int> closingThreadsInJava{0};

void closingThread(void* raw) {
    const Closing closing = *static_cast<Closing*>(raw);
    delete static_cast<Closing*>(raw);
    KernelHandle process(closing.process);
    constexpr unsigned kStepMs = 50; // the launcher's end is noticed within a step
    for (unsigned waited = kPollMs; isProcessRunning(process.get()) && !os::launcherEnding(); waited += kStepMs) {
        if (waited >= kPollMs) {
            if (!isApplicationAlive(true)) break;
            waited = 0;
        }
        os::sleepMs(kStepMs);
    }
    if (closing.channel->started.load() != 0)
        callVoid(sectionManagement(), kSectionClosedAdminThread, closing.channel->number);
    // Done with Java before the join, which may take a while: the VM's end need not wait for it.
    releaseJavaThread();
    closingThreadsInJava.fetch_sub(1);
    closeChannel(closing.channel);
}

// The closing thread gets a handle of its own to the copy, so the caller may wait on another.
void startClosing(AdminThreadChannel* channel, HANDLE process) noexcept {
    auto* closing = new (std::nothrow) Closing{channel, process};
    closingThreadsInJava.fetch_add(1);
    if (closing && startPipeThread(closingThread, closing)) return;
    closingThreadsInJava.fetch_sub(1);
    delete closing;
    // No thread: end the pump now rather than leave it running for good.
    if (process) CloseHandle(process);
    closeChannel(channel);
}

HANDLE duplicateOf(HANDLE process) noexcept {
    HANDLE copy = nullptr;
    if (!process || !DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &copy, 0, FALSE,
                                     DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

// ---- The elevated section copy ------------------------------------------------------------------

void parentWatch(void*) {
    // Without the user process nobody takes the section's objects: the copy ends with it.
    KernelHandle parent(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(adminState().parentProcessId)));
    while (isProcessRunning(parent.get())) os::sleepMs(kPollMs);
    exitJava();
    releaseJavaThread();
}

void sectionThread(void*) {
    const std::string& bytes = startObject().bytes;
    callWithObjectFromBytes(sectionManagement(), kSectionMainAdmin, adminState().sectionNumber, bytes.data(),
                            bytes.size());
    while (isApplicationAlive(true)) os::sleepMs(kSectionPollMs);
    releaseJavaThread();
}

} // namespace

bool sendStartObject(int slot, int numberB, const std::string& bytes) noexcept {
    if (!isDefined(sectionManagement(), slot)) return true;
    Text name;
    try {
        name = buildPipeName(kRunAsAdminPipe, {}, {}, false, static_cast<int>(os::processId()), numberB);
    } catch (...) {
        return false;
    }
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        bool busy = false;
        if (waitForPipe(name, busy) || busy) break;
        os::sleepMs(kPollMs);
    }
    return pipeExchange(name, writeStartObject, const_cast<std::string*>(&bytes)) != 0;
}

bool startAdminThread(int number, jobject data, bool wait) noexcept {
    if (number < 0) return false;
    AdminBusy busy;
    if (!busy.held() || !isDefined(sectionManagement(), kSectionMainAdmin)) return false;
    const LaunchContext& context = launchContext();
    Text program, parameters;
    try {
        program = context.launcherDirectory + os::kPathSeparator + context.baseName + u".exe";
        parameters = sectionParameters(adminState().parentProcessId, number, quoteArgumentLine(context.arguments),
                                       context.launchMode == kModeServiceSide);
    } catch (...) {
        return false;
    }
    useJavaPipeHooks();
    AdminThreadChannel* channel = newChannel(number, true);
    if (!channel) return false;
    if (!startReceiver(channel->pair, 1, {}, {})) {
        // Another thread with this number runs (or nothing could be served): no second copy. No
        // thread of the channel was started.
        delete channel;
        return false;
    }
    (void)startSender(channel->pair, 1, {}, {});
    void* started = nullptr;
    bool result = false;
    KernelHandle waitable;
    HANDLE forClosing = nullptr;
    if (startElevated(program, parameters, context.launcherDirectory, &started)) {
        waitable.reset(started);
        forClosing = duplicateOf(waitable.get());
        // Without a second handle the closing thread takes the only one and the call does not wait.
        if (!forClosing) forClosing = waitable.release();
        channel->started = 1;
        result = sendStartObject(kSectionMainAdmin, number, serializeObject(data));
    }
    busy.release();
    startClosing(channel, forClosing);
    if (result && wait)
        while (isProcessRunning(waitable.get())) os::sleepMs(kPollMs);
    return result;
}

void runElevatedRestartSections() {
    if (!isDefined(sectionManagement(), kSectionSetDataRestart)) return;
    if (!receiveStartObject(-1)) return;
    const std::string& bytes = startObject().bytes;
    callWithObjectFromBytes(sectionManagement(), kSectionSetDataRestart, kNoLeadingInteger, bytes.data(),
                            bytes.size());
}

void serveAdminSection() {
    if (!isDefined(sectionManagement(), kSectionMainAdmin)) return;
    const int number = adminState().sectionNumber;
    useJavaPipeHooks();
    // The copy's channel lives as long as the process.
    if (AdminThreadChannel* channel = newChannel(number, false)) {
        (void)startReceiver(channel->pair, 2, {}, {});
        (void)startSender(channel->pair, 2, {}, {});
    }
    (void)startPipeThread(parentWatch, nullptr);
    const bool received = receiveStartObject(number);
    // The launch thread lets go of Java as after main: the section's end is told by the
    // application's threads, and this thread must not count among them while it waits.
    detachJavaThread();
    if (!received) return;
    JoinableThread section;
    if (section.start(sectionThread, nullptr)) section.join();
}

void awaitAdminSectionsEnd() {
    // A closing thread tests the application's liveness every half second: after the application
    // ended it makes its last call (sectionClosedAdminThread) within that time.
    constexpr unsigned kEndWaitMs = 1000;
    for (unsigned waited = 0; closingThreadsInJava.load() > 0 && waited < kEndWaitMs; waited += 20) os::sleepMs(20);
}

} // namespace tavrelo
