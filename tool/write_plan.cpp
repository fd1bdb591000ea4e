#include <algorithm>

#include "resources/resources.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {

constexpr std::size_t kListUnits = 2047;

void addIcon(TargetUpdate& update, const IconFile& icon) {
    update.replaceIcons = true;
    int id = 1;
    for (const IconImage& image : icon.images) update.writes.push_back({kIconResource, id++, image.bytes});
    update.writes.push_back({kIconGroupResource, kLauncherIconGroup, iconGroupBytes(icon)});
    update.carries |= kCarriesIcon;
}

void appendEntry(Text& list, TextView path) {
    appendLimited(list, u"* ", kListUnits);
    appendLimited(list, path, kListUnits);
    appendLimited(list, u"\n\n", kListUnits);
}

} // namespace

std::vector<TargetUpdate> planWrites(const IntegrationJob& job, const LoadedSources& sources,
                                     const std::vector<PlanTarget>& targets, std::string_view manifestTemplate) {
    std::vector<PlanTarget> ordered(targets);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const PlanTarget& a, const PlanTarget& b) { return a.kind < b.kind; });
    Text configuration = sources.propertiesText;
    std::vector<TargetUpdate> updates;
    for (const PlanTarget& target : ordered) {
        const bool executable = target.kind == TargetKind::Executable;
        TargetUpdate update{target, false, {}, 0};
        if (sources.icon) addIcon(update, *sources.icon);
        if (executable && sources.imagePath) {
            update.writes.push_back({kBinResource, kBinSplashImage, sources.imageBytes});
            update.carries |= kCarriesImage;
        }
        if (sources.propertiesPath) {
            // The sibling family's text, once rewritten, is what the later targets receive too.
            if (target.siblingFamily) configuration = siblingConfiguration(configuration);
            update.writes.push_back({kBinResource, kBinConfiguration, scrambledTextBytes(configuration)});
            update.carries |= kCarriesProperties;
        }
        if (executable && job.adminGiven && !manifestTemplate.empty())
            update.writes.push_back({kManifestResource, kLauncherManifest, std::string(manifestTemplate)});
        for (std::size_t i = 0; i < sources.archives.size(); ++i)
            if (sources.archives[i])
                update.writes.push_back({kBinResource, kBinFirstArchive + static_cast<int>(i), *sources.archives[i]});
        if (!update.writes.empty()) updates.push_back(std::move(update));
    }
    return updates;
}

int commandLineRunProblem(const IntegrationJob& job) noexcept {
    const bool hasTarget = job.exeTarget || job.cplTarget || job.scrTarget;
    const bool hasSource = job.iconSource || job.imageSource || job.propertiesSource || !job.archives.empty() ||
                           (job.exeTarget && job.adminGiven);
    if (!hasSource) return kMessageNoSource;
    if (!hasTarget) return kMessageNoTarget;
    return 0;
}

void recordSources(RunOutcome& outcome, const IntegrationJob& job, const LoadedSources& sources) {
    const bool archiveLost = std::any_of(sources.archives.begin(), sources.archives.end(),
                                         [](const auto& archive) { return !archive; });
    if ((job.iconSource && !sources.icon) || (job.imageSource && !sources.imagePath) ||
        (job.propertiesSource && !sources.propertiesPath) || archiveLost)
        outcome.somethingFailed = true;
}

void recordTargetResult(RunOutcome& outcome, const LoadedSources& sources, const TargetUpdate& update, bool committed) {
    if (!committed) {
        outcome.somethingFailed = true;
        return;
    }
    outcome.writtenTargets.push_back(update.target.path);
    outcome.carried |= update.carries;
    outcome.writtenSources.clear();
    if ((outcome.carried & kCarriesIcon) && sources.icon) outcome.writtenSources.push_back(sources.icon->path);
    if ((outcome.carried & kCarriesImage) && sources.imagePath) outcome.writtenSources.push_back(*sources.imagePath);
    if ((outcome.carried & kCarriesProperties) && sources.propertiesPath)
        outcome.writtenSources.push_back(*sources.propertiesPath);
}

int exitStatus(const RunOutcome& outcome) noexcept {
    if (outcome.usageError) return kToolUsage;
    return outcome.somethingFailed ? kToolFailed : kToolSucceeded;
}

bool summaryDue(const IntegrationJob& job, const RunOutcome& outcome) noexcept {
    return job.info && !outcome.usageError && !outcome.writtenTargets.empty();
}

BuiltMessage summaryMessage(const RunOutcome& outcome) {
    Text sourceList;
    Text targetList;
    for (const Text& path : outcome.writtenSources) appendEntry(sourceList, path);
    for (const Text& path : outcome.writtenTargets) appendEntry(targetList, path);
    auto message = buildMessage(kMessageSummary, {sourceList, targetList});
    return message ? std::move(*message) : BuiltMessage{};
}

} // namespace tavrelo
