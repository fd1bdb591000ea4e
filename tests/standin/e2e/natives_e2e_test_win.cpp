// The registry natives end to end: the console launcher binds what the stand-in application
// declares, main calls them, and the test reads the registry itself.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "demo_app.h"
#include "platform/os.h"
#include "platform/win_text.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

constexpr wchar_t kTests[] = L"Software\\TavreloTests";
constexpr wchar_t kLocked[] = L"Software\\TavreloTests\\locked";

// K is the deep key the first write creates; the companion class declares the big-endian writer
// under the other name form; the QWORD reader is declared with another signature, so it stays
// unbound and its call ends main.
constexpr char kScenario[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    invoke regSetValueSTR -2147483647 "Software\\TavreloTests\\deep\\K" "plain" "Grüße" false
    invoke regSetValueSTR -2147483647 "Software\\TavreloTests\\deep\\K" "expand" "%SystemRoot%\\system32" true
    invoke regGetValueSTR -2147483647 "Software\\TavreloTests\\deep\\K" "expand" true
    invoke regGetValueSTR -2147483647 "Software\\TavreloTests\\deep\\K" "expand" false
    invoke regSetValueSTR -2147483647 "Software\\TavreloTests\\deep\\K" null "default" false
    invoke regGetValueSTR -2147483647 "Software\\TavreloTests\\deep\\K" null false
    invoke regSetValueBIN -2147483647 "Software\\TavreloTests\\deep\\K" "bin" [0 -1 0]
    invoke demo.App_RegistryManagement.nativeReg_SetValueDWORD -2147483647 "Software\\TavreloTests\\deep\\K" "be" 1 true
    invoke regGetValueDWORD -2147483647 "Software\\TavreloTests\\deep\\K" "be"
    invoke regGetValueBIN -2147483647 "Software\\TavreloTests\\deep\\K" "be"
    invoke regGetTypeValue -2147483647 "Software\\TavreloTests\\deep\\K" "be"
    invoke regGetTypeValue -2147483647 "Software\\TavreloTests\\deep\\K" "missing"
    invoke regSetValueQWORD -2147483647 "Software\\TavreloTests\\deep\\K" "q" -81985529216486896
    invoke regSetValueMULTI -2147483647 "Software\\TavreloTests\\deep\\K" "multi" ["a" null "" "b"]
    invoke regGetValueMULTI -2147483647 "Software\\TavreloTests\\deep\\K" "multi"
    invoke regSetValueMULTI -2147483647 "Software\\TavreloTests\\deep\\K" "nul" ["x\u0000y"]
    invoke regSetValueMULTI -2147483647 "Software\\TavreloTests\\never" "none" [null]
    invoke regDeleteValue -2147483647 "Software\\TavreloTests\\deep\\K" "plain\u0000x"
    invoke regEnumValues -2147483647 "Software\\TavreloTests\\deep\\K"
    invoke regEnumKeys -2147483647 "Software\\TavreloTests\\deep\\K"
    invoke regEnumKeys -2147483647 "Software\\TavreloTests\\missing"
    invoke regCreateKey -2147483647 "Software\\TavreloTests\\deep"
    invoke regDeleteKey -2147483647 "Software\\TavreloTests\\deep"
    invoke regSetValueSTR -2147483647 "Software\\TavreloTests\\locked" "new" "x" false
    invoke regGetValueSTR -2147483647 "Software\\TavreloTests\\locked" "old" false
    invoke regEnumValues -2147483647 "Software\\TavreloTests\\locked"
    invoke regDeleteValue -2147483647 "Software\\TavreloTests\\locked" "old"
    invoke regSetValueSTR -2147483646 "SOFTWARE\\TavreloTests" "view" "64" false
    invoke regGetValueQWORD -2147483647 "Software\\TavreloTests\\deep\\K" "q"
  native regGetValueSTR (ILjava/lang/String;Ljava/lang/String;Z)Ljava/lang/String;
  native regGetValueBIN (ILjava/lang/String;Ljava/lang/String;)[B
  native regGetValueDWORD (ILjava/lang/String;Ljava/lang/String;)I
  native regGetValueQWORD (ILjava/lang/String;Ljava/lang/String;)I
  native regGetValueMULTI (ILjava/lang/String;Ljava/lang/String;)[Ljava/lang/String;
  native regGetTypeValue (ILjava/lang/String;Ljava/lang/String;)I
  native regSetValueSTR (ILjava/lang/String;Ljava/lang/String;Ljava/lang/String;Z)Z
  native regSetValueBIN (ILjava/lang/String;Ljava/lang/String;[B)Z
  native regSetValueQWORD (ILjava/lang/String;Ljava/lang/String;J)Z
  native regSetValueMULTI (ILjava/lang/String;Ljava/lang/String;[Ljava/lang/String;)Z
  native regDeleteValue (ILjava/lang/String;Ljava/lang/String;)Z
  native regDeleteKey (ILjava/lang/String;)Z
  native regCreateKey (ILjava/lang/String;)Z
  native regEnumKeys (ILjava/lang/String;)[Ljava/lang/String;
  native regEnumValues (ILjava/lang/String;)[Ljava/lang/String;
class demo.App_RegistryManagement
  native nativeReg_SetValueDWORD (ILjava/lang/String;Ljava/lang/String;IZ)Z
)";

// The result the log shows for the call of `method` whose arguments contain `arguments`.
std::string result(const CallLog& log, const std::string& method, const std::string& arguments) {
    for (const LogLine& line : log.find("native", "." + method + "("))
        if (line.details.find(arguments) != std::string::npos) return line.details.substr(line.details.rfind(" -> ") + 4);
    return "(no call)";
}

std::string raw(HKEY root, const wchar_t* key, const wchar_t* name, DWORD& type, REGSAM view = 0) {
    HKEY opened = nullptr;
    type = REG_NONE;
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return "(none)";
    BYTE data[256];
    DWORD size = sizeof data;
    const LSTATUS status = RegQueryValueExW(opened, name, nullptr, &type, data, &size);
    RegCloseKey(opened);
    return status == ERROR_SUCCESS ? std::string(reinterpret_cast<const char*>(data), size) : "(none)";
}

// Runs the console launcher over the scenario in a fresh directory; the log read afterwards.
struct LauncherRun {
    explicit LauncherRun(std::string_view scenario) : app(scenario), process(app.run()), log(app.log()) {}
    DemoApp app;
    ProcessResult process;
    CallLog log;
};

// Sets the key's DACL: empty (nobody may do anything) or null (everybody may do everything).
bool lock(const wchar_t* key, bool locked) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, WRITE_DAC, &opened) != ERROR_SUCCESS) return false;
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    const DWORD status = SetSecurityInfo(opened, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                         locked ? &empty : nullptr, nullptr);
    RegCloseKey(opened);
    return status == ERROR_SUCCESS;
}

TEST(RegistryNativesEndToEnd, ValuesRoundTripKeysBehaveAndNothingBadIsWritten) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTests);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavreloTests");
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kLocked, L"old", REG_SZ, L"kept", 10), ERROR_SUCCESS);
    ASSERT_TRUE(lock(kLocked, true));
    const LauncherRun launched(kScenario);
    const bool unlocked = lock(kLocked, false);
    const ProcessResult& run = launched.process;
    const CallLog& log = launched.log;
    const wchar_t* k = L"Software\\TavreloTests\\deep\\K";
    DWORD type = 0;

    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err; // main ended with the unbound native's error
    EXPECT_EQ(raw(HKEY_CURRENT_USER, k, L"plain", type), std::string("G\0r\0\xFC\0\xDF\0""e\0\0\0", 12));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::string expanded = toUtf8(tc(system));
    for (std::size_t at = 0; (at = expanded.find('\\', at)) != std::string::npos; at += 2) expanded.insert(at, 1, '\\');
    EXPECT_EQ(result(log, "regGetValueSTR", "\"expand\", true"), "\"" + expanded + "\"") << log.text();
    EXPECT_EQ(result(log, "regGetValueSTR", "\"expand\", false"), "\"%SystemRoot%\\\\system32\"");
    EXPECT_EQ(result(log, "regGetValueSTR", "null, false"), "\"default\"");
    EXPECT_EQ(raw(HKEY_CURRENT_USER, k, L"bin", type), std::string("\0\xFF\0", 3));
    // Big-endian 1: stored as 00 00 00 01 with type 5, read back as 1.
    EXPECT_EQ(raw(HKEY_CURRENT_USER, k, L"be", type), std::string("\0\0\0\1", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD_BIG_ENDIAN));
    EXPECT_EQ(result(log, "regGetValueDWORD", "\"be\""), "1");
    EXPECT_EQ(result(log, "regGetValueBIN", "\"be\""), "bytes:00000001");
    EXPECT_EQ(result(log, "regGetTypeValue", "\"be\""), "5");
    EXPECT_EQ(result(log, "regGetTypeValue", "\"missing\""), "-1");
    EXPECT_EQ(raw(HKEY_CURRENT_USER, k, L"q", type), std::string("\x10\x32\x54\x76\x98\xBA\xDC\xFE", 8));
    // Null and empty elements are left out, so nothing after them is lost.
    EXPECT_EQ(raw(HKEY_CURRENT_USER, k, L"multi", type), std::string("a\0\0\0b\0\0\0\0\0", 10));
    EXPECT_EQ(result(log, "regGetValueMULTI", "\"multi\""), "[\"a\", \"b\"]");
    EXPECT_EQ(result(log, "regSetValueMULTI", "\"nul\""), "false");
    EXPECT_EQ(raw(HKEY_CURRENT_USER, k, L"nul", type), "(none)");
    EXPECT_EQ(result(log, "regSetValueMULTI", "\"none\""), "false");
    HKEY never = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TavreloTests\\never", 0, KEY_READ, &never), ERROR_SUCCESS);
    // A name holding a NUL is refused; "plain" is still there.
    EXPECT_EQ(result(log, "regDeleteValue", "\"plain\\u0000x\""), "false");
    EXPECT_NE(raw(HKEY_CURRENT_USER, k, L"plain", type), "(none)");
    // Every name once, in the registry's own order (wine sorts them).
    const std::string names = result(log, "regEnumValues", "deep\\\\K\"");
    for (const char* name : {"\"\"", "\"plain\"", "\"expand\"", "\"bin\"", "\"be\"", "\"q\"", "\"multi\""})
        EXPECT_NE(names.find(name), std::string::npos) << names;
    EXPECT_EQ(std::count(names.begin(), names.end(), ','), 6) << names;
    EXPECT_EQ(result(log, "regEnumKeys", "deep\\\\K\""), "[]");
    EXPECT_EQ(result(log, "regEnumKeys", "missing"), "null");
    EXPECT_EQ(result(log, "regCreateKey", "deep\""), "true");
    EXPECT_EQ(result(log, "regDeleteKey", "deep\""), "false"); // it has a subkey
    // A key nobody may touch: every native fails and the key is unchanged.
    EXPECT_TRUE(unlocked);
    EXPECT_EQ(result(log, "regSetValueSTR", "\"new\""), "false");
    EXPECT_EQ(result(log, "regGetValueSTR", "\"old\""), "null");
    EXPECT_EQ(result(log, "regEnumValues", "locked"), "null");
    EXPECT_EQ(result(log, "regDeleteValue", "\"old\""), "false");
    EXPECT_EQ(raw(HKEY_CURRENT_USER, kLocked, L"old", type).size(), 10u);
    EXPECT_EQ(raw(HKEY_CURRENT_USER, kLocked, L"new", type), "(none)");
    // The launcher is a 64-bit program: HKLM\SOFTWARE is the 64-bit view.
    EXPECT_EQ(raw(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavreloTests", L"view", type), std::string("6\0""4\0\0\0", 6));
    EXPECT_EQ(raw(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavreloTests", L"view", type, KEY_WOW64_32KEY), "(none)");
    EXPECT_EQ(result(log, "regGetValueQWORD", "\"q\""), "not registered (UnsatisfiedLinkError)");
    // The stand-in flags the launcher's look-up of the declared name under the table's signature.
    ASSERT_EQ(log.errors().size(), 1u) << log.text();
    EXPECT_NE(log.errors()[0].find("regGetValueQWORD(ILjava/lang/String;Ljava/lang/String;)J does not exist"),
              std::string::npos);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTests);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TavreloTests");
}


// Nothing replaced: what wine really answers. Its ShutdownBlockReasonCreate fails (120) after
// the window exists; the thread still holds that code when the next native runs.
constexpr char kSystemScenario[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    invoke systemIsLocked
    invoke systemIsShutdownAllowed
    invoke systemGetErrorMessage 5
    invoke systemBlockShutdown "saving"
    invoke systemSetRequiredState true false false
  native systemIsLocked ()Z
  native systemIsShutdownAllowed ()Z
  native systemGetErrorMessage (I)Ljava/lang/String;
  native systemBlockShutdown (Ljava/lang/String;)I
  native systemSetRequiredState (ZZZ)I
)";

TEST(SystemNativesEndToEnd, RealAnswersAndAKeepOffThatEndsWithTheApplication) {
    const LauncherRun launched(kSystemScenario);
    const ProcessResult& run = launched.process;
    const CallLog& log = launched.log;
    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;
    EXPECT_EQ(result(log, "systemIsLocked", ""), "false") << log.text();
    SYSTEM_POWER_CAPABILITIES capabilities{};
    using Capabilities = BOOLEAN(WINAPI*)(SYSTEM_POWER_CAPABILITIES*);
    const auto read = reinterpret_cast<Capabilities>(
        reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryW(L"powrprof.dll"), "GetPwrCapabilities")));
    const bool shutdown = read && read(&capabilities) && capabilities.SystemS5;
    EXPECT_EQ(result(log, "systemIsShutdownAllowed", ""), shutdown ? "true" : "false");
    wchar_t text[2048] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 5, 0, text,
                                        2048, nullptr);
    ASSERT_GT(length, 0u);
    EXPECT_NE(result(log, "systemGetErrorMessage", "").find(toUtf8(Text(tc(text), length)).substr(0, 10)),
              std::string::npos);
    EXPECT_EQ(result(log, "systemBlockShutdown", "saving"), "120");
    EXPECT_EQ(result(log, "systemSetRequiredState", ""), "0");
    EXPECT_FALSE(log.has("destroy-wait")) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

} // namespace
} // namespace tavrelo::standin::test
