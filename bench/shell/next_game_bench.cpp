// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted user who plays 20 games at once, counting what he does per move: clicks, keys,
// and trips between the lobby and the Game window. The program's own lobby, games list and
// Game window run on the recording double, pass by pass as the main loop runs them, with a
// clock of the bench's own; his 20 opponents answer each of his moves after a while, as
// people at other computers would. Three ways to play the same evening:
//   mouse and lobby: the check box cleared; after each move he clicks the top row of the
//       games list (the game that needs him most), then his piece and its destination;
//   two clicks: the check box ticked; the next game comes by itself, he clicks piece and
//       destination, and presses Space when a game came to wait after he had run out;
//   typed: the same, but he types each move in SAN and presses Return.
// The figures are counts, not times: the same on every machine. Prints one table of medians
// over a few evenings with different opponents.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "gamewindow/game_window.h"
#include "net/game_play.h"
#include "net/play_step.h"
#include "platform/recording_window_services.h"
#include "rules/next_game.h"
#include "rules/san.h"
#include "shell/lobby.h"

namespace tavlora {
namespace {

constexpr int32_t Opponents = 20;
constexpr int MovesPerEvening = 400;  // 20 in each game
constexpr int Evenings = 5;
constexpr uint32_t PassMs = 10;
// How long things take on the bench's clock: the user's thought per move, a click with the
// mouse's way to it, a key; and an opponent's answer, between these bounds.
constexpr uint32_t ThinkMs = 3000;
constexpr uint32_t ClickMs = 800;
constexpr uint32_t KeyMs = 200;
constexpr uint32_t AnswerMinMs = 5000;
constexpr uint32_t AnswerMaxMs = 60000;

enum class Way { MouseAndLobby, TwoClicks, Typed };

struct Count {
    int Moves = 0;
    int Clicks = 0;
    int Keys = 0;
    int Trips = 0;  // from one window to the other

    double PerMove(int what) const { return Moves ? static_cast<double>(what) / Moves : 0; }
};

class Evening {
public:
    Evening(Way way, uint32_t seed) : way_(way), random_(seed) {
        state_.Role = PlayRole::Server;
        state_.MaxPlayer = Opponents + 1;
        state_.PlayerCount = Opponents + 1;
        state_.OwnPlayerIndex = 0;
        state_.TimeByPlayer = 90;
        state_.TickCount = [this] { return now_; };
        state_.Players.resize(Opponents + 2);
        for (int32_t i = 0; i <= Opponents; ++i) {
            state_.Players[i].PlayerName = "Spieler " + std::to_string(i);
        }
        state_.PlayPhase = LobbyPhase;
        lobby_.SetNextGameAfterMove(way != Way::MouseAndLobby);
        lobby_.BuildLobbyWindow();
        // His games only; he has White against every second opponent.
        answers_.assign(Opponents, 0);
        for (int32_t i = 1; i <= Opponents; ++i) {
            Game& game = i % 2 ? CreateGame(state_.Games, 0, i, White, state_)
                               : CreateGame(state_.Games, i, 0, White, state_);
            answers_[i - 1] = game.PlayerIndex[White] == 0 ? 0 : now_ + AnswerDelay();
        }
        state_.PlayPhase = GamesStartedPhase;
        lobby_.ShowGamesStarted();
        // The promotion pop-up, while it is open: open its list and pick "Dame".
        services_.OnIdle = [this] {
            const GameView* view = gameWindow_.CurrentView();
            if (view && view->PromotionList != 0) {
                services_.PickItem(view->PromotionList, 1);
                Click(2);
            }
        };
        Pass();
    }

    Count Play() {
        while (count_.Moves < MovesPerEvening && AnyRunning()) {
            if (!Act()) {
                Idle();
            }
        }
        return count_;
    }

private:
    // One thing the user does, if a game waits for him: false when none does.
    bool Act() {
        const std::vector<Game*> order = lobby_.GamesInListOrder();
        if (!NextGameToMove(order, 0, nullptr)) {
            return false;
        }
        GameView* view = gameWindow_.CurrentView();
        if (!view || !WaitsFor(*view->Game, 0)) {
            if (way_ == Way::MouseAndLobby) {
                Wait(ClickMs);
                services_.SelectRow(LobbyControls::GamesList, 0);
                Click(1);
                count_.Trips += 2;
            } else {
                Wait(KeyMs);
                services_.PressKey(gameWindow_.Window(), ' ');
                ++count_.Keys;
            }
            Drain();
            return true;
        }
        PlayMove(*view);
        return true;
    }

    void PlayMove(GameView& view) {
        Game& game = *view.Game;
        Wait(ThinkMs);
        Move move = game.Moves[random_() % game.Moves.size()];
        const int opponent = game.PlayerIndex[1 - game.SideToMove];
        if (way_ == Way::Typed) {
            if (move.Promotion == PromotionPending) {
                move.Promotion = Queen;
            }
            GameValue position = game;
            const std::string san = PlaySan(position, move, state_.Scratch);
            for (const char c : san) {
                Wait(KeyMs);
                services_.PressKey(gameWindow_.Window(), static_cast<unsigned char>(c));
                ++count_.Keys;
            }
            Wait(KeyMs);
            services_.PressKey(gameWindow_.Window(), ReturnKey);
            ++count_.Keys;
        } else {
            for (const auto& [x, y] : {std::pair(move.FromX, move.FromY), {move.ToX, move.ToY}}) {
                Wait(ClickMs);
                services_.ClickImageAt(view.BoardPicture, 50 * x + 25, 50 * (7 - y) + 25);
                Click(1);
                Drain();
            }
        }
        Drain();
        ++count_.Moves;
        answers_[opponent - 1] = now_ + AnswerDelay();
    }

    // Time passes with nothing for the user to do, until an opponent answers.
    void Idle() {
        uint32_t next = UINT32_MAX;
        for (uint32_t due : answers_) {
            if (due != 0) {
                next = std::min(next, due);
            }
        }
        if (next == UINT32_MAX) {
            return;
        }
        Wait(next > now_ ? next - now_ : PassMs);
    }

    void Wait(uint32_t ms) {
        for (uint32_t waited = 0; waited < ms; waited += PassMs) {
            now_ += PassMs;
            Answer();
            Pass();
        }
    }

    // The opponents whose answer is due play a move of theirs, which arrives as from the
    // network.
    void Answer() {
        for (Game& game : state_.Games) {
            const int32_t opponent = game.PlayerIndex[game.SideToMove];
            if (opponent == 0 || !IsRunning(game)) {
                continue;
            }
            uint32_t& due = answers_[opponent - 1];
            if (due == 0 || due > now_) {
                continue;
            }
            due = 0;
            Move move = game.Moves[random_() % game.Moves.size()];
            if (move.Promotion == PromotionPending) {
                move.Promotion = Queen;
            }
            const int32_t side = game.SideToMove;
            PlayReceivedMove(state_, lobby_, game, game.PlayerTimeLeft[side],
                             game.MoveTimeLeft[side], move);
        }
    }

    void Pass() {
        const Event event = services_.WaitEvent(0);
        RunPlayStep(state_, lobby_);
        if (event.Kind == EventKind::Control) {
            lobby_.HandleLobbyControl(event.Control);
        }
        gameWindow_.HandleGameWindowEvent(event);
        gameWindow_.ShowChanges();
        lobby_.ShowChanges();
    }
    void Drain() {
        while (services_.PendingEvents() > 0) {
            Pass();
        }
    }
    void Click(int clicks) { count_.Clicks += clicks; }

    bool AnyRunning() const {
        return std::ranges::any_of(state_.Games, [](const Game& game) { return IsRunning(game); });
    }
    uint32_t AnswerDelay() {
        return AnswerMinMs + static_cast<uint32_t>(random_() % (AnswerMaxMs - AnswerMinMs));
    }

    Way way_;
    std::mt19937 random_;
    uint32_t now_ = 1000;
    RecordingWindowServices services_;
    ProgramState state_;
    GameWindow gameWindow_{services_, state_, DefaultFont, DefaultFont};
    Lobby lobby_{services_, state_, gameWindow_};
    std::vector<uint32_t> answers_;  // by opponent: when his answer is due, 0 when none is
    Count count_;
};

double Median(std::vector<double> values) {
    std::ranges::sort(values);
    return values[values.size() / 2];
}

}  // namespace
}  // namespace tavlora

int main() {
    using namespace tavlora;
    const struct {
        Way Of;
        const char* Name;
    } ways[] = {{Way::MouseAndLobby, "mouse and lobby (box cleared)"},
                {Way::TwoClicks, "two clicks, next game by itself"},
                {Way::Typed, "typed SAN + Return, next game by itself"}};
    std::printf("%d games at once, %d moves of the user per evening, median of %d evenings\n",
                Opponents, MovesPerEvening, Evenings);
    std::printf("%-42s %8s %8s %8s %10s\n", "way", "clicks", "keys", "actions", "trips");
    for (const auto& way : ways) {
        std::vector<double> clicks, keys, actions, trips;
        for (int evening = 0; evening < Evenings; ++evening) {
            const Count count = Evening(way.Of, 1000 + evening).Play();
            clicks.push_back(count.PerMove(count.Clicks));
            keys.push_back(count.PerMove(count.Keys));
            actions.push_back(count.PerMove(count.Clicks + count.Keys));
            trips.push_back(count.PerMove(count.Trips));
        }
        std::printf("%-42s %8.2f %8.2f %8.2f %10.2f\n", way.Name, Median(clicks), Median(keys),
                    Median(actions), Median(trips));
    }
    return 0;
}
