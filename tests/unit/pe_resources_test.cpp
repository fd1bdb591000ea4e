#include <gtest/gtest.h>

#include "resources/resources.h"
#include "tool/pe_resources.h"

namespace tavrelo {
namespace {

void put16(std::string& out, std::size_t at, unsigned v) {
    out[at] = static_cast<char>(v & 0xFF), out[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}
void put32(std::string& out, std::size_t at, unsigned v) { put16(out, at, v & 0xFFFF), put16(out, at + 2, v >> 16); }

constexpr unsigned kPe = 0x40, kSections = kPe + 24 + 240, kRaw = 0x200, kAddress = 0x1000;

// A small 64-bit program file whose resource section holds RT_STRING block 63 (the delivery
// name "Tavrelo.exe" at index 8) and "BIN" 1 (language 0), as the tree's offsets say.
std::string program() {
    std::string file(kRaw + 0x200, '\0');
    file[0] = 'M', file[1] = 'Z';
    put32(file, 0x3C, kPe);
    file.replace(kPe, 4, std::string("PE\0\0", 4));
    put16(file, kPe + 6, 1);     // one section
    put16(file, kPe + 20, 240);  // optional header size
    put16(file, kPe + 24, 0x20B);
    put32(file, kPe + 24 + 108, 16);
    put32(file, kPe + 24 + 112 + 16, kAddress); // the resource table
    put32(file, kPe + 24 + 112 + 20, 0x200);
    file.replace(kSections, 5, ".rsrc");
    put32(file, kSections + 8, 0x200), put32(file, kSections + 12, kAddress);
    put32(file, kSections + 16, 0x200), put32(file, kSections + 20, kRaw);
    // Tree: root (0x00) with the named type "BIN" then type 6; each a name directory and a
    // language directory; data entries at 0xC0 and 0xD0; the name "BIN" at 0xE0; data at 0x100.
    auto directory = [&](unsigned at, unsigned named, unsigned ids) { put16(file, kRaw + at + 12, named), put16(file, kRaw + at + 14, ids); };
    auto entry = [&](unsigned at, unsigned name, unsigned target) { put32(file, kRaw + at, name), put32(file, kRaw + at + 4, target); };
    directory(0x00, 1, 1);
    entry(0x10, 0x800000E0, 0x80000020), entry(0x18, 6, 0x80000060);
    directory(0x20, 0, 1), entry(0x30, 1, 0x80000038);
    directory(0x38, 0, 1), entry(0x48, 0, 0xC0);
    directory(0x60, 0, 1), entry(0x70, 63, 0x80000078);
    directory(0x78, 0, 1), entry(0x88, 0x409, 0xD0);
    const std::string name = stringBlockBytes({u"", u"", u"", u"", u"", u"", u"", u"", u"Tavrelo.exe"});
    put32(file, kRaw + 0xC0, kAddress + 0x100), put32(file, kRaw + 0xC4, 3);
    put32(file, kRaw + 0xD0, kAddress + 0x110), put32(file, kRaw + 0xD4, static_cast<unsigned>(name.size()));
    put16(file, kRaw + 0xE0, 3);
    for (unsigned i = 0; i < 3; ++i) put16(file, kRaw + 0xE2 + 2 * i, u"BIN"[i]);
    file.replace(kRaw + 0x100, 3, "abc");
    file.replace(kRaw + 0x110, name.size(), name);
    return file;
}

TEST(PeResources, ResourcesOfAProgramAreReadAsItsTreeSays) {
    std::vector<PeResource> resources;
    ASSERT_EQ(readPeResources(program(), resources), PeStatus::Read);
    ASSERT_EQ(resources.size(), 2u);
    EXPECT_EQ(resources[0].type.name, u"BIN");
    EXPECT_EQ(resources[0].name.id, 1);
    EXPECT_EQ(resources[0].bytes, "abc");
    EXPECT_EQ(resources[1].language, 0x409);
    EXPECT_EQ(peString(resources, kDeliveryNameString), u"Tavrelo.exe");
    EXPECT_EQ(peString(resources, kDeliveryNameString + 1), u"");
}

TEST(PeResources, DamagedProgramsAreRefusedWithoutReadingOutside) {
    const std::string good = program();
    auto with32 = [&](unsigned at, unsigned v) { std::string f = good; put32(f, at, v); return f; };
    auto with16 = [&](unsigned at, unsigned v) { std::string f = good; put16(f, at, v); return f; };
    const std::vector<std::tuple<const char*, std::string, PeStatus>> damaged = {
        {"empty file", "", PeStatus::NotAProgram},
        {"truncated DOS header", good.substr(0, 40), PeStatus::NotAProgram},
        {"e_lfanew past the end", with32(0x3C, 0xFFFFFFF0), PeStatus::Damaged},
        {"truncated PE headers", good.substr(0, kPe + 30), PeStatus::Damaged},
        {"section table past the end", with16(kPe + 6, 0xFFFF), PeStatus::Damaged},
        {"optional header too small", with16(kPe + 20, 100), PeStatus::Damaged},
        {"section data past the end", with32(kSections + 16, 0x7FFFFFFF), PeStatus::Damaged},
        {"tree loops to its root", with32(kRaw + 0x34, 0x80000000), PeStatus::Damaged},
        {"two types share a directory", with32(kRaw + 0x1C, 0x80000020), PeStatus::Damaged},
        {"directory count past the section", with16(kRaw + 0x0E, 0xFFFF), PeStatus::Damaged},
        {"name string past the section", with16(kRaw + 0xE0, 0xFFFF), PeStatus::Damaged},
        {"data outside the section", with32(kRaw + 0xC0, 0x10), PeStatus::Damaged},
        {"data size past the section", with32(kRaw + 0xC4, 0xFFFFFFFF), PeStatus::Damaged},
        {"data where a directory belongs", with32(kRaw + 0x14, 0x20), PeStatus::Damaged},
        {"empty resource section", with32(kSections + 16, 0), PeStatus::Damaged},
    };
    for (const auto& [what, file, status] : damaged) {
        std::vector<PeResource> resources{PeResource{}};
        EXPECT_EQ(readPeResources(file, resources), status) << what;
        EXPECT_EQ(resources.size(), 1u) << what << ": nothing is handed out";
    }
    // No resource table at all is no damage: the file simply holds none.
    std::vector<PeResource> none{PeResource{}};
    EXPECT_EQ(readPeResources(with32(kPe + 24 + 112 + 16, 0).replace(kPe + 24 + 112 + 20, 4, 4, '\0'), none), PeStatus::Read);
    EXPECT_TRUE(none.empty());
}

// program() with alignments and a relocation section after the resources, as linkers lay out.
std::string relocatedProgram() {
    std::string file = program();
    put32(file, kPe + 24 + 32, 0x1000), put32(file, kPe + 24 + 36, 0x200);
    put16(file, kPe + 6, 2);
    file.replace(kSections + 40, 6, ".reloc");
    put32(file, kSections + 48, 0x10), put32(file, kSections + 52, 0x2000);
    put32(file, kSections + 56, 0x200), put32(file, kSections + 60, kRaw + 0x200);
    put32(file, kPe + 24 + 112 + 40, 0x2000), put32(file, kPe + 24 + 112 + 44, 0x10);
    file += std::string(0x200, 'R');
    return file;
}

TEST(PeResources, ARewrittenTreeIsSortedForTheLoaderAndTheRelocationsMoveBehindIt) {
    std::string file = relocatedProgram();
    const std::string big(0x1200, 'x'); // outgrows the section's page
    const std::vector<PeResource> wanted = {
        {{{}, 3}, {{}, 2}, 0, "two"}, {{u"ZED", 0}, {{}, 1}, 0, big}, {{{}, 3}, {{}, 1}, 0, "one"},
        {{u"BIN", 0}, {{}, 1}, 0x409, "en"}, {{u"BIN", 0}, {{}, 1}, 0, "abc"}};
    ASSERT_EQ(replacePeResources(file, wanted), PeWriteStatus::Written);
    std::vector<PeResource> read;
    ASSERT_EQ(readPeResources(file, read), PeStatus::Read);
    std::vector<std::string> order;
    for (const PeResource& r : read) order.push_back(toUtf8(r.type.name) + ":" + std::to_string(r.type.id) + "/" +
                                                     std::to_string(r.name.id) + "/" + std::to_string(r.language) + "=" + r.bytes.substr(0, 3));
    EXPECT_EQ(order, (std::vector<std::string>{"BIN:0/1/0=abc", "BIN:0/1/1033=en", "ZED:0/1/0=xxx", ":3/1/0=one", ":3/2/0=two"}));
    auto get32 = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(file[at]) | static_cast<unsigned char>(file[at + 1]) << 8 |
                                                                    static_cast<unsigned char>(file[at + 2]) << 16 | static_cast<unsigned char>(file[at + 3]) << 24); };
    const unsigned relocationRaw = get32(kSections + 60);
    EXPECT_EQ(get32(kSections + 52), 0x3000u);
    EXPECT_EQ(get32(kPe + 24 + 112 + 40), 0x3000u);
    EXPECT_EQ(get32(kPe + 24 + 56), 0x4000u); // image size
    EXPECT_EQ(file.substr(relocationRaw), std::string(0x200, 'R'));
    EXPECT_EQ(relocationRaw, kRaw + get32(kSections + 16));

    // What a rewrite would break is refused, and the file stays as it was.
    const std::string good = relocatedProgram();
    auto with32 = [&](unsigned at, unsigned v) { std::string f = good; put32(f, at, v); return f; };
    const std::vector<std::tuple<const char*, std::string, PeWriteStatus>> refused = {
        {"certificate table", with32(kPe + 24 + 112 + 32, 0x400), PeWriteStatus::Signed},
        {"data after the last section", good + "sig", PeWriteStatus::TrailingData},
        {"relocations elsewhere", with32(kPe + 24 + 112 + 40, 0x1800), PeWriteStatus::DataFollows},
        {"a table after the resources", with32(kPe + 24 + 112 + 8, 0x2000), PeWriteStatus::DataFollows},
        {"no alignment", with32(kPe + 24 + 36, 0), PeWriteStatus::Damaged},
        {"resources over the headers", with32(kSections + 20, 0), PeWriteStatus::Damaged},
        {"resources inside another section", with32(kPe + 24 + 112 + 16, 0x1010), PeWriteStatus::NoResourceSection},
    };
    for (const auto& [what, original, status] : refused) {
        std::string bytes = original;
        EXPECT_EQ(replacePeResources(bytes, wanted), status) << what;
        EXPECT_EQ(bytes, original) << what;
    }
}

} // namespace
} // namespace tavrelo
