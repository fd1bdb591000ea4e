#include "demo_app.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/os.h"
#include "test_process.h"

namespace tavrelo::standin::test {

namespace {
// The launchers these tests start keep no class-data archive (and start no writer that would
// outlive a test) unless a test names a cache of its own.
const bool noClassDataCache = SetEnvironmentVariableW(L"LOCALAPPDATA", L"no-cache") != 0;
} // namespace

DemoApp::DemoApp(std::string_view scenario, TextView deliverable, std::string_view properties) {
    EXPECT_TRUE(installJre(dir / u"jre", "jre"));
    EXPECT_TRUE(writeScenario(dir / u"jre", scenario));
    EXPECT_TRUE(os::writeFile(dir / u"Demo.properties", "MainClass=demo.App\r\n" + std::string(properties)));
    launcher = dir / (deliverable == u"Tavrelo.exe" ? u"Demo.exe" : u"Demo_console.exe");
    EXPECT_TRUE(installLauncher(launcher, deliverable));
}

DemoApp::~DemoApp() {
    if (thread_.joinable()) thread_.join();
}

ProcessResult DemoApp::run(TextView arguments, unsigned timeoutMs) const {
    return runProcess(launcher, arguments, dir.path(), timeoutMs);
}

void DemoApp::start(TextView arguments, unsigned timeoutMs) {
    thread_ = std::thread([this, line = Text(arguments), timeoutMs] { result_ = run(line, timeoutMs); });
}

ProcessResult DemoApp::finish() {
    if (thread_.joinable()) thread_.join();
    return result_;
}

HWND DemoApp::window(const wchar_t* windowClass, unsigned timeoutMs) const {
    HWND found = nullptr;
    tavrelo::test::waitUntil(
        [&] {
            const CallLog now = log();
            if (now.lines().empty()) return false;
            for (HWND w = FindWindowExW(nullptr, nullptr, windowClass, nullptr); w && !found;
                 w = FindWindowExW(nullptr, w, windowClass, nullptr)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                if (pid == now.lines().front().pid) found = w;
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

Text systemFile(TextView name) {
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    return Text(reinterpret_cast<const char16_t*>(directory)) + u"\\" + Text(name);
}

} // namespace tavrelo::standin::test
