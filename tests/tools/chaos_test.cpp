// SPDX-License-Identifier: GPL-3.0-or-later
// A short chaos run: 24 participants, one of each fault among them, six phases of play with
// the server's clock stepped on between them, the host's program killed and started again from
// its journal before the last. Every fault must end as it should, every
// surviving copy of every game must agree with the server's, and the server must hold no
// descriptor beyond its listening socket and the connections that still stand.
#include <gtest/gtest.h>

#include "chaos/chaos_run.h"

namespace tavlora {
namespace {

TEST(ChaosTest, EveryCopyAgreesWithTheRefereeWhateverThePeersDo) {
    const ChaosReport report = RunChaos(ChaosOptions{});
    PrintReport(report, stdout);
    EXPECT_TRUE(report.Held());
    // The run got somewhere: games were played and compared, the frozen participant's games
    // ran out and were ended by the referee, and its descriptors were counted.
    EXPECT_GT(report.MovesOnServer, 0u);
    EXPECT_GT(report.Compared, 0);
    EXPECT_GT(report.RefereeTimeOuts, 0);
    EXPECT_GT(report.DescriptorsAtStart, report.DescriptorsAtEnd);
    // Everyone who could come back did, by himself, after the host's restart.
    EXPECT_EQ(report.HostRestarts, 1);
    EXPECT_GE(report.BackAfterRestart, report.Honest);
}

}  // namespace
}  // namespace tavlora
