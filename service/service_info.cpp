#include <algorithm>
#include <array>

#include "service/service.h"

namespace tavrelo {

namespace {

constexpr std::size_t kMinimumActions = 3;
constexpr std::size_t kMutexNameLimit = 1024;

TextView element(const ServiceInfoElements& elements, std::size_t index) {
    return index < elements.size() && elements[index] ? TextView(*elements[index]) : TextView();
}

std::optional<Text> optionalElement(const ServiceInfoElements& elements, std::size_t index) {
    if (index < elements.size() && elements[index]) return *elements[index];
    return std::nullopt;
}

bool flag(const ServiceInfoElements& elements, std::size_t index, bool absent) {
    if (index >= elements.size() || !elements[index]) return absent;
    const TextView value = *elements[index];
    return value == u"1" || equalsIgnoreCase(value, u"true");
}

// The '/'-separated pieces of a text, empty ones included.
std::vector<TextView> pieces(TextView text) {
    std::vector<TextView> result;
    if (text.empty()) return result;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = text.find(u'/', start);
        result.push_back(text.substr(start, slash == TextView::npos ? TextView::npos : slash - start));
        if (slash == TextView::npos) return result;
        start = slash + 1;
    }
}

int actionTypeOf(TextView word) {
    if (equalsIgnoreCase(word, u"REBOOT")) return kFailureReboot;
    if (equalsIgnoreCase(word, u"RESTART")) return kFailureRestart;
    if (equalsIgnoreCase(word, u"RUN")) return kFailureRun;
    return kFailureNone;
}

} // namespace

ServiceInfo parseServiceInfo(const ServiceInfoElements& elements) {
    ServiceInfo info;
    info.displayName = optionalElement(elements, 0);
    info.description = optionalElement(elements, 1);
    info.autoStart = flag(elements, 2, true);
    info.acceptsStop = flag(elements, 3, false);
    info.failureProgram = Text(element(elements, 4));
    info.failureArguments = Text(element(elements, 5));
    info.dependencies = Text(element(elements, 6));
    info.actionTypes = Text(element(elements, 7));
    info.actionDelays = Text(element(elements, 8));
    info.resetPeriod = std::max(toInt(element(elements, 9)), -1);
    info.rebootMessage = optionalElement(elements, 10);
    info.delayedStart = flag(elements, 11, false);
    return info;
}

Text failureCommand(const ServiceInfo& info) {
    if (info.failureProgram.empty()) return Text();
    // Only the program's path takes backslashes: an argument such as "/quiet" is the program's
    // own business.
    Text program = info.failureProgram;
    std::replace(program.begin(), program.end(), u'/', u'\\');
    Text command = program.front() == u'"' ? program : u"\"" + program + u"\"";
    command += u' ';
    command += info.failureArguments;
    return command;
}

std::vector<FailureAction> failureActions(const ServiceInfo& info) {
    return failureActions(info.actionTypes, info.actionDelays, !failureCommand(info).empty());
}

std::vector<FailureAction> failureActions(TextView types, TextView delayTexts, bool withCommand) {
    std::vector<FailureAction> actions;
    const std::vector<TextView> delays = pieces(delayTexts);
    bool run = false;
    for (const TextView word : pieces(types)) {
        if (word.empty()) continue;
        FailureAction action;
        action.type = actionTypeOf(word);
        run = run || action.type == kFailureRun;
        if (actions.size() < delays.size()) {
            const long long ms = static_cast<long long>(std::max(toInt(delays[actions.size()]), 0)) * 1000;
            action.delayMs = static_cast<std::uint32_t>(std::min<long long>(ms, 0xFFFFFFFFLL));
        }
        actions.push_back(action);
    }
    if (withCommand && !run) actions.push_back({kFailureRun, 0});
    if (actions.empty()) return actions;
    actions.push_back({kFailureNone, 0});
    while (actions.size() < kMinimumActions) actions.push_back({kFailureNone, 0});
    return actions;
}

FailureActionText reverseForm(const std::vector<FailureAction>& actions) {
    static constexpr std::array<const char16_t*, 4> names{u"NONE", u"RESTART", u"REBOOT", u"RUN"};
    FailureActionText text;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (i > 0) {
            text.types += u'/';
            text.delays += u'/';
        }
        const int type = actions[i].type;
        text.types += names[type >= 0 && type < 4 ? static_cast<std::size_t>(type) : 0];
        text.delays += fromInt(actions[i].delayMs / 1000);
    }
    return text;
}

Text dependencyList(TextView dependencies) {
    Text list;
    for (const TextView name : pieces(dependencies)) {
        if (name.empty() || name.find(u'\0') != TextView::npos) continue;
        list += name;
        list += u'\0';
    }
    if (!list.empty()) list += u'\0';
    return list;
}

Text serviceCommandLine(TextView directory, TextView applicationName) {
    Text line = u"\"";
    line += directory;
    line += u'\\';
    line += applicationName;
    line += u".exe\" __RunService__";
    if (line.size() > kServiceCommandLineLimit - 1) line.resize(kServiceCommandLineLimit - 1);
    return line;
}

Text companionRunValueName(TextView serviceName) {
    Text name = u"Tavrelo_SVC_UI__" + Text(serviceName);
    if (name.size() > kMutexNameLimit - 1) name.resize(kMutexNameLimit - 1);
    return name;
}

Text companionMutexName(TextView serviceName) { return u"Local\\" + companionRunValueName(serviceName); }

unsigned stopTimeoutFrom(TextView optionString) noexcept {
    constexpr TextView option = u"-Dtavrelo.serviceStopTimeout=";
    unsigned result = kDefaultStopTimeoutMs;
    for (std::size_t at = 0; (at = optionString.find(option, at)) != TextView::npos; at += option.size()) {
        if (at > 0 && optionString[at - 1] != u' ' && optionString[at - 1] != u'"') continue;
        const int seconds = toInt(optionString.substr(at + option.size()));
        result = static_cast<unsigned>(std::clamp(seconds, 1, 3600)) * 1000u;
    }
    return result;
}

} // namespace tavrelo
