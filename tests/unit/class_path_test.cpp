#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "launcher/launcher.h"
#include "platform/os.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::TempDir;

std::vector<Text> elements(TextView list) {
    std::vector<Text> out;
    for (;;) {
        const std::size_t cut = list.find(os::kListSeparator);
        out.emplace_back(list.substr(0, cut));
        if (cut == TextView::npos) return out;
        list = list.substr(cut + 1);
    }
}

Configuration configFor(const TempDir& app, std::string properties = {}) {
    if (!properties.empty()) app.write(u"Demo.properties", properties);
    Configuration config;
    loadConfiguration(config, app.path(), u"Demo", nullptr);
    return config;
}

TEST(ClassPath, LauncherAndResourceDirectoriesThenNamedArchives) {
    TempDir app;
    app.write(u"Demo.jar", "x");
    app.write(u"resource/Demo.zip", "x");
    app.write(u"lib/extra.jar", "x");
    const Configuration config = configFor(app, os::kPathSeparator == u'/' ? "PersonalClasspath=lib/extra.jar\n"
                                                                           : "PersonalClasspath=lib\\\\extra.jar\n");
    const auto parts = buildClassPath(config, u"Demo", u"", u"", u"-Dtavrelo.isConsole=1", u"-Dlib=");
    // The default class directory is the resource directory, so its scan finds Demo.zip again.
    const std::vector<Text> expected = {app.path(),         app / u"resource",      app / u"resource/Demo.zip",
                                        app / u"Demo.jar",  app / u"lib/extra.jar", app / u"resource/Demo.zip"};
    EXPECT_EQ(elements(parts.classPath), expected);
    EXPECT_EQ(parts.classPathOption, u"-Dlib=" + app.path() + Text(1, os::kListSeparator) + (app / u"resource"));
    EXPECT_EQ(parts.optionString, u"-Dtavrelo.isConsole=1 ");
}

TEST(ClassPath, JarIsPreferredOverZipAndExtraEntriesComeFirst) {
    TempDir app;
    app.write(u"Demo.jar", "x");
    app.write(u"Demo.zip", "x");
    const Configuration config = configFor(app, "ResourceDirectory=\nPersonalOptions=-Xmx64m -Da\\=b\n");
    const auto parts = buildClassPath(config, u"Demo", u"first.jar", u"optfirst", u"", u"P=");
    EXPECT_EQ(elements(parts.classPath), (std::vector<Text>{u"first.jar", app.path(), app / u"Demo.jar"}));
    EXPECT_EQ(parts.classPathOption, u"P=optfirst" + Text(1, os::kListSeparator) + app.path());
    EXPECT_EQ(parts.optionString, u"-Xmx64m -Da=b");
}

TEST(ClassPath, ClassDirectoryIsScannedDepthFirstForArchivesOnly) {
    TempDir app;
    app.write(u"resource/one.jar", "x");
    app.write(u"resource/notes.txt", "x");
    app.write(u"resource/sub/two.ZIP", "x");
    app.write(u"resource/sub/deeper/three.jar", "x");
    app.write(u"resource/sub/deeper/three.jar.bak", "x");
    app.write(u"resource/other/four.jar", "x");
    app.write(u"resource/other/inner/five.zip", "x");
    const auto parts = buildClassPath(configFor(app), u"Demo", u"", u"", u"", u"");
    auto list = elements(parts.classPath);
    ASSERT_GE(list.size(), 2u);
    list.erase(list.begin(), list.begin() + 2); // launcher and resource directory
    std::vector<Text> sorted = list;
    std::vector<Text> expected = {app / u"resource/one.jar", app / u"resource/sub/two.ZIP",
                                  app / u"resource/sub/deeper/three.jar", app / u"resource/other/four.jar",
                                  app / u"resource/other/inner/five.zip"};
    std::sort(sorted.begin(), sorted.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);

    // The file system decides the order within a directory. A subdirectory is scanned where the
    // listing meets it, so everything below it follows in one run, in the listing's place: with
    // two subdirectories two levels deep, a level-by-level scan would interleave them.
    std::vector<Text> listed;
    ASSERT_TRUE(os::listDirectory(
        app / u"resource",
        [](TextView name, bool, void* out) {
            if (name != u"notes.txt") static_cast<std::vector<Text>*>(out)->emplace_back(name);
            return true;
        },
        &listed));
    const std::size_t prefix = (app / u"resource").size() + 1;
    std::vector<Text> runs; // the top-level entry each archive lies under, one per run
    for (const Text& archive : list) {
        const Text relative = archive.substr(prefix);
        const Text top = relative.substr(0, relative.find(os::kPathSeparator));
        if (runs.empty() || runs.back() != top) runs.push_back(top);
    }
    EXPECT_EQ(runs, listed);
}

TEST(ClassPath, SeveralClassDirectoriesInTheirConfiguredOrder) {
    TempDir app;
    app.write(u"b/x.jar", "x");
    app.write(u"a/y.jar", "x");
    const auto parts = buildClassPath(configFor(app, "ClassDirectory=b;a\n"), u"Demo", u"", u"", u"", u"");
    const auto list = elements(parts.classPath);
    const std::vector<Text> tail(list.end() - 2, list.end());
    EXPECT_EQ(tail, (std::vector<Text>{app / u"b/x.jar", app / u"a/y.jar"}));
}

TEST(ClassPath, CutAtItsLimitWithoutFailing) {
    TempDir app;
    for (int i = 0; i < 120; ++i) app.write(u"resource/archive-with-a-rather-long-name-" + fromInt(i) + u".jar", "x");
    const auto parts = buildClassPath(configFor(app), u"Demo", u"", u"", u"", u"");
    EXPECT_EQ(parts.classPath.size(), 8191u);
}

} // namespace
} // namespace tavrelo
