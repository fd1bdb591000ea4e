// The configuration watcher of the service process: what the application's serviceGetInfo
// answers while the service runs is applied to the registered service, group by group.
#include <windows.h>

#include <algorithm>

#include "bridge/bridge.h"
#include "platform/win_text.h"
#include "service/service.h"
#include "service/service_manager.h"

namespace tavrelo {

namespace {

constexpr unsigned kSliceMs = 100;

bool sleepWhile(unsigned periodMs, WatchCondition keepRunning) {
    for (unsigned slept = 0; slept < periodMs; slept += kSliceMs) {
        if (!keepRunning()) return false;
        Sleep(std::min(kSliceMs, periodMs - slept));
    }
    return keepRunning();
}

bool failureGroupDiffers(const ServiceInfo& a, const ServiceInfo& b) {
    return failureCommand(a) != failureCommand(b) || a.rebootMessage != b.rebootMessage ||
           reverseForm(failureActions(a)) != reverseForm(failureActions(b)) || a.resetPeriod != b.resetPeriod;
}

bool mentionsRestart(TextView words) {
    Text upper(words);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; });
    return upper.find(u"RESTART") != Text::npos;
}

// Each group on a handle of its own from a fresh connection to the manager; errors are not
// shown (nobody is there to see them).
class Change {
  public:
    Change(TextView name, DWORD access) : api_(serviceManagerApi()) {
        manager_.reset(api_.openSCManager(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (manager_) service_.reset(api_.openService(manager_.get(), wc(Text(name)), access));
    }
    [[nodiscard]] ScHandle service() const { return service_.get(); }

  private:
    const ServiceManagerApi& api_;
    ScmHandle manager_;
    ScmHandle service_;
};

void applyChanges(TextView name, const ServiceInfo& before, const ServiceInfo& now) {
    const ServiceManagerApi& api = serviceManagerApi();
    if (now.description != before.description) {
        Change change(name, SERVICE_CHANGE_CONFIG);
        Text text = now.description.value_or(Text());
        SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(wc(text))};
        if (change.service()) api.changeServiceConfig2(change.service(), SERVICE_CONFIG_DESCRIPTION, &description);
    }
    if (now.dependencies != before.dependencies) {
        Change change(name, SERVICE_CHANGE_CONFIG);
        Text list = dependencyList(now.dependencies);
        if (list.empty()) list.assign(2, u'\0'); // an empty list removes them
        if (change.service())
            api.changeServiceConfig(change.service(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                                    nullptr, nullptr, wc(list), nullptr, nullptr, nullptr);
    }
    if (now.displayName != before.displayName || now.autoStart != before.autoStart) {
        Change change(name, SERVICE_CHANGE_CONFIG);
        const Text display = now.displayName.value_or(Text(name));
        if (change.service())
            api.changeServiceConfig(change.service(), SERVICE_NO_CHANGE,
                                    now.autoStart ? SERVICE_AUTO_START : SERVICE_DEMAND_START, SERVICE_NO_CHANGE,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, wc(display));
    }
    if (now.acceptsStop != before.acceptsStop) updateAcceptedControls(now.acceptsStop);
    if (failureGroupDiffers(before, now)) {
        const DWORD access = SERVICE_CHANGE_CONFIG | (mentionsRestart(now.actionTypes) ? SERVICE_START : 0);
        Change change(name, access);
        if (change.service()) (void)applyFailureActions(change.service(), now);
    }
    if (now.delayedStart != before.delayedStart) {
        Change change(name, SERVICE_CHANGE_CONFIG);
        SERVICE_DELAYED_AUTO_START_INFO delayed{now.delayedStart ? TRUE : FALSE};
        if (change.service())
            api.changeServiceConfig2(change.service(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed);
    }
}

} // namespace

void watchServiceConfiguration(TextView serviceName, const ServiceInfo& initial, unsigned periodMs,
                               WatchCondition keepRunning) noexcept {
    try {
        ServiceInfo last = initial;
        while (sleepWhile(periodMs, keepRunning)) {
            // A method that threw or answered null says nothing about the configuration.
            const auto elements = readServiceInfoElements();
            if (!elements) continue;
            ServiceInfo now = parseServiceInfo(*elements);
            applyChanges(serviceName, last, now);
            last = std::move(now);
        }
    } catch (...) {
        // Out of memory: the registered configuration stays as it is.
    }
}

} // namespace tavrelo
