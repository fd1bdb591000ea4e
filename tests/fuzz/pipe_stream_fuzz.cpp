// What a hostile peer writes to a pipe server, fed through the real readers over a connected
// socket pair: the record framing of messages, the length-announced objects of the pump and the
// argument list a new start hands to a running instance. Each reader's result is compared with
// the messages the peer's records make; the writer's messages read back as written.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "desktop/single_instance.h"
#include "fuzz.h"
#include "ipc/pipes.h"

using namespace tavrelo;

namespace {

struct Pair {
    int peer = -1, server = -1;
    Pair() {
        int ends[2];
        FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends) == 0);
        peer = ends[0];
        server = ends[1];
        ::fcntl(peer, F_SETFL, O_NONBLOCK); // a full buffer ends the peer's writing, never the run
    }
    void endPeer() { ::close(peer), peer = -1; }
    ~Pair() { ::close(server), peer >= 0 && ::close(peer); }
};

// The messages a reader must see: a record's first byte says whether more of the message follows;
// an empty record or the end of the stream inside a message ends the connection.
std::vector<std::string> messagesOf(const std::vector<std::string>& records) {
    std::vector<std::string> messages;
    std::string message;
    for (const std::string& record : records) {
        if (record.empty()) break;
        message += record.substr(1);
        if (record[0] == 0) messages.push_back(std::move(message)), message.clear();
    }
    return messages;
}

std::int32_t int32Of(const std::string& m) {
    return static_cast<std::int32_t>(static_cast<std::uint8_t>(m[0]) | (static_cast<std::uint8_t>(m[1]) << 8) |
                                     (static_cast<std::uint8_t>(m[2]) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<std::uint8_t>(m[3])) << 24));
}

struct Served {
    const std::vector<std::string>* messages;
    bool arguments;
    bool called = false;
};

// After the handshake: the arguments of a new start, or objects announced by their length.
bool checkServed(PipeRef pipe, char*, std::size_t, void* data) {
    auto& served = *static_cast<Served*>(data);
    const std::vector<std::string>& m = *served.messages;
    served.called = true;
    std::size_t next = 1;
    if (served.arguments) {
        std::vector<Text> got;
        const bool read = readHandedArguments(pipe, got);
        const std::int32_t count = m.size() > 1 && m[1].size() >= 4 ? int32Of(m[1]) : -1;
        const bool expected = count >= 0 && count <= kMaxHandedArguments && m.size() >= 2 + std::size_t(count);
        FUZZ_CHECK(read == expected && (!read || got.size() == std::size_t(count)));
        for (std::size_t i = 0; read && i < got.size(); ++i) {
            const std::string& bytes = m[2 + i];
            Text units;
            for (std::size_t b = 0; b < bytes.size() && b < 2 * kHandedArgumentUnits; b += 2) {
                const std::uint8_t high = b + 1 < bytes.size() ? static_cast<std::uint8_t>(bytes[b + 1]) : 0;
                units.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[b]) | (high << 8)));
            }
            FUZZ_CHECK(got[i] == Text(units.c_str()));
        }
        return false;
    }
    for (;;) {
        std::int32_t value = 0;
        const bool read = readInt32(pipe, value);
        FUZZ_CHECK(read == (next < m.size() && m[next].size() >= 4));
        if (!read) return false;
        FUZZ_CHECK(value == int32Of(m[next++]));
        if (value <= 0) continue;
        std::string bytes;
        const bool payload = readPayload(pipe, value, bytes);
        const bool fits = next < m.size() && value <= kObjectSizeLimit && m[next].size() == std::size_t(value);
        FUZZ_CHECK(payload == fits && (!payload || bytes == m[next]));
        if (next < m.size()) ++next;
        if (!payload) return false;
    }
}

// Messages through the real writer, read back with a capacity of their own.
void roundTrip(const std::uint8_t* data, std::size_t size) {
    Pair pair;
    std::vector<std::string> written;
    std::vector<std::size_t> capacities;
    for (std::size_t at = 0; at + 3 <= size;) {
        const std::size_t repeat = data[at], length = data[at + 1], capacity = data[at + 2];
        at += 3;
        std::string piece(reinterpret_cast<const char*>(data + at), std::min(length, size - at));
        at += piece.size();
        // Long messages cross in several records: the piece repeated, up to about 40,000 bytes.
        const std::size_t target =
            piece.empty() ? 0 : std::min(repeat * 97, (40000 + piece.size() - 1) / piece.size()) * piece.size();
        std::string message = target ? piece : std::string();
        while (!message.empty() && message.size() * 2 <= target) message += message;
        message.append(message, 0, target - message.size());
        if (!writeMessage(pair.peer, message.data(), message.size())) break;
        written.push_back(message);
        capacities.push_back(capacity * 61);
    }
    pair.endPeer();
    for (std::size_t i = 0; i < written.size(); ++i) {
        std::string buffer(capacities[i], '\0');
        const long got = readMessage(pair.server, buffer.data(), buffer.size());
        const std::size_t kept = std::min(written[i].size(), capacities[i]);
        FUZZ_CHECK(got == long(kept) && buffer.compare(0, kept, written[i], 0, kept) == 0);
    }
    FUZZ_CHECK(readMessage(pair.server, nullptr, 0) == -1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    if (data[0] % 3 == 0) return roundTrip(data + 1, size - 1), 0;

    // The peer's own records: a length byte, then that many bytes, the first the "more" flag.
    Pair pair;
    std::vector<std::string> records;
    for (std::size_t at = 1; at < size;) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        std::string record(reinterpret_cast<const char*>(data + at + 1), length);
        at += 1 + length;
        if (::send(pair.peer, record.data(), record.size(), MSG_DONTWAIT | MSG_NOSIGNAL) != ssize_t(record.size()))
            break;
        records.push_back(std::move(record));
    }
    pair.endPeer();
    const std::vector<std::string> messages = messagesOf(records);
    Served served{&messages, data[0] % 3 == 2};
    serveExchange(pair.server, 0, nullptr, checkServed, &served);
    const bool handshake = !messages.empty() && messages[0].size() >= sizeof kHandshake &&
                           std::memcmp(messages[0].data(), kHandshake, sizeof kHandshake) == 0;
    FUZZ_CHECK(served.called == handshake);
    return 0;
}
