#include <cstdint>
#include <set>

#include "resources/resources.h"
#include "tool/pe_resources.h"

namespace tavrelo {

namespace {

constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kStringTypeId = 6;
constexpr int kTreeLevels = 3; // type, name, language

// Bounds-checked little-endian reads over a byte range; a read outside it marks the reader bad.
struct Bytes {
    std::string_view data;
    bool bad = false;

    std::uint32_t word(std::uint64_t at) {
        if (at + 2 > data.size()) return fail();
        return static_cast<std::uint8_t>(data[at]) | (static_cast<std::uint8_t>(data[at + 1]) << 8);
    }
    std::uint32_t dword(std::uint64_t at) {
        if (at + 4 > data.size()) return fail();
        return word(at) | (word(at + 2) << 16);
    }
    std::uint32_t fail() {
        bad = true;
        return 0;
    }
};

// The resource section as the tree sees it: offsets of the tree are relative to `base` (the
// table's place in the section), data entries hold addresses of the loaded image.
struct Section {
    std::string_view raw; // the section's bytes in the file
    std::uint32_t address = 0;
    std::uint32_t base = 0; // the table's offset within the section
};

struct TreeWalk {
    Section section;
    Bytes tree; // the section's bytes from the table on
    std::set<std::uint32_t> visited;
    std::vector<PeResource>& out;
    ResourceKey path[kTreeLevels - 1];
};

bool readKey(TreeWalk& walk, std::uint32_t nameField, ResourceKey& key) {
    if ((nameField & kSubdirectory) == 0) {
        key = {{}, static_cast<int>(nameField & 0xFFFF)};
        return true;
    }
    const std::uint32_t at = nameField & ~kSubdirectory;
    const std::uint32_t length = walk.tree.word(at);
    if (walk.tree.bad || at + 2 + 2ull * length > walk.tree.data.size()) return false;
    key = {};
    key.name.reserve(length);
    for (std::uint32_t i = 0; i < length; ++i) key.name.push_back(static_cast<char16_t>(walk.tree.word(at + 2 + 2 * i)));
    return true;
}

bool readData(TreeWalk& walk, std::uint32_t at, int language) {
    const std::uint64_t address = walk.tree.dword(at);
    const std::uint64_t size = walk.tree.dword(at + 4);
    if (walk.tree.bad || address < walk.section.address ||
        address - walk.section.address + size > walk.section.raw.size())
        return false;
    PeResource resource{walk.path[0], walk.path[1], language, {}};
    resource.bytes.assign(walk.section.raw.substr(static_cast<std::size_t>(address - walk.section.address),
                                                  static_cast<std::size_t>(size)));
    walk.out.push_back(std::move(resource));
    return true;
}

bool readDirectory(TreeWalk& walk, std::uint32_t at, int level) {
    // A directory reached twice makes a loop or a shared branch: neither is a sound tree.
    if (!walk.visited.insert(at).second) return false;
    const std::uint64_t count = std::uint64_t{walk.tree.word(at + 12)} + walk.tree.word(at + 14);
    if (walk.tree.bad || at + 16 + 8 * count > walk.tree.data.size()) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t entry = at + 16 + 8 * i;
        const std::uint32_t nameField = walk.tree.dword(entry);
        const std::uint32_t target = walk.tree.dword(entry + 4);
        const bool subdirectory = (target & kSubdirectory) != 0;
        // Types and names lead to directories, languages to data: anything else is damage.
        if (subdirectory != (level < kTreeLevels - 1)) return false;
        if (level < kTreeLevels - 1) {
            if (!readKey(walk, nameField, walk.path[level])) return false;
            if (!readDirectory(walk, target & ~kSubdirectory, level + 1)) return false;
        } else if ((nameField & kSubdirectory) != 0 || !readData(walk, target, static_cast<int>(nameField & 0xFFFF))) {
            return false;
        }
    }
    return true;
}

} // namespace

PeStatus readPeResources(std::string_view file, std::vector<PeResource>& resources) {
    Bytes bytes{file};
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return PeStatus::NotAProgram;
    const std::uint64_t pe = bytes.dword(0x3C);
    if (pe + 24 > file.size()) return PeStatus::Damaged;
    if (file.substr(static_cast<std::size_t>(pe), 4) != std::string_view("PE\0\0", 4)) return PeStatus::NotAProgram;
    const std::uint32_t sectionCount = bytes.word(pe + 6);
    const std::uint32_t optionalSize = bytes.word(pe + 20);
    const std::uint64_t optional = pe + 24;
    const std::uint32_t magic = bytes.word(optional);
    if (magic != 0x10B && magic != 0x20B) return PeStatus::Damaged;
    const std::uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    const std::uint32_t directoryCount = bytes.dword(directories - 4);
    if (bytes.bad || directoryCount < 3 || directories + 24 > optional + optionalSize) return PeStatus::Damaged;
    const std::uint32_t tableAddress = bytes.dword(directories + 16);
    const std::uint32_t tableSize = bytes.dword(directories + 20);
    const std::uint64_t sections = optional + optionalSize;
    if (bytes.bad || sections + 40ull * sectionCount > file.size()) return PeStatus::Damaged;
    if (tableAddress == 0 && tableSize == 0) {
        resources.clear();
        return PeStatus::Read;
    }

    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t header = sections + 40ull * i;
        const std::uint32_t address = bytes.dword(header + 12);
        const std::uint64_t rawSize = bytes.dword(header + 16);
        const std::uint64_t rawStart = bytes.dword(header + 20);
        if (tableAddress < address || tableAddress - address >= rawSize) continue;
        if (rawStart + rawSize > file.size()) return PeStatus::Damaged;
        Section section{file.substr(static_cast<std::size_t>(rawStart), static_cast<std::size_t>(rawSize)), address,
                        tableAddress - address};
        std::vector<PeResource> found;
        TreeWalk walk{section, Bytes{section.raw.substr(section.base)}, {}, found, {}};
        if (!readDirectory(walk, 0, 0)) return PeStatus::Damaged;
        resources = std::move(found);
        return PeStatus::Read;
    }
    // The table lies in no section's bytes in the file (an empty resource section among them).
    return PeStatus::Damaged;
}

const char16_t* peStatusText(PeStatus status) noexcept {
    switch (status) {
    case PeStatus::Read: return u"read";
    case PeStatus::NotAProgram: return u"not a Windows program";
    case PeStatus::Damaged: return u"a damaged Windows program (its headers or resources point outside the file)";
    }
    return u"";
}

Text peString(const std::vector<PeResource>& resources, int id) {
    for (const PeResource& resource : resources) {
        if (!resource.type.name.empty() || resource.type.id != static_cast<int>(kStringTypeId) ||
            !resource.name.name.empty() || resource.name.id != stringBlockOf(id))
            continue;
        Bytes block{resource.bytes};
        std::uint64_t at = 0;
        for (int index = 0; index < stringIndexOf(id); ++index) at += 2 + 2ull * block.word(at);
        const std::uint32_t length = block.word(at);
        if (block.bad || at + 2 + 2ull * length > resource.bytes.size()) return {};
        Text text;
        for (std::uint32_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(block.word(at + 2 + 2 * i)));
        return text;
    }
    return {};
}

} // namespace tavrelo
