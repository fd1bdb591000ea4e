#include <gtest/gtest.h>

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
    const auto parts = buildClassPath(configFor(app), u"Demo", u"", u"", u"", u"");
    auto list = elements(parts.classPath);
    ASSERT_GE(list.size(), 2u);
    list.erase(list.begin(), list.begin() + 2); // launcher and resource directory
    std::vector<Text> expected = {app / u"resource/one.jar", app / u"resource/sub/two.ZIP",
                                  app / u"resource/sub/deeper/three.jar"};
    // The file system decides the order within a directory; a subdirectory's archives always
    // follow each other without archives of the parent between them.
    std::sort(list.begin(), list.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list, expected);
    const auto unsorted = elements(parts.classPath);
    const auto two = std::find(unsorted.begin(), unsorted.end(), app / u"resource/sub/two.ZIP");
    const auto three = std::find(unsorted.begin(), unsorted.end(), app / u"resource/sub/deeper/three.jar");
    ASSERT_NE(two, unsorted.end());
    ASSERT_NE(three, unsorted.end());
    EXPECT_EQ(std::abs(static_cast<int>(three - two)), 1);
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
