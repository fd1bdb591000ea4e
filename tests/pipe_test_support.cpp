#include "pipe_test_support.h"

#include <atomic>

#include "platform/os.h"

namespace tavrelo::test {

namespace {
std::atomic<int> pipeCounter{0};
}

Text uniqueAppName(TextView tag) {
    Text name = u"T";
    name += fromInt(static_cast<long long>(os::processId()));
    name += u"_";
    name += fromInt(pipeCounter++);
    name += u"_";
    name += tag;
    return name;
}

Text uniquePipeName(TextView tag) { return Text(u"\\\\.\\pipe\\TavreloTest_") + uniqueAppName(tag); }

bool startPeer(ChildProcess& peer, const std::vector<Text>& arguments) {
    return peer.start(besideTestProgram(u"pipe_peer"), arguments);
}

bool waitReady(const Text& out, unsigned timeoutMs) {
    return waitUntil([&] { return os::pathExists(out + u".ready"); }, timeoutMs);
}

std::vector<std::string> fileLines(const Text& path) {
    std::vector<std::string> lines;
    const std::string text = fileText(path);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::vector<std::string> waitForLines(const Text& path, std::size_t count, unsigned timeoutMs) {
    (void)waitUntil([&] { return fileLines(path).size() >= count; }, timeoutMs);
    return fileLines(path);
}

std::string toHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 0xF]);
    }
    return out;
}

Text hexBytes(std::string_view bytes) { return fromUtf8(toHex(bytes)); }

Text hexInt(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    const char bytes[4] = {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
                           static_cast<char>((bits >> 16) & 0xFF), static_cast<char>(bits >> 24)};
    return hexBytes(std::string_view(bytes, 4));
}

} // namespace tavrelo::test
