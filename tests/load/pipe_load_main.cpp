// The pipe load program: pipe_load [connections [clients]] prints the figures of one run and
// ends with 1 when something did not hold.
#include <cstdio>
#include <cstdlib>

#include "pipe_load.h"

int main(int argc, char** argv) {
    tavrelo::load::LoadPlan plan;
    if (argc > 1) plan.connections = std::atoi(argv[1]);
    if (argc > 2) plan.clients = std::atoi(argv[2]);
    if (plan.connections < 1 || plan.clients < 1) {
        std::fprintf(stderr, "usage: pipe_load [connections [clients]], both at least 1\n");
        return 2;
    }
    const tavrelo::load::LoadFigures figures = tavrelo::load::runPipeLoad(plan);
    std::fputs(tavrelo::load::describe(figures).c_str(), stdout);
    const std::string problems = tavrelo::load::problems(figures);
    std::printf("verdict: %s\n", problems.empty() ? "everything held" : problems.c_str());
    return problems.empty() ? 0 : 1;
}
