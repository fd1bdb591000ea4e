// Tavpack.exe: the resource tool. With "-run" it writes what its command line names into the
// launcher copies, otherwise what the user chooses in its dialog. The exit status is 0 when
// everything requested was written (or the dialog was cancelled), 1 when something was not, 2
// for a usage error (no source or no target).
#include <windows.h>

#include "tool/tool.h"
#include "platform/win_text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    using namespace tavrelo;
    IntegrationJob job = parseToolCommandLine(commandLine ? tc(commandLine) : u"");
    RunOutcome outcome;
    if (job.run) {
        outcome = runCommandLine(job);
    } else {
        prepareRun(job);
        LoadedSources sources = loadSources(job);
        if (!runDialog(job, sources)) return kToolSucceeded; // cancelled: nothing asked, nothing written
        outcome = writeIntegration(job, sources);
    }
    if (summaryDue(job, outcome)) {
        const BuiltMessage summary = summaryMessage(outcome);
        presentMessage(summary.caption, summary.text, kBoxInformation);
    }
    return exitStatus(outcome);
}
