// Tavpack.exe: the resource tool. With "-run" it writes what its command line names into the
// launcher copies; the exit status is 0 when everything requested was written, 1 when something
// was not, 2 for a usage error (no source or no target).
#include <windows.h>

#include "tool/tool.h"
#include "platform/win_text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    using namespace tavrelo;
    const IntegrationJob job = parseToolCommandLine(commandLine ? tc(commandLine) : u"");
    if (!job.run) {
        // The interactive form is not part of this build: say what the command line takes.
        presentMessage(u"Tavpack",
                       u"Tavpack -run [-info] [-exe=…] [-cpl=…] [-scr=…] [-ico=…] [-img=…] [-prp=…] [-jar=…] "
                       u"[-admin | -admin=…]",
                       kBoxWarning);
        return kToolUsage;
    }
    const RunOutcome outcome = runCommandLine(job);
    if (job.info && !outcome.usageError) {
        const BuiltMessage summary = summaryMessage(outcome);
        presentMessage(summary.caption, summary.text, kBoxInformation);
    }
    return exitStatus(outcome);
}
