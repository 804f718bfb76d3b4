// SPDX-License-Identifier: GPL-3.0-or-later
// Perft positions with their known leaf counts, shared by the quick and the slow perft tests.
#pragma once

#include <cstdint>

#include "perft/perft.h"
#include "rules_support.h"

namespace tavlora::test {

inline constexpr const char* InitialFen =
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
inline constexpr const char* KiwipeteFen =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";

struct PerftCase {
    const char* name;
    const char* fen;
    int32_t depth;
    uint64_t nodes;
};

class PerftCount : public testing::TestWithParam<PerftCase> {};

inline void ExpectPerft(const PerftCase& c) {
    TestContext context;
    const Game game = FromFen(c.fen, context);
    EXPECT_EQ(Perft(game, c.depth, context), c.nodes);
}

}  // namespace tavlora::test
