#include <algorithm>

#include "resources/resources.h"
#include "tool/pe_resources.h"
#include "tool/tool.h"

namespace tavrelo {

namespace {

ResourceKey keyOf(const ResourceType& type) {
    return type.name ? ResourceKey{Text(type.name), 0} : ResourceKey{{}, type.number};
}

bool sameKey(const ResourceKey& a, const ResourceKey& b) noexcept {
    return a.id == b.id && equalsIgnoreCase(a.name, b.name);
}

} // namespace

PeWriteStatus applyUpdateToProgram(std::string& file, const TargetUpdate& update) {
    std::vector<PeResource> resources;
    if (const PeStatus status = readPeResources(file, resources); status != PeStatus::Read)
        return status == PeStatus::NotAProgram ? PeWriteStatus::NotAProgram : PeWriteStatus::Damaged;
    const ResourceKey icon = keyOf(kIconResource), group = keyOf(kIconGroupResource);
    std::erase_if(resources, [&](const PeResource& kept) {
        if (kept.language != 0) return false;
        if (update.replaceIcons && (sameKey(kept.type, icon) || (sameKey(kept.type, group) &&
                                                                  sameKey(kept.name, {{}, kLauncherIconGroup}))))
            return true;
        return std::any_of(update.writes.begin(), update.writes.end(), [&](const ResourceWrite& write) {
            return sameKey(kept.type, keyOf(write.type)) && sameKey(kept.name, {{}, write.id});
        });
    });
    for (const ResourceWrite& write : update.writes) resources.push_back({keyOf(write.type), {{}, write.id}, 0, write.bytes});
    return replacePeResources(file, resources);
}

} // namespace tavrelo
