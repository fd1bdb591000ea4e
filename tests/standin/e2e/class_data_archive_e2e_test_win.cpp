// The application's class-data archive through the real console launcher and the stand-in
// runtime, which writes a small archive where the options tell it to at its end.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "demo_app.h"
#include "platform/os.h"
#include "platform/win_text.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "main ran"
)";

// The VM options of the last run (the log is removed before each run).
std::vector<std::string> runOptions(const DemoApp& app) {
    (void)os::deleteFile(app.dir / u"jre\\standin.log");
    const ProcessResult result = app.run();
    EXPECT_EQ(result.exitCode, 1u) << result.err;
    EXPECT_EQ(result.out, "main ran\r\n") << result.err;
    std::vector<std::string> options;
    for (const LogLine& line : app.log().find("option")) options.push_back(line.details);
    return options;
}

std::string valueOf(const std::vector<std::string>& options, std::string_view prefix) {
    for (const std::string& option : options)
        if (option.rfind(prefix, 0) == 0) return option.substr(prefix.size());
    return {};
}

std::vector<std::string> filesIn(const Text& directory) {
    std::vector<std::string> names;
    (void)os::listDirectory(
        directory,
        [](TextView name, bool, void* out) {
            static_cast<std::vector<std::string>*>(out)->push_back(os::textToAnsi(name));
            return true;
        },
        &names);
    return names;
}

TEST(ClassDataArchiveE2E, FirstStartWritesByTheRuntimesReleaseLaterStartsMapTheArchiveMovedIntoPlace) {
    wchar_t saved[MAX_PATH] = {};
    const DWORD savedLength = GetEnvironmentVariableW(L"LOCALAPPDATA", saved, MAX_PATH);
    for (const bool release21 : {false, true}) {
        SCOPED_TRACE(release21 ? "release 21" : "release 17");
        DemoApp app(kApp);
        ASSERT_TRUE(os::writeFile(app.dir / u"jre\\bin\\server\\classes.jsa", "base archive"));
        if (release21) { // known from the "release" file once java.exe is gone
            ASSERT_TRUE(os::deleteFile(app.dir / u"jre\\bin\\java.exe"));
            ASSERT_TRUE(os::writeFile(app.dir / u"jre\\release", "JAVA_VERSION=\"21.0.2\"\n"));
        }
        ASSERT_TRUE(SetEnvironmentVariableW(L"LOCALAPPDATA", wc(app.dir / u"Local Data")));
        const Text cds = app.dir / u"Local Data\\Tavrelo\\cds";

        // First start: the runtime writes to a name of the launcher's process, which is moved
        // into place under the length written.
        const auto first = runOptions(app);
        EXPECT_EQ(valueOf(first, "-Xlog:"), "cds*=off");
        const std::string temporary =
            release21 ? valueOf(first, "-XX:SharedArchiveFile=") : valueOf(first, "-XX:ArchiveClassesAtExit=");
        EXPECT_EQ(std::count(first.begin(), first.end(), "-XX:+AutoCreateSharedArchive"), release21 ? 1 : 0);
        EXPECT_EQ(temporary.rfind(os::textToAnsi(cds) + "\\", 0), 0u) << temporary;
        ASSERT_TRUE(temporary.ends_with(".tmp")) << temporary;
        EXPECT_TRUE(app.log().has("archive", temporary));
        EXPECT_FALSE(os::pathExists(os::ansiToText(temporary)));
        const std::string prefix = temporary.substr(cds.size() + 1, temporary.rfind('-') - cds.size());
        const std::vector<std::string> placed = filesIn(cds);
        ASSERT_EQ(placed.size(), 1u);
        EXPECT_EQ(placed.front(), prefix + "24.jsa");

        // Later starts map it and write nothing.
        const auto second = runOptions(app);
        EXPECT_EQ(valueOf(second, "-XX:SharedArchiveFile="), os::textToAnsi(cds) + "\\" + placed.front());
        EXPECT_EQ(valueOf(second, "-XX:ArchiveClassesAtExit="), "");
        EXPECT_EQ(std::count(second.begin(), second.end(), "-XX:+AutoCreateSharedArchive"), 0);
        EXPECT_FALSE(app.log().has("archive"));

        // An archive the user chose himself turns the launcher's off.
        ASSERT_TRUE(os::writeFile(app.dir / u"Demo.properties",
                                  "MainClass=demo.App\r\nPersonalOptions=-Xshare:auto\r\n"));
        EXPECT_EQ(valueOf(runOptions(app), "-XX:SharedArchiveFile="), "");
    }
    SetEnvironmentVariableW(L"LOCALAPPDATA", savedLength ? saved : nullptr);
}

} // namespace
} // namespace tavrelo::standin::test
