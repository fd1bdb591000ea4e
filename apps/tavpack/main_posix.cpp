// tavpack on Linux: the resource tool's command-line run, so that a build machine without
// Windows can pack a Windows launcher. Messages go to standard error, the "-info" summary to
// standard output; the exit status is 0 when everything requested was written, 1 when
// something was not, 2 for a usage error.
#include <cstdio>
#include <vector>

#include "tool/tool.h"

int main(int argc, char** argv) {
    using namespace tavrelo;
    std::vector<Text> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(fromUtf8(argv[i]));
    const IntegrationJob job = parseToolArguments(arguments);
    if (!job.run) {
        std::fputs("tavpack: this build has no dialog: give -run with the targets (-exe=, -cpl=, -scr=) and the "
                   "sources (-ico=, -img=, -prp=, -jar=, -admin, -admin=)\n",
                   stderr);
        return kToolUsage;
    }
    const RunOutcome outcome = runCommandLine(job);
    if (summaryDue(job, outcome)) {
        const BuiltMessage summary = summaryMessage(outcome);
        std::fputs(toUtf8(summary.text).c_str(), stdout);
        std::fputs("\n", stdout);
    }
    return exitStatus(outcome);
}
