#include <algorithm>
#include <cstdint>
#include <map>
#include <type_traits>

#include "tool/pe_resources.h"

namespace tavrelo {

namespace {

constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kCertificateDirectory = 4;
constexpr std::uint32_t kRelocationDirectory = 5;
constexpr std::uint64_t kLargestSection = 0x7FFFFFFFu;

std::uint32_t get16(std::string_view bytes, std::uint64_t at) noexcept {
    return static_cast<std::uint8_t>(bytes[at]) | (static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}
std::uint32_t get32(std::string_view bytes, std::uint64_t at) noexcept {
    return get16(bytes, at) | (get16(bytes, at + 2) << 16);
}
void put16(std::string& bytes, std::uint64_t at, std::uint32_t value) noexcept {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}
void put32(std::string& bytes, std::uint64_t at, std::uint32_t value) noexcept {
    put16(bytes, at, value & 0xFFFF);
    put16(bytes, at + 2, value >> 16);
}
std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) noexcept {
    return (value + alignment - 1) / alignment * alignment;
}
bool isPowerOfTwo(std::uint32_t value) noexcept { return value != 0 && (value & (value - 1)) == 0; }

// ---- The tree ---------------------------------------------------------------------------------

// Loaders search named entries by a binary search over upper-case names, then numbered entries
// by number: the order of each directory is the order of this key.
struct KeyOrder {
    static Text upper(const Text& name) {
        Text out(name);
        for (char16_t& unit : out)
            if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
        return out;
    }
    bool operator()(const ResourceKey& a, const ResourceKey& b) const {
        if (a.name.empty() != b.name.empty()) return !a.name.empty();
        if (a.name.empty()) return static_cast<std::uint16_t>(a.id) < static_cast<std::uint16_t>(b.id);
        const Text ua = upper(a.name), ub = upper(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    }
};

using Languages = std::map<std::uint16_t, const std::string*>;
using Names = std::map<ResourceKey, Languages, KeyOrder>;
using Types = std::map<ResourceKey, Names, KeyOrder>;

// Offsets within the section while it is laid out.
struct Layout {
    std::uint64_t size = 0;
    std::map<const Text*, std::uint64_t> strings;
    void addString(const ResourceKey& key) {
        if (key.name.empty()) return;
        strings[&key.name] = size;
        size += 2 + 2 * key.name.size();
    }
};

std::uint64_t directoryBytes(std::size_t entries) { return 16 + 8 * std::uint64_t{entries}; }

class SectionWriter {
  public:
    SectionWriter(const Types& types, std::uint32_t address) : types_(types), address_(address) {}

    // False when the section would exceed the format's sizes.
    bool build(std::string& out) {
        Layout layout;
        layout.size = directoryBytes(types_.size());
        std::uint64_t leaves = 0;
        for (const auto& [type, names] : types_) layout.size += directoryBytes(names.size());
        for (const auto& [type, names] : types_)
            for (const auto& [name, languages] : names) {
                layout.size += directoryBytes(languages.size());
                leaves += languages.size();
            }
        const std::uint64_t dataEntries = layout.size;
        layout.size += 16 * leaves;
        for (const auto& [type, names] : types_) {
            layout.addString(type);
            for (const auto& [name, languages] : names) layout.addString(name);
        }
        std::uint64_t dataAt = alignUp(layout.size, 8);
        std::uint64_t end = dataAt;
        for (const auto& [type, names] : types_)
            for (const auto& [name, languages] : names)
                for (const auto& [language, bytes] : languages) end = alignUp(end, 8) + bytes->size();
        if (end > kLargestSection || address_ + end > 0xFFFFFFFFull) return false;

        out.assign(static_cast<std::size_t>(end), '\0');
        for (const auto& [text, at] : layout.strings) {
            put16(out, at, static_cast<std::uint32_t>(text->size()));
            for (std::size_t i = 0; i < text->size(); ++i) put16(out, at + 2 + 2 * i, (*text)[i]);
        }
        // Directories breadth first: the root, every type's names, every name's languages.
        std::uint64_t nextDirectory = directoryBytes(types_.size());
        std::uint64_t nextEntry = dataEntries;
        auto nameField = [&](const ResourceKey& key) -> std::uint32_t {
            if (key.name.empty()) return static_cast<std::uint16_t>(key.id);
            return kSubdirectory | static_cast<std::uint32_t>(layout.strings.at(&key.name));
        };
        // An entry: its name field and where it leads (a directory, or a data entry); the slot moves on.
        auto link = [&](std::uint64_t& slot, std::uint32_t name, std::uint64_t target) {
            put32(out, slot, name);
            put32(out, slot + 4, static_cast<std::uint32_t>(target));
            slot += 8;
        };
        header(out, 0, types_);
        std::uint64_t slot = 16;
        std::uint64_t languageDirectories = nextDirectory;
        for (const auto& [type, names] : types_) languageDirectories += directoryBytes(names.size());
        for (const auto& [type, names] : types_) {
            link(slot, nameField(type), kSubdirectory | nextDirectory);
            header(out, nextDirectory, names);
            std::uint64_t nameSlot = nextDirectory + 16;
            nextDirectory += directoryBytes(names.size());
            for (const auto& [name, languages] : names) {
                link(nameSlot, nameField(name), kSubdirectory | languageDirectories);
                header(out, languageDirectories, languages);
                std::uint64_t languageSlot = languageDirectories + 16;
                languageDirectories += directoryBytes(languages.size());
                for (const auto& [language, bytes] : languages) {
                    link(languageSlot, language, nextEntry);
                    dataAt = alignUp(dataAt, 8);
                    put32(out, nextEntry, static_cast<std::uint32_t>(address_ + dataAt));
                    put32(out, nextEntry + 4, static_cast<std::uint32_t>(bytes->size()));
                    nextEntry += 16;
                    std::copy(bytes->begin(), bytes->end(), out.begin() + static_cast<std::ptrdiff_t>(dataAt));
                    dataAt += bytes->size();
                }
            }
        }
        return true;
    }

  private:
    // A directory's header: no characteristics, time or version; the named and numbered counts.
    template <typename Map>
    static void header(std::string& out, std::uint64_t at, const Map& entries) {
        std::uint32_t named = 0;
        for (const auto& entry : entries)
            if constexpr (std::is_same_v<typename Map::key_type, ResourceKey>) named += entry.first.name.empty() ? 0 : 1;
        put16(out, at + 12, named);
        put16(out, at + 14, static_cast<std::uint32_t>(entries.size()) - named);
    }

    const Types& types_;
    std::uint32_t address_;
};

// ---- The file ---------------------------------------------------------------------------------

struct SectionHeader {
    std::uint64_t at = 0; // the header's offset in the file
    std::uint32_t virtualSize = 0, address = 0, rawSize = 0, rawStart = 0;
};

struct ProgramLayout {
    std::uint64_t optional = 0, directories = 0;
    std::uint32_t directoryCount = 0, fileAlignment = 0, sectionAlignment = 0;
    std::vector<SectionHeader> sections;
    std::uint32_t directoryAddress(std::uint32_t index, std::string_view file) const {
        return index < directoryCount ? get32(file, directories + 8 * index) : 0;
    }
};

PeWriteStatus readLayout(std::string_view file, ProgramLayout& layout) {
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return PeWriteStatus::NotAProgram;
    const std::uint64_t pe = get32(file, 0x3C);
    if (pe + 24 > file.size()) return PeWriteStatus::Damaged;
    if (file.substr(static_cast<std::size_t>(pe), 4) != std::string_view("PE\0\0", 4)) return PeWriteStatus::NotAProgram;
    const std::uint32_t sectionCount = get16(file, pe + 6);
    const std::uint32_t optionalSize = get16(file, pe + 20);
    layout.optional = pe + 24;
    const std::uint64_t sections = layout.optional + optionalSize;
    if (sections + 40ull * sectionCount > file.size() || optionalSize < 96) return PeWriteStatus::Damaged;
    const std::uint32_t magic = get16(file, layout.optional);
    if (magic != 0x10B && magic != 0x20B) return PeWriteStatus::Damaged;
    layout.directories = layout.optional + (magic == 0x20B ? 112 : 96);
    if (layout.directories > sections) return PeWriteStatus::Damaged;
    layout.directoryCount = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(get32(file, layout.directories - 4), (sections - layout.directories) / 8));
    layout.sectionAlignment = get32(file, layout.optional + 32);
    layout.fileAlignment = get32(file, layout.optional + 36);
    if (layout.directoryCount <= kRelocationDirectory || !isPowerOfTwo(layout.fileAlignment) ||
        !isPowerOfTwo(layout.sectionAlignment) || layout.sectionAlignment < layout.fileAlignment)
        return PeWriteStatus::Damaged;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        SectionHeader header;
        header.at = sections + 40ull * i;
        header.virtualSize = get32(file, header.at + 8);
        header.address = get32(file, header.at + 12);
        header.rawSize = get32(file, header.at + 16);
        header.rawStart = get32(file, header.at + 20);
        if (std::uint64_t{header.rawStart} + header.rawSize > file.size()) return PeWriteStatus::Damaged;
        layout.sections.push_back(header);
    }
    return PeWriteStatus::Written;
}

// The 32-bit image checksum: 16-bit words summed with their carries, then the file's length.
std::uint32_t imageChecksum(std::string_view file, std::uint64_t checksumAt) noexcept {
    std::uint64_t sum = 0;
    for (std::uint64_t at = 0; at < file.size(); at += 2) {
        if (at == checksumAt || at == checksumAt + 2) continue;
        std::uint32_t word = static_cast<std::uint8_t>(file[at]);
        if (at + 1 < file.size()) word |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(file[at + 1])) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + file.size());
}

std::uint32_t extent(const SectionHeader& section) noexcept {
    return section.virtualSize != 0 ? section.virtualSize : section.rawSize;
}

} // namespace

PeWriteStatus replacePeResources(std::string& file, const std::vector<PeResource>& resources) {
    ProgramLayout layout;
    if (const PeWriteStatus status = readLayout(file, layout); status != PeWriteStatus::Written) return status;
    const std::uint32_t table = layout.directoryAddress(kResourceDirectory, file);
    const std::uint32_t relocations = layout.directoryAddress(kRelocationDirectory, file);
    if (layout.directoryAddress(kCertificateDirectory, file) != 0) return PeWriteStatus::Signed;

    std::size_t index = 0;
    while (index < layout.sections.size() && (table == 0 || layout.sections[index].address != table)) ++index;
    if (index == layout.sections.size()) return PeWriteStatus::NoResourceSection;
    const SectionHeader resourceSection = layout.sections[index];
    // The section's bytes lie after the headers: the rewrite keeps everything before them.
    const std::uint64_t headersEnd = layout.sections.back().at + 40;
    if (resourceSection.rawSize == 0 || resourceSection.rawStart < headersEnd) return PeWriteStatus::Damaged;
    // Only the relocations may follow, in the file as in memory, since nothing points into them
    // but their own directory entry; no other table may lie in or after the resources.
    const bool relocationsFollow = index + 2 == layout.sections.size();
    if (index + 1 < layout.sections.size() && !relocationsFollow) return PeWriteStatus::DataFollows;
    const SectionHeader* relocationSection = relocationsFollow ? &layout.sections[index + 1] : nullptr;
    if (relocationSection && (relocations != relocationSection->address ||
                              relocationSection->rawStart != resourceSection.rawStart + resourceSection.rawSize))
        return PeWriteStatus::DataFollows;
    // Section headers need not be in the file's order: a section listed before the resources whose
    // bytes or addresses lie after theirs would be cut off or overlapped by the rewrite.
    for (std::size_t i = 0; i < index; ++i) {
        const SectionHeader& other = layout.sections[i];
        if ((other.rawSize != 0 && std::uint64_t{other.rawStart} + other.rawSize > resourceSection.rawStart) ||
            other.address >= resourceSection.address)
            return PeWriteStatus::DataFollows;
    }
    for (std::uint32_t d = 0; d < layout.directoryCount; ++d) {
        if (d == kResourceDirectory || d == kRelocationDirectory) continue;
        if (layout.directoryAddress(d, file) >= resourceSection.address) return PeWriteStatus::DataFollows;
    }
    std::uint64_t lastByte = 0;
    for (const SectionHeader& section : layout.sections)
        lastByte = std::max<std::uint64_t>(lastByte, std::uint64_t{section.rawStart} + section.rawSize);
    if (file.size() > lastByte) return PeWriteStatus::TrailingData;

    Types types;
    for (const PeResource& resource : resources)
        types[resource.type][resource.name][static_cast<std::uint16_t>(resource.language)] = &resource.bytes;
    std::string section;
    if (!SectionWriter(types, resourceSection.address).build(section)) return PeWriteStatus::TooLarge;

    const std::uint64_t rawSize = alignUp(section.size(), layout.fileAlignment);
    std::string out(file.substr(0, resourceSection.rawStart));
    out.append(section);
    out.resize(static_cast<std::size_t>(resourceSection.rawStart + rawSize), '\0');
    put32(out, resourceSection.at + 8, static_cast<std::uint32_t>(section.size()));
    put32(out, resourceSection.at + 16, static_cast<std::uint32_t>(rawSize));
    put32(out, layout.directories + 8 * kResourceDirectory + 4, static_cast<std::uint32_t>(section.size()));
    std::uint64_t imageEnd = resourceSection.address + section.size();
    if (relocationSection) {
        const std::uint64_t address = alignUp(imageEnd, layout.sectionAlignment);
        if (address + extent(*relocationSection) > 0xFFFFFFFFull) return PeWriteStatus::TooLarge;
        put32(out, relocationSection->at + 12, static_cast<std::uint32_t>(address));
        put32(out, relocationSection->at + 20, static_cast<std::uint32_t>(out.size()));
        put32(out, layout.directories + 8 * kRelocationDirectory, static_cast<std::uint32_t>(address));
        out.append(file, relocationSection->rawStart, relocationSection->rawSize);
        imageEnd = address + extent(*relocationSection);
    }
    if (const std::uint64_t size = out.size(); size > 0xFFFFFFFFull) return PeWriteStatus::TooLarge;
    put32(out, layout.optional + 56, static_cast<std::uint32_t>(alignUp(imageEnd, layout.sectionAlignment)));
    const std::uint32_t initialised = get32(out, layout.optional + 8);
    put32(out, layout.optional + 8, static_cast<std::uint32_t>(initialised + rawSize - resourceSection.rawSize));
    put32(out, layout.optional + 64, imageChecksum(out, layout.optional + 64));
    file = std::move(out);
    return PeWriteStatus::Written;
}

const char16_t* peWriteStatusText(PeWriteStatus status) noexcept {
    switch (status) {
    case PeWriteStatus::Written: return u"written";
    case PeWriteStatus::NotAProgram: return u"not a Windows program";
    case PeWriteStatus::Damaged: return u"a damaged Windows program (its headers point outside the file)";
    case PeWriteStatus::NoResourceSection: return u"a program without a resource section of its own";
    case PeWriteStatus::DataFollows: return u"a program with other sections or tables after its resources";
    case PeWriteStatus::TrailingData: return u"a program with data after its last section";
    case PeWriteStatus::Signed: return u"a signed program (its signature would no longer hold)";
    case PeWriteStatus::TooLarge: return u"too large for a program's resource section";
    }
    return u"";
}

} // namespace tavrelo
