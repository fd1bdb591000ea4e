#include "pipe_load.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <random>
#include <string_view>
#include <vector>

#include "platform/os.h"
#include "platform/threads.h"

namespace tavrelo::load {

namespace {

using Clock = std::chrono::steady_clock;

unsigned msSince(Clock::time_point start) {
    return static_cast<unsigned>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Silent connections opened beyond the listener's limit on connection threads.
constexpr int kLimitProbes = 4;
// Enough free memory for the threads' caches and a run's rounding.
constexpr long long kMemorySlack = 1 << 20;

// The legitimate side: numbered objects supplied while sending, and what arrived.
struct Legit {
    std::mutex lock;
    bool sending = true;
    long next = 0;
    std::vector<long> received;
};

std::string objectBytes(long number) { return "object " + std::to_string(number) + std::string(300, '.'); }

bool legitQuery(void* context, int) {
    auto& legit = *static_cast<Legit*>(context);
    std::lock_guard<std::mutex> guard(legit.lock);
    return legit.sending;
}

bool legitSupply(void* context, int, std::string& bytes) {
    auto& legit = *static_cast<Legit*>(context);
    std::lock_guard<std::mutex> guard(legit.lock);
    if (!legit.sending) return false;
    bytes = objectBytes(legit.next++);
    return true;
}

void legitDeliver(void* context, int, const char* bytes, std::size_t size) {
    if (!bytes) return; // the sender's probe and "nothing to send" are null objects
    auto& legit = *static_cast<Legit*>(context);
    const std::string_view text(bytes, size);
    const long number = text.substr(0, 7) == "object " ? std::atol(std::string(text.substr(7, 12)).c_str()) : -1;
    std::lock_guard<std::mutex> guard(legit.lock);
    legit.received.push_back(objectBytes(number) == text ? number : -1);
}

PipeHandle openWithRetry(const Text& name) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        bool busy = false;
        (void)waitForPipe(name, busy);
        PipeOpen outcome = PipeOpen::Failed;
        PipeHandle pipe = openPipe(name, outcome);
        if (pipe) return pipe;
        os::sleepMs(10);
    }
    return PipeHandle();
}

// How long until the server dropped the connection; more than `limitMs` when it did not.
unsigned waitDropped(PipeRef pipe, unsigned limitMs) {
    const auto start = Clock::now();
    while (!connectionDropped(pipe)) {
        if (msSince(start) > limitMs) return limitMs + 1;
        os::sleepMs(10);
    }
    return msSince(start);
}

std::string le32(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
            static_cast<char>(bits >> 24)};
}

struct Run {
    const LoadPlan* plan;
    Text name;
    std::atomic<int> next{0};
    std::mutex lock;
    LoadFigures* figures;
};

void send(PipeRef pipe, const std::string& bytes) { (void)writeMessage(pipe, bytes.data(), bytes.size()); }

// One hostile connection of the kind its number picks.
void hostileConnection(Run& run, int number, std::minstd_rand& random) {
    PipeHandle pipe = openWithRetry(run.name);
    if (!pipe) {
        std::lock_guard<std::mutex> guard(run.lock);
        ++run.figures->openFailures;
        return;
    }
    const PipeRef p = pipe.get();
    const std::string handshake(kHandshake, sizeof kHandshake);
    std::string garbage(1 + random() % 3000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    bool stalls = false;
    switch (number % 8) {
    case 0:
        send(p, garbage);
        break; // no handshake
    case 1:
        send(p, handshake);
        send(p, le32(0x7FFFFFFF));
        send(p, garbage);
        break;
    case 2:
        send(p, handshake);
        send(p, le32(kObjectSizeLimit + 1));
        break;
    case 3:
        send(p, handshake);
        send(p, le32(1000));
        send(p, garbage.substr(0, 10));
        break; // truncated
    case 4:
        send(p, handshake);
        send(p, le32(4));
        send(p, std::string(8, 'x'));
        break; // too long
    case 5:
        stalls = true;
        break; // never writes
    case 6:
        send(p, handshake);
        send(p, le32(100));
        stalls = true;
        break; // stops mid-frame
    default:
        send(p, handshake);
        send(p, std::string(100000, 'R'));
        break; // one huge message
    }
    if (!stalls) return;
    const unsigned waited = waitDropped(p, kDropBoundMs);
    std::lock_guard<std::mutex> guard(run.lock);
    ++run.figures->stalled;
    run.figures->longestStallMs = std::max(run.figures->longestStallMs, waited);
    if (waited > kDropBoundMs) run.figures->allDropped = false;
}

void hostileClient(void* raw) {
    Run& run = *static_cast<Run*>(raw);
    std::minstd_rand random(static_cast<unsigned>(run.next.load() + 1));
    for (int number; (number = run.next.fetch_add(1)) < run.plan->connections;) {
        hostileConnection(run, number, random);
        std::lock_guard<std::mutex> guard(run.lock);
        ++run.figures->connections;
    }
}

// Silent connections up to the limit and beyond it: those beyond are closed at once, the others
// after their wait. A connection counts as closed at once when it was dropped within half the
// wait from its opening, so slow opening on a busy machine does not blur the two.
void probeLimit(const Text& name, LoadFigures& figures) {
    struct Probe {
        PipeHandle pipe;
        Clock::time_point opened;
        bool dropped = false;
    };
    std::vector<Probe> probes(kConnectionThreadLimit + kLimitProbes);
    for (Probe& probe : probes) {
        probe.pipe = openWithRetry(name);
        probe.opened = Clock::now();
        if (!probe.pipe) figures.allDropped = false;
    }
    figures.limitProbes = kLimitProbes;
    const auto start = Clock::now();
    for (std::size_t left = probes.size(); left > 0 && msSince(start) <= kDropBoundMs; os::sleepMs(10)) {
        for (Probe& probe : probes) {
            if (probe.dropped || (probe.pipe && !connectionDropped(probe.pipe.get()))) continue;
            probe.dropped = true;
            --left;
            if (msSince(probe.opened) < kConnectionWaitMs / 2) ++figures.closedAtOnce;
        }
    }
    for (const Probe& probe : probes)
        if (!probe.dropped) figures.allDropped = false;
}

bool waitFor(unsigned limitMs, const std::function<bool()>& done) {
    const auto start = Clock::now();
    while (!done()) {
        if (msSince(start) > limitMs) return false;
        os::sleepMs(10);
    }
    return true;
}

} // namespace

LoadFigures runPipeLoad(const LoadPlan& plan) {
    LoadFigures figures;
    static std::atomic<int> runs{0};
    const Text directory = u"load" + fromInt(static_cast<long long>(os::processId())) + u"_" + fromInt(runs++);
    figures.before = processCounts();
    const auto start = Clock::now();
    {
        auto* legit = new Legit;
        auto* pair = new EndpointPair;
        EndpointHooks hooks;
        hooks.context = legit;
        hooks.query = legitQuery;
        hooks.supply = legitSupply;
        hooks.deliver = legitDeliver;
        initEndpoint(pair->endpoint1, kServiceUi1Pipe, PipeAccess::Service, hooks);
        initEndpoint(pair->endpoint2, kServiceUi2Pipe, PipeAccess::Service, hooks);
        pair->endpoint2.startDelayMs = 0;
        if (!startReceiver(*pair, 2, directory, u"pipe_load") ||
            !waitFor(5000, [&] { return pipeIsServed(pair->endpoint2.name); }))
            return figures;
        probeLimit(pair->endpoint2.name, figures);
        if (!startSender(*pair, 1, directory, u"pipe_load")) return figures;

        Run run;
        run.plan = &plan;
        run.name = pair->endpoint2.name;
        run.figures = &figures;
        {
            std::vector<JoinableThread> clients(static_cast<std::size_t>(plan.clients));
            for (JoinableThread& client : clients)
                (void)client.start(hostileClient, &run);
        }
        // The listener and the sender stay; every connection thread ends.
        const auto drained = Clock::now();
        (void)waitFor(kDropBoundMs, [&] { return pair->liveThreads.load() <= 2; });
        figures.drainMs = msSince(drained);

        {
            std::lock_guard<std::mutex> guard(legit->lock);
            legit->sending = false;
        }
        (void)waitFor(10000, [&] {
            std::lock_guard<std::mutex> guard(legit->lock);
            return legit->received.size() >= static_cast<std::size_t>(legit->next);
        });
        const bool stopped = stopPair(*pair);
        {
            std::lock_guard<std::mutex> guard(legit->lock);
            figures.objectsSent = legit->next;
            figures.objectsDelivered = static_cast<long>(legit->received.size());
            for (std::size_t i = 0; i < legit->received.size(); ++i)
                if (legit->received[i] != static_cast<long>(i)) figures.inOrder = false;
        }
        if (!stopped) return figures; // threads still use them: they stay
        delete pair;
        delete legit;
    }
    figures.seconds = msSince(start) / 1000.0;
    // A thread that has done its last act may still be on its way out of the system.
    (void)waitFor(2000, [&] { return processCounts().threads <= figures.before.threads; });
    figures.after = processCounts();
    return figures;
}

std::string describe(const LoadFigures& f) {
    const auto counts = [](const ProcessCounts& c) {
        return std::to_string(c.threads) + " threads, " + std::to_string(c.handles) + " handles, " +
               std::to_string(c.memory) + " bytes";
    };
    return "limit: " + std::to_string(kConnectionThreadLimit) + " connection threads; " +
           std::to_string(f.closedAtOnce) + " of " + std::to_string(kConnectionThreadLimit + f.limitProbes) +
           " silent connections closed at once (" + std::to_string(f.limitProbes) +
           " beyond the limit), the others after their wait\n" + "hostile: " + std::to_string(f.connections) +
           " connections (" + std::to_string(f.openFailures) + " found no instance), " + std::to_string(f.stalled) +
           " stalled, the longest dropped after " + std::to_string(f.longestStallMs) + " ms (wait " +
           std::to_string(kConnectionWaitMs) + " ms, bound " + std::to_string(kDropBoundMs) + " ms" +
           (f.allDropped ? "" : ", NOT ALL DROPPED") + ")\n" + "drain: every connection thread ended " +
           std::to_string(f.drainMs) + " ms after the last client\n" + "legitimate: " + std::to_string(f.objectsSent) +
           " objects sent, " + std::to_string(f.objectsDelivered) + " delivered" +
           (f.inOrder ? ", in order" : ", OUT OF ORDER OR DAMAGED") + "\n" + "before: " + counts(f.before) +
           "\nafter:  " + counts(f.after) + "\n" + "time: " + std::to_string(f.seconds) + " s\n";
}

std::string problems(const LoadFigures& f) {
    std::string found;
    const auto check = [&](bool holds, const char* what) {
        if (!holds) found += std::string(found.empty() ? "" : "; ") + what;
    };
    check(f.closedAtOnce == f.limitProbes && f.limitProbes > 0,
          "the connections beyond the limit were not closed at once");
    check(f.allDropped, "a stalled connection outlived its bound");
    check(f.openFailures == 0, "a hostile client found no instance");
    check(f.drainMs <= kDropBoundMs, "connection threads outlived the clients");
    check(f.objectsSent > 0 && f.objectsDelivered == f.objectsSent && f.inOrder,
          "a legitimate object was lost or reordered");
    check(f.after.threads <= f.before.threads, "threads were left behind");
    check(f.after.handles <= f.before.handles, "handles were left behind");
    check(f.after.memory - f.before.memory <= kMemorySlack, "memory was left behind");
    return found;
}

} // namespace tavrelo::load
