// serviceGetInfo's String[] read into the service record: failure actions, their reverse form,
// the failure command and the dependency multi-string.
#include "fuzz.h"
#include "service/service.h"

using namespace tavrelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Elements separated by line feeds, a lone U+FFFF standing for a null element.
    const Text text = fuzz::unitsOf(data, size);
    ServiceInfoElements elements;
    std::size_t start = 0;
    while (start <= text.size() && elements.size() < kServiceInfoElements) {
        const std::size_t feed = std::min(text.find(u'\n', start), text.size());
        Text piece = text.substr(start, feed - start);
        elements.push_back(piece == u"\uFFFF" ? std::nullopt : std::optional<Text>(std::move(piece)));
        start = feed + 1;
    }
    const ServiceInfo info = parseServiceInfo(elements);
    FUZZ_CHECK(info.resetPeriod >= -1);

    const std::vector<FailureAction> actions = failureActions(info);
    FUZZ_CHECK(actions.empty() || (actions.size() >= 3 && actions.back().type == kFailureNone));
    // A command: the program in quotes, then its arguments as written; it always runs.
    if (const Text command = failureCommand(info); !command.empty()) {
        FUZZ_CHECK(!actions.empty() && command.front() == u'"' && command.ends_with(u" " + info.failureArguments));
        FUZZ_CHECK(command.size() == info.failureProgram.size() + info.failureArguments.size() + 1 ||
                   command.size() == info.failureProgram.size() + info.failureArguments.size() + 3);
    }
    // The reverse form reads back as the same actions, delays in whole seconds.
    const FailureActionText reverse = reverseForm(actions);
    const std::vector<FailureAction> again = failureActions(reverse.types, reverse.delays, false);
    FUZZ_CHECK(again.size() >= actions.size());
    for (std::size_t i = 0; i < actions.size(); ++i) {
        FUZZ_CHECK(actions[i].type >= kFailureNone && actions[i].type <= kFailureRun);
        FUZZ_CHECK(again[i].type == actions[i].type && again[i].delayMs == actions[i].delayMs / 1000 * 1000);
    }

    // The multi-string: names each ended by one NUL, the list by one more; no empty name ends it early.
    const Text list = dependencyList(info.dependencies);
    if (!list.empty()) {
        FUZZ_CHECK(list.size() >= 3 && list[list.size() - 1] == u'\0' && list[list.size() - 2] == u'\0');
        FUZZ_CHECK(list.find(Text(2, u'\0')) == list.size() - 2);
    }
    return 0;
}
