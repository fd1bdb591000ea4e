#include <windows.h>

#include <gtest/gtest.h>

#include "launcher/launcher.h"
#include "launcher/properties_encoding.h"
#include "platform/messages.h"
#include "platform/os.h"
#include "platform/system.h"
#include "test_language.h"
#include "test_support.h"

namespace tavrelo {
namespace {

using test::TempDir;

TEST(LongOrShortPath, LongFormOfRealFilesWithoutTrailingSeparator) {
    TempDir dir;
    dir.write(u"A Long Directory Name/file.jar", "x");
    const Text shortDir = os::shortPathName(dir / u"A Long Directory Name");
    ASSERT_FALSE(shortDir.empty());
    EXPECT_EQ(os::longOrShortPath(shortDir + u"\\"), dir / u"A Long Directory Name");
    EXPECT_EQ(os::longOrShortPath(dir / u"A Long Directory Name/file.jar"), dir / u"A Long Directory Name/file.jar");
    EXPECT_EQ(os::longOrShortPath(dir / u"missing.jar"), u"");
}

TEST(LongOrShortPath, NonAsciiNamesTakeTheShortForm) {
    TempDir dir;
    const Text file = dir.write(u"Café Archive.jar", "x");
    const Text result = os::longOrShortPath(file);
    EXPECT_FALSE(result.empty());
    EXPECT_TRUE(isAscii(result)) << toUtf8(result);
    EXPECT_TRUE(os::pathExists(result));
}

TEST(TextClassification, SystemVerdictChoosesTheEncoding) {
    const std::string utf16 = test::utf16leBytes(u"MainClass=demo.App\r\nMainArgs=-x\r\n", false);
    const TextVerdict plain = classifyText(utf16);
    EXPECT_TRUE(plain.unicode);
    EXPECT_EQ(chooseEncoding(plain), FileEncoding::Utf16le);
    const TextVerdict marked = classifyText(test::utf16leBytes(u"MainClass=demo.App\r\n", true));
    EXPECT_EQ(chooseEncoding(marked), FileEncoding::ByMark);
    EXPECT_EQ(chooseEncoding(classifyText("MainClass=demo.App\r\nMainArgs=-x\r\n")), FileEncoding::ByMark);
    EXPECT_EQ(chooseEncoding(classifyText("\xEF\xBB\xBFMainClass=demo.App\r\n")), FileEncoding::ByMark);
}

TEST(TextClassification, PropertiesFilesInEveryEncodingParse) {
    TempDir app;
    app.write(u"Demo.properties", test::utf16leBytes(u"MainClass=demo.Utf16\r\n", false));
    Configuration config;
    loadConfiguration(config, app.path(), u"Demo", nullptr);
    EXPECT_EQ(*config.get(kMainClass), u"demo.Utf16");
    app.write(u"Demo.properties", "MainClass=demo.Ansi\r\n");
    loadConfiguration(config, app.path(), u"Demo", nullptr);
    EXPECT_EQ(*config.get(kMainClass), u"demo.Ansi");
    app.write(u"Demo.properties", "\xEF\xBB\xBFMainArgs=caf\xC3\xA9\r\n");
    loadConfiguration(config, app.path(), u"Demo", nullptr);
    EXPECT_EQ(*config.get(kMainArgs), u"café");
}

TEST(OptionalFunctions, MissingLibrariesAndFunctionsAreTolerated) {
    EXPECT_EQ(loadFunction(u"TavreloNoSuchLibrary.dll", "Anything"), nullptr);
    EXPECT_EQ(loadFunction(u"Kernel32.dll", "TavreloNoSuchFunction"), nullptr);
    EXPECT_NE(loadFunction(u"Kernel32.dll", "GetTickCount"), nullptr);
    EXPECT_TRUE(hasSetDllDirectory());
    TempDir dir;
    setDllDirectory(dir.path());
    wchar_t current[MAX_PATH] = {};
    ASSERT_GT(GetDllDirectoryW(MAX_PATH, current), 0u);
    EXPECT_EQ(Text(reinterpret_cast<const char16_t*>(current)), dir.path());
    setDllDirectory(u"");
}

TEST(Processes, RunningStateOfRealProcesses) {
    EXPECT_TRUE(isProcessRunning(GetCurrentProcess()));
    EXPECT_FALSE(isProcessRunning(nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    wchar_t command[] = L"cmd.exe /c exit 3";
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &info));
    CloseHandle(info.hThread);
    HANDLE duplicate = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), info.hProcess, GetCurrentProcess(), &duplicate, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    waitForProcess(info.hProcess); // returns once the child ended, and closes the handle
    EXPECT_FALSE(isProcessRunning(duplicate));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(duplicate, &code));
    EXPECT_EQ(code, 3u);
    CloseHandle(duplicate);
}

TEST(Processes, WaitStopsWhenTheConditionSaysSo) {
    int polls = 0;
    waitForProcess(
        GetCurrentProcess(), [](void* context) { return ++*static_cast<int*>(context) < 2; }, &polls);
    EXPECT_EQ(polls, 2);
}

TEST(Processes, SnapshotListsThisProcess) {
    struct Search {
        unsigned long id;
        Text name;
    } search{GetCurrentProcessId(), {}};
    EXPECT_TRUE(forEachProcess(
        [](unsigned long id, unsigned long, TextView name, void* context) {
            auto& s = *static_cast<Search*>(context);
            if (id != s.id) return true;
            s.name = Text(name);
            return false;
        },
        &search));
    EXPECT_TRUE(equalsIgnoreCase(search.name, u"win_tests.exe")) << toUtf8(search.name);
}

TEST(Privileges, SettingTheTimeToItselfLeavesTheClockAlone) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    const bool allowed = canSetSystemTime();
    SYSTEMTIME after;
    GetLocalTime(&after);
    EXPECT_EQ(before.wYear, after.wYear);
    EXPECT_EQ(before.wDay, after.wDay);
    EXPECT_EQ(allowed, canSetSystemTime()); // a stable answer, not a side effect
}

TEST(ScreenSaverMutex, ExistsOnlyWhileHeld) {
    EXPECT_FALSE(screenSaverMutexExists());
    HeldMutex mutex = createScreenSaverMutex();
    ASSERT_TRUE(mutex);
    EXPECT_TRUE(screenSaverMutexExists());
    mutex.reset();
    EXPECT_FALSE(screenSaverMutexExists());
}

TEST(SystemErrors, TextsWithInsertsComeBackWhole) {
    // Error 193's text has an insert; without ignoring inserts it comes back empty or faults.
    const Text text = systemErrorText(193);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text, test::systemTextOf(193));
    EXPECT_FALSE(systemErrorText(5).empty());
    EXPECT_EQ(systemErrorText(5), test::systemTextOf(5));
    EXPECT_TRUE(systemErrorText(0x7FFFFFF0).empty());
}

TEST(Environment, UserAndSystemRoot) {
    EXPECT_FALSE(systemRootDirectory().empty());
    EXPECT_EQ(userName(), os::environmentValue(u"USERNAME").value_or(Text()));
    EXPECT_EQ(os::expandEnvironment(u"%SystemRoot%\\x"), systemRootDirectory() + u"\\x");
    EXPECT_FALSE(os::loginSession().empty());
}

TEST(SecurityAttributes, NullDaclDescriptorIsBuilt) {
    const OpenSecurity attributes = openToAllSecurity();
    ASSERT_TRUE(attributes);
    auto* sa = static_cast<SECURITY_ATTRIBUTES*>(attributes.get());
    EXPECT_EQ(sa->nLength, sizeof(SECURITY_ATTRIBUTES));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = reinterpret_cast<PACL>(1);
    ASSERT_TRUE(GetSecurityDescriptorDacl(sa->lpSecurityDescriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_EQ(dacl, nullptr);
}

} // namespace
} // namespace tavrelo
