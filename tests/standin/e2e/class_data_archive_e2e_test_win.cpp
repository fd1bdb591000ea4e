// The application's class-data archive through the real console launcher and the stand-in
// runtime, which lists classes where the options tell it to; its java.exe writes a small archive
// from the list, run by the launcher's background writer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "demo_app.h"
#include "platform/os.h"
#include "platform/win_text.h"

namespace tavrelo::standin::test {
namespace {

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

// Waits for the background writer: then only archives are left.
std::vector<std::string> settledFiles(const Text& directory) {
    for (int waited = 0; waited < 600; ++waited) {
        const std::vector<std::string> names = filesIn(directory);
        if (std::all_of(names.begin(), names.end(), [](const std::string& name) { return name.ends_with(".jsa"); }))
            return names;
        Sleep(50);
    }
    ADD_FAILURE() << "the archive writer did not end";
    return filesIn(directory);
}

TEST(ClassDataArchiveE2E, FirstStartListsClassesTheWriterPlacesTheArchiveLaterStartsMapIt) {
    wchar_t saved[MAX_PATH] = {};
    const DWORD savedLength = GetEnvironmentVariableW(L"LOCALAPPDATA", saved, MAX_PATH);
    for (const bool withProgram : {true, false}) {
        SCOPED_TRACE(withProgram ? "with java.exe" : "without java.exe");
        DemoApp app(kPrintingApp);
        if (!withProgram) { // the release is then read from the "release" file
            ASSERT_TRUE(os::deleteFile(app.dir / u"jre\\bin\\java.exe"));
            ASSERT_TRUE(os::writeFile(app.dir / u"jre\\release", "JAVA_VERSION=\"21.0.2\"\n"));
        }
        ASSERT_TRUE(SetEnvironmentVariableW(L"LOCALAPPDATA", wc(app.dir / u"Local Data")));
        const Text cds = app.dir / u"Local Data\\Tavrelo\\cds";

        // First start: the runtime lists its classes under a name of the launcher's process; the
        // writer started at its end has java.exe write the archive, moved into place under its length.
        const auto first = runOptions(app);
        const std::string list = valueOf(first, "-XX:DumpLoadedClassList=");
        EXPECT_EQ(valueOf(first, "-XX:SharedArchiveFile="), "");
        if (!withProgram) { // nothing could write the archive: the start stays as without one
            EXPECT_EQ(list, "");
            EXPECT_EQ(valueOf(first, "-Xlog:"), "");
            EXPECT_TRUE(filesIn(cds).empty());
            continue;
        }
        EXPECT_EQ(valueOf(first, "-Xlog:"), "cds*=off");
        EXPECT_EQ(list.rfind(os::textToAnsi(cds) + "\\", 0), 0u) << list;
        ASSERT_TRUE(list.ends_with(".classes")) << list;
        EXPECT_TRUE(app.log().has("classes", list));
        const std::vector<std::string> placed = settledFiles(cds);
        ASSERT_EQ(placed.size(), 1u);
        EXPECT_EQ(placed.front(), list.substr(cds.size() + 1, list.rfind('-') - cds.size()) + "24.jsa");

        // Later starts map it and list nothing.
        const auto second = runOptions(app);
        EXPECT_EQ(valueOf(second, "-XX:SharedArchiveFile="), os::textToAnsi(cds) + "\\" + placed.front());
        EXPECT_EQ(valueOf(second, "-XX:DumpLoadedClassList="), "");
        EXPECT_FALSE(app.log().has("classes"));

        // An archive the user chose himself turns the launcher's off.
        ASSERT_TRUE(os::writeFile(app.dir / u"Demo.properties",
                                  "MainClass=demo.App\r\nPersonalOptions=-Xshare:auto\r\n"));
        EXPECT_EQ(valueOf(runOptions(app), "-XX:SharedArchiveFile="), "");
    }
    SetEnvironmentVariableW(L"LOCALAPPDATA", savedLength ? saved : nullptr);
}

} // namespace
} // namespace tavrelo::standin::test
