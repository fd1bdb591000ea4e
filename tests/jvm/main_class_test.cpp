// Which main class runs: the real Linux launcher beside archives built from tests/java/mainclass
// (manifest.jar names manifest.Chosen, plain.jar holds com/x/Demo.class, other.jar holds
// other/Demo.class and other/Main.class), and the archive search in process.
#include <gtest/gtest.h>

#include "bridge/bridge.h"
#include "jvm_support.h"
#include "launcher/hand_overs.h"

namespace tavrelo::test {
namespace {

using Lines = std::vector<std::string>;

std::string archive(const std::string& name) {
    return fileBytes(std::string(TAVRELO_MAIN_CLASS_ARCHIVES) + "/" + name);
}

// The classes whose main ran.
Lines ran(const RunResult& run) { return linesWith(run.out, "main ran "); }

TEST(MainClassRun, ManifestOfTheArchiveNamedAfterTheLauncherNamesIt) {
    for (const char16_t* archiveName : {u"Demo.jar", u"Demo.zip"}) {
        AppDirectory app("Demo", false);
        app.dir().write(archiveName, archive("manifest.jar"));
        // A Demo.class elsewhere does not matter once a manifest named the class.
        app.dir().write(u"lib/app.jar", archive("plain.jar"));
        app.properties("PersonalClasspath=lib/app.jar\n");
        const RunResult run = app.run();
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(ran(run), Lines{"manifest.Chosen"}) << toUtf8(archiveName) << "\n" << run.err;
    }
}

TEST(MainClassRun, ConfiguredMainClassWinsOverTheManifest) {
    AppDirectory app("Demo", false);
    app.dir().write(u"Demo.jar", archive("manifest.jar"));
    app.dir().write(u"lib/other.jar", archive("other.jar"));
    app.properties("PersonalClasspath=lib/other.jar\nMainClass=other.Main\n");
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(ran(run), Lines{"other.Main"}) << run.err;
}

TEST(MainClassRun, ClassFileNamedAfterTheLauncherInAnotherArchive) {
    // The launcher's name may differ in case from the entry; the class keeps the entry's case.
    for (const char* name : {"Demo", "DEMO", "demo"}) {
        AppDirectory app(name, false);
        app.dir().write(u"lib/app.jar", archive("plain.jar"));
        app.properties("PersonalClasspath=lib/app.jar\n");
        const RunResult run = app.run();
        EXPECT_EQ(run.status, 1) << name << "\n" << run.err;
        EXPECT_EQ(ran(run), Lines{"com.x.Demo"}) << name << "\n" << run.err;
    }
}

TEST(MainClassRun, TheArchiveEarlierOnTheClassPathWins) {
    const struct {
        const char* classPath;
        const char* expected;
    } cases[] = {{"lib/a.jar;lib/b.jar", "com.x.Demo"}, {"lib/b.jar;lib/a.jar", "other.Demo"}};
    for (const auto& c : cases) {
        AppDirectory app("Demo", false);
        app.dir().write(u"lib/a.jar", archive("plain.jar"));
        app.dir().write(u"lib/b.jar", archive("other.jar"));
        app.properties(std::string("PersonalClasspath=") + c.classPath + "\n");
        const RunResult run = app.run();
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(ran(run), Lines{c.expected}) << c.classPath << "\n" << run.err;
    }
}

TEST(MainClassRun, ArchiveWithoutManifestMainClassFallsThroughToTheClassFiles) {
    {
        // Demo.jar itself holds the class file.
        AppDirectory app("Demo", false);
        app.dir().write(u"Demo.jar", archive("plain.jar"));
        app.dir().write(u"lib/other.jar", archive("other.jar"));
        app.properties("PersonalClasspath=lib/other.jar\n");
        const RunResult run = app.run();
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(ran(run), Lines{"com.x.Demo"}) << run.err;
    }
    {
        // Demo.jar holds no such class: the next archive is searched.
        AppDirectory app("Demo", false);
        app.dir().write(u"Demo.jar", fileBytes(TAVRELO_FIXTURE_JAR));
        app.dir().write(u"lib/other.jar", archive("other.jar"));
        app.properties("PersonalClasspath=lib/other.jar\n");
        const RunResult run = app.run();
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(ran(run), Lines{"other.Demo"}) << run.err;
    }
}

TEST(MainClassRun, UnreadableArchivesAreSkipped) {
    AppDirectory app("Demo", false);
    app.dir().write(u"Demo.jar", "this is not an archive");
    app.dir().write(u"lib/broken.zip", std::string("PK\x03\x04 cut short", 15));
    app.dir().makeDir(u"lib/folder.jar");
    app.dir().write(u"lib/app.jar", archive("plain.jar"));
    app.properties("PersonalClasspath=lib/broken.zip;lib/folder.jar;lib/missing.jar;lib/app.jar\n");
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(ran(run), Lines{"com.x.Demo"}) << run.err;
}

TEST(MainClassRun, NothingFoundLeavesTheBaseNameWhichIsThenMissing) {
    AppDirectory app("Demo", false);
    app.dir().write(u"Demo.jar", "this is not an archive");
    app.dir().write(u"lib/other.jar", archive("manifest.jar")); // a manifest of another name counts not
    app.properties("PersonalClasspath=lib/other.jar\n");
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ran(run), Lines{});
    EXPECT_NE(run.err.find("Can't find main class \"Demo\""), std::string::npos) << run.err;
}

// ---- In process -------------------------------------------------------------------------------

class MainClassSearch : public ::testing::Test {
  protected:
    void SetUp() override { ensureJavaVm(); }

    // Writes an archive through java.util.zip: with a manifest naming `mainClass` ("" for a
    // manifest without Main-Class), or with no manifest at all when it is null.
    std::string writeArchive(const std::string& relative, const char* mainClass, const std::vector<Text>& entries) {
        const Text path = dir_ / fromUtf8(relative);
        const Text parent = path.substr(0, path.rfind(u'/'));
        if (!os::isDirectory(parent)) {
            EXPECT_TRUE(os::makeDirectory(parent));
        }
        LocalRef<jstring> javaPath(toJavaString(path));
        const LocalRef<jstring> javaMain = mainClass ? toJavaStringUtf(mainClass) : LocalRef<jstring>();
        LocalRef<jobjectArray> javaEntries(toJavaStringArray(entries, false));
        callMethodVoid("fixture.Objects", nullptr, "writeArchive",
                       "Ljava/lang/String;Ljava/lang/String;[Ljava/lang/String;", javaPath.get(), javaMain.get(),
                       javaEntries.get());
        EXPECT_TRUE(os::pathExists(path)) << relative;
        return toUtf8(path);
    }
    static Text list(const std::vector<std::string>& elements) {
        Text joined;
        for (const std::string& element : elements) {
            if (!joined.empty()) joined += os::kListSeparator;
            joined += fromUtf8(element);
        }
        return joined;
    }

    TempDir dir_;
};

TEST_F(MainClassSearch, EntryMatchesWithoutRegardToCaseAndKeepsItsOwnCase) {
    const std::string jar = writeArchive(
        "lib/app.jar", "",
        {u"META-INF/", u"com/", u"com/x/", u"com/x/Other.class", u"com/x/DEMO.CLASS", u"com/y/Demo.class"});
    EXPECT_EQ(resolveMainClass(u"", list({jar}), u"Demo"), "com.x.DEMO");
    EXPECT_EQ(resolveMainClass(u"", list({jar}), u"other"), "com.x.Other");
    // Only the last path component counts: a directory named like the class is no match.
    const std::string dirs = writeArchive("lib/dirs.zip", nullptr, {u"Demo.class/", u"Demo.class/x.txt"});
    EXPECT_EQ(resolveMainClass(u"", list({dirs}), u"x"), "");
    EXPECT_EQ(resolveMainClass(u"", list({jar}), u"Missing"), "");
}

TEST_F(MainClassSearch, ManifestPassOnlyReadsArchivesNamedAfterTheBaseName) {
    const std::string named = writeArchive("Demo.JAR", "named.Main", {});
    const std::string other = writeArchive("lib/other.jar", "other.Main", {u"x/Demo.class"});
    EXPECT_EQ(resolveMainClass(u"", list({other, named}), u"demo"), "named.Main");
    EXPECT_EQ(resolveMainClass(u"", list({other}), u"Demo"), "x.Demo");
    // Without any manifest, and with an empty Main-Class, the class files decide.
    const std::string bare = writeArchive("bare/Demo.zip", nullptr, {u"y/Demo.class"});
    EXPECT_EQ(resolveMainClass(u"", list({bare, other}), u"Demo"), "y.Demo");
    const std::string empty = writeArchive("empty/Demo.jar", "", {});
    EXPECT_EQ(resolveMainClass(u"", list({empty, other}), u"Demo"), "x.Demo");
    // Configured wins without any archive.
    EXPECT_EQ(resolveMainClass(u"conf/Main", list({named}), u"Demo"), "conf/Main");
}

TEST_F(MainClassSearch, QuotedElementsAndLongClassPaths) {
    // The list separator inside double quotes belongs to the element.
    const std::string jar = writeArchive("with:colon/app.jar", "", {u"deep/Demo.class"});
    Text quoted(1, u'"');
    quoted += fromUtf8(jar);
    quoted += u'"';
    EXPECT_EQ(resolveMainClass(u"", quoted, u"Demo"), "deep.Demo");
    // Far more elements than a first allocation would hold; the match comes last.
    std::vector<std::string> elements;
    for (int i = 0; i < 2500; ++i)
        elements.push_back(toUtf8(dir_.path()) + "/missing" + std::to_string(i) + ".jar");
    elements.push_back(toUtf8(quoted));
    EXPECT_EQ(resolveMainClass(u"", list(elements), u"Demo"), "deep.Demo");
}

} // namespace
} // namespace tavrelo::test
