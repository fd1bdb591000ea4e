#include <gtest/gtest.h>

#include "launcher/launcher.h"
#include "platform/os.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::TempDir;

const Text kSep(1, os::kPathSeparator);

Configuration loaded(const TempDir& dir, TextView baseName = u"Demo") {
    Configuration config;
    loadConfiguration(config, dir.path(), baseName, nullptr);
    return config;
}

TEST(PropertyLine, BothWrittenFormsOfEveryKey) {
    struct Case {
        const char16_t* form;
        ConfigSlot slot;
    };
    const Case cases[] = {
        {u"JREversion", kJreVersion},       {u"JRE version", kJreVersion},
        {u"MainArgs", kMainArgs},           {u"Main Args", kMainArgs},
        {u"MainClass", kMainClass},         {u"main class", kMainClass},
        {u"PersonalOptions", kPersonalOptions}, {u"Personal Options", kPersonalOptions},
        {u"RunType", kRunType},             {u"Run Type", kRunType},
        {u"RunAsService", kRunType},        {u"Run As Service", kRunType},
        {u"Display_BoxInstall", kDisplayBoxInstall}, {u"Display BoxInstall", kDisplayBoxInstall},
    };
    for (const Case& c : cases) {
        Configuration config;
        parsePropertyLine(config, Text(c.form) + u" = value1 ");
        ASSERT_TRUE(config.has(c.slot)) << toUtf8(c.form);
        EXPECT_EQ(*config.get(c.slot), u"value1") << toUtf8(c.form);
    }
    // The path-list keys, with a value that is kept as written.
    const Case lists[] = {
        {u"PersonalClasspath", kPersonalClasspath}, {u"Personal Classpath", kPersonalClasspath},
        {u"ClassDirectory", kClassDirectory},       {u"Class Directory", kClassDirectory},
        {u"ResourceDirectory", kResourceDirectory}, {u"Resource Directory", kResourceDirectory},
        {u"URL_InstallJRE", kUrlInstallJre},        {u"URL InstallJRE", kUrlInstallJre},
        {u"PathBrowser", kPathBrowser},             {u"Path Browser", kPathBrowser},
        {u"PathJRE", kPathJre},                     {u"Path JRE", kPathJre},
    };
    for (const Case& c : lists) {
        Configuration config;
        parsePropertyLine(config, Text(c.form) + u"=http://example.org/x");
        ASSERT_TRUE(config.has(c.slot)) << toUtf8(c.form);
        EXPECT_EQ(*config.get(c.slot), u"http://example.org/x");
    }
}

TEST(PropertyLine, LinesThatSetNothing) {
    Configuration config;
    parsePropertyLine(config, u"MainClass demo.App");  // no '='
    parsePropertyLine(config, u"#MainClass=demo.App"); // no comment syntax: an unknown key
    parsePropertyLine(config, u"MainClassX=demo.App");
    parsePropertyLine(config, u"");
    for (const auto& slot : config.slots) EXPECT_FALSE(slot.has_value());
}

TEST(PropertyLine, LaterLinesWinAndValuesKeepTheirEquals) {
    Configuration config;
    parsePropertyLine(config, u"MainClass=first");
    parsePropertyLine(config, u"mainclass=demo.App\r\n");
    EXPECT_EQ(*config.get(kMainClass), u"demo.App");
    parsePropertyLine(config, u"MainArgs=-a=b c");
    EXPECT_EQ(*config.get(kMainArgs), u"-a=b c");
    parsePropertyLine(config, u"JREversion=");
    ASSERT_TRUE(config.has(kJreVersion));
    EXPECT_EQ(*config.get(kJreVersion), u"");
}

TEST(Escapes, OptionsLoseBackslashRunsAndEscapedColonsAndEquals) {
    Configuration config;
    parsePropertyLine(config, u"PersonalOptions=-Dpath=C\\:\\\\\\\\tmp");
    EXPECT_EQ(*config.get(kPersonalOptions), u"-Dpath=C:\\tmp");
    EXPECT_EQ(removeEscapes(u"a\\=b \\\\\\ c"), u"a=b \\ c");
}

TEST(PathList, RelativeElementsResolveAndMissingOnesStayEmpty) {
    TempDir app;
    app.write(u"lib/a.jar", "x");
    Configuration config;
    config.launcherDirectory = app.path();
#ifdef _WIN32
    parsePropertyLine(config, u"PersonalClasspath=lib\\a.jar;C:\\missing.jar");
#else
    parsePropertyLine(config, u"PersonalClasspath=lib/a.jar;/missing.jar");
#endif
    ASSERT_TRUE(config.has(kPersonalClasspath));
    EXPECT_EQ(*config.get(kPersonalClasspath), app / u"lib/a.jar" + u";");
}

TEST(PathList, ElementsAreTrimmedAndTrailingSeparatorsDropped) {
    TempDir app;
    app.write(u"a.jar", "x");
    app.write(u"b.jar", "x");
    app.makeDir(u"classes");
    Configuration config;
    config.launcherDirectory = app.path();
    parsePropertyLine(config, u"PersonalClasspath= a.jar ;  b.jar; classes" + kSep);
    EXPECT_EQ(*config.get(kPersonalClasspath), app / u"a.jar" + u";" + (app / u"b.jar") + u";" + (app / u"classes"));
    parsePropertyLine(config, u"PathBrowser=HTTP://example.org/get ");
    EXPECT_EQ(*config.get(kPathBrowser), u"HTTP://example.org/get");
}

TEST(PathList, EmptyValueRemovesTheSlotAndItsDefault) {
    TempDir app;
    app.write(u"Demo.properties", "ResourceDirectory=\nClassDirectory=  \n");
    const Configuration config = loaded(app);
    EXPECT_FALSE(config.has(kResourceDirectory));
    EXPECT_FALSE(config.has(kClassDirectory));
}

TEST(LoadConfiguration, DefaultsWithoutAnyFile) {
    TempDir app;
    const Configuration config = loaded(app);
    EXPECT_EQ(*config.get(kResourceDirectory), app / u"resource");
    EXPECT_EQ(*config.get(kClassDirectory), app / u"resource");
    EXPECT_FALSE(config.has(kMainClass));
    EXPECT_FALSE(config.has(kJreVersion));
}

TEST(LoadConfiguration, FileBesideTheLauncherBeatsSubdirectories) {
    TempDir app;
    app.write(u"conf/Demo.properties", "MainClass=from.Sub\n");
    EXPECT_EQ(*loaded(app).get(kMainClass), u"from.Sub");
    app.write(u"Demo.properties", "MainClass=from.Beside\n");
    EXPECT_EQ(*loaded(app).get(kMainClass), u"from.Beside");
    EXPECT_EQ(findPropertiesFile(app.path(), u"Demo"), app.path() + kSep + kSep + u"Demo.properties");
}

TEST(LoadConfiguration, OnlyOneLevelOfSubdirectoriesIsSearched) {
    TempDir app;
    app.write(u"a/b/Demo.properties", "MainClass=deep\n");
    EXPECT_FALSE(loaded(app).has(kMainClass));
    EXPECT_EQ(findPropertiesFile(app.path(), u"Other"), u"");
}

TEST(LoadConfiguration, Utf16WithoutMark) {
    TempDir app;
    app.write(u"Demo.properties", test::utf16leBytes(u"MainClass=demo.App\r\nJREversion=1.8\r\n", false));
    const Configuration config = loaded(app);
    EXPECT_EQ(*config.get(kMainClass), u"demo.App");
    EXPECT_EQ(*config.get(kJreVersion), u"1.8");
}

TEST(LoadConfiguration, Utf16WithMarkKeepsNonAsciiText) {
    TempDir app;
    app.write(u"Demo.properties", test::utf16leBytes(u"MainArgs=héllo wörld\n", true));
    EXPECT_EQ(*loaded(app).get(kMainArgs), u"héllo wörld");
}

TEST(LoadConfiguration, Utf8WithMarkIsReadAsUtf8) {
    TempDir app;
    app.write(u"Demo.properties", "\xEF\xBB\xBFMainArgs=caf\xC3\xA9\nMainClass=demo.App");
    const Configuration config = loaded(app);
    EXPECT_EQ(*config.get(kMainArgs), u"café");
    EXPECT_EQ(*config.get(kMainClass), u"demo.App"); // last line without line feed
}

TEST(LoadConfiguration, AnsiFile) {
    TempDir app;
    app.write(u"Demo.properties", "MainClass = demo.App\r\nMain Args=-x\r\n\r\nRunType=1\r\n");
    const Configuration config = loaded(app);
    EXPECT_EQ(*config.get(kMainClass), u"demo.App");
    EXPECT_EQ(*config.get(kMainArgs), u"-x");
    EXPECT_EQ(*config.get(kRunType), u"1");
}

TEST(LoadConfiguration, LongLinesArriveInPieces) {
    std::string line = "MainArgs=" + std::string(5000, 'a') + "\n";
    const auto lines = propertiesLines(line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 4095u);
    // The second piece has no '=' and sets nothing; the first sets a cut value.
    Configuration config;
    for (const Text& piece : lines) parsePropertyLine(config, piece);
    EXPECT_EQ(config.get(kMainArgs)->size(), 4095u - 9u);
}

TEST(EmbeddedText, AppliesLinesUpToTheFirstEmptyOne) {
    Configuration config;
    parsePropertyLine(config, u"MainClass=from.File");
    applyEmbeddedText(config, u"  \n MainClass=from.Embedded\nMainArgs=-e\n\nJREversion=9\n");
    EXPECT_EQ(*config.get(kMainClass), u"from.Embedded");
    EXPECT_EQ(*config.get(kMainArgs), u"-e");
    EXPECT_FALSE(config.has(kJreVersion));
    Configuration untouched;
    applyEmbeddedText(untouched, u"");
    applyEmbeddedText(untouched, u"   ");
    for (const auto& slot : untouched.slots) EXPECT_FALSE(slot.has_value());
}

TEST(SplitWords, SpacesSeparateOutsideQuotes) {
    using Words = std::vector<Text>;
    EXPECT_EQ(splitWords(u""), Words{});
    EXPECT_EQ(splitWords(u"    "), Words{});
    EXPECT_EQ(splitWords(u"  a   b "), (Words{u"a", u"b"}));
    EXPECT_EQ(splitWords(u"\"a b\" c"), (Words{u"a b", u"c"}));
    // A quote inside a word stays part of it; only a leading one is dropped with its partner.
    EXPECT_EQ(splitWords(u"-Dx=\"a b\" y"), (Words{u"-Dx=\"a b\"", u"y"}));
    EXPECT_EQ(splitWords(u"\"x\"y z"), (Words{u"x\"y", u"z"}));
    // The last word loses a trailing quote in any case.
    EXPECT_EQ(splitWords(u"a b\""), (Words{u"a", u"b"}));
    // Tabs are no separators.
    EXPECT_EQ(splitWords(u"a\tb"), (Words{u"a\tb"}));
    // An unclosed quote runs to the end.
    EXPECT_EQ(splitWords(u"\"a b c"), (Words{u"a b c"}));
}

} // namespace
} // namespace tavrelo
