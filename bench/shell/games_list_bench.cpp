// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the lobby's games list with 127 participants (8,001 games, all shown, both
// clocks in use), against the recording double, so the figures are the list's own work: a
// pass in which nothing changed (nearly every pass of the main loop), a pass after every
// running clock has lost a second (once a second), and one after the order has turned over.
#include <benchmark/benchmark.h>

#include "gamewindow/game_window.h"
#include "platform/recording_window_services.h"
#include "shell/lobby.h"

namespace tavlora {
namespace {

constexpr int32_t Participants = 127;

struct Scene {
    Scene() {
        state.TickCount = [] { return 0u; };
        state.MaxPlayer = Participants;
        state.PlayerCount = Participants;
        state.Role = PlayRole::Server;
        state.OwnPlayerIndex = 0;
        state.TimeByPlayer = 30;
        state.TimeByMove = 2;
        state.Players.resize(Participants + 1);
        for (int32_t i = 0; i < Participants; ++i) {
            state.Players[i].PlayerName = "Teilnehmer " + std::to_string(i);
        }
        state.PlayPhase = LobbyPhase;
        lobby.BuildLobbyWindow();
        for (int32_t i = 0; i < Participants; ++i) {
            for (int32_t j = i + 1; j < Participants; ++j) {
                CreateGame(state.Games, i, j, White, state);
            }
        }
        state.PlayPhase = GamesStartedPhase;
        lobby.ShowGamesStarted();
        services.SetState(LobbyControls::ShowAllGamesBox, 1);
        lobby.RefreshGamesList();  // rows, cells and the first game opened
    }

    RecordingWindowServices services;
    ProgramState state;
    GameWindow gameWindow{services, state, DefaultFont, DefaultFont};
    Lobby lobby{services, state, gameWindow};
};

void BM_RefreshUnchanged(benchmark::State& bench) {
    Scene scene;
    for (auto _ : bench) {
        scene.lobby.RefreshGamesList();
    }
}
BENCHMARK(BM_RefreshUnchanged)->Unit(benchmark::kMicrosecond);

void BM_RefreshAfterASecond(benchmark::State& bench) {
    Scene scene;
    for (auto _ : bench) {
        bench.PauseTiming();
        for (Game& game : scene.state.Games) {
            --game.MoveTimeLeft[game.SideToMove];
            --game.PlayerTimeLeft[game.SideToMove];
            scene.state.Changes.Note(game);  // as the game tick notes each game it counts
        }
        bench.ResumeTiming();
        scene.lobby.RefreshGamesList();
    }
}
BENCHMARK(BM_RefreshAfterASecond)->Unit(benchmark::kMicrosecond);

void BM_RefreshAfterReordering(benchmark::State& bench) {
    Scene scene;
    int32_t step = 0;
    for (auto _ : bench) {
        bench.PauseTiming();
        // Different times everywhere, so the sort and most rows change.
        ++step;
        int32_t i = 0;
        for (Game& game : scene.state.Games) {
            game.MoveTimeLeft[game.SideToMove] = (i++ * 7919 + step * 104729) % 120;
            scene.state.Changes.Note(game);
        }
        bench.ResumeTiming();
        scene.lobby.RefreshGamesList();
    }
}
BENCHMARK(BM_RefreshAfterReordering)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavlora

BENCHMARK_MAIN();
