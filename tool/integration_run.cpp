#include <iterator>

#include "platform/os.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {

constexpr unsigned kHandOverWaitMs = 500;
// A launcher that handed its files over may still hold its own file for a while under load.
constexpr unsigned kHeldTargetRetryMs = 5000;
constexpr unsigned kRetryStepMs = 100;

struct JobTarget {
    const std::optional<Text> IntegrationJob::*field;
    TargetKind kind;
};
constexpr JobTarget kJobTargets[] = {{&IntegrationJob::exeTarget, TargetKind::Executable},
                                     {&IntegrationJob::cplTarget, TargetKind::Applet},
                                     {&IntegrationJob::scrTarget, TargetKind::ScreenSaver}};

bool openedInTime(TextView file, bool retry) {
    unsigned waited = 0;
    while (!canOpenExclusively(file)) {
        if (!retry || waited >= kHeldTargetRetryMs) return false;
        os::sleepMs(kRetryStepMs);
        waited += kRetryStepMs;
    }
    return true;
}

} // namespace

bool isLauncherFile(TextView file, bool* sibling) {
    const auto name = deliveryNameOf(file);
    return name && isShippedName(*name, sibling);
}

bool isShippedName(TextView name, bool* sibling) noexcept {
    for (std::size_t i = 0; i < std::size(kShippedNames); ++i) {
        if (name != kShippedNames[i]) continue;
        if (sibling) *sibling = i < 2;
        return true;
    }
    return false;
}

void prepareRun(const IntegrationJob& job) {
    if (job.info) os::sleepMs(kHandOverWaitMs);
    for (const JobTarget& target : kJobTargets)
        if (const auto& path = job.*target.field; path && !isLauncherFile(*path, nullptr))
            showMessage(kMessageNotALauncher, kBoxOk);
}

RunOutcome writeIntegration(const IntegrationJob& job, const LoadedSources& sources) {
    RunOutcome outcome;
    recordSources(outcome, job, sources);
    std::vector<PlanTarget> targets;
    for (const JobTarget& target : kJobTargets) {
        const auto& given = job.*target.field;
        if (!given) continue;
        PlanTarget planned{target.kind, {}, false};
        const auto path = existingTargetPath(*given);
        if (!path || !isLauncherFile(*path, &planned.siblingFamily)) {
            outcome.somethingFailed = true;
            continue;
        }
        if (!openedInTime(*path, job.info)) {
            showMessage(kMessageAlreadyOpen, kBoxWarning, {*path});
            outcome.somethingFailed = true;
            continue;
        }
        planned.path = *path;
        targets.push_back(std::move(planned));
    }
    const std::string manifest = job.adminGiven ? manifestTemplate(job.admin) : std::string();
    if (job.adminGiven && job.exeTarget && manifest.empty()) outcome.somethingFailed = true;
    for (const TargetUpdate& update : planWrites(job, sources, targets, manifest)) {
        Text reason;
        const bool committed = applyTargetUpdate(update, reason);
        if (!committed) presentMessage(u"System", reason, kBoxWarning);
        recordTargetResult(outcome, sources, update, committed);
    }
    return outcome;
}

RunOutcome runCommandLine(const IntegrationJob& job) {
    prepareRun(job);
    const LoadedSources sources = loadSources(job);
    if (const int problem = commandLineRunProblem(job)) {
        showMessage(problem, kBoxWarning);
        RunOutcome outcome;
        outcome.usageError = true;
        return outcome;
    }
    return writeIntegration(job, sources);
}

} // namespace tavrelo
