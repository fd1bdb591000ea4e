// An application directory for an end-to-end run of a real launcher against the stand-in
// runtime: "jre" with the scenario, "Demo.properties" naming demo.App, and the launcher copied in
// as "Demo_console.exe" or "Demo.exe".
#pragma once

#include <windows.h>

#include <string_view>
#include <thread>

#include "harness/process.h"
#include "harness/standin.h"
#include "test_support.h"

namespace tavrelo::standin::test {

// The simplest application: its main prints one line.
inline constexpr char kPrintingApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "main ran"
)";

// The applets' registry key, and a file of the system directory (System32).
inline constexpr wchar_t kCplsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cpls";
[[nodiscard]] Text systemFile(TextView name);

class DemoApp {
  public:
    // `properties` follows the MainClass line ("\r\n"-separated).
    explicit DemoApp(std::string_view scenario, TextView deliverable = u"Tavrelo_console.exe",
                     std::string_view properties = {});
    ~DemoApp(); // waits for a run still going
    DemoApp(const DemoApp&) = delete;
    DemoApp& operator=(const DemoApp&) = delete;

    // The launcher with `arguments`, waited for; or started on a thread and waited for by finish.
    ProcessResult run(TextView arguments = u"", unsigned timeoutMs = 60000) const;
    void start(TextView arguments = u"", unsigned timeoutMs = 90000);
    ProcessResult finish();

    [[nodiscard]] CallLog log() const { return CallLog::read(dir / u"jre"); }
    [[nodiscard]] std::size_t calls(std::string_view part) const { return log().find("call", part).size(); }
    // A window of the class owned by the launcher's process (the one that loaded the runtime
    // first); null after the time limit.
    [[nodiscard]] HWND window(const wchar_t* windowClass, unsigned timeoutMs = 20000) const;

    tavrelo::test::TempDir dir;
    Text launcher;

  private:
    std::thread thread_;
    ProcessResult result_;
};

} // namespace tavrelo::standin::test
