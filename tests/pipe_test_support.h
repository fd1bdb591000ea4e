// Helpers of the pipe tests: unique names, the peer process, hex messages and recorded lines.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/text.h"
#include "test_process.h"

namespace tavrelo::test {

// A pipe name no other test or run uses.
[[nodiscard]] Text uniquePipeName(TextView tag);
// A directory-like name part unique to this test.
[[nodiscard]] Text uniqueAppName(TextView tag);

// Starts the pipe peer program with these arguments.
bool startPeer(ChildProcess& peer, const std::vector<Text>& arguments);
// Waits until a serving peer wrote "<out>.ready".
bool waitReady(const Text& out, unsigned timeoutMs = 20000);
// The lines of a file (without line ends).
[[nodiscard]] std::vector<std::string> fileLines(const Text& path);
// Waits until the file holds at least `count` lines; its lines afterwards.
std::vector<std::string> waitForLines(const Text& path, std::size_t count, unsigned timeoutMs = 20000);

// Hex of a little-endian int32, of text bytes, and of the handshake.
[[nodiscard]] Text hexInt(std::int32_t value);
[[nodiscard]] Text hexBytes(std::string_view bytes);
inline constexpr char16_t kReadyHex[] = u"524541445900";

[[nodiscard]] std::string toHex(std::string_view bytes);

// Windows: the allowed entries of a live pipe's access list by whom they name ("user", "system",
// "administrators", "interactive", "other <account>"; "denied or other" for other entry kinds),
// rights combined. Opening the pipe for it is a connection without handshake.
[[nodiscard]] std::map<std::string, unsigned long> pipeAccess(const Text& name);

} // namespace tavrelo::test
