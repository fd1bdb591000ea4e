// Icon files (directory, images, the icon-group resource built from them) and the first-byte
// check of a dropped image file, as the resource tool reads them.
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "fuzz.h"
#include "platform/messages.h"
#include "platform/os.h"
#include "tool/tool.h"

using namespace tavrelo;

namespace {

std::uint32_t word(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]) | (static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}
std::uint32_t dword(std::string_view bytes, std::size_t at) { return word(bytes, at) | (word(bytes, at + 2) << 16); }

int boxes = 0;
int countBox(TextView, TextView, unsigned) { return ++boxes, 1; }

void checkIcon(std::string_view bytes) {
    const std::optional<IconFile> icon = parseIconFile(bytes);
    if (!icon) return;
    // Every image is the declared slice of the file, after the directory.
    const std::size_t count = word(bytes, 4);
    FUZZ_CHECK(word(bytes, 0) == 0 && word(bytes, 2) == 1 && count == icon->images.size() && count > 0);
    const std::string group = iconGroupBytes(*icon);
    FUZZ_CHECK(group.size() == 6 + 14 * count && group.compare(0, 6, bytes.substr(0, 6)) == 0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i, item = 6 + 14 * i;
        const IconImage& image = icon->images[i];
        const std::size_t length = dword(bytes, entry + 8), offset = dword(bytes, entry + 12);
        FUZZ_CHECK(!image.bytes.empty() && offset >= 6 + 16 * count && image.bytes == bytes.substr(offset, length));
        // The group entry: the directory entry's first 12 bytes, then the image's number.
        FUZZ_CHECK(group.compare(item, 12, bytes.substr(entry, 12)) == 0 && word(group, item + 12) == i + 1);
    }
}

void checkImage(const std::uint8_t* data, std::size_t size) {
    static const Text directory = os::tempDirectory();
    static const char16_t* const extensions[] = {u".bmp", u".gif", u".jpg", u".png"};
    static const char* const marks[] = {"BM", "GIF8", "\xFF\xD8\xFF", "\x89PNG"};
    const std::size_t kind = data[0] % 4;
    const Text path = directory + u"tavrelo_fuzz_" + fromInt(os::processId()) + extensions[kind];
    const std::string written(reinterpret_cast<const char*>(data + 1), size - 1);
    FUZZ_CHECK(os::writeFile(path, written));
    Text resolved;
    std::string bytes;
    boxes = 0;
    const bool taken = loadImageSource(path, resolved, bytes);
    (void)os::deleteFile(path);
    // Taken: the file as it is, which starts as its kind does; refused: the user is told.
    const bool marked = written.starts_with(marks[kind]) &&
                        (kind != 2 || (written.size() >= 4 && (written[3] == '\xE0' || written[3] == '\xE1')));
    FUZZ_CHECK(taken == marked && (taken ? bytes == written && resolved == path : boxes == 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (setMessagePresenter(countBox), true);
    (void)quiet;
    checkIcon(std::string_view(reinterpret_cast<const char*>(data), size));
    if (size >= 1) checkImage(data, size);
    return 0;
}
