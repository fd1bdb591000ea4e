// The other process of the pipe tests. It plays, by its first argument:
//   record <name> <out> <connections>   a raw server writing every message it gets, in hex
//   send <name> <out> <item>...         a raw client: hex messages, "?" reads one, "/" reconnects
//   serve <name> <user|service> <tag> <out>  a gated server answering every exchange with <tag>
//   probe <name>                        exit 1 when the name is served
//   pump <side> <dir> <app> <out> <delay> <hex object>...  one side of an endpoint pair
//   control <dir> <app> <value>         sends a control value to endpoint 2 of that pair
//   event <dir> <app> <code> <w> <l>    forwards a window event to endpoint 1 of that pair
//   one-instance <dir> <base> <out> <answer>  a running instance answering new starts
//   ask <dir> <base> <arguments...>     exit 10 when a running instance took the arguments
//   squat <name> <out>                  (Windows) holds the name open to everybody
// Servers write "<out>.ready" once they serve, and end by themselves after two minutes.
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "desktop/single_instance.h"
#include "ipc/pipes.h"
#include "platform/os.h"
#ifdef _WIN32
#include "platform/system.h"
#include "platform/win_text.h"
#endif

namespace tavrelo {
namespace {

constexpr unsigned kLifetimeMs = 120000;
std::mutex outputLock;

void append(const Text& path, const std::string& text) {
    std::lock_guard<std::mutex> lock(outputLock);
#ifdef _WIN32
    std::FILE* file = _wfopen(wc(path), L"ab");
#else
    std::FILE* file = std::fopen(toUtf8(path).c_str(), "ab");
#endif
    if (!file) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

void appendLine(const Text& path, const std::string& line) { append(path, line + "\n"); }

void markReady(const Text& out) { (void)os::writeFile(out + u".ready", "ready"); }

std::string hex(const char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[static_cast<unsigned char>(bytes[i]) >> 4]);
        out.push_back(kDigits[static_cast<unsigned char>(bytes[i]) & 0xF]);
    }
    return out;
}

std::string unhex(const Text& text) {
    std::string out;
    auto value = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return 0;
    };
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<char>(value(text[i]) * 16 + value(text[i + 1])));
    return out;
}

void waitServed(const Text& name, const Text& out) {
    for (int i = 0; i < 1000 && !pipeIsServed(name); ++i)
        os::sleepMs(20);
    markReady(out);
}

int live() {
    os::sleepMs(kLifetimeMs);
    return 0;
}

int record(const std::vector<Text>& args) {
    const Text& name = args.at(0);
    const Text& out = args.at(1);
    const int connections = toInt(args.at(2));
    PipeListener listener;
    if (!listener.open(name, PipeAccess::CurrentUser)) return 3;
    markReady(out);
    std::string buffer(1 << 20, '\0');
    for (int done = 0; done < connections;) {
        PipeHandle connection = listener.accept();
        if (!connection) continue;
        std::string block = "connection\n";
        for (long got = 0; (got = readMessage(connection.get(), buffer.data(), buffer.size())) >= 0;)
            block += hex(buffer.data(), static_cast<std::size_t>(got)) + "\n";
        append(out, block + "--\n");
        ++done;
    }
    return 0;
}

int send(const std::vector<Text>& args) {
    const Text& name = args.at(0);
    const Text& out = args.at(1);
    std::vector<std::vector<Text>> connections(1);
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == u"/")
            connections.emplace_back();
        else
            connections.back().push_back(args[i]);
    }
    std::string buffer(1 << 20, '\0');
    for (const auto& items : connections) {
        PipeHandle pipe;
        for (int attempt = 0; attempt < 500 && !pipe; ++attempt) {
            bool busy = false;
            (void)waitForPipe(name, busy);
            PipeOpen outcome = PipeOpen::Failed;
            pipe = openPipe(name, outcome);
            if (!pipe) os::sleepMs(20);
        }
        if (!pipe) {
            appendLine(out, "open failed");
            return 4;
        }
        for (const Text& item : items) {
            if (item == u"?") {
                const long got = readMessage(pipe.get(), buffer.data(), buffer.size());
                appendLine(out, got < 0 ? "reply none" : "reply " + hex(buffer.data(), static_cast<std::size_t>(got)));
            } else {
                const std::string bytes = unhex(item);
                if (!writeMessage(pipe.get(), bytes.data(), bytes.size())) appendLine(out, "write failed");
            }
        }
        flushPipe(pipe.get());
        os::sleepMs(300);
    }
    appendLine(out, "done");
    return 0;
}

struct ServeData {
    std::int32_t tag;
    Text out;
};

bool answerTag(PipeRef, char* reply, std::size_t size, void* raw) {
    const auto& data = *static_cast<const ServeData*>(raw);
    appendLine(data.out, "hit");
    for (std::size_t i = 0; i < size && i < 4; ++i)
        reply[i] = static_cast<char>(static_cast<std::uint32_t>(data.tag) >> (8 * i));
    return true;
}

void serveTag(PipeRef pipe, void* data) { serveExchange(pipe, 4, nullptr, answerTag, data); }

int serve(const std::vector<Text>& args) {
    static ServeData data{toInt(args.at(2)), args.at(3)};
    const PipeAccess access = args.at(1) == u"service" ? PipeAccess::Service : PipeAccess::CurrentUser;
    if (!startPipeServer(args.at(0), access, true, nullptr, &data, serveTag)) return 3;
    waitServed(args.at(0), data.out);
    return live();
}

struct PumpSide {
    std::mutex lock;
    std::deque<std::string> objects;
    Text out;
    int side = 0;
};
PumpSide pumpSide;

bool pumpQuery(void* raw, int) {
    auto& side = *static_cast<PumpSide*>(raw);
    std::lock_guard<std::mutex> lock(side.lock);
    return !side.objects.empty();
}

bool pumpSupply(void* raw, int, std::string& bytes) {
    auto& side = *static_cast<PumpSide*>(raw);
    std::lock_guard<std::mutex> lock(side.lock);
    if (side.objects.empty()) return false;
    bytes = side.objects.front();
    side.objects.pop_front();
    return true;
}

void pumpDeliver(void* raw, int deliverId, const char* bytes, std::size_t size) {
    const auto& side = *static_cast<const PumpSide*>(raw);
    appendLine(side.out, "deliver " + std::to_string(deliverId) + " " + (bytes ? hex(bytes, size) : "null"));
}

EndpointPair pair;

void initPair(TextView directory, TextView application) {
    EndpointHooks hooks;
    hooks.context = &pumpSide;
    hooks.query = pumpQuery;
    hooks.supply = pumpSupply;
    hooks.deliver = pumpDeliver;
    initEndpoint(pair.endpoint1, kServiceUi1Pipe, PipeAccess::CurrentUser, hooks);
    initEndpoint(pair.endpoint2, kServiceUi2Pipe, PipeAccess::CurrentUser, hooks);
    buildEndpointNames(pair, directory, application);
}

int pump(const std::vector<Text>& args) {
    pumpSide.side = toInt(args.at(0));
    pumpSide.out = args.at(3);
    for (std::size_t i = 5; i < args.size(); ++i)
        pumpSide.objects.push_back(args[i] == u"-" ? "" : unhex(args[i]));
    initPair(args.at(1), args.at(2));
    pair.endpoint1.startDelayMs = pair.endpoint2.startDelayMs = toInt(args.at(4));
    PipeProcessHooks hooks;
    hooks.quit = [] { appendLine(pumpSide.out, "quit"); };
    hooks.reAddTrayIcon = [] { appendLine(pumpSide.out, "tray"); };
    hooks.dispatchEvent = [](unsigned code, std::uintptr_t w, std::intptr_t l) {
        appendLine(pumpSide.out, "event " + std::to_string(code) + " " + std::to_string(w) + " " + std::to_string(l));
    };
    setPipeProcessHooks(hooks);
    if (!startReceiver(pair, pumpSide.side, args.at(1), args.at(2))) return 3;
    if (!startSender(pair, pumpSide.side, args.at(1), args.at(2))) return 4;
    waitServed(pumpSide.side == 1 ? pair.endpoint1.name : pair.endpoint2.name, pumpSide.out);
    return live();
}

int control(const std::vector<Text>& args) {
    initPair(args.at(0), args.at(1));
    return sendControl(pair.endpoint2, toInt(args.at(2))) ? 0 : 5;
}

int event(const std::vector<Text>& args) {
    initPair(args.at(0), args.at(1));
    return forwardEvent(pair.endpoint1, static_cast<unsigned>(toInt(args.at(2))),
                        static_cast<std::uintptr_t>(toInt(args.at(3))), toInt(args.at(4)))
               ? 0
               : 5;
}

struct OneInstance {
    Text out;
    bool answer;
};

bool decide(std::vector<Text>& arguments, void* raw) {
    const auto& instance = *static_cast<const OneInstance*>(raw);
    std::string lines = "args " + std::to_string(arguments.size()) + "\n";
    for (const Text& argument : arguments)
        lines += "arg " + toUtf8(argument) + "\n";
    append(instance.out, lines);
    return instance.answer;
}

int oneInstance(const std::vector<Text>& args) {
    static OneInstance instance{args.at(2), args.at(3) == u"1"};
    if (startSingleInstanceWith(args.at(0), args.at(1), decide, &instance, false) != SingleInstanceStart::Serving)
        return 3;
    waitServed(oneInstancePipeName(args.at(0), args.at(1)), instance.out);
    return live();
}

#ifdef _WIN32
int squat(const std::vector<Text>& args) {
    const Text& name = args.at(0);
    const OpenSecurity everybody = openToAllSecurity();
    HANDLE first =
        CreateNamedPipeW(wc(name), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                         PIPE_UNLIMITED_INSTANCES, 512, 512, 0, static_cast<SECURITY_ATTRIBUTES*>(everybody.get()));
    if (first == INVALID_HANDLE_VALUE) return 3;
    markReady(args.at(1));
    char buffer[1024];
    for (;;) {
        if (ConnectNamedPipe(first, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
            DWORD got = 0;
            while (ReadFile(first, buffer, sizeof buffer, &got, nullptr) || GetLastError() == ERROR_MORE_DATA)
                appendLine(args.at(1), "squatter got " + hex(buffer, got));
        }
        DisconnectNamedPipe(first);
    }
}
#endif

int run(const std::vector<Text>& all) {
    if (all.empty()) return 2;
    const Text& command = all[0];
    const std::vector<Text> args(all.begin() + 1, all.end());
    try {
        if (command == u"record") return record(args);
        if (command == u"send") return send(args);
        if (command == u"serve") return serve(args);
        if (command == u"probe") return pipeIsServed(args.at(0)) ? 1 : 0;
        if (command == u"pump") return pump(args);
        if (command == u"control") return control(args);
        if (command == u"event") return event(args);
        if (command == u"one-instance") return oneInstance(args);
        if (command == u"ask" && args.size() >= 2)
            return askRunningInstance(args[0], args[1], std::vector<Text>(args.begin() + 2, args.end())) ? 10 : 0;
#ifdef _WIN32
        if (command == u"squat") return squat(args);
#endif
    } catch (...) {
        return 2;
    }
    return 2;
}

} // namespace
} // namespace tavrelo

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<tavrelo::Text> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(tavrelo::tc(argv[i]));
    return tavrelo::run(args);
}
#else
int main(int argc, char** argv) {
    std::vector<tavrelo::Text> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(tavrelo::fromUtf8(argv[i]));
    return tavrelo::run(args);
}
#endif
