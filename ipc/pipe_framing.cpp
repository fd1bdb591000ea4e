#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "ipc/pipes.h"

namespace tavrelo {

namespace {
std::atomic<void (*)()> threadEndingHook{nullptr};
std::atomic<void (*)()> quitHook{nullptr};
std::atomic<void (*)()> trayHook{nullptr};
std::atomic<void (*)(unsigned, std::uintptr_t, std::intptr_t)> eventHook{nullptr};
std::atomic<unsigned long> parentProcess{0};
} // namespace

void setPipeParentProcess(unsigned long processId) noexcept { parentProcess = processId; }
unsigned long pipeParentProcess() noexcept { return parentProcess; }

void setPipeProcessHooks(const PipeProcessHooks& hooks) noexcept {
    threadEndingHook = hooks.threadEnding;
    quitHook = hooks.quit;
    trayHook = hooks.reAddTrayIcon;
    eventHook = hooks.dispatchEvent;
}

PipeProcessHooks pipeProcessHooks() noexcept {
    PipeProcessHooks hooks;
    hooks.threadEnding = threadEndingHook;
    hooks.quit = quitHook;
    hooks.reAddTrayIcon = trayHook;
    hooks.dispatchEvent = eventHook;
    return hooks;
}

bool writeInt32(PipeRef pipe, std::int32_t value) noexcept {
    const auto bits = static_cast<std::uint32_t>(value);
    const unsigned char bytes[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                                    static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
    return writeMessage(pipe, bytes, sizeof bytes);
}

bool readInt32(PipeRef pipe, std::int32_t& value) noexcept {
    unsigned char buffer[400] = {};
    if (readMessage(pipe, buffer, sizeof buffer) < 4) return false;
    value = static_cast<std::int32_t>(buffer[0] | (buffer[1] << 8) | (buffer[2] << 16) |
                                      (static_cast<std::uint32_t>(buffer[3]) << 24));
    return true;
}

bool readPayload(PipeRef pipe, std::int32_t size, std::string& bytes) noexcept {
    bytes.clear();
    if (size <= 0 || size > kObjectSizeLimit) return false;
    // One byte more than announced tells a longer message from an exact one. The buffer is not
    // cleared first: a peer announcing the limit and sending a byte costs no 16 MiB of writing.
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<std::size_t>(size) + 1]);
    if (!buffer || readMessage(pipe, buffer.get(), static_cast<std::size_t>(size) + 1) != size) return false;
    try {
        bytes.assign(buffer.get(), static_cast<std::size_t>(size));
    } catch (...) {
        return false;
    }
    return true;
}

} // namespace tavrelo
