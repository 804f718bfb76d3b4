// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the rules core: one full ExecuteMove in a middle-game position, one move
// generation, and perft of the initial position.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "perft/fen.h"
#include "perft/perft.h"
#include "rules/execute.h"
#include "rules/movegen.h"
#include "rules/notation.h"

namespace tavlora {
namespace {

// A closed middle game with every piece type on the board and White still able to castle
// both ways, so generation runs its castling probes too.
constexpr const char* MiddleGame =
    "r2q1rk1/pp1nbppp/2p1pn2/3p2B1/2PP4/2NBPN2/PPQ2PPP/R3K2R w KQ - 0 10";

constexpr const char* InitialPosition = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

Game SetUp(const char* fen, RulesContext& context) {
    FenGame set = GameFromFen(fen, context.Scratch);
    if (!set.game) {
        std::abort();
    }
    return std::move(*set.game);
}

// One full execution of the move between the two squares, on a fresh copy of the position.
void BM_ExecuteMove(benchmark::State& state, int32_t fromX, int32_t fromY, int32_t toX,
                    int32_t toY) {
    RulesContext context;
    const Game position = SetUp(MiddleGame, context);
    Game game = position;
    const Move* listed = FindMove(game.Moves, fromX, fromY, toX, toY);
    if (listed == nullptr) {
        std::abort();
    }
    const Move move = *listed;
    for (auto _ : state) {
        static_cast<GameValue&>(game) = position;
        game.History.clear();
        ExecuteMove(game, move, context);
        benchmark::DoNotOptimize(game.Moves.data());
    }
}
// After castling no king can castle any more: about forty plain legality probes.
BENCHMARK_CAPTURE(BM_ExecuteMove, Castling, 4, 0, 6, 0);
// White may still castle, so each of Black's probes also probes White's castling: the dear
// case of the look-ahead.
BENCHMARK_CAPTURE(BM_ExecuteMove, QuietWithCastlingOpen, 0, 1, 0, 2);

void BM_GenerateMoves(benchmark::State& state) {
    RulesContext context;
    const Game game = SetUp(MiddleGame, context);
    MoveList list;
    for (auto _ : state) {
        GenerateMoves(game, game.SideToMove, list, context.Scratch);
        benchmark::DoNotOptimize(list.data());
    }
}
BENCHMARK(BM_GenerateMoves);

void BM_PerftInitial(benchmark::State& state) {
    RulesContext context;
    const Game game = SetUp(InitialPosition, context);
    const auto depth = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Perft(game, depth, context));
    }
}
BENCHMARK(BM_PerftInitial)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerftInitial)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tavlora

BENCHMARK_MAIN();
