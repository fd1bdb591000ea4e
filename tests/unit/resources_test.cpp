#include <gtest/gtest.h>

#include <vector>

#include "resources/resources.h"
#include "resources/scramble.h"
#include "test_support.h"

namespace tavrelo {
namespace {

std::string plainUtf16(TextView text) { return test::utf16leBytes(text, false); }

std::string scrambled(std::string bytes) {
    scrambleBytes(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

Text readBack(const std::string& bytes, std::size_t limit = SIZE_MAX) {
    return unscrambledText(bytes.data(), bytes.size(), limit);
}

TEST(ScrambledText, StoredTextsReadBackUnchanged) {
    Text longText;
    for (int i = 0; i < 3000; ++i) longText.push_back(static_cast<char16_t>(u'a' + i % 26));
    for (const Text& text : {Text(), Text(u"A"), Text(u"MainClass=demo.App\nMainArgs=caf\u00e9 \u4e2d\n"), longText}) {
        const std::string bytes = scrambledTextBytes(text);
        EXPECT_EQ(bytes.size(), 2 * (text.size() + 1)); // the terminating NUL is stored too
        if (text.size() > 1) {
            EXPECT_EQ(bytes.find(plainUtf16(text)), std::string::npos) << "stored in the clear";
        }
        EXPECT_EQ(readBack(bytes), text);
    }
}

TEST(ScrambledText, PlaceholderAndMissingDataGiveNoText) {
    const char placeholder[1] = {0};
    EXPECT_EQ(unscrambledText(placeholder, 1), u"");
    EXPECT_EQ(unscrambledText(nullptr, 10), u"");
    EXPECT_EQ(unscrambledText("abc", 0), u"");
}

TEST(ScrambledText, TextEndsAtItsFirstNulOrAtTheEndOfTheData) {
    EXPECT_EQ(readBack(scrambled(plainUtf16(Text(u"Main\0Class", 10)))), u"Main");
    // Without a terminating NUL the whole buffer is the text; an odd final byte is no unit.
    EXPECT_EQ(readBack(scrambled(plainUtf16(u"ab"))), u"ab");
    EXPECT_EQ(readBack(scrambled(plainUtf16(u"ab") + "c")), u"ab");
}

TEST(ScrambledText, ScreenSaverPathIsKeptWithinItsLimit) {
    const Text path(5000, u'x');
    EXPECT_EQ(readBack(scrambledTextBytes(path), kScreenSaverPathUnits).size(), kScreenSaverPathUnits);
    EXPECT_EQ(readBack(scrambledTextBytes(u"C:\\App\\Demo.scr"), kScreenSaverPathUnits), u"C:\\App\\Demo.scr");
}

TEST(StringBlock, EmptyStringsAreZeroLengthsAndLaterIndexesAreLeftOut) {
    // The screen-saver description block: "", the description, "" — 2 × (N + 3) bytes.
    const std::string block = stringBlockBytes({u"", u"Demo", u""});
    EXPECT_EQ(block, std::string("\0\0\4\0D\0e\0m\0o\0\0\0", 14));
    EXPECT_EQ(stringBlockBytes(std::vector<Text>(17, u"x")), "");
    EXPECT_EQ(stringBlockBytes({Text(70000, u'x')}).size(), 2u + 2u * 0xFFFF);
}

TEST(IntegrationFile, ExtensionsTheToolTakes) {
    for (const char16_t* accepted :
         {u"demo.ico", u"Demo.properties", u"a.bmp", u"a.png", u"a.gif", u"a.jpg", u"a.jpeg", u"Demo.JPEG",
          u"C:\\My Art\\splash.PNG", u"\"C:\\My Art\\splash.png\"", u"\"C:\\My Art\\splash.png"})
        EXPECT_TRUE(isIntegrationFile(accepted)) << toUtf8(accepted);
    for (const char16_t* refused : {u"Demo.jpg.bak", u"notes.txt", u"icon", u"", u"\"", u"C:\\pics.png\\file",
                                    u"C:\\x.png\"", u"demo.icon", u"demo.ic", u"Demo.exe"})
        EXPECT_FALSE(isIntegrationFile(refused)) << toUtf8(refused);
}

class IntegrationRequest : public ::testing::Test {
protected:
    void SetUp() override { (void)app.write(kResourceToolName, "tool"); }
    bool request(std::vector<const char16_t*> arguments) const {
        return isIntegrationRequest(static_cast<int>(arguments.size()), arguments.data(), app.path());
    }
    test::TempDir app;
};

TEST_F(IntegrationRequest, OneToThreeToolFilesWithTheToolBeside) {
    EXPECT_TRUE(request({u"demo.ico"}));
    EXPECT_TRUE(request({u"demo.ico", u"C:\\My Art\\splash.png"}));
    EXPECT_TRUE(request({u"missing.ico", u"Demo.properties", u"Demo.JPEG"})); // existence is the tool's business
}

TEST_F(IntegrationRequest, OtherArgumentsLaunchNormally) {
    EXPECT_FALSE(request({}));
    EXPECT_FALSE(request({u"a.ico", u"b.png", u"c.gif", u"d.bmp"}));
    EXPECT_FALSE(request({u"notes.txt"}));
    EXPECT_FALSE(request({u"demo.ico", u"Demo.jpg.bak"}));
    EXPECT_FALSE(request({u"demo.ico", nullptr}));
    EXPECT_FALSE(isIntegrationRequest(1, nullptr, app.path()));
}

TEST_F(IntegrationRequest, NoToolNoHandOver) {
    test::TempDir empty;
    const char16_t* arguments[] = {u"demo.ico"};
    EXPECT_FALSE(isIntegrationRequest(1, arguments, empty.path()));
    EXPECT_EQ(resourceToolPath(app.path()), app / kResourceToolName);
}

Text toolLine(TextView launcher, std::vector<const char16_t*> arguments) {
    return resourceToolCommandLine(launcher, static_cast<int>(arguments.size()), arguments.data());
}

// The common cases run through the real launcher in the Windows tests; these are the others.
TEST(ResourceToolCommandLine, TargetOptionFollowsTheLauncherExtension) {
    EXPECT_EQ(toolLine(u"C:\\App\\Demo.cpl", {u"a.ico"}), u"Tavpack.exe -run -info -cpl=\"C:\\App\\Demo.cpl\" -ico=\"a.ico\"");
    EXPECT_EQ(toolLine(u"C:\\App\\Demo.SCR", {u"a.ico"}), u"Tavpack.exe -run -info -scr=\"C:\\App\\Demo.SCR\" -ico=\"a.ico\"");
    EXPECT_EQ(toolLine(u"/opt/app/Demo_console", {u"a.ico"}), u"Tavpack.exe -run -info -ico=\"a.ico\"");
    EXPECT_EQ(toolLine(u"\"C:\\App\\Demo_console.exe\"", {u"a.gif"}),
              u"Tavpack.exe -run -info -exe=\"C:\\App\\Demo_console.exe\" -img=\"a.gif\"");
}

TEST(ResourceToolCommandLine, AtMostThreeFilesAndEachArgumentWithinItsLimit) {
    EXPECT_EQ(toolLine(u"C:\\A\\D.exe", {u"1.ico", u"notes.txt", u"2.png", u"3.gif", u"4.bmp"}),
              u"Tavpack.exe -run -info -exe=\"C:\\A\\D.exe\" -ico=\"1.ico\" -img=\"2.png\" -img=\"3.gif\"");
    const Text longName = Text(3000, u'x') + u".png";
    const Text line = toolLine(u"C:\\A\\D.exe", {longName.c_str()});
    const std::size_t start = line.find(u"-img=");
    ASSERT_NE(start, Text::npos);
    EXPECT_EQ(line.size() - start, 2047u);
}

} // namespace
} // namespace tavrelo
