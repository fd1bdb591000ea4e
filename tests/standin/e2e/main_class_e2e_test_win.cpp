// The main class found in the archives by the real Tavrelo_console.exe, run against the
// stand-in runtime (its JarFile reads the real zip files written here): Windows paths, the ';'
// list separator and the long-name comparison.
#include <gtest/gtest.h>

#include "harness/process.h"
#include "harness/standin.h"
#include "platform/os.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kClasses[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "demo.App ran"
class com.x.DEMO
  method main ([Ljava/lang/String;)V
    print "com.x.DEMO ran"
class other.Demo
  method main ([Ljava/lang/String;)V
    print "other.Demo ran"
)";

struct Launch {
    ProcessResult result;
    CallLog log;
};

class MainClassEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(installJre(dir_ / u"jre", "jre")) << "the stand-in jre layout is missing";
        ASSERT_TRUE(writeScenario(dir_ / u"jre", kClasses));
        ASSERT_TRUE(installLauncher(dir_ / u"Demo_console.exe", u"Tavrelo_console.exe"))
            << "the launchers are not built";
    }
    void jar(TextView relative, std::string_view mainClass, std::vector<std::string> entries) {
        std::vector<std::pair<std::string, std::string>> contents;
        for (std::string& entry : entries)
            contents.emplace_back(std::move(entry), "\xCA\xFE\xBA\xBE");
        const Text path = dir_ / relative;
        const std::size_t cut = path.rfind(u'\\');
        (void)os::makeDirectory(path.substr(0, cut));
        ASSERT_TRUE(writeJar(path, mainClass, contents));
    }
    void properties(std::string_view text) { ASSERT_TRUE(os::writeFile(dir_ / u"Demo.properties", text)); }
    Launch run() {
        Launch r{runProcess(dir_ / u"Demo_console.exe", u"", dir_.path(), 60000), {}};
        r.log = CallLog::read(dir_ / u"jre");
        return r;
    }

    tavrelo::test::TempDir dir_;
};

TEST_F(MainClassEndToEnd, TheManifestOfDemoJarNamesTheClass) {
    jar(u"Demo.jar", "demo.App", {"demo/App.class"});
    jar(u"lib\\other.jar", "", {"other/Demo.class"});
    properties("PersonalClasspath=lib\\other.jar\r\n");
    const Launch r = run();
    EXPECT_EQ(r.result.exitCode, 1u) << r.result.err;
    EXPECT_EQ(r.result.out, "demo.App ran\r\n");
    EXPECT_TRUE(r.log.has("call", "getValue")) << r.log.text();
    EXPECT_EQ(r.log.errors(), std::vector<std::string>{}) << r.log.text();
}

TEST_F(MainClassEndToEnd, AClassFileInTheClassPathArchivesNamesTheClass) {
    // Unreadable archives first; then the entry whose name matches without regard to case.
    ASSERT_TRUE(os::writeFile(dir_ / u"Demo.jar", "not an archive"));
    ASSERT_TRUE(os::makeDirectory(dir_ / u"lib"));
    ASSERT_TRUE(os::writeFile(dir_ / u"lib\\broken.zip", "PK\x03\x04 cut"));
    jar(u"lib\\app.jar", "", {"com/", "com/x/", "com/x/DEMO.class"});
    jar(u"lib\\later.jar", "", {"other/Demo.class"});
    properties("PersonalClasspath=lib\\broken.zip;lib\\missing.jar;lib\\app.jar;lib\\later.jar\r\n");
    const Launch r = run();
    EXPECT_EQ(r.result.exitCode, 1u) << r.result.err;
    EXPECT_EQ(r.result.out, "com.x.DEMO ran\r\n");
    EXPECT_EQ(r.log.errors(), std::vector<std::string>{}) << r.log.text();
}

} // namespace
} // namespace tavrelo::standin::test
