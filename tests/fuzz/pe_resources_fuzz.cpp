// The resource tool's program-file reader and writer: any file is read without reading outside
// it, and a program it can rewrite reads back with exactly the resources written.
#include <map>
#include <tuple>

#include "fuzz.h"
#include "tool/pe_resources.h"

using namespace tavrelo;

namespace {

using Key = std::tuple<Text, int, Text, int, int>; // type, name, language as the tree holds them
using Contents = std::map<Key, std::string>;

Key keyOf(const PeResource& r) {
    return {r.type.name, r.type.name.empty() ? r.type.id : 0, r.name.name, r.name.name.empty() ? r.name.id : 0,
            r.language};
}

// Several entries of one type, name and language: the last one is written.
Contents contentsOf(const std::vector<PeResource>& resources) {
    Contents contents;
    for (const PeResource& r : resources) contents[keyOf(r)] = r.bytes;
    return contents;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::vector<PeResource> resources;
    if (readPeResources(file, resources) != PeStatus::Read || size < 4) return 0;
    (void)peString(resources, data[0]);

    // The file's own resources, one dropped and two added as the input's last bytes say.
    if ((data[size - 1] & 1) && !resources.empty()) resources.erase(resources.begin());
    PeResource numbered{{{}, data[size - 2]}, {{}, data[size - 3] + 1}, data[size - 4], file.substr(0, size % 61)};
    PeResource named{{u"TAVRELO", 0}, {fuzz::unitsOf(data, std::min<std::size_t>(size, 24)), 0}, 0, "x"};
    if (named.name.name.empty() || named.name.name.find(u'\0') != Text::npos) named.name = {{}, 7};
    resources.push_back(numbered);
    resources.push_back(named);

    std::string rewritten = file;
    const PeWriteStatus status = replacePeResources(rewritten, resources);
    if (status != PeWriteStatus::Written) {
        FUZZ_CHECK(rewritten == file); // a refusal leaves the file as it was
        return 0;
    }
    std::vector<PeResource> back;
    FUZZ_CHECK(readPeResources(rewritten, back) == PeStatus::Read);
    FUZZ_CHECK(contentsOf(back) == contentsOf(resources) && back.size() == contentsOf(resources).size());
    // A second rewrite with the same resources gives the same file.
    std::string again = rewritten;
    FUZZ_CHECK(replacePeResources(again, back) == PeWriteStatus::Written && again == rewritten);
    return 0;
}
