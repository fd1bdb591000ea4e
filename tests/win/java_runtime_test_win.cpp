// Finding a Windows Java runtime, checking and loading its library, against real registry keys
// and directory trees holding small stand-ins of our own (tests/win/fixtures).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "launcher/launcher.h"
#include "platform/messages.h"
#include "platform/registry.h"
#include "platform/win_text.h"
#include "test_language.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::TempDir;

Text fixture(const char16_t* name) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    Text path(tc(module));
    path.resize(path.rfind(u'\\'));
    return path + u"\\fixtures\\" + name;
}

void place(const char16_t* fixtureName, const TempDir& dir, const Text& relative) {
    const Text target = dir / relative;
    dir.makeDir(relative.substr(0, relative.rfind(u'/')));
    ASSERT_TRUE(CopyFileW(wc(fixture(fixtureName)), wc(target), FALSE)) << toUtf8(target);
}

// An environment variable set (or removed) for one test.
class ScopedVariable {
  public:
    ScopedVariable(const char16_t* name, const char16_t* value) : name_(name), saved_(os::environmentValue(name)) {
        SetEnvironmentVariableW(wc(name_), value ? wc(Text(value)) : nullptr);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(wc(name_), saved_ ? wc(*saved_) : nullptr); }

  private:
    Text name_;
    std::optional<Text> saved_;
};

// Records every message box instead of showing it; answers No.
struct Shown {
    Text caption, text;
    unsigned style;
};
std::vector<Shown> shown;
int recordBox(TextView caption, TextView text, unsigned style) {
    shown.push_back({Text(caption), Text(text), style});
    return kAnswerNo;
}

class RuntimeDiscovery : public ::testing::Test {
  protected:
    void SetUp() override {
        registry_.root = HKEY_CURRENT_USER;
        registry_.base = u"Software\\TavreloTests\\JavaSoft" + fromInt(static_cast<long long>(GetCurrentProcessId()));
        shown.clear();
        saved_ = setMessagePresenter(&recordBox);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, wc(registry_.base));
        setMessagePresenter(saved_);
    }

    // Registers `home` as `version` of `product`; CurrentVersion too unless `current` is null.
    void registerRuntime(const char16_t* product, const char16_t* version, const Text& home,
                         const char16_t* current) const {
        const Text key = registry_.base + u"\\" + product;
        ASSERT_TRUE(regCreateKey(HKEY_CURRENT_USER, key + u"\\" + version));
        if (current) {
            ASSERT_TRUE(regWriteString(HKEY_CURRENT_USER, key, u"CurrentVersion", current));
        }
        ASSERT_TRUE(regWriteString(HKEY_CURRENT_USER, key + u"\\" + version, u"JavaHome", home));
    }

    Configuration configure(const std::string& properties) const {
        app_.write(u"App.properties", properties);
        Configuration config;
        loadConfiguration(config, app_.path(), u"App", nullptr);
        return config;
    }

    std::optional<FoundRuntime> locate(const std::string& properties = {}) const {
        return locateRuntime(app_.path(), configure(properties), registry_);
    }

    // A runtime directory that passes for one: a 64-bit library and a java.exe stating 17.
    Text runtimeDirectory(const Text& relative) const {
        place(u"jvm64.dll", app_, relative + u"/bin/server/jvm.dll");
        place(u"java17.exe", app_, relative + u"/bin/java.exe");
        return app_ / relative;
    }

    TempDir app_;
    RuntimeRegistry registry_;
    MessagePresenter saved_ = nullptr;
    // Nothing of the machine's own runtimes may answer in these tests.
    ScopedVariable javaHome_{u"JAVA_HOME", nullptr};
    ScopedVariable path_{u"PATH", u"C:\\nowhere"};
};

TEST_F(RuntimeDiscovery, RegistryProductsInOrderWithTheVersionMinimum) {
    registerRuntime(u"Java Runtime Environment", u"1.5", u"C:\\Java\\jre5", u"1.5");
    registerRuntime(u"Java Development Kit", u"1.7", u"C:\\Java\\jdk7", u"1.7");
    auto found = locate();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, u"C:\\Java\\jre5");
    EXPECT_EQ(found->version.major, 1);
    EXPECT_EQ(found->version.minor, 5);

    found = locate("JREversion=1.6\n");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, u"C:\\Java\\jdk7");
    EXPECT_EQ(found->version.minor, 7);

    EXPECT_TRUE(locate("JREversion=1.7\n"));
    EXPECT_FALSE(locate("JREversion=1.8\n"));
    EXPECT_TRUE(locate("JREversion=7\n")); // the same release written the current way
}

TEST_F(RuntimeDiscovery, ProductWithoutItsHomeIsSkipped) {
    registerRuntime(u"Java Runtime Environment", u"1.6", u"C:\\Java\\jre6", u"1.8"); // no 1.8 subkey
    registerRuntime(u"Java Development Kit", u"1.6", u"C:\\Java\\jdk6", u"1.6");
    const auto found = locate();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, u"C:\\Java\\jdk6");
}

TEST_F(RuntimeDiscovery, RegisteredHomeHasItsReferencesExpanded) {
    ScopedVariable root(u"TAVRELO_TEST_JAVA_ROOT", u"D:\\Runtimes");
    registerRuntime(u"Java Runtime Environment", u"1.8", u"%TAVRELO_TEST_JAVA_ROOT%\\jre8%TAVRELO_UNDEFINED_NAME%",
                    u"1.8");
    const auto found = locate();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, u"D:\\Runtimes\\jre8");
}

TEST_F(RuntimeDiscovery, JreDirectoriesComeBeforeTheRegistryWhateverTheirVersion) {
    registerRuntime(u"Java Runtime Environment", u"1.8", u"C:\\Java\\jre8", u"1.8");
    app_.makeDir(u"resource/jre");
    auto found = locate("JREversion=1.8\n");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, app_ / u"resource\\jre");

    app_.makeDir(u"jre");
    found = locate("JREversion=99\n");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, app_ / u"jre");

    app_.makeDir(u"elsewhere/rt");
    found = locate("PathJRE=elsewhere\\\\rt\n");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, app_ / u"elsewhere\\rt");
}

TEST_F(RuntimeDiscovery, CurrentJavaKeysAfterTheClassicProducts) {
    registerRuntime(u"JRE", u"11.0.2", u"C:\\Java\\jre11", nullptr);
    registerRuntime(u"JRE", u"9.0.4", u"C:\\Java\\jre9", nullptr);
    registerRuntime(u"JRE", u"21", u"C:\\Java\\jre21-broken", nullptr);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, wc(registry_.base + u"\\JRE\\21"), L"JavaHome");
    auto found = locate("JREversion=1.8\n");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, u"C:\\Java\\jre11"); // the newest registered version with a home

    registerRuntime(u"JDK", u"17", u"C:\\Java\\jdk17", u"17");
    found = locate("JREversion=11\n");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, u"C:\\Java\\jdk17");
    EXPECT_EQ(found->version.major, 17);

    found = locate("JREversion=18\n");
    EXPECT_FALSE(found);

    registerRuntime(u"Java Runtime Environment", u"1.8", u"C:\\Java\\jre8", u"1.8");
    found = locate();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, u"C:\\Java\\jre8");
}

TEST_F(RuntimeDiscovery, JavaHomeThenPathOnlyAfterTheRegistry) {
    const Text fromHome = runtimeDirectory(u"home-runtime");
    const Text fromPath = runtimeDirectory(u"path-runtime");
    ScopedVariable javaHome(u"JAVA_HOME", fromHome.c_str());
    ScopedVariable path(u"PATH", (u"C:\\nowhere;" + fromPath + u"\\bin").c_str());

    registerRuntime(u"JDK", u"17", u"C:\\Java\\jdk17", u"17");
    auto found = locate();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, u"C:\\Java\\jdk17");

    RegDeleteTreeW(HKEY_CURRENT_USER, wc(registry_.base));
    found = locate("JREversion=1.8\n");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, fromHome);
    EXPECT_EQ(found->version.major, 17);

    SetEnvironmentVariableW(L"JAVA_HOME", wc(app_ / u"not-a-runtime"));
    found = locate();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, fromPath);

    EXPECT_FALSE(locate("JREversion=18\n"));
}

TEST(VmLibrary, EightCandidatesInOrder) {
    TempDir home;
    const std::vector<Text> order = {u"jre\\bin\\client",  u"bin\\client",  u"jre\\bin\\server",  u"bin\\server",
                                     u"jre\\bin\\classic", u"bin\\classic", u"jre\\bin\\hotspot", u"bin\\hotspot"};
    for (const Text& directory : order) home.write(directory + u"\\jvm.dll", "x");
    for (const Text& directory : order) {
        const auto found = findVmLibrary(home.path());
        ASSERT_TRUE(found);
        EXPECT_EQ(*found, home / (directory + u"\\jvm.dll"));
        ASSERT_TRUE(os::deleteFile(*found));
    }
    EXPECT_FALSE(findVmLibrary(home.path()));
}

TEST(VmLibrary, WidthFromTheVersionDescription) {
    EXPECT_TRUE(isVmLibrary64(fixture(u"jvm64.dll")));
    EXPECT_FALSE(isVmLibrary64(fixture(u"jvm32.dll")));
    EXPECT_FALSE(isVmLibrary64(fixture(u"no_version.dll")));
    EXPECT_FALSE(isVmLibrary64(fixture(u"missing.dll")));
}

TEST(VmLibrary, RuntimeVersionFromTheJavaProgramElseTheReleaseFile) {
    TempDir runtimes;
    place(u"java17.exe", runtimes, u"current/bin/java.exe");
    place(u"java18.exe", runtimes, u"classic/bin/java.exe");
    runtimes.write(u"release-only/release", "IMPLEMENTOR=\"x\"\r\nJAVA_VERSION=\"11.0.2\"\r\n");
    runtimes.makeDir(u"nothing");
    RuntimeVersion version = readRuntimeVersion(runtimes / u"current");
    EXPECT_EQ(version.major, 17);
    EXPECT_EQ(version.minor, 0);
    version = readRuntimeVersion(runtimes / u"classic");
    EXPECT_EQ(version.major, 1);
    EXPECT_EQ(version.minor, 8);
    version = readRuntimeVersion(runtimes / u"release-only");
    EXPECT_EQ(version.major, 11);
    EXPECT_EQ(version.minor, 0);
    version = readRuntimeVersion(runtimes / u"nothing");
    EXPECT_EQ(version.major, -1);
}

TEST(VmLibrary, LoadsWithTheRuntimesBinDirectoryForItsDependencies) {
    TempDir home;
    place(u"jvm64.dll", home, u"bin/server/jvm.dll");
    JavaRuntime runtime;
    // Its own dependency lies in bin only: found there, or loading fails.
    EXPECT_FALSE(loadVmLibrary(runtime, home / u"bin\\server\\jvm.dll"));
    place(u"jvm_helper.dll", home, u"bin/jvm_helper.dll");
    ASSERT_TRUE(loadVmLibrary(runtime, home / u"bin\\server\\jvm.dll"));
    EXPECT_EQ(runtime.binaryDirectory, home / u"bin");
    EXPECT_NE(runtime.createVm, nullptr);
    EXPECT_NE(runtime.getDefaultArgs, nullptr);
    EXPECT_NE(runtime.getCreatedVms, nullptr);
    freeVmLibrary(runtime.library);

    place(u"no_entry.dll", home, u"bin/client/jvm.dll");
    JavaRuntime plain;
    EXPECT_FALSE(loadVmLibrary(plain, home / u"bin\\client\\jvm.dll"));
    EXPECT_EQ(plain.library, nullptr);
}

// The whole launch sequence in this process, for a launcher App_console.exe in a directory.
class LaunchFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        shown.clear();
        saved_ = setMessagePresenter(&recordBox);
        LaunchContext& context = launchContext();
        context.console = 1;
        context.module = nullptr;
        context.longFileName = app_ / u"App_console.exe";
        context.shortFileName = context.longFileName;
        context.bareFileName = u"App_console.exe";
    }
    void TearDown() override { setMessagePresenter(saved_); }

    int launch(const std::string& properties = {}) {
        if (!properties.empty()) app_.write(u"App.properties", properties);
        LaunchRequest request;
        request.argumentLine = Text(u"first \"second word\"");
        request.extraOption = Text(u"-Dtavrelo.isConsole=1");
        return runLauncher(request);
    }

    TempDir app_;
    MessagePresenter saved_ = nullptr;
    test::ScopedLanguage english_{false};
};

TEST_F(LaunchFailure, ThirtyTwoBitRuntimeIsRefusedWithTheWidthMessage) {
    place(u"jvm32.dll", app_, u"jre/bin/client/jvm.dll");
    EXPECT_EQ(launch(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, u"JVM");
    EXPECT_EQ(shown[0].text, u"The JVM used is intended for x86\nBut this executable is x64.");
    EXPECT_EQ(shown[0].style & 0xFF, kBoxWarning);
}

TEST_F(LaunchFailure, RuntimeWithoutLibraryGetsTheWidthMessageToo) {
    app_.makeDir(u"jre/bin");
    EXPECT_EQ(launch(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, u"The JVM used is intended for x86\nBut this executable is x64.");
}

TEST_F(LaunchFailure, LibraryWithoutEntryPointsCannotRunTheJvmOnce) {
    place(u"no_entry.dll", app_, u"jre/bin/server/jvm.dll");
    place(u"java17.exe", app_, u"jre/bin/java.exe");
    EXPECT_EQ(launch(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, u"JVM");
    EXPECT_EQ(shown[0].text, u"Can't run the JVM");
    EXPECT_EQ(shown[0].style & 0xFF, kBoxOk);
}

TEST_F(LaunchFailure, VmStartArgumentsAsTheLibraryReceivesThem) {
    place(u"jvm64.dll", app_, u"jre/bin/server/jvm.dll");
    place(u"jvm_helper.dll", app_, u"jre/bin/jvm_helper.dll");
    place(u"java17.exe", app_, u"jre/bin/java.exe");
    const Text log = app_ / u"vm.log";
    ScopedVariable logName(u"TAVRELO_FAKE_JVM_LOG", log.c_str());
    ScopedVariable noCache(u"LOCALAPPDATA", u"no-cache"); // the class-data archive stays off
    EXPECT_EQ(launch("PersonalOptions=-Xmx64m -Dz=1 -XMX64M \"-Da=b c\" -D\xC3\xA9=\xC3\xA9 -Dq=\\\\\\\\srv\n"), 0);
    ASSERT_EQ(shown.size(), 1u); // the stand-in refuses to create a VM
    EXPECT_EQ(shown[0].text, u"Can't run the JVM");

    std::string recorded;
    ASSERT_TRUE(os::readFile(log, recorded));
    const std::string dir = toUtf8(app_.path());
    const std::string expected = "version=10006\n"
                                 "ignoreUnrecognized=1\n"
                                 "option=-Da=b c\n"
                                 "option=-Dq=\\srv\n"
                                 "option=-Dtavrelo.isConsole=1\n"
                                 "option=-Dz=1\n"
                                 "option=-Xmx64m\n"
                                 "option=-Djava.class.path=" +
                                 dir + ";" + dir +
                                 "\\resource\n"
                                 "option=-Dtavrelo.launcher=" +
                                 dir +
                                 "\n"
                                 "option=-Djava.library.path=" +
                                 dir + ";" + dir +
                                 "\\resource\n"
                                 "option=-dsa\n"
                                 "option=exit [hook]\n";
    EXPECT_EQ(recorded, expected);
}

TEST_F(LaunchFailure, NoRuntimeAsksToInstallOne) {
    EXPECT_EQ(launch("JREversion=99\n"), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, u"Java Runtime Environment (JRE)");
    EXPECT_EQ(shown[0].text, u"Java 99 isn't installed !\n\nDo you want to install it ?");
    EXPECT_EQ(shown[0].style & 0xFF, kBoxYesNo | kBoxStop);
}

TEST_F(LaunchFailure, DeliveryNameAsksForARename) {
    place(u"jvm32.dll", app_, u"jre/bin/client/jvm.dll");
    LaunchContext& context = launchContext();
    context.longFileName = app_ / u"Tavrelo_console.exe";
    context.bareFileName = u"Tavrelo_console.exe";
    EXPECT_EQ(launch(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, u"Tavrelo");
    EXPECT_EQ(shown[0].text.rfind(u"You must rename Tavrelo", 0), 0u);
}

} // namespace
} // namespace tavrelo
