// SPDX-License-Identifier: GPL-3.0-or-later
// The Game window's part of a main-loop pass (the play step's game tick, then the changes
// shown, no event) for a participant of a full lobby: 127 participants give 8,001 games,
// every one opened as a view.
#include <benchmark/benchmark.h>

#include "gamewindow/game_window.h"
#include "net/game_play.h"
#include "net/play_step.h"
#include "platform/recording_window_services.h"

namespace tavlora {
namespace {

constexpr int Participants = 127;

// Board pictures are not what is measured here: at 420 x 420 pixels, two copies for each of
// 8,001 views would not fit in memory, so this double draws them at one pixel.
class LeanWindowServices : public RecordingWindowServices {
public:
    int CreatePicture(int /*width*/, int /*height*/, int number) override {
        return RecordingWindowServices::CreatePicture(1, 1, number);
    }
};

struct Lobby {
    explicit Lobby(bool finished) {
        state.MaxPlayer = Participants;
        state.Role = PlayRole::Server;
        state.OwnPlayerIndex = 0;
        state.TimeByPlayer = 600;  // long enough that no clock runs out while measured
        state.TimeByMove = 60;
        state.TickCount = [this] { return now; };
        state.Players.resize(Participants);
        for (int i = 0; i < Participants; ++i) {
            state.Players[i].PlayerName = "Teilnehmer " + std::to_string(i);
        }
        for (int white = 0; white < Participants; ++white) {
            for (int black = white + 1; black < Participants; ++black) {
                Game& game = CreateGame(state.Games, white, black, White, state);
                if (finished) {
                    Resign(state, game, White);
                }
                window.OpenGameView(game);
            }
        }
        Pass();
    }

    void Pass() {
        RunPlayStep(state, noNetwork);
        window.ShowChanges();
    }

    uint32_t now = 0;
    LeanWindowServices services;
    ProgramState state;
    NoNetworkView noNetwork;
    GameWindow window{services, state, services.CreateFont("MS Sans Serif", 14, true),
                      services.CreateFont("MS Sans Serif", 10, true)};
};

// Every game running with both clocks: every hundredth pass a second has passed in all of
// them, and only then are their clocks counted and their panels refreshed.
void BM_PassOverRunningGames(benchmark::State& bench) {
    Lobby lobby(false);
    for (auto _ : bench) {
        lobby.now += 10;
        lobby.Pass();
    }
    bench.counters["views"] = static_cast<double>(lobby.state.Games.size());
}
BENCHMARK(BM_PassOverRunningGames)->Unit(benchmark::kMicrosecond);

// Every game finished: nothing changes from pass to pass.
void BM_PassOverFinishedGames(benchmark::State& bench) {
    Lobby lobby(true);
    for (auto _ : bench) {
        lobby.now += 10;
        lobby.Pass();
    }
    bench.counters["views"] = static_cast<double>(lobby.state.Games.size());
}
BENCHMARK(BM_PassOverFinishedGames)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavlora

BENCHMARK_MAIN();
