#include <gtest/gtest.h>

#include <vector>

#include "launcher/launcher.h"
#include "service/admin.h"
#include "test_process.h"
#include "test_support.h"

namespace tavrelo {
namespace {

Text join(std::vector<const char16_t*> arguments) {
    return joinArguments(static_cast<int>(arguments.size()), arguments.data());
}

TEST(JoinArguments, QuotesOnlyWordsThatWouldSplitOrExpand) {
    EXPECT_EQ(join({}), u"");
    EXPECT_EQ(join({u"in.txt", u"-x"}), u"in.txt -x");
    EXPECT_EQ(join({u"a b"}), u"\"a b\"");
    EXPECT_EQ(join({u"*.txt", u"what?"}), u"\"*.txt\" \"what?\"");
    // Already quoted: left alone even with a space inside.
    EXPECT_EQ(join({u"\"a b\""}), u"\"a b\"");
    EXPECT_EQ(join({u""}), u"");
    EXPECT_EQ(join({u"x", nullptr, u"y"}), u"x y");
}

TEST(JoinArguments, JoinedLineSplitsBackIntoTheSameWords) {
    const Text line = join({u"a b", u"*.txt", u"plain"});
    const auto words = splitWords(line);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], u"a b");
    EXPECT_EQ(words[1], u"*.txt");
    EXPECT_EQ(words[2], u"plain");
}

// A list that must travel as one line (a restart, a saved session) comes back unchanged, by the
// system's own parser on Windows and by the shell itself on the host.
TEST(ArgumentLine, QuotedListParsesBackIntoTheSameArguments) {
    const std::vector<Text> hostile = {u"a\"b", u"c d", u"", u"x", u"\\", u"tail\\",
                                       u"C:\\My dir\\", u"\\\"", u"a\\\\\"b c", u"\"", u"it's",
                                       u"$HOME `id`", u"*.txt", u"tab\there", u"Caf\u00e9", u"-x"};
    const Text line = quoteArgumentLine(hostile);
    EXPECT_EQ(parseArgumentLine(line), hostile) << toUtf8(line);
    EXPECT_EQ(quoteArgumentLine({u"in.txt", u"-x"}), u"in.txt -x") << "plain words stay as they are";
    EXPECT_EQ(parseArgumentLine(quoteArgumentLine({})), std::vector<Text>{});
#ifndef _WIN32
    test::TempDir dir;
    const Text out = dir / u"out.txt";
    test::ChildProcess shell;
    Text command = u"printf '[%s]' ";
    command += line;
    command += u" > ";
    command += quoteArgumentLine({out});
    ASSERT_TRUE(shell.start(u"/bin/sh", {u"-c", command}));
    ASSERT_EQ(shell.wait(10000), 0);
    std::string expected;
    for (const Text& argument : hostile) {
        expected += '[';
        expected += toUtf8(argument);
        expected += ']';
    }
    EXPECT_EQ(test::fileText(out), expected);
#endif
}

CommandLineActions scan(std::vector<const char16_t*> arguments) {
    CommandLineActions actions;
    scanActions(actions, static_cast<int>(arguments.size()), arguments.data());
    return actions;
}

TEST(CommandLineActions, EveryOptionSetsItsOwnFlagIgnoringCase) {
    const auto actions = scan({u"Demo.exe", u"-INSTALLSERVICE", u"-deleteservice", u"-startService", u"-stopService",
                               u"-installCPL", u"-deleteCPL", u"-installSCR", u"-deleteSCR", u"-configSCR",
                               u"-createShortcut", u"-deleteShortcut"});
    for (int flag = 0; flag < kActionCount; ++flag) EXPECT_EQ(actions.flags[static_cast<std::size_t>(flag)], 1) << flag;
    const auto none = scan({u"Demo.exe", u"installService", u"-installServiceX"});
    for (int value : none.flags) EXPECT_EQ(value, 0);
}

TEST(CommandLineActions, OpenDialogCountsOnlyAfterInstallScr) {
    EXPECT_EQ(scan({u"Demo.exe", u"-installSCR", u"__OpenDialog__"})[kInstallScr], -1);
    EXPECT_EQ(scan({u"Demo.exe", u"__OpenDialog__", u"-installSCR"})[kInstallScr], 1);
    EXPECT_EQ(scan({u"Demo.exe", u"__opendialog__"})[kInstallScr], 0);
    // The program name is scanned too.
    EXPECT_EQ(scan({u"-deleteSCR"})[kDeleteScr], 1);
}

TEST(ServiceSubMode, FromTheFirstArgumentOnly) {
    EXPECT_EQ(serviceSubModeOf(u"__RunService__"), kSubModeService);
    EXPECT_EQ(serviceSubModeOf(u"__runservice__"), kSubModeService);
    EXPECT_EQ(serviceSubModeOf(u"-startServiceUI"), kSubModeCompanion);
    EXPECT_EQ(serviceSubModeOf(u"-startServiceUIx"), kSubModeNone);
    EXPECT_EQ(serviceSubModeOf(nullptr), kSubModeNone);
}

TEST(AdminToken, RestartTakesTheParentIdOffTheLine) {
    AdminState state;
    Text line = u"__RunAsAdmin__ 4321 in.txt -x";
    EXPECT_EQ(parseAdminToken(line, 99, state), kAdminRestart);
    EXPECT_EQ(state.parentProcessId, 4321);
    EXPECT_EQ(line, u"in.txt -x");
    std::vector<Text> list{u"__RunAsAdmin__", u"4321", u"a\"b", u""};
    dropAdminArguments(list, kAdminRestart);
    EXPECT_EQ(list, (std::vector<Text>{u"a\"b", u""})) << "main's list loses what the line lost";

    Text lower = u"__runasadmin__ 17";
    EXPECT_EQ(parseAdminToken(lower, 99, state), kAdminRestart);
    EXPECT_EQ(state.parentProcessId, 17);
    EXPECT_EQ(lower, u"");
}

TEST(AdminToken, SectionReadsParentAndSectionNumber) {
    AdminState state;
    Text line = u"__ThreadAsAdmin__ 4321 3 -service arg";
    EXPECT_EQ(parseAdminToken(line, 99, state), kAdminSection);
    EXPECT_EQ(state.parentProcessId, 4321);
    EXPECT_EQ(state.sectionNumber, 3);
    EXPECT_EQ(line, u"-service arg");
    std::vector<Text> list{u"__ThreadAsAdmin__", u"4321", u"3", u"-service", u"arg"};
    dropAdminArguments(list, kAdminSection);
    EXPECT_EQ(list, (std::vector<Text>{u"-service", u"arg"}));
}

TEST(AdminToken, OtherLinesKeepTheirTextAndOwnProcessId) {
    AdminState state;
    Text line = u"x __RunAsAdmin__ 5";
    EXPECT_EQ(parseAdminToken(line, 99, state), kAdminNone);
    EXPECT_EQ(state.parentProcessId, 99);
    EXPECT_EQ(line, u"x __RunAsAdmin__ 5");
    Text bare = u"__RunAsAdmin__";
    EXPECT_EQ(parseAdminToken(bare, 99, state), kAdminRestart);
    EXPECT_EQ(bare, u"");
}

TEST(LauncherNames, BaseNameCutsExtensionThenConsoleSuffix) {
    EXPECT_EQ(baseNameOf(u"Demo_console.exe", true), u"Demo");
    EXPECT_EQ(baseNameOf(u"Demo.exe", true), u"Demo");
    EXPECT_EQ(baseNameOf(u"Demo_console.exe", false), u"Demo_console");
    EXPECT_EQ(baseNameOf(u"my.app_console.exe", true), u"my.app");
    EXPECT_EQ(baseNameOf(u"Demo_Console.exe", true), u"Demo_Console"); // the cut is case-sensitive
    EXPECT_EQ(baseNameOf(u"Tavrelo_console.exe", true), u"Tavrelo");
    EXPECT_EQ(baseNameOf(u"Demo_console", true), u"Demo"); // the Linux launcher has no extension
}

TEST(LauncherNames, BareNameAndDirectory) {
#ifdef _WIN32
    EXPECT_EQ(bareFileNameOf(u"C:\\App\\Demo.exe"), u"Demo.exe");
#else
    EXPECT_EQ(bareFileNameOf(u"/opt/app/Demo"), u"Demo");
    EXPECT_EQ(launcherDirectoryOf(u"/Demo"), u"/");
#endif
    EXPECT_EQ(bareFileNameOf(u"Demo.exe"), u"Demo.exe");
    EXPECT_EQ(launcherDirectoryOf(u"Demo.exe"), u".");
}

TEST(LauncherNames, CommandLinePathIsShortOnlyForNonAsciiNames) {
    LaunchContext context;
    context.longFileName = u"C:\\App\\Demo.exe";
    context.shortFileName = u"C:\\APP~1\\DEMO.EXE";
    EXPECT_EQ(commandLinePath(context), u"C:\\App\\Demo.exe");
    context.longFileName = u"C:\\Café\\Demo.exe";
    EXPECT_EQ(commandLinePath(context), u"C:\\APP~1\\DEMO.EXE");
}

} // namespace
} // namespace tavrelo
