#include <gtest/gtest.h>

#include <vector>

#include "resources/resources.h"
#include "test_language.h"
#include "test_support.h"
#include "tool/tool.h"

namespace tavrelo {
namespace {

class ToolSources : public ::testing::Test {
protected:
    test::RecordedBoxes recorded;
    std::vector<test::RecordedBoxes::Box>& boxes = recorded.boxes;
    test::ScopedLanguage english{false};
    test::TempDir dir;
};

void put16(std::string& out, unsigned v) { out += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
void put32(std::string& out, unsigned v) { put16(out, v & 0xFFFF), put16(out, v >> 16); }

struct Entry {
    unsigned width, height, bits, size, offset;
};
// An icon file: header, directory as given, then `tail` bytes of image data.
std::string iconBytes(unsigned count, const std::vector<Entry>& entries, std::size_t tail) {
    std::string out;
    put16(out, 0), put16(out, 1), put16(out, count);
    for (const Entry& e : entries) {
        out += {static_cast<char>(e.width), static_cast<char>(e.height), 0, 0};
        put16(out, 1), put16(out, e.bits), put32(out, e.size), put32(out, e.offset);
    }
    for (std::size_t i = 0; i < tail; ++i) out.push_back(static_cast<char>(i * 7 + 1));
    return out;
}

TEST_F(ToolSources, DamagedIconFilesAreRefusedWithTheirMessage) {
    const unsigned data = 6 + 16; // where one image may start
    const std::string good = iconBytes(1, {{16, 16, 4, 40, data}}, 40);
    std::string tooLarge = good;
    tooLarge.resize(kIconFileCap + 1);
    const std::vector<std::pair<const char*, std::string>> damaged = {
        {"count 0", iconBytes(0, {}, 40)},
        {"count 65535", iconBytes(65535, {{16, 16, 4, 40, data}}, 40)},
        {"offset past the end", iconBytes(1, {{16, 16, 4, 40, 0xFFFFFFF0u}}, 40)},
        {"size past the end", iconBytes(1, {{16, 16, 4, 0xFFFFFFFFu, data}}, 40)},
        {"size 0", iconBytes(1, {{16, 16, 4, 0, data}}, 40)},
        {"image inside the directory", iconBytes(1, {{16, 16, 4, 16, 6}}, 40)},
        {"truncated image", good.substr(0, good.size() - 1)},
        {"truncated directory", good.substr(0, 12)},
        {"truncated header", good.substr(0, 4)},
        {"not an icon", std::string("BM\0\0\1\0", 6) + good.substr(6)},
        {"over the cap", tooLarge},
    };
    for (const auto& [what, bytes] : damaged) {
        boxes.clear();
        const Text path = dir.write(u"bad.ico", bytes);
        IconFile icon;
        icon.path = u"untouched";
        EXPECT_FALSE(loadIconSource(path, icon)) << what;
        EXPECT_EQ(icon.path, u"untouched") << what;
        ASSERT_EQ(boxes.size(), 1u) << what;
        EXPECT_EQ(boxes[0].text, u"\"" + *resolveSourcePath(path, u".ico") + u"\" isn't an icon file") << what;
        EXPECT_EQ(boxes[0].caption, u".ICO");
        EXPECT_EQ(boxes[0].style & 0xF0, kBoxWarning);
    }
    // A missing icon is not used, and nothing is said.
    boxes.clear();
    IconFile icon;
    EXPECT_FALSE(loadIconSource(dir / u"none.ico", icon));
    EXPECT_TRUE(boxes.empty());

    // The job of a damaged icon touches no target's icons and ends with a failure status.
    const Text target = dir.write(u"Demo.exe", "launcher");
    const IntegrationJob job = parseToolCommandLine(u"-run -exe=\"" + target + u"\" -ico=\"" + (dir / u"bad.ico") + u"\"");
    const LoadedSources sources = loadSources(job);
    EXPECT_TRUE(planWrites(job, sources, {{TargetKind::Executable, target, false}}, "").empty());
    RunOutcome outcome;
    recordSources(outcome, job, sources);
    EXPECT_EQ(exitStatus(outcome), kToolFailed);
}

TEST_F(ToolSources, WritePlanSummaryAndStatusFollowWhatWasWritten) {
    // Three images: a 256-pixel one (size byte 0) at 32 bits, 48 at 8 bits, 16 at no bit count.
    const unsigned data = 6 + 3 * 16;
    const Text iconPath = dir.write(
        u"Demo.ico", iconBytes(3, {{0, 0, 32, 30, data}, {48, 48, 8, 20, data + 30}, {16, 16, 0, 10, data + 50}}, 60));
    const Text propertiesPath = dir.write(u"Demo.properties", "MainClass=demo.App\r\nPersonalOptions=-Xmx64m\r\n");
    const Text imagePath = dir.write(u"Demo.png", "\x89PNG\r\n");
    const Text jpeg = dir.write(u"splash.jpg", "\xFF\xD8\xFF\xDB....");
    (void)dir.write(u"one.jar", "PK one");
    const Text exe = dir.write(u"Demo.exe", "x"), cpl = dir.write(u"Demo.cpl", "x"), scr = dir.write(u"Demo.scr", "x");

    const IntegrationJob job = parseToolCommandLine(u"-run -info -admin \"" + iconPath + u"\" -jar=\"" + (dir / u"one.jar") +
                                                    u"\" -jar=\"" + (dir / u"missing.jar") + u"\"");
    ASSERT_EQ(job.exeTarget, *resolveSourcePath(exe, u".exe"));
    const LoadedSources sources = loadSources(job);
    ASSERT_TRUE(sources.icon && sources.imagePath && sources.propertiesPath);
    EXPECT_TRUE(boxes.empty());

    const BuiltMessage information = iconInformation(*sources.icon);
    EXPECT_EQ(information.caption, u"Demo.ico");
    EXPECT_EQ(information.text, u"This file contains 3 icon(s) :\n\n\t256x256 (16777216 colors)\t\n"
                                u"\t48x48 (256 colors)\t\n\t16x16 (16 colors)\t\n");

    const auto updates = planWrites(job, sources,
                                    {{TargetKind::ScreenSaver, scr, true}, {TargetKind::Executable, exe, false},
                                     {TargetKind::Applet, cpl, false}},
                                    "<manifest/>");
    ASSERT_EQ(updates.size(), 3u);
    auto find = [](const TargetUpdate& u, ResourceType type, int id) -> const std::string* {
        for (const ResourceWrite& w : u.writes)
            if (w.type.number == type.number && (w.type.name != nullptr) == (type.name != nullptr) && w.id == id)
                return &w.bytes;
        return nullptr;
    };
    EXPECT_EQ(updates[0].target.path, exe);
    EXPECT_EQ(updates[2].target.path, scr);
    for (const TargetUpdate& u : updates) {
        EXPECT_TRUE(u.replaceIcons);
        const std::string* group = find(u, kIconGroupResource, 1);
        ASSERT_TRUE(group);
        ASSERT_EQ(group->size(), 6u + 3 * 14);
        // Each group entry declares exactly the bytes of the image written under its identifier.
        for (int i = 1; i <= 3; ++i) {
            const std::string* image = find(u, kIconResource, i);
            ASSERT_TRUE(image);
            const std::size_t entry = 6 + 14 * (i - 1);
            EXPECT_EQ(static_cast<std::size_t>(static_cast<unsigned char>((*group)[entry + 8])), image->size());
            EXPECT_EQ(static_cast<int>(static_cast<unsigned char>((*group)[entry + 12])), i);
        }
        EXPECT_EQ(*find(u, kIconResource, 1), std::string(sources.icon->images[0].bytes));
        ASSERT_TRUE(find(u, kBinResource, kBinFirstArchive));
        EXPECT_FALSE(find(u, kBinResource, kBinFirstArchive + 1)) << "the unreadable archive is skipped";
        EXPECT_EQ(find(u, kBinResource, kBinSplashImage) != nullptr, u.target.path == exe);
        EXPECT_EQ(find(u, kManifestResource, 1) != nullptr, u.target.path == exe);
    }
    const std::string* config = find(updates[0], kBinResource, kBinConfiguration);
    ASSERT_TRUE(config);
    EXPECT_EQ(unscrambledText(config->data(), config->size()), u"MainClass=demo.App\nPersonalOptions=-Xmx64m\n");
    // The sibling launcher gets its option words added to its option line.
    const std::string* sibling = find(updates[2], kBinResource, kBinConfiguration);
    const Text rewritten = unscrambledText(sibling->data(), sibling->size());
    EXPECT_EQ(rewritten.rfind(u"MainClass = demo.App\nPersonalOptions = -Xmx64m -", 0), 0u) << toUtf8(rewritten);

    // The applet's commit fails: the summary names only what reached a file, the status says so.
    RunOutcome outcome;
    recordSources(outcome, job, sources);
    EXPECT_EQ(exitStatus(outcome), kToolFailed) << "an archive could not be read";
    outcome = {};
    recordTargetResult(outcome, sources, updates[0], true);
    recordTargetResult(outcome, sources, updates[1], false);
    EXPECT_EQ(summaryMessage(outcome).text,
              u"These files :\n* " + iconPath + u"\n\n* " + imagePath + u"\n\n* " + propertiesPath +
                  u"\n\n\nhave been successfully integrated into :\n* " + exe + u"\n\n");
    EXPECT_EQ(exitStatus(outcome), kToolFailed);
    outcome = {};
    recordTargetResult(outcome, sources, updates[1], true);
    EXPECT_EQ(exitStatus(outcome), kToolSucceeded);
    EXPECT_EQ(summaryMessage(outcome).text.find(imagePath), Text::npos) << "no image goes into the applet";

    // An image whose first bytes belie its name is refused with its message.
    Text resolved;
    std::string bytes;
    EXPECT_FALSE(loadImageSource(jpeg, resolved, bytes));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"\"" + *resolveSourcePath(jpeg, u".jpg") + u"\" isn't an image file");
}

} // namespace
} // namespace tavrelo
