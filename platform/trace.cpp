#include "platform/trace.h"

#include <atomic>

#include "platform/failure.h"
#include "platform/os.h"
#include "platform/trace_sink.h"

namespace tavrelo {

namespace {

enum : int { kUnknown = 0, kOff = 1, kOn = 2 };
std::atomic<int> traceState{kUnknown};

} // namespace

bool tracing() noexcept {
    int state = traceState.load(std::memory_order_acquire);
    if (state == kUnknown) {
        try {
            const auto value = os::environmentValue(u"TAVRELO_DEBUG");
            state = value && !value->empty() ? kOn : kOff;
            if (state == kOn) openTraceSinks(*value);
        } catch (...) {
            state = kOff;
        }
        traceState.store(state, std::memory_order_release);
    }
    return state == kOn;
}

void traceLine(std::string_view line) noexcept {
    if (!tracing()) return;
    try {
        std::string out =
            "tavrelo[" + std::to_string(os::processId()) + "] +" + std::to_string(millisecondsSinceStart()) + " ms: ";
        out += line;
        out += '\n';
        writeTraceSinks(out);
    } catch (...) {
    }
}

void TracePart::appendTo(std::string& out) const {
    if (isNumber_)
        out += std::to_string(number_);
    else if (isWide_)
        out += toUtf8(wide_);
    else
        out += narrow_;
}

void traceParts(std::initializer_list<TracePart> parts) noexcept {
    try {
        std::string line;
        for (const TracePart& part : parts) part.appendTo(line);
        traceLine(line);
    } catch (...) {
    }
}

namespace {

// The system's text for the code without its line end ("" when it has none).
std::string systemText(unsigned long code) {
    std::string text = toUtf8(os::systemErrorDescription(code));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

std::string errorReason(unsigned long code) {
    std::string text = systemText(code);
    return "error " + std::to_string(code) + (text.empty() ? std::string() : ": " + text);
}

std::string failureReason(const os::Failure& failure) {
    std::string text = failure.code ? systemText(failure.code) : "no reason kept";
    if (!text.empty() && text.back() == '.') text.pop_back(); // Windows ends its texts with one
    if (text.empty()) text = "error";
    return std::string(failure.what) + ' ' + toUtf8(failure.path) + ": " + text + " (" + std::to_string(failure.code) +
           ')';
}

void traceFailure(std::string_view prefix) noexcept {
    if (!tracing()) return;
    try {
        traceLine(std::string(prefix) + failureReason(os::lastFailure()));
    } catch (...) {
    }
}

} // namespace tavrelo
