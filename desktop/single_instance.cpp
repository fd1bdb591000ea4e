#include "desktop/single_instance.h"

#include <bit>
#include <new>

#include "ipc/pipes.h"
#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

// Arguments cross as UTF-16LE, which is how the units lie in memory on every platform we build for.
static_assert(std::endian::native == std::endian::little);

constexpr std::size_t kArgumentBytes = 2048;

struct Decision {
    OneInstanceDecider decider;
    void* context;
};

} // namespace

bool readHandedArguments(PipeRef pipe, std::vector<Text>& arguments) {
    std::int32_t count = 0;
    if (!readInt32(pipe, count) || count < 0 || count > kMaxHandedArguments) return false;
    arguments.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        // Longer arguments are cut here; the rest of their message is read away, so the next
        // argument still arrives in its place.
        char16_t buffer[kArgumentBytes / 2] = {};
        const long got = readMessage(pipe, buffer, sizeof buffer - sizeof buffer[0]);
        if (got < 0) return false;
        // Taken as sent: quotes belong to the argument, and an empty one keeps its place.
        arguments.emplace_back(buffer, textLength(buffer)); // UTF-16LE is the units' own layout here
    }
    return true;
}

namespace {

bool answerNewStart(PipeRef pipe, char* reply, std::size_t replySize, void* data) {
    const auto& decision = *static_cast<const Decision*>(data);
    std::vector<Text> arguments;
    try {
        if (!readHandedArguments(pipe, arguments)) return false; // no answer: the new start runs
    } catch (...) {
        return false;
    }
    const bool takeOver = decision.decider(arguments, decision.context);
    if (replySize >= 4) {
        reply[0] = takeOver ? 1 : 0;
        reply[1] = reply[2] = reply[3] = 0;
    }
    return true;
}

void serveNewStart(PipeRef pipe, void* data) { serveExchange(pipe, 4, nullptr, answerNewStart, data); }

bool writeArguments(PipeRef pipe, void* data) {
    const auto& words = *static_cast<const std::vector<Text>*>(data);
    if (!writeInt32(pipe, static_cast<std::int32_t>(words.size()))) return false;
    for (const Text& word : words)
        if (!writeMessage(pipe, word.c_str(), (word.size() + 1) * sizeof(char16_t))) return false;
    return true;
}

bool readAnswer(PipeRef pipe, void* data) { return readInt32(pipe, *static_cast<std::int32_t*>(data)); }
int answerOf(void* data) { return *static_cast<const std::int32_t*>(data) != 0 ? 1 : 0; }

} // namespace

Text oneInstancePipeName(TextView launcherDirectory, TextView baseName) {
    return buildPipeName(kOneInstancePipe, launcherDirectory, baseName, true, -1, -1);
}

bool askRunningInstance(TextView launcherDirectory, TextView baseName, const std::vector<Text>& programArguments) {
    const Text name = oneInstancePipeName(launcherDirectory, baseName);
    if (!pipeIsServed(name)) return false;
    // The probe used up the server's listening instance; give it time for the next one.
    os::sleepMs(500);
    // More arguments than a running instance accepts make it refuse, and this start runs itself.
    std::vector<Text> arguments = programArguments;
    std::int32_t answer = 0;
    return pipeExchange(name, writeArguments, &arguments, readAnswer, &answer, answerOf) == 1;
}

SingleInstanceStart startSingleInstanceWith(TextView launcherDirectory, TextView baseName, OneInstanceDecider decider,
                                            void* context, bool takenOver) {
    if (!decider) return SingleInstanceStart::NotTakingPart;
    if (takenOver) return SingleInstanceStart::Quit;
    auto* decision = new (std::nothrow) Decision{decider, context}; // lives as long as the process
    if (!decision) return SingleInstanceStart::NotTakingPart;
    if (!startPipeServer(oneInstancePipeName(launcherDirectory, baseName), PipeAccess::CurrentUser, true, nullptr,
                         decision, serveNewStart)) {
        delete decision;
        return SingleInstanceStart::NotTakingPart;
    }
    return SingleInstanceStart::Serving;
}

} // namespace tavrelo
