// The portable decisions of starting a VM: versions, references in paths, the option array.
#include <gtest/gtest.h>

#include <cstdlib>

#include "launcher/launcher.h"
#include "platform/os.h"
#include "test_support.h"

namespace tavrelo {
namespace {

bool meets(const char16_t* runtime, const char16_t* required) {
    return meetsMinimum(parseRuntimeVersion(runtime), parseRuntimeVersion(required));
}

TEST(RuntimeVersions, ParsedAsTwoNumbers) {
    const auto check = [](const char16_t* text, int major, int minor) {
        const RuntimeVersion version = parseRuntimeVersion(text);
        EXPECT_EQ(version.major, major) << toUtf8(text);
        EXPECT_EQ(version.minor, minor) << toUtf8(text);
    };
    check(u"1.8", 1, 8);
    check(u"1.8.0_391-b13", 1, 8);
    check(u"17", 17, -1);
    check(u"17.0.15+6", 17, 0);
    check(u" 11.0.2", 11, 0);
    check(u"", -1, -1);
    check(u"x.y", -1, -1);
    check(u"9.x", 9, -1);
}

TEST(RuntimeVersions, MinimumComparesReleasesWrittenEitherWay) {
    EXPECT_FALSE(meets(u"1.5", u"1.6"));
    EXPECT_TRUE(meets(u"1.6", u"1.6"));
    EXPECT_TRUE(meets(u"1.7", u"1.6"));
    EXPECT_TRUE(meets(u"1.8", u"8"));
    EXPECT_TRUE(meets(u"17", u"1.8"));
    EXPECT_FALSE(meets(u"1.8", u"9"));
    EXPECT_FALSE(meets(u"1.8", u"17"));
    EXPECT_TRUE(meets(u"17.0.15", u"17"));
    EXPECT_TRUE(meets(u"17", u"17.0"));
    EXPECT_FALSE(meets(u"17.0", u"17.1"));
    EXPECT_FALSE(meets(u"", u"1.6")); // an unknown runtime cannot prove its version
    EXPECT_TRUE(meets(u"", u""));     // no minimum
    EXPECT_EQ(featureRelease(parseRuntimeVersion(u"1.4")), 4);
    EXPECT_EQ(featureRelease(parseRuntimeVersion(u"21")), 21);
}

TEST(RuntimeVersions, ReleaseFileOfTheHomeOrOfItsParent) {
    test::TempDir jdk;
    jdk.write(u"release", "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"1.8.0_292\"\n");
    jdk.makeDir(u"jre");
    RuntimeVersion version = releaseFileVersion(jdk / u"jre");
    EXPECT_EQ(version.major, 1);
    EXPECT_EQ(version.minor, 8);
    version = releaseFileVersion(jdk / u"missing/deeper");
    EXPECT_EQ(version.major, -1);
}

TEST(PathReferences, DefinedExpandUndefinedVanishLoneSignsStay) {
    ASSERT_TRUE(os::environmentValue(u"PATH"));
    const Text path = *os::environmentValue(u"PATH");
    EXPECT_EQ(expandReferences(u"[%PATH%]"), u"[" + path + u"]");
    EXPECT_EQ(expandReferences(u"a%TAVRELO_SURELY_UNDEFINED%b"), u"ab");
    EXPECT_EQ(expandReferences(u"100% sure"), u"100% sure");
    EXPECT_EQ(expandReferences(u"%%x"), u"%%x");
    EXPECT_EQ(expandReferences(u""), u"");
}

TEST(PathReferences, WebAddressesInPathListsAreKept) {
    const auto list = normalisePathList(u"https://example.org/java;HTTP://old.example.org", u"/nowhere");
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, u"https://example.org/java;HTTP://old.example.org");
}

std::vector<std::string> fixedTail(const Text& classPath, const Text& directory, const Text& libraryOption) {
    return {std::string(fixedOption(FixedOption::ClassPath)) + toUtf8(classPath),
            std::string(fixedOption(FixedOption::LauncherDirectory)) + toUtf8(directory), toUtf8(libraryOption),
            fixedOption(FixedOption::NoSystemAssertions)};
}

TEST(VmOptions, SortedCaseInsensitivelyRepeatsDroppedFixedOptionsLast) {
    const VmOptionSet set =
        buildVmOptions(u"-Xmx64m -Dz=1 -XMX64M -da -Da \"-Db=two words\"  -Dz=1", u"cp", u"dir", u"-Dlib=x");
    std::vector<std::string> expected = {"-da", "-Db=two words", "-Dz=1", "-Xmx64m"};
    for (const auto& option : fixedTail(u"cp", u"dir", u"-Dlib=x")) expected.push_back(option);
    EXPECT_EQ(set.options, expected);
    EXPECT_TRUE(set.keptBack.empty());
}

TEST(VmOptions, NonAsciiPropertiesAreKeptBackForJava) {
    const VmOptionSet set = buildVmOptions(u"-Dname=\u00e9t\u00e9 -dOther=\u4e2d -Xss1m", u"cp", u"dir", u"");
    EXPECT_EQ(set.keptBack, (std::vector<Text>{u"name=\u00e9t\u00e9", u"Other=\u4e2d"}));
    ASSERT_FALSE(set.options.empty());
    EXPECT_EQ(set.options.front(), "-Xss1m");
}

TEST(VmOptions, QuotesAndBlanksAroundOptionsAreRemovedEmptyOnesDropped) {
    const VmOptionSet set = buildVmOptions(u"\"\" \"-Dq=x\" -Dr=\"y\" -Xss1m", u" cp ", u"dir", u"");
    ASSERT_EQ(set.options.size(), 6u); // nor is an empty library option
    EXPECT_EQ(set.options[0], "-Dq=x");
    EXPECT_EQ(set.options[1], "-Dr=\"y\"");
    EXPECT_EQ(set.options[2], "-Xss1m");
    EXPECT_EQ(set.options[3], std::string(fixedOption(FixedOption::ClassPath)) + " cp");
    EXPECT_EQ(set.options[5], fixedOption(FixedOption::NoSystemAssertions));
}

} // namespace
} // namespace tavrelo
