#include <gtest/gtest.h>

#include "platform/os.h"
#include "test_support.h"
#include "tool/tool.h"

namespace tavrelo {
namespace {

// The tool resolves relative names against the current directory: each test works in a scratch
// directory of its own and puts the former one back.
class ToolCommandLine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(os::setCurrentDirectory(dir.path())); }
    void TearDown() override { (void)os::setCurrentDirectory(saved); }
    void files(std::initializer_list<const char16_t*> names) const {
        for (const char16_t* name : names) (void)dir.write(name, "x");
    }
    // The full name a relative file resolves to.
    static Text full(TextView name) {
        return os::longOrShortPath(os::currentDirectory() + os::kPathSeparator + Text(name));
    }
    Text saved = os::currentDirectory();
    test::TempDir dir;
};

TEST_F(ToolCommandLine, OptionsTakeTheirValuesAndLaterOnesReplaceEarlierOnes) {
    const IntegrationJob none = parseToolCommandLine(u"");
    EXPECT_FALSE(none.run || none.info || none.adminGiven || none.exeTarget || none.iconSource);

    const IntegrationJob job = parseToolCommandLine(
        u"-RUN -Info -exe=\"C:\\My App\\Demo.exe\" -ico=a.ico -bmp=a.bmp -IMG=b.png -prp=p.properties "
        u"-jar=one.jar -verbose -jar=\"two.jar\" -cpl=\"C:\\My App\\Demo.cpl\"");
    EXPECT_TRUE(job.run && job.info);
    EXPECT_FALSE(job.adminGiven);
    // Option values are used as given until they are loaded; only the quotes go, including
    // those of a last argument whose closing quote the word splitting already took.
    EXPECT_EQ(job.exeTarget, u"C:\\My App\\Demo.exe");
    EXPECT_EQ(job.cplTarget, u"C:\\My App\\Demo.cpl");
    EXPECT_EQ(job.iconSource, u"a.ico");
    EXPECT_EQ(job.imageSource, u"b.png");
    EXPECT_EQ(job.propertiesSource, u"p.properties");
    EXPECT_EQ(job.archives, (std::vector<Text>{u"one.jar", u"two.jar"}));

    struct Admin {
        const char16_t* line;
        bool admin;
    };
    for (const Admin& c : {Admin{u"-admin", true}, Admin{u"-admin=TRUE", true}, Admin{u"-admin=1", true},
                           Admin{u"-admin=yes", false}, Admin{u"-admin=\"true\"", true}, Admin{u"-admin=", false}}) {
        const IntegrationJob a = parseToolCommandLine(c.line);
        EXPECT_TRUE(a.adminGiven) << toUtf8(c.line);
        EXPECT_EQ(a.admin, c.admin) << toUtf8(c.line);
    }
    // -admin=yes still asks for a manifest (asInvoker): a source of its own beside an executable.
    EXPECT_EQ(commandLineRunProblem(parseToolCommandLine(u"-run -exe=Demo.exe")), kMessageNoSource);
    EXPECT_EQ(commandLineRunProblem(parseToolCommandLine(u"-run -exe=Demo.exe -admin=yes")), 0);
    EXPECT_EQ(commandLineRunProblem(parseToolCommandLine(u"-run -ico=demo.ico")), kMessageNoTarget);
    EXPECT_EQ(commandLineRunProblem(parseToolCommandLine(u"-run -admin")), kMessageNoSource);
}

TEST_F(ToolCommandLine, FileArgumentsAreClassifiedResolvedAndCompleted) {
    files({u"Demo.exe", u"Demo.cpl", u"Demo.scr", u"Demo.ico", u"Demo.png", u"Demo.properties", u"Other.GIF"});
    // One icon proposes every target beside it, and each target its other sources.
    const IntegrationJob job = parseToolCommandLine(u"Demo.ico");
    EXPECT_EQ(job.exeTarget, full(u"Demo.exe"));
    EXPECT_EQ(job.cplTarget, full(u"Demo.cpl"));
    EXPECT_EQ(job.scrTarget, full(u"Demo.scr"));
    EXPECT_EQ(job.iconSource, full(u"Demo.ico"));
    EXPECT_EQ(job.imageSource, full(u"Demo.png"));
    EXPECT_EQ(job.propertiesSource, full(u"Demo.properties"));

    // A later file of a kind replaces the earlier one; a file that does not exist is dropped;
    // an unknown extension, or one that only begins like a known one, is no file of the tool.
    const IntegrationJob later = parseToolCommandLine(u"\"Missing.exe\" Other.GIF notes.txt Demo.icon");
    EXPECT_FALSE(later.exeTarget);
    EXPECT_EQ(later.imageSource, full(u"Other.GIF"));
    EXPECT_FALSE(later.iconSource);
}

TEST_F(ToolCommandLine, ConsoleAndWindowBuildsStandInForEachOther) {
    files({u"Demo_console.exe", u"Tavrelo.cpl", u"Tavrelo_console.exe", u"Tavrelo.properties"});
    // Given as an option, the name stands until the writers look for the file.
    const IntegrationJob option = parseToolCommandLine(u"-run -exe=Demo.exe");
    EXPECT_EQ(option.exeTarget, u"Demo.exe");
    EXPECT_EQ(existingTargetPath(*option.exeTarget), u"Demo_console.exe");
    EXPECT_EQ(existingTargetPath(u"Tavrelo.exe"), u"Tavrelo_console.exe");
    EXPECT_FALSE(existingTargetPath(u"Nothing.exe"));
    // Given as a file, it is resolved at once.
    EXPECT_EQ(parseToolCommandLine(u"Demo.exe").exeTarget, full(u"Demo_console.exe"));
    EXPECT_EQ(resolveSourcePath(u"Demo_console.cpl", u".cpl"), std::nullopt);

    // An empty argument takes the delivered launchers of the current directory and what lies
    // beside them.
    const IntegrationJob delivered = parseToolCommandLine(u"\"\"");
    EXPECT_EQ(delivered.cplTarget, full(u"Tavrelo.cpl"));
    EXPECT_EQ(delivered.exeTarget, full(u"Tavrelo_console.exe"));
    EXPECT_EQ(delivered.propertiesSource, full(u"Tavrelo.properties"));
    EXPECT_FALSE(delivered.scrTarget || delivered.iconSource || delivered.imageSource);
}

TEST_F(ToolCommandLine, AbsolutePathsAreNotPutUnderTheCurrentDirectory) {
    test::TempDir elsewhere;
    const Text icon = elsewhere.write(u"art.ico", "x");
    EXPECT_EQ(resolveSourcePath(icon, u".ico"), os::longOrShortPath(icon));
    EXPECT_FALSE(resolveSourcePath(icon, u".png")) << "a file must bear the kind it is taken for";
#ifdef _WIN32
    // Files dropped from a share, or named in the long-path form, are absolute too.
    EXPECT_TRUE(isAbsoluteSourcePath(u"\\\\server\\share\\art.ico"));
    const auto longForm = resolveSourcePath(u"\\\\?\\" + icon, u".ico");
    ASSERT_TRUE(longForm);
    EXPECT_EQ(longForm->find(os::currentDirectory()), Text::npos) << toUtf8(*longForm);
#endif
}

} // namespace
} // namespace tavrelo
