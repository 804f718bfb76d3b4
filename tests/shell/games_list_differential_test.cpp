// SPDX-License-Identifier: GPL-3.0-or-later
// The games list against its rule, worked out from scratch, after every step of long random
// runs of what happens to the games in a tournament: moves received and played, clocks that
// run (with the time-outs the game tick and the referee declare), resignations, agreed draws,
// time-outs from a peer, mates, participants who leave, and "Alle Spiele anzeigen" ticked and
// unticked. Each step goes through the code that makes it happen in the program, so the
// list learns of it only as it learns in the program: from the changes noted.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "counting_window_services.h"
#include "games_list_oracle.h"
#include "gamewindow/game_window.h"
#include "net/game_play.h"
#include "net/play_step.h"
#include "net/server.h"
#include "rules/clock.h"
#include "rules/san.h"
#include "shell/lobby.h"

namespace tavlora {
namespace {

using Ids = LobbyControls;

struct Limits {
    int32_t TimeByPlayer;
    int32_t TimeByMove;
};

// The server's lobby of a tournament that has started, with its user as participant 0: the
// server declares its own time-outs and, as the referee, those of the others.
class StartedLobby {
public:
    StartedLobby(int32_t participants, Limits limits, uint32_t seed) : random_(seed) {
        SetUpServer(state_, "Paula", participants, limits.TimeByPlayer, limits.TimeByMove);
        state_.TickCount = [this] { return now_; };
        state_.PlayerCount = participants;
        for (int32_t i = 1; i < participants; ++i) {
            state_.Players[static_cast<size_t>(i)].PlayerName = "Spieler " + std::to_string(i);
        }
        state_.PlayPhase = LobbyPhase;
        lobby_.BuildLobbyWindow();
        StartGames(state_, lobby_);
        Pass();
    }

    // One random thing happening to the games, then the rest of a main-loop pass. Moves and
    // clock ticks come most often, ends rarely enough that a run keeps games running for
    // hundreds of steps.
    void Step() {
        const size_t roll = Below(64);
        if (roll < 28) {
            PlayMove();
        } else if (roll < 44) {
            now_ += static_cast<uint32_t>(Below(1500));  // mostly a displayed second or none
        } else if (roll < 45) {
            now_ += static_cast<uint32_t>(Below(75000));  // a long pause: time-outs
        } else if (roll < 51) {
            PlayTowardsMate();
        } else if (roll < 52) {
            if (Game* game = RunningGame()) {
                Resign(state_, *game, static_cast<int32_t>(Below(2)));
            }
        } else if (roll < 53) {
            if (Game* game = RunningGame()) {
                AgreeDraw(state_, *game);
            }
        } else if (roll < 54) {
            if (Game* game = RunningGame()) {
                EndOnTime(state_, *game, -1, 0, 0);
            }
        } else if (roll < 55) {
            if (Below(4) == 0) {
                Leave();
            }
        } else if (roll < 57) {
            services_.Click(Ids::ShowAllGamesBox);
        }
        Pass();
    }

    // Every row of the list against the rule, and, since the list shows what the games hold,
    // every running game's clocks against a countdown of them to now: the schedule let no
    // second pass unseen.
    void Compare(int step) {
        TickOfPass now(state_.TickCount);
        for (const Game& game : state_.Games) {
            if (IsRunning(game)) {
                GameValue counted = game;
                CountDownClocks(counted, now);
                const int32_t side = game.SideToMove;
                ASSERT_EQ(game.PlayerTimeLeft[side], counted.PlayerTimeLeft[side])
                    << "step " << step << ", game " << game.Index;
                ASSERT_EQ(game.MoveTimeLeft[side], counted.MoveTimeLeft[side])
                    << "step " << step << ", game " << game.Index;
            }
        }
        const bool showAll = services_.State(Ids::ShowAllGamesBox) != 0;
        const std::vector<ExpectedRow> expected = ExpectedRows(state_, showAll);
        ASSERT_EQ(services_.RowCount(Ids::GamesList), static_cast<int>(expected.size()))
            << "step " << step;
        for (size_t row = 0; row < expected.size(); ++row) {
            const int r = static_cast<int>(row);
            ASSERT_EQ(services_.RowRef(Ids::GamesList, r), expected[row].Shown)
                << "step " << step << ", row " << row;
            for (int column = 0; column < 4; ++column) {
                ASSERT_EQ(services_.CellText(Ids::GamesList, r, column),
                          expected[row].Cells[static_cast<size_t>(column)])
                    << "step " << step << ", row " << row << ", column " << column;
            }
            for (int column : {MoverColumn, MoveClockColumn, PlayerClockColumn}) {
                ASSERT_EQ(services_.CellColour(Ids::GamesList, r, column), expected[row].Colour)
                    << "step " << step << ", row " << row << ", column " << column;
            }
        }
    }

    int Running() const {
        int running = 0;
        for (const Game& game : state_.Games) {
            running += IsRunning(game);
        }
        return running;
    }
    // How many games have ended in State.
    int Ended(int32_t gameState) const {
        int ended = 0;
        for (const Game& game : state_.Games) {
            ended += game.State == gameState;
        }
        return ended;
    }

private:
    size_t Below(size_t n) { return static_cast<size_t>(random_() % n); }

    // The network work done (by the steps), the window's part of the pass.
    void Pass() {
        RunPlayStep(state_, lobby_);
        gameWindow_.ShowChanges();
        lobby_.ShowChanges();
    }

    Game* RunningGame() {
        std::vector<Game*> running;
        for (Game& game : state_.Games) {
            if (IsRunning(game)) {
                running.push_back(&game);
            }
        }
        return running.empty() ? nullptr : running[Below(running.size())];
    }

    // A random legal move in a running game: the server user's own, or one received, with
    // the clocks the mover's program counted.
    void PlayMove() {
        if (Game* game = RunningGame()) {
            PlayMove(*game, game->Moves[Below(game->Moves.size())]);
        }
    }

    void PlayMove(Game& game, const tavlora::Move& move) {
        const int32_t side = game.SideToMove;
        if (game.PlayerIndex[side] == state_.OwnPlayerIndex) {
            PlayOwnMove(state_, game, move);
        } else {
            PlayReceivedMove(state_, lobby_, game, game.PlayerTimeLeft[side],
                             game.MoveTimeLeft[side], move);
        }
    }

    // The shortest mate, one move a step, in a game nobody has moved in yet: random moves
    // alone hardly ever mate. The moves go the way every other move goes.
    void PlayTowardsMate() {
        static constexpr const char* FoolsMate[] = {"f3", "e5", "g4", "Qh4#"};
        if (mating_ == nullptr || !IsRunning(*mating_) || mating_->History.size() != mateMoves_) {
            mating_ = nullptr;
            mateMoves_ = 0;
            for (Game& game : state_.Games) {
                if (IsRunning(game) && game.History.empty()) {
                    mating_ = &game;
                    break;
                }
            }
            if (mating_ == nullptr) {
                return;
            }
        }
        for (const tavlora::Move& move : mating_->Moves) {
            GameValue after = *mating_;
            if (PlaySan(after, move, state_.Scratch) == FoolsMate[mateMoves_]) {
                ++mateMoves_;
                PlayMove(*mating_, move);
                return;
            }
        }
    }

    void Leave() {
        std::vector<int32_t> staying;
        for (int32_t i = 1; i < state_.PlayerCount; ++i) {
            if (!state_.Players[static_cast<size_t>(i)].Left) {
                staying.push_back(i);
            }
        }
        if (!staying.empty()) {
            ParticipantLeft(state_, staying[Below(staying.size())]);
        }
    }

    std::mt19937 random_;
    Game* mating_ = nullptr;
    size_t mateMoves_ = 0;
    uint32_t now_ = 0xFFFFF000;  // the tick count wraps during the run
    CountingWindowServices services_;
    ProgramState state_;
    GameWindow gameWindow_{services_, state_, DefaultFont, DefaultFont};
    Lobby lobby_{services_, state_, gameWindow_};
};

// Each run goes on until every game has ended: some 200 to 1,200 steps, about 7,000 in all.
TEST(GamesListDifferentialTest, EveryRowFollowsTheRuleAfterEveryStep) {
    const Limits limits[] = {{0, 0}, {0, 2}, {5, 0}, {5, 2}};
    for (const Limits& limit : limits) {
        for (uint32_t seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(testing::Message() << "limits " << limit.TimeByPlayer << "/"
                                            << limit.TimeByMove << ", seed " << seed);
            StartedLobby tournament(12, limit, seed);
            for (int step = 0; step < 1500; ++step) {
                tournament.Step();
                tournament.Compare(step);
                if (testing::Test::HasFatalFailure()) {
                    return;
                }
                if (tournament.Running() == 0) {
                    break;
                }
            }
            for (int32_t end : {Resigned, DrawAgreed, TimeOut, Checkmate}) {
                EXPECT_GT(tournament.Ended(end), 0) << "no game ended in State " << end;
            }
        }
    }
}

}  // namespace
}  // namespace tavlora
