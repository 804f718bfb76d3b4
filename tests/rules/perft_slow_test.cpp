// SPDX-License-Identifier: GPL-3.0-or-later
// The deep perft counts: seconds each in a plain build, so they run only on request
// (ctest -L slow).
#include <gtest/gtest.h>

#include "perft_cases.h"

namespace tavlora::test {
namespace {

TEST_P(PerftCount, MatchesTheKnownCount) {
    ExpectPerft(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Deep, PerftCount,
                         testing::Values(PerftCase{"Kiwipete4", KiwipeteFen, 4, 4085603},
                                         PerftCase{"Position3Depth5",
                                                   "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 5,
                                                   674624}),
                         CaseName());

}  // namespace
}  // namespace tavlora::test
