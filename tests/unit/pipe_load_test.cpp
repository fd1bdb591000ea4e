// A short load of hostile peers on a real listener; scripts/load-pipes.sh runs the long one.
#include <gtest/gtest.h>

#include "load/pipe_load.h"

namespace tavrelo {
namespace {

TEST(PipeLoad, HostilePeersAreDroppedWhileEveryLegitimateObjectArrivesAndNothingIsLeftBehind) {
    load::LoadPlan plan;
    plan.connections = 64; // two stalling connections of each eight: one round of waits per client
    plan.clients = 16;
    const load::LoadFigures figures = load::runPipeLoad(plan);
    EXPECT_EQ(load::problems(figures), "") << load::describe(figures);
    EXPECT_EQ(figures.connections, plan.connections);
    EXPECT_EQ(figures.stalled, plan.connections / 4);
    // Stalled clients are dropped by the wait, not before it.
    EXPECT_GE(figures.longestStallMs, kConnectionWaitMs - 100);
}

} // namespace
} // namespace tavrelo
