#include <memory>
#include <new>
#include <string>

#include "ipc/pipes.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr std::int32_t kProbe = 0;
constexpr std::int32_t kTagEvent = 1;
constexpr std::int32_t kTagObject = 2;
constexpr unsigned kPollMs = 500;

void threadEnding() noexcept {
    if (auto hook = pipeProcessHooks().threadEnding) hook();
}

void deliver(const PipeEndpoint& endpoint, const char* bytes, std::size_t size) {
    if (endpoint.hooks.deliver) endpoint.hooks.deliver(endpoint.hooks.context, endpoint.deliverId, bytes, size);
}

// An announced object. A length out of range, or a payload that is not exactly that long, drops
// the connection without delivering anything.
void receiveObject(PipeRef pipe, const PipeEndpoint& endpoint, std::int32_t size) {
    std::string bytes;
    if (readPayload(pipe, size, bytes)) deliver(endpoint, bytes.data(), bytes.size());
}

std::int32_t int32At(const unsigned char* bytes) noexcept {
    return static_cast<std::int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                     (static_cast<std::uint32_t>(bytes[3]) << 24));
}

// Endpoint 1: a tag, then a window event or an object.
bool taggedReader(PipeRef pipe, char*, std::size_t, void* data) {
    const auto& endpoint = *static_cast<const PipeEndpoint*>(data);
    std::int32_t tag = 0;
    if (!readInt32(pipe, tag)) return false;
    if (tag == kTagEvent) {
        unsigned char event[400] = {};
        if (readMessage(pipe, event, sizeof event) < 12) return false;
        // Only the display change crosses: its values are numbers. Other events carry pointers
        // into the sender's memory that must never be dereferenced here.
        const auto code = static_cast<std::uint32_t>(int32At(event));
        auto dispatch = pipeProcessHooks().dispatchEvent;
        if (code == kDisplayChangeEvent && dispatch)
            dispatch(code, static_cast<std::uint32_t>(int32At(event + 4)),
                     static_cast<std::uint32_t>(int32At(event + 8)));
    } else if (tag == kTagObject) {
        std::int32_t size = 0;
        if (readInt32(pipe, size) && size != 0) receiveObject(pipe, endpoint, size); // 0 carries nothing here
    }
    return false;
}

// Endpoint 2: an object length, or a control value.
bool plainReader(PipeRef pipe, char*, std::size_t, void* data) {
    const auto& endpoint = *static_cast<const PipeEndpoint*>(data);
    std::int32_t value = 0;
    if (!readInt32(pipe, value)) return false;
    if (value == 0) {
        deliver(endpoint, nullptr, 0); // the null object; the sender's first probe is one too
    } else if (value > 0) {
        receiveObject(pipe, endpoint, value);
    } else if (value == kQuitControl) {
        if (auto quit = pipeProcessHooks().quit) quit();
    } else if (value == kTrayReAddControl) {
        if (auto tray = pipeProcessHooks().reAddTrayIcon) tray();
    }
    return false;
}

void taggedConnection(PipeRef pipe, void* data) { serveExchange(pipe, 0, nullptr, taggedReader, data); }
void plainConnection(PipeRef pipe, void* data) { serveExchange(pipe, 0, nullptr, plainReader, data); }

struct SenderStart {
    PipeEndpoint* from;
    PipeEndpoint* to;
    bool tagged; // towards endpoint 1
    std::atomic<int>* live;
};

bool writeInt(PipeRef pipe, void* data) { return writeInt32(pipe, *static_cast<const std::int32_t*>(data)); }

bool supplied(const PipeEndpoint& from, std::string& bytes) {
    return from.hooks.supply && from.hooks.supply(from.hooks.context, from.callId, bytes) && !bytes.empty();
}

// Towards endpoint 2: the length, then the bytes; no object is sent as the length 0.
bool writePlainObject(PipeRef pipe, void* data) {
    const auto& from = *static_cast<const SenderStart*>(data)->from;
    std::string bytes;
    if (!supplied(from, bytes)) return writeInt32(pipe, 0);
    if (bytes.size() > static_cast<std::size_t>(kObjectSizeLimit)) return false; // the peer would refuse it
    return writeInt32(pipe, static_cast<std::int32_t>(bytes.size())) && writeMessage(pipe, bytes.data(), bytes.size());
}

// Towards endpoint 1: the object tag, the length, then the bytes; no object sends nothing.
bool writeTaggedObject(PipeRef pipe, void* data) {
    const auto& from = *static_cast<const SenderStart*>(data)->from;
    std::string bytes;
    if (!supplied(from, bytes)) return true;
    if (bytes.size() > static_cast<std::size_t>(kObjectSizeLimit)) return false;
    return writeInt32(pipe, kTagObject) && writeInt32(pipe, static_cast<std::int32_t>(bytes.size())) &&
           writeMessage(pipe, bytes.data(), bytes.size());
}

void senderThread(void* raw) {
    std::unique_ptr<SenderStart> start(static_cast<SenderStart*>(raw));
    const PipeEndpoint& from = *start->from;
    const PipeEndpoint& to = *start->to;
    const auto stopped = [&] { return to.stop.load() != 0; };
    for (int waited = 0; waited < to.startDelayMs && !stopped(); waited += 100)
        os::sleepMs(static_cast<unsigned>(to.startDelayMs - waited < 100 ? to.startDelayMs - waited : 100));
    std::int32_t probe = kProbe;
    while (!stopped() && !pipeExchange(to.name, writeInt, &probe))
        os::sleepMs(kPollMs);
    const PipeWriter writer = start->tagged ? writeTaggedObject : writePlainObject;
    while (!stopped()) {
        if (from.hooks.query(from.hooks.context, from.callId)) (void)pipeExchange(to.name, writer, start.get());
        // Every cycle pauses, whether or not something was sent: the query calls into the
        // application and must not run at full speed.
        if (!stopped()) os::sleepMs(kPollMs);
    }
    std::atomic<int>* live = start->live;
    start.reset();
    threadEnding();
    live->fetch_sub(1); // the last act: the pair may be freed from here on
}

} // namespace

void initEndpoint(PipeEndpoint& endpoint, const char16_t* baseName, PipeAccess access, const EndpointHooks& hooks) {
    if (endpoint.baseName && baseName && TextView(endpoint.baseName) == TextView(baseName)) return;
    endpoint.name.clear();
    endpoint.baseName = baseName;
    endpoint.stop = 0;
    endpoint.refuseIfServed = 0;
    endpoint.withSession = 0;
    endpoint.startDelayMs = 5000;
    endpoint.numberA = 0;
    endpoint.callId = -1;
    endpoint.deliverId = -1;
    endpoint.access = access;
    endpoint.hooks = hooks;
}

void buildEndpointNames(EndpointPair& pair, TextView directory, TextView applicationName) {
    for (PipeEndpoint* endpoint : {&pair.endpoint1, &pair.endpoint2}) {
        if (!endpoint->name.empty() || !endpoint->baseName) continue;
        endpoint->name = buildPipeName(endpoint->baseName, directory, applicationName, endpoint->withSession != 0,
                                       endpoint->numberA, endpoint->callId);
    }
}

bool startReceiver(EndpointPair& pair, int which, TextView directory, TextView applicationName) noexcept {
    if (which != 1 && which != 2) return false;
    try {
        buildEndpointNames(pair, directory, applicationName);
    } catch (...) {
        return false;
    }
    PipeEndpoint& endpoint = which == 1 ? pair.endpoint1 : pair.endpoint2;
    if (endpoint.refuseIfServed && pipeIsServed(endpoint.name)) return false;
    return startPipeServer(endpoint.name, endpoint.access, true, &endpoint.stop, &endpoint,
                           which == 1 ? taggedConnection : plainConnection, &pair.liveThreads);
}

bool startSender(EndpointPair& pair, int from, TextView directory, TextView applicationName) noexcept {
    if (from != 1 && from != 2) return false;
    try {
        buildEndpointNames(pair, directory, applicationName);
    } catch (...) {
        return false;
    }
    PipeEndpoint& source = from == 1 ? pair.endpoint1 : pair.endpoint2;
    PipeEndpoint& target = from == 1 ? pair.endpoint2 : pair.endpoint1;
    if (!source.hooks.query) return false;
    auto* start = new (std::nothrow) SenderStart{&source, &target, from == 2, &pair.liveThreads};
    if (!start) return false;
    pair.liveThreads.fetch_add(1);
    if (startPipeThread(senderThread, start)) return true;
    pair.liveThreads.fetch_sub(1);
    delete start;
    return false;
}

void stopEndpoint(PipeEndpoint& endpoint) noexcept {
    endpoint.stop = 1;
    if (!endpoint.name.empty()) {
        // A connection without handshake wakes the listener waiting for a client; it sees the flag.
        PipeOpen outcome = PipeOpen::Failed;
        PipeHandle wake = openPipe(endpoint.name, outcome);
    }
    os::sleepMs(250);
}

bool stopPair(EndpointPair& pair) noexcept {
    stopEndpoint(pair.endpoint2);
    stopEndpoint(pair.endpoint1);
    constexpr unsigned kJoinPollMs = 50;
    for (unsigned waited = 0; pair.liveThreads.load() != 0; waited += kJoinPollMs) {
        if (waited >= kPairJoinMs) return false;
        os::sleepMs(kJoinPollMs);
    }
    return true;
}

int sendControl(PipeEndpoint& endpoint, std::int32_t value) noexcept {
    if (value != kQuitControl && value != kTrayReAddControl) return 0;
    return pipeExchange(endpoint.name, writeInt, &value);
}

namespace {
struct EventMessage {
    std::int32_t code, wParam, lParam;
};

bool writeEvent(PipeRef pipe, void* data) {
    const auto& event = *static_cast<const EventMessage*>(data);
    unsigned char bytes[12];
    const std::int32_t values[3] = {event.code, event.wParam, event.lParam};
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[i * 4 + b] = static_cast<unsigned char>(static_cast<std::uint32_t>(values[i]) >> (8 * b));
    return writeInt32(pipe, kTagEvent) && writeMessage(pipe, bytes, sizeof bytes);
}
} // namespace

int forwardEvent(PipeEndpoint& endpoint, unsigned code, std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    if (code != kDisplayChangeEvent) return 0;
    EventMessage event{static_cast<std::int32_t>(code), static_cast<std::int32_t>(wParam),
                       static_cast<std::int32_t>(lParam)};
    return pipeExchange(endpoint.name, writeEvent, &event);
}

} // namespace tavrelo
