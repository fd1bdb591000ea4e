// Test-side helpers for the stand-in Java runtime: installing a jre layout beside a launcher
// copy, writing the scenario, reading the call log, and writing archives.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace tavrelo::standin::test {

// Where the build put the stand-in (TAVRELO_STANDIN_DIR, else the test program's directory) and
// the launchers (TAVRELO_APPS_DIR, else the tree's apps directory), as Windows paths.
[[nodiscard]] Text standinDirectory();
[[nodiscard]] Text appsDirectory();

// Copies the layout that tavrelo_standin_jre built under <standin>/jre/<layout> to `home`
// (created as needed), e.g. installJre(dir / u"jre", "jre-x86").
[[nodiscard]] bool installJre(TextView home, std::string_view layout = "jre");
// Copies a built launcher ("Tavrelo_console.exe", "Tavrelo.exe") to `destination`.
[[nodiscard]] bool installLauncher(TextView destination, TextView deliverable);
// A helper program built beside the stand-in (standin_box_helper.exe, standin_host.exe).
[[nodiscard]] Text helperProgram(TextView name);

// Writes <directory>/standin.scenario (UTF-8). The runtime finds it beside jvm.dll or up to
// three directories above; its log, standin.log, is written beside it.
[[nodiscard]] bool writeScenario(TextView directory, std::string_view text);

struct LogLine {
    unsigned long pid = 0;
    unsigned long tid = 0;
    std::string thread; // Java thread name, "native" when the OS thread is not a Java thread
    std::string kind;   // call, return, throw, native, option, attach, error...
    std::string details;
};

// The stand-in's log (standin.log), parsed.
class CallLog {
public:
    static CallLog read(TextView directory);
    [[nodiscard]] const std::vector<LogLine>& lines() const { return lines_; }
    // Lines of a kind whose details contain `part` (all of that kind when `part` is empty).
    [[nodiscard]] std::vector<LogLine> find(std::string_view kind, std::string_view part = {}) const;
    [[nodiscard]] bool has(std::string_view kind, std::string_view part = {}) const { return !find(kind, part).empty(); }
    // Details of every "error" line.
    [[nodiscard]] std::vector<std::string> errors() const;
    // The whole log, for failure messages.
    [[nodiscard]] std::string text() const { return text_; }

private:
    std::vector<LogLine> lines_;
    std::string text_;
};

// A zip archive with stored (uncompressed) entries; with a main class, META-INF/MANIFEST.MF
// comes first and names it.
[[nodiscard]] bool writeJar(TextView path, std::string_view mainClass,
                            const std::vector<std::pair<std::string, std::string>>& entries);

} // namespace tavrelo::standin::test
