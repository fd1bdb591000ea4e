// The pipe channel between real processes: this test program on one side, the pipe peer program
// on the other (named pipes under wine, Unix sockets on the host).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>

#include "ipc/pipes.h"
#include "pipe_test_support.h"
#include "platform/os.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::ChildProcess;
using test::hexBytes;
using test::hexInt;
using test::kReadyHex;
using test::lasting;
using test::TempDir;

// What the hooks of this process saw.
struct Seen {
    std::mutex lock;
    std::vector<std::string> deliveries; // "<deliverId> <hex>" or "<deliverId> null"
    std::vector<std::string> events;     // "<code> <wParam> <lParam>"
    int quits = 0;
    int trays = 0;
    std::deque<std::string> toSend; // what every endpoint without an outbox of its own supplies

    void clear() {
        std::lock_guard<std::mutex> guard(lock);
        deliveries.clear();
        events.clear();
        quits = trays = 0;
        toSend.clear();
    }
    std::vector<std::string> deliveriesNow() {
        std::lock_guard<std::mutex> guard(lock);
        return deliveries;
    }
    std::vector<std::string> eventsNow() {
        std::lock_guard<std::mutex> guard(lock);
        return events;
    }
    std::deque<std::string>& outbox(void* context) {
        return context ? *static_cast<std::deque<std::string>*>(context) : toSend;
    }
};
Seen seen;

bool seenQuery(void* context, int) {
    std::lock_guard<std::mutex> guard(seen.lock);
    return !seen.outbox(context).empty();
}
bool seenSupply(void* context, int, std::string& bytes) {
    std::lock_guard<std::mutex> guard(seen.lock);
    auto& outbox = seen.outbox(context);
    if (outbox.empty()) return false;
    bytes = outbox.front();
    outbox.pop_front();
    return true;
}
void seenDeliver(void*, int deliverId, const char* bytes, std::size_t size) {
    std::lock_guard<std::mutex> guard(seen.lock);
    seen.deliveries.push_back(std::to_string(deliverId) + " " +
                              (bytes ? test::toHex(std::string_view(bytes, size)) : std::string("null")));
}

EndpointHooks recordingHooks(std::deque<std::string>* outbox = nullptr) {
    EndpointHooks hooks;
    hooks.context = outbox;
    hooks.query = seenQuery;
    hooks.supply = seenSupply;
    hooks.deliver = seenDeliver;
    return hooks;
}

class PipeChannel : public ::testing::Test {
protected:
    void SetUp() override {
        seen.clear();
        PipeProcessHooks hooks;
        hooks.quit = [] {
            std::lock_guard<std::mutex> guard(seen.lock);
            ++seen.quits;
        };
        hooks.reAddTrayIcon = [] {
            std::lock_guard<std::mutex> guard(seen.lock);
            ++seen.trays;
        };
        hooks.dispatchEvent = [](unsigned code, std::uintptr_t w, std::intptr_t l) {
            std::lock_guard<std::mutex> guard(seen.lock);
            seen.events.push_back(std::to_string(code) + " " + std::to_string(w) + " " + std::to_string(l));
        };
        setPipeProcessHooks(hooks);
    }

    // Endpoints live as long as the process: the threads of a test may outlast it.
    static EndpointPair& newPair(TextView tag, TextView directory) {
        auto* pair = lasting(new EndpointPair);
        initEndpoint(pair->endpoint1, kServiceUi1Pipe, PipeAccess::CurrentUser, recordingHooks());
        initEndpoint(pair->endpoint2, kServiceUi2Pipe, PipeAccess::CurrentUser, recordingHooks());
        buildEndpointNames(*pair, directory, test::uniqueAppName(tag));
        return *pair;
    }

    TempDir dir;
};

// A sample serialized object: the Java string "abc" as ObjectOutputStream writes it.
const std::string kJavaString("\xAC\xED\x00\x05\x74\x00\x03\x61\x62\x63", 10);

TEST_F(PipeChannel, ControlsAndEventsAreCarriedByteForByte) {
    const Text name = test::uniquePipeName(u"wire");
    const Text out = dir / u"recorded.txt";
    ChildProcess recorder;
    ASSERT_TRUE(test::startPeer(recorder, {u"record", name, out, u"3"}));
    ASSERT_TRUE(test::waitReady(out));

    auto* peer = lasting(new PipeEndpoint);
    peer->name = name;
    EXPECT_EQ(sendControl(*peer, kQuitControl), 1);
    EXPECT_EQ(sendControl(*peer, kTrayReAddControl), 1);
    EXPECT_EQ(sendControl(*peer, 5), 0) << "only the two controls are sent";
    EXPECT_EQ(forwardEvent(*peer, kDisplayChangeEvent, 32, 0x03000400), 1);
    EXPECT_EQ(forwardEvent(*peer, 0x219, 0x8000, 0x12345678), 0) << "events carrying pointers never cross";
    ASSERT_EQ(recorder.wait(20000), 0);

    EXPECT_EQ(test::fileText(out), "connection\n524541445900\nffffffff\n--\n"
                                   "connection\n524541445900\nfeffffff\n--\n"
                                   "connection\n524541445900\n01000000\n7e0000002000000000040003\n--\n");
}

TEST_F(PipeChannel, SendersProbeFirstThenCarryObjectsInBothFramings) {
    EndpointPair& pair = newPair(u"framing", dir.path());
    // Recorders stand in for both endpoints: each sees a probe, an object and a null object.
    const Text out1 = dir / u"endpoint1.txt";
    const Text out2 = dir / u"endpoint2.txt";
    ChildProcess recorder1, recorder2;
    ASSERT_TRUE(test::startPeer(recorder1, {u"record", pair.endpoint1.name, out1, u"3"}));
    ASSERT_TRUE(test::startPeer(recorder2, {u"record", pair.endpoint2.name, out2, u"3"}));
    ASSERT_TRUE(test::waitReady(out1));
    ASSERT_TRUE(test::waitReady(out2));
    pair.endpoint1.startDelayMs = pair.endpoint2.startDelayMs = 0;
    pair.endpoint1.hooks.context = new std::deque<std::string>{kJavaString, ""};
    pair.endpoint2.hooks.context = new std::deque<std::string>{kJavaString, ""};
    ASSERT_TRUE(startSender(pair, 1, dir.path(), u"unused"));
    ASSERT_TRUE(startSender(pair, 2, dir.path(), u"unused"));
    EXPECT_EQ(recorder1.wait(30000), 0);
    EXPECT_EQ(recorder2.wait(30000), 0);
    pair.endpoint1.stop = pair.endpoint2.stop = 1;

    const std::string object = test::toHex(kJavaString);
    EXPECT_EQ(test::fileText(out2), "connection\n524541445900\n00000000\n--\n"
                                    "connection\n524541445900\n0a000000\n" +
                                        object +
                                        "\n--\n"
                                        "connection\n524541445900\n00000000\n--\n");
    EXPECT_EQ(test::fileText(out1), "connection\n524541445900\n00000000\n--\n"
                                    "connection\n524541445900\n02000000\n0a000000\n" +
                                        object +
                                        "\n--\n"
                                        "connection\n524541445900\n--\n");
}

TEST_F(PipeChannel, PlainReaderDeliversObjectsNullsAndControls) {
    EndpointPair& pair = newPair(u"plain", dir.path());
    pair.endpoint2.deliverId = 7;
    ASSERT_TRUE(startReceiver(pair, 2, dir.path(), u"unused"));
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(pair.endpoint2.name); }, 5000));

    const Text out = dir / u"sent.txt";
    ChildProcess sender;
    ASSERT_TRUE(test::startPeer(sender, {u"send", pair.endpoint2.name, out, kReadyHex, hexInt(10),
                                         hexBytes(kJavaString), u"/", kReadyHex, hexInt(-1), u"/", kReadyHex,
                                         hexInt(-2), u"/", kReadyHex, hexInt(-7), u"/", kReadyHex, hexInt(0)}));
    ASSERT_EQ(sender.wait(30000), 0);
    EXPECT_TRUE(test::waitUntil([] { return seen.deliveriesNow().size() >= 2; }, 5000));
    os::sleepMs(300);
    EXPECT_EQ(seen.deliveriesNow(), (std::vector<std::string>{"7 " + test::toHex(kJavaString), "7 null"}));
    std::lock_guard<std::mutex> guard(seen.lock);
    EXPECT_EQ(seen.quits, 1);
    EXPECT_EQ(seen.trays, 1);
}

// Hands an announced length to readPayload, then reads the message after it: what the payload
// reader consumed shows whether it judged the length before reading.
struct PayloadCheck {
    std::atomic<int> stop{0};
    std::mutex lock;
    std::vector<std::string> outcomes; // "accepted|refused <hex of the next message>"
};

bool checkPayload(PipeRef pipe, char*, std::size_t, void* data) {
    auto& check = *static_cast<PayloadCheck*>(data);
    std::int32_t size = 0;
    if (!readInt32(pipe, size)) return false;
    std::string bytes;
    const bool accepted = readPayload(pipe, size, bytes);
    char next[16] = {};
    const long got = readMessage(pipe, next, sizeof next);
    std::lock_guard<std::mutex> guard(check.lock);
    check.outcomes.push_back(std::string(accepted ? "accepted " : "refused ") +
                             (got < 0 ? std::string("none") : test::toHex(std::string_view(next, got))));
    return false;
}
void servePayloadCheck(PipeRef pipe, void* data) { serveExchange(pipe, 0, nullptr, checkPayload, data); }

TEST_F(PipeChannel, HostileClientsAreDroppedAndThePlainListenerGoesOn) {
    EndpointPair& pair = newPair(u"hostileplain", dir.path());
    ASSERT_TRUE(startReceiver(pair, 2, dir.path(), u"unused"));
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(pair.endpoint2.name); }, 5000));

    const Text out = dir / u"sent.txt";
    ChildProcess sender;
    ASSERT_TRUE(test::startPeer(sender, {u"send",
                                         pair.endpoint2.name,
                                         out,
                                         u"6e6f7065",
                                         hexInt(10),
                                         hexBytes(kJavaString), // no handshake
                                         u"/",
                                         kReadyHex,
                                         u"01", // a length of one byte
                                         u"/",
                                         kReadyHex,
                                         hexInt(0x7FFFFFFF),
                                         u"00", // far beyond the limit
                                         u"/",
                                         kReadyHex,
                                         hexInt(kObjectSizeLimit + 1),
                                         u"00", // just beyond it
                                         u"/",
                                         kReadyHex,
                                         hexInt(100),
                                         u"00112233445566778899", // a truncated payload
                                         u"/",
                                         kReadyHex,
                                         hexInt(4),
                                         u"0011223344556677", // a longer payload
                                         u"/",
                                         kReadyHex,
                                         hexInt(8), // no payload at all
                                         u"/",
                                         kReadyHex,
                                         hexInt(3),
                                         u"414243"})); // and a sound object
    ASSERT_EQ(sender.wait(30000), 0);
    EXPECT_TRUE(test::waitUntil([] { return !seen.deliveriesNow().empty(); }, 5000));
    os::sleepMs(300);
    EXPECT_EQ(seen.deliveriesNow(), (std::vector<std::string>{"-1 414243"}));
    {
        std::lock_guard<std::mutex> guard(seen.lock);
        EXPECT_EQ(seen.quits, 0);
        EXPECT_EQ(seen.trays, 0);
    }

    // The size cap itself: a length beyond it is refused before anything is read, so an announced
    // length never becomes memory the receiver sets aside. A cap-less reader would swallow the
    // payload message ("00") and leave the one after it ("7a") to be read next.
    const Text checked = test::uniquePipeName(u"payloadcap");
    auto* check = lasting(new PayloadCheck);
    ASSERT_TRUE(startPipeServer(checked, PipeAccess::CurrentUser, true, &check->stop, check, servePayloadCheck));
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(checked); }, 5000));
    ChildProcess capped;
    ASSERT_TRUE(test::startPeer(capped, {u"send", checked, dir / u"capped.txt", kReadyHex, hexInt(kObjectSizeLimit + 1),
                                         u"00", u"7a", u"/", kReadyHex, hexInt(0x7FFFFFFF), u"00", u"7a", u"/",
                                         kReadyHex, hexInt(3), u"414243", u"7a"}));
    ASSERT_EQ(capped.wait(30000), 0);
    EXPECT_TRUE(test::waitUntil(
        [&] {
            std::lock_guard<std::mutex> guard(check->lock);
            return check->outcomes.size() >= 3;
        },
        5000));
    check->stop = 1;
    PipeOpen outcome;
    PipeHandle wake = openPipe(checked, outcome);
    std::lock_guard<std::mutex> guard(check->lock);
    std::sort(check->outcomes.begin(), check->outcomes.end()); // connections may overlap
    EXPECT_EQ(check->outcomes, (std::vector<std::string>{"accepted 7a", "refused 00", "refused 00"}));
}

TEST_F(PipeChannel, TaggedReaderIgnoresUnknownTagsAndPointerEvents) {
    EndpointPair& pair = newPair(u"hostiletagged", dir.path());
    ASSERT_TRUE(startReceiver(pair, 1, dir.path(), u"unused"));
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(pair.endpoint1.name); }, 5000));

    const Text out = dir / u"sent.txt";
    const Text deviceEvent = hexInt(0x219) + hexInt(0x8000) + hexInt(0x00401000);
    const Text displayEvent = hexInt(0x7E) + hexInt(32) + hexInt(0x03000400);
    ChildProcess sender;
    ASSERT_TRUE(
        test::startPeer(sender, {u"send", pair.endpoint1.name, out,        kReadyHex,    hexInt(7), // unknown tag
                                 u"/",    kReadyHex,           hexInt(0),                           // a probe
                                 u"/",    kReadyHex,           hexInt(-1), // a control meant for endpoint 2
                                 u"/",    kReadyHex,           hexInt(1),  deviceEvent, // an event with a pointer
                                 u"/",    kReadyHex,           hexInt(1),  u"7e000000", // a short event
                                 u"/",    kReadyHex,           hexInt(2),  hexInt(-5),   u"00", // a negative length
                                 u"/",    kReadyHex,           hexInt(2),  hexInt(0),           // an empty object
                                 u"/",    kReadyHex,           hexInt(1),  displayEvent,        // the display change
                                 u"/",    kReadyHex,           hexInt(2),  hexInt(3),    u"78797a"})); // a sound object
    ASSERT_EQ(sender.wait(30000), 0);
    EXPECT_TRUE(test::waitUntil([] { return !seen.deliveriesNow().empty(); }, 5000));
    os::sleepMs(300);
    EXPECT_EQ(seen.deliveriesNow(), (std::vector<std::string>{"-1 78797a"}));
    std::lock_guard<std::mutex> guard(seen.lock);
    EXPECT_EQ(seen.events, (std::vector<std::string>{"126 32 50332672"}));
    EXPECT_EQ(seen.quits, 0);
}

// A listener of this process that answers every exchange with `tag`.
struct TagServer {
    std::atomic<int> stop{0};
    std::atomic<int> handled{0};
    std::int32_t tag = 0;
};

bool answerTag(PipeRef, char* reply, std::size_t size, void* data) {
    auto& server = *static_cast<TagServer*>(data);
    ++server.handled;
    for (std::size_t i = 0; i < size && i < 4; ++i)
        reply[i] = static_cast<char>(static_cast<std::uint32_t>(server.tag) >> (8 * i));
    return true;
}
void serveTag(PipeRef pipe, void* data) { serveExchange(pipe, 4, nullptr, answerTag, data); }

bool readReply(PipeRef pipe, void* data) { return readInt32(pipe, *static_cast<std::int32_t*>(data)); }
int replyOf(void* data) { return *static_cast<std::int32_t*>(data); }
int askTag(const Text& name) {
    std::int32_t reply = 0;
    return pipeExchange(name, nullptr, nullptr, readReply, &reply, replyOf);
}

void stopServer(TagServer& server, const Text& name) {
    server.stop = 1;
    PipeOpen outcome;
    PipeHandle wake = openPipe(name, outcome);
}

TEST_F(PipeChannel, ProbesCallNoHandlerAndStoppingEndsAListenerWaitingForClients) {
    const Text name = test::uniquePipeName(u"probe");
    auto* server = lasting(new TagServer);
    server->tag = 42;
    ASSERT_TRUE(startPipeServer(name, PipeAccess::CurrentUser, true, &server->stop, server, serveTag));
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(name); }, 5000));

    ChildProcess prober;
    ASSERT_TRUE(test::startPeer(prober, {u"probe", name}));
    EXPECT_EQ(prober.wait(20000), 1) << "the peer sees the name served";
    os::sleepMs(300);
    EXPECT_EQ(server->handled, 0) << "a probe is a connection without handshake";

    const Text out = dir / u"replies.txt";
    ChildProcess client;
    ASSERT_TRUE(test::startPeer(client, {u"send", name, out, kReadyHex, u"?"}));
    ASSERT_EQ(client.wait(20000), 0);
    EXPECT_EQ(test::fileText(out), "reply 2a000000\ndone\n");
    EXPECT_EQ(server->handled, 1);

    stopServer(*server, name);
    EXPECT_TRUE(test::waitUntil([&] { return !pipeIsServed(name); }, 1000)) << "the listener ended";
    ChildProcess late;
    ASSERT_TRUE(test::startPeer(late, {u"probe", name}));
    EXPECT_EQ(late.wait(20000), 0);
}

TEST_F(PipeChannel, SecondListenerWaitsAtTheGateAndTakesOverWhenTheFirstEnds) {
    const Text name = test::uniquePipeName(u"gate");
    const Text out = dir / u"first.txt";
    ChildProcess first;
    ASSERT_TRUE(test::startPeer(first, {u"serve", name, u"user", u"7", out}));
    ASSERT_TRUE(test::waitReady(out));

    auto* second = lasting(new TagServer);
    second->tag = 9;
    ASSERT_TRUE(startPipeServer(name, PipeAccess::CurrentUser, true, &second->stop, second, serveTag));
    os::sleepMs(700);
    EXPECT_EQ(askTag(name), 7);
    EXPECT_EQ(askTag(name), 7) << "the first listener keeps the name";
    EXPECT_EQ(second->handled, 0);

    first.kill();
    const auto ended = std::chrono::steady_clock::now();
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(name); }, 5000));
    const auto tookOver = std::chrono::steady_clock::now() - ended;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(tookOver).count(), 1500);
    EXPECT_EQ(askTag(name), 9);
    stopServer(*second, name);
}

TEST_F(PipeChannel, ReceiverRefusesAServedNameAndStopsWhenAsked) {
    const Text app = test::uniqueAppName(u"refuse");
    const Text out = dir / u"peer.txt";
    ChildProcess other;
    ASSERT_TRUE(test::startPeer(other, {u"pump", u"2", dir.path(), app, out, u"600000"}));
    ASSERT_TRUE(test::waitReady(out));

    auto* pair = lasting(new EndpointPair);
    initEndpoint(pair->endpoint1, kServiceUi1Pipe, PipeAccess::CurrentUser, recordingHooks());
    initEndpoint(pair->endpoint2, kServiceUi2Pipe, PipeAccess::CurrentUser, recordingHooks());
    pair->endpoint2.refuseIfServed = 1;
    EXPECT_FALSE(startReceiver(*pair, 2, dir.path(), app));

    other.kill();
    ASSERT_TRUE(test::waitUntil([&] { return !pipeIsServed(pair->endpoint2.name); }, 5000));
    ASSERT_TRUE(startReceiver(*pair, 2, dir.path(), app));
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(pair->endpoint2.name); }, 5000));
    const auto asked = std::chrono::steady_clock::now();
    stopEndpoint(pair->endpoint2);
    EXPECT_TRUE(test::waitUntil([&] { return !pipeIsServed(pair->endpoint2.name); }, 2000));
    const auto stopped = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(stopped).count(), 1000);
}

TEST_F(PipeChannel, PumpCarriesObjectsBothWaysBetweenTwoProcesses) {
    const Text app = test::uniqueAppName(u"pump");
    const std::string fromPeer("\xAC\xED\x00\x05\x74\x00\x04peer", 10);
    const Text out = dir / u"peer.txt";
    ChildProcess other; // the second side: serves endpoint 2, sends tagged to endpoint 1
    ASSERT_TRUE(test::startPeer(other, {u"pump", u"2", dir.path(), app, out, u"0", hexBytes(fromPeer)}));

    auto* pair = lasting(new EndpointPair);
    initEndpoint(pair->endpoint1, kServiceUi1Pipe, PipeAccess::CurrentUser, recordingHooks());
    initEndpoint(pair->endpoint2, kServiceUi2Pipe, PipeAccess::CurrentUser, recordingHooks());
    pair->endpoint1.startDelayMs = pair->endpoint2.startDelayMs = 0;
    {
        std::lock_guard<std::mutex> guard(seen.lock);
        seen.toSend = {kJavaString};
    }
    ASSERT_TRUE(startReceiver(*pair, 1, dir.path(), app));
    ASSERT_TRUE(startSender(*pair, 1, dir.path(), app));

    // The first probe towards endpoint 2 reaches the peer as a null object; probes towards
    // endpoint 1 deliver nothing here.
    const std::vector<std::string> peerSaw = test::waitForLines(out, 2);
    EXPECT_EQ(peerSaw, (std::vector<std::string>{"deliver -1 null", "deliver -1 " + test::toHex(kJavaString)}));
    EXPECT_TRUE(test::waitUntil([] { return !seen.deliveriesNow().empty(); }, 10000));
    EXPECT_EQ(seen.deliveriesNow(), (std::vector<std::string>{"-1 " + test::toHex(fromPeer)}));

    ChildProcess control;
    ASSERT_TRUE(test::startPeer(control, {u"control", dir.path(), app, u"-1"}));
    EXPECT_EQ(control.wait(20000), 0);
    ASSERT_TRUE(test::startPeer(control, {u"control", dir.path(), app, u"-2"}));
    EXPECT_EQ(control.wait(20000), 0);
    ASSERT_TRUE(test::startPeer(control, {u"event", dir.path(), app, u"126", u"16", u"50332672"}));
    EXPECT_EQ(control.wait(20000), 0);
    EXPECT_EQ(test::waitForLines(out, 4),
              (std::vector<std::string>{"deliver -1 null", "deliver -1 " + test::toHex(kJavaString), "quit", "tray"}));
    EXPECT_TRUE(test::waitUntil([] { return !seen.eventsNow().empty(); }, 5000));
    EXPECT_EQ(seen.eventsNow(), (std::vector<std::string>{"126 16 50332672"}));
    stopPair(*pair);
    EXPECT_FALSE(pipeIsServed(pair->endpoint1.name));
}

std::atomic<int> queries{0};
bool countQuery(void*, int) {
    ++queries;
    return false;
}

TEST_F(PipeChannel, SenderAsksTheApplicationAtMostEveryHalfSecond) {
    EndpointPair& pair = newPair(u"poll", dir.path());
    pair.endpoint2.startDelayMs = 0;
    pair.endpoint1.hooks.query = countQuery;
    ASSERT_TRUE(startReceiver(pair, 2, dir.path(), u"unused"));
    ASSERT_TRUE(startSender(pair, 1, dir.path(), u"unused"));
    ASSERT_TRUE(test::waitUntil([] { return queries > 0; }, 10000)) << "the probe was answered";
    const int before = queries;
    os::sleepMs(2000);
    const int during = queries - before;
    EXPECT_GE(during, 2);
    EXPECT_LE(during, 5) << "a query that answers no must not be asked at full speed";
    stopPair(pair);
    os::sleepMs(600);
    const int after = queries;
    os::sleepMs(1000);
    EXPECT_EQ(queries, after) << "the stopped sender asks no more";
}

bool failingWriter(PipeRef, void*) { return false; }

TEST_F(PipeChannel, ExchangesReportFailureHonestly) {
    const Text name = test::uniquePipeName(u"honest");
    EXPECT_EQ(pipeExchange(name, nullptr, nullptr), 0) << "nobody serves the name";
    auto* server = lasting(new TagServer);
    ASSERT_TRUE(startPipeServer(name, PipeAccess::CurrentUser, true, &server->stop, server, serveTag));
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(name); }, 5000));
    EXPECT_EQ(pipeExchange(name, failingWriter, nullptr), 0) << "a writer that failed fails the exchange";
    EXPECT_EQ(pipeExchange(name, nullptr, nullptr), 1);
    auto* nameless = lasting(new PipeEndpoint);
    EXPECT_EQ(sendControl(*nameless, kQuitControl), 0) << "an endpoint whose name was never built";
    stopServer(*server, name);
}

TEST_F(PipeChannel, OverlongNamesAreShortenedAndStillServed) {
    Text directory = dir.path();
    while (directory.size() < 400) {
        directory.push_back(os::kPathSeparator);
        directory += u"a long installation directory";
    }
    const Text name = buildPipeName(kOneInstancePipe, directory, u"Demo", true, -1, -1);
    EXPECT_EQ(name.size(), kPipeNameLimit);
    auto* server = lasting(new TagServer);
    server->tag = 5;
    ASSERT_TRUE(startPipeServer(name, PipeAccess::CurrentUser, true, &server->stop, server, serveTag));
    ASSERT_TRUE(test::waitUntil([&] { return pipeIsServed(name); }, 5000));
    const Text out = dir / u"replies.txt";
    ChildProcess client;
    ASSERT_TRUE(test::startPeer(client, {u"send", name, out, kReadyHex, u"?"}));
    ASSERT_EQ(client.wait(20000), 0);
    EXPECT_EQ(test::fileText(out), "reply 05000000\ndone\n");
    stopServer(*server, name);
}

} // namespace
} // namespace tavrelo
