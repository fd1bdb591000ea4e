#include "test_process.h"

#include <chrono>

#include "platform/os.h"

namespace tavrelo::test {

bool waitUntilImpl(bool (*condition)(void*), void* context, unsigned timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition(context)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        os::sleepMs(20);
    }
}

std::string fileText(const Text& path) {
    std::string bytes;
    return os::readFile(path, bytes) ? bytes : std::string();
}

Text besideTestProgram(TextView name) {
    Text self = os::moduleFileName(nullptr);
    const std::size_t cut = self.rfind(os::kPathSeparator);
    Text path = cut == Text::npos ? Text() : self.substr(0, cut + 1);
    path += name;
#ifdef _WIN32
    path += u".exe";
#endif
    return path;
}

} // namespace tavrelo::test
