// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of what a tournament leaves behind at 127 participants (8,001 games), with the
// standings window shown: the table brought up to date after one game has ended (counted,
// ordered, the changed cells written), on the recording double and on the Qt backend
// (offscreen); a main-loop pass in which no game ended; and one game saved as PGN.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "platform/qt/qt_window_services.h"
#include "platform/recording_window_services.h"
#include "rules/clock.h"
#include "rules/execute.h"
#include "rules/notation.h"
#include "rules/pgn.h"
#include "shell/game_archive.h"
#include "shell/standings_window.h"
#include "shell/tournament_outcome.h"

namespace tavlora {
namespace {

constexpr int32_t Participants = 127;

std::unique_ptr<WindowServices> MakeServices(bool qt) {
    if (!qt) {
        return std::make_unique<RecordingWindowServices>();
    }
    static int argc = 1;
    static char name[] = "standings_bench";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return std::make_unique<QtWindowServices>(argc, argv);
}

// A server's tournament at full size, its games created, its outcome begun in a folder of
// its own, the standings window shown.
struct Scene {
    explicit Scene(bool qt) : services(MakeServices(qt)) {
        char pattern[] = "/tmp/tavlora-standings-bench-XXXXXX";
        folder = mkdtemp(pattern);
        state.Role = PlayRole::Server;
        state.MaxPlayer = state.PlayerCount = Participants;
        state.OwnPlayerIndex = 0;
        state.Players.resize(Participants + 1);
        for (int32_t i = 0; i < Participants; ++i) {
            state.Players[i].PlayerName = "Teilnehmer " + std::to_string(i);
        }
        for (int32_t i = 0; i < Participants; ++i) {
            for (int32_t j = i + 1; j < Participants; ++j) {
                CreateGame(state.Games, i, j, White, state);
            }
        }
        state.PlayPhase = GamesStartedPhase;
        outcome = std::make_unique<TournamentOutcome>(*services, state, folder, 0);
        outcome->ShowStandings();
    }
    ~Scene() { std::filesystem::remove_all(folder); }

    std::unique_ptr<WindowServices> services;
    ProgramState state;
    std::string folder;
    std::unique_ptr<TournamentOutcome> outcome;
};

// One game ends (results drawn at random, the games in a random order) and the table is
// brought up to date; after the last game, the tournament begins again.
void BM_TableAfterAGameEnds(benchmark::State& bench, bool qt) {
    Scene scene(qt);
    std::mt19937 random(7);
    std::vector<GameValue> ends(scene.state.Games.begin(), scene.state.Games.end());
    for (GameValue& end : ends) {
        end.Result = static_cast<int32_t>(random() % 3) - 1;
    }
    std::shuffle(ends.begin(), ends.end(), random);
    StandingsWindow window(*scene.services, scene.state, scene.folder);
    window.Show();
    Standings standings(Participants);
    const auto nameOf = [&scene](int32_t participant) -> std::string_view {
        return scene.state.Players[static_cast<size_t>(participant)].PlayerName;
    };
    size_t next = 0;
    for (auto _ : bench) {
        if (next == ends.size()) {
            bench.PauseTiming();
            standings = Standings(Participants);
            next = 0;
            bench.ResumeTiming();
        }
        standings.AddGame(ends[next++]);
        window.ShowRows(standings.Ranked(nameOf));
    }
}
BENCHMARK_CAPTURE(BM_TableAfterAGameEnds, Double, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_TableAfterAGameEnds, Qt, true)->Unit(benchmark::kMicrosecond);

// A main-loop pass in which no game has ended.
void BM_PassWithoutEnds(benchmark::State& bench) {
    Scene scene(false);
    for (auto _ : bench) {
        scene.outcome->RefreshStandings();
    }
}
BENCHMARK(BM_PassWithoutEnds);

// A game of 80 half-moves (knights out and back, the dearest case for the names: every
// move is checked for a rival) written as PGN and appended to the file.
void BM_SaveAGame(benchmark::State& bench) {
    Scene scene(false);
    Game& game = scene.state.Games.front();
    static constexpr int32_t Route[4][4] = {{6, 0, 5, 2}, {6, 7, 5, 5}, {5, 2, 6, 0}, {5, 5, 6, 7}};
    for (int ply = 0; ply < 80; ++ply) {
        const int32_t* squares = Route[ply % 4];
        const Move* move = FindMove(game.Moves, squares[0], squares[1], squares[2], squares[3]);
        ExecuteMove(game, *move, scene.state);
    }
    game.State = Resigned;
    game.Result = ResultOf(game);
    GameArchive archive(scene.folder, std::tm{});
    Lookahead lookahead;
    const PgnTags tags{.Event = "Tavlora-Turnier",
                       .Date = "2024.03.09",
                       .White = "Teilnehmer 0",
                       .Black = "Teilnehmer 1"};
    for (auto _ : bench) {
        archive.Append(PgnText(game, tags, lookahead));
    }
}
BENCHMARK(BM_SaveAGame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavlora

BENCHMARK_MAIN();
