// SPDX-License-Identifier: GPL-3.0-or-later
// The next game, by itself after the user's own move or end of a game and by Space, found in
// the order of the lobby's games list; the count of waiting games; and the lobby's check box.
// The lobby, the Game window and the games list run on the recording double pass by pass, as
// the main loop runs them, for the server's user.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "gamewindow/game_window.h"
#include "net/game_play.h"
#include "net/game_tick.h"
#include "net/play_step.h"
#include "platform/recording_window_services.h"
#include "rules/notation.h"
#include "shell/lobby.h"

namespace tavlora {
namespace {

using Ids = LobbyControls;

class NextGameTest : public testing::Test {
protected:
    // The server's user (participant 0) and participants 1 .. count-1, one game per pair with
    // the lower index White, in the server's order; the games started and one pass made.
    void Start(int32_t count, int32_t timeByPlayer, bool showAll = false) {
        state_.Role = PlayRole::Server;
        state_.MaxPlayer = count;
        state_.PlayerCount = count;
        state_.OwnPlayerIndex = 0;
        state_.TimeByPlayer = timeByPlayer;
        state_.TickCount = [this] { return now_; };
        state_.Players.resize(count + 1);
        for (int32_t i = 0; i < count; ++i) {
            state_.Players[i].PlayerName = "Spieler " + std::to_string(i);
        }
        state_.PlayPhase = LobbyPhase;
        lobby_.NextGameAfterMoveChanged = [this](bool on) { saved_.push_back(on); };
        lobby_.BuildLobbyWindow();
        for (int32_t i = 0; i < count; ++i) {
            for (int32_t j = i + 1; j < count; ++j) {
                CreateGame(state_.Games, i, j, White, state_);
            }
        }
        state_.PlayPhase = GamesStartedPhase;
        lobby_.ShowGamesStarted();
        services_.SetState(Ids::ShowAllGamesBox, showAll ? 1 : 0);
        Pass();
    }

    // One main-loop pass over the next queued event, or none; then the passes for the rest.
    void Pass() {
        const Event event = services_.WaitEvent(10);
        RunPlayStep(state_, lobby_);
        if (event.Kind == EventKind::Control) {
            lobby_.HandleLobbyControl(event.Control);
        }
        gameWindow_.HandleGameWindowEvent(event);
        gameWindow_.ShowChanges();
        lobby_.ShowChanges();
    }
    void Drain() {
        do {
            Pass();
        } while (services_.PendingEvents() > 0);
    }

    Game& G(int32_t white, int32_t black) {
        for (Game& game : state_.Games) {
            if (game.PlayerIndex[White] == white && game.PlayerIndex[Black] == black) {
                return game;
            }
        }
        ADD_FAILURE() << "no game " << white << "-" << black;
        return state_.Games.front();
    }
    const Game* Shown() {
        return gameWindow_.CurrentView() ? gameWindow_.CurrentView()->Game : nullptr;
    }

    // A click on the game's row in the lobby.
    void Open(const Game& game) {
        for (int row = 0; row < services_.RowCount(Ids::GamesList); ++row) {
            if (services_.RowRef(Ids::GamesList, row) == &game) {
                ASSERT_TRUE(services_.SelectRow(Ids::GamesList, row));
                Drain();
                ASSERT_EQ(Shown(), &game);
                return;
            }
        }
        FAIL() << "the game has no row";
    }
    void ClickSquare(std::string_view square) {
        const GameView& view = *gameWindow_.CurrentView();
        ASSERT_TRUE(services_.ClickImageAt(view.BoardPicture, 50 * (square[0] - 'a') + 25,
                                           50 * ('8' - square[1]) + 25));
        Drain();
    }
    void Play(std::string_view from, std::string_view to) {
        ClickSquare(from);
        ClickSquare(to);
    }
    void Type(const std::string& text) {
        services_.TypeKeys(gameWindow_.Window(), text);
        Drain();
    }
    void Press(int key) {
        services_.PressKey(gameWindow_.Window(), key);
        Drain();
    }
    void Click(int control) {
        ASSERT_TRUE(services_.Click(control));
        Drain();
    }
    // A move of the opponent, as it arrives from the network.
    void Receive(Game& game, std::string_view squares) {
        Move* move = FindMove(game.Moves, squares[0] - 'a', squares[1] - '1', squares[2] - 'a',
                              squares[3] - '1');
        ASSERT_NE(move, nullptr);
        const int32_t side = game.SideToMove;
        PlayReceivedMove(state_, lobby_, game, game.PlayerTimeLeft[side], game.MoveTimeLeft[side],
                         *move);
        Drain();
    }

    // White's game clock, as a message from the network would set it.
    void SetTimeLeft(Game& game, int32_t seconds) {
        game.PlayerTimeLeft[White] = seconds;
        GameChanged(state_, game);
    }

    // The text of the Game window's control that begins with prefix, or "-" when none does.
    std::string LineStarting(std::string_view prefix) const {
        for (const ControlRecord* control : services_.Controls(gameWindow_.Window())) {
            if (control->Text.starts_with(prefix)) {
                return control->Text;
            }
        }
        return "-";
    }
    int NextGameBox() const {
        const ControlRecord* box =
            services_.FindControlByText("Nach dem Zug zum nächsten Spiel", LobbyWindowId);
        return box ? box->Id : -1;
    }

    uint32_t now_ = 5000;
    RecordingWindowServices services_;
    ProgramState state_;
    GameWindow gameWindow_{services_, state_, DefaultFont, DefaultFont};
    Lobby lobby_{services_, state_, gameWindow_};
    std::vector<bool> saved_;  // what the lobby asked to keep of its check box
};

// (game clock, "Alle Spiele anzeigen")
class AfterTheMove : public NextGameTest,
                     public testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(AfterTheMove, TheFirstWaitingGameOfTheListFollowsUntilNoneWaits) {
    const auto [clock, showAll] = GetParam();
    Start(4, clock ? 10 : 0, showAll);
    std::vector<const Game*> expected;
    if (clock) {
        // The games that need the user first, the least time first: 0-2, 0-3, 0-1.
        SetTimeLeft(G(0, 1), 500);
        SetTimeLeft(G(0, 2), 100);
        SetTimeLeft(G(0, 3), 300);
        Pass();
        expected = {&G(0, 2), &G(0, 1), &G(0, 1)};
    } else {
        expected = {&G(0, 1), &G(0, 2), &G(0, 2)};  // the order of creation
    }
    Open(G(0, 3));
    EXPECT_EQ(LineStarting("Am Zug"), "Am Zug in 3 Spielen");

    Play("e2", "e4");  // by two clicks
    EXPECT_EQ(Shown(), expected[0]);
    EXPECT_EQ(LineStarting("Am Zug"), "Am Zug in 2 Spielen");

    Type("Nf3");
    EXPECT_EQ(LineStarting("Zug:"), "Zug: Nf3");
    Press(ReturnKey);
    EXPECT_EQ(Shown(), expected[1]);
    EXPECT_EQ(LineStarting("Zug:"), "-") << "the typed text went with the move";
    EXPECT_EQ(LineStarting("Am Zug"), "Am Zug in 1 Spiel");

    Type("d2d4");
    Press(ReturnKey);
    EXPECT_EQ(Shown(), expected[2]) << "no game waits: the window stays";
    EXPECT_EQ(LineStarting("Am Zug"), "Am Zug in 0 Spielen");
    for (const Game* game : {&G(0, 1), &G(0, 2), &G(0, 3)}) {
        EXPECT_EQ(game->History.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, AfterTheMove, testing::Combine(testing::Bool(), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<bool, bool>>& list) {
                             return std::string(std::get<0>(list.param) ? "Clock" : "NoClock") +
                                    (std::get<1>(list.param) ? "AllGames" : "OwnGames");
                         });

TEST_F(NextGameTest, WithTheBoxClearedTheGameStaysAndSpaceGoesOnRoundTheList) {
    Start(4, 0);
    const int box = NextGameBox();
    ASSERT_GE(box, 0);
    EXPECT_EQ(services_.State(box), 1) << "ticked unless the settings say otherwise";
    Click(box);
    EXPECT_EQ(saved_, std::vector<bool>{false});

    Open(G(0, 1));
    Play("e2", "e4");
    EXPECT_EQ(Shown(), &G(0, 1));

    // The list: 0-1, 0-2, 0-3, of which 0-2 and 0-3 wait.
    Press(' ');
    EXPECT_EQ(Shown(), &G(0, 2));
    Press(' ');
    EXPECT_EQ(Shown(), &G(0, 3));
    Press(' ');
    EXPECT_EQ(Shown(), &G(0, 2)) << "round from the bottom to the top";
    EXPECT_TRUE(G(0, 1).History.size() == 1 && G(0, 2).History.empty() && G(0, 3).History.empty());

    Click(box);
    EXPECT_EQ(saved_, (std::vector<bool>{false, true}));
    Play("e2", "e4");
    EXPECT_EQ(Shown(), &G(0, 3));
}

TEST_F(NextGameTest, OthersActionsNeverChangeTheShownGame) {
    Start(4, 0);
    Open(G(0, 3));
    Play("e2", "e4");
    ASSERT_EQ(Shown(), &G(0, 1));
    Receive(G(0, 3), "e7e5");  // the game the user has left waits for him again
    EXPECT_EQ(Shown(), &G(0, 1));
    Resign(state_, G(0, 1), Black);  // the opponent resigns the shown game
    Drain();
    EXPECT_EQ(Shown(), &G(0, 1));
    EXPECT_EQ(LineStarting("Am Zug"), "Am Zug in 2 Spielen");
}

TEST_F(NextGameTest, TheUsersOwnEndOfTheShownGameTakesHimOn) {
    Start(5, 10);  // his four games, 0-1 .. 0-4, all at the same time: the list's own order
    Open(G(0, 1));
    Click(gameWindow_.CurrentView()->ResignButton);
    EXPECT_EQ(G(0, 1).State, Resigned);
    EXPECT_EQ(Shown(), &G(0, 2));

    lobby_.DrawOffered(G(0, 2));  // shown at the end of the pass it arrived in
    Pass();
    Click(gameWindow_.CurrentView()->AcceptDrawButton);
    EXPECT_EQ(G(0, 2).State, DrawAgreed);
    EXPECT_EQ(Shown(), &G(0, 3));

    SetTimeLeft(G(0, 3), 1);
    now_ += 1500;
    Drain();
    EXPECT_EQ(G(0, 3).State, TimeOut);
    EXPECT_EQ(Shown(), &G(0, 4));
}

// What the user is doing when his time runs out in the shown game.
enum class Doing { Nothing, Selecting, Typing };

class TimeOutWhile : public NextGameTest, public testing::WithParamInterface<Doing> {};

TEST_P(TimeOutWhile, TakesTheUserOnOnlyWhenHeIsNotChoosingAMove) {
    Start(3, 10);
    Open(G(0, 1));
    if (GetParam() == Doing::Selecting) {
        ClickSquare("e2");
    } else if (GetParam() == Doing::Typing) {
        Type("Nf");
    }
    SetTimeLeft(G(0, 1), 1);
    now_ += 1500;
    Drain();
    ASSERT_EQ(G(0, 1).State, TimeOut);
    EXPECT_EQ(Shown(), GetParam() == Doing::Nothing ? &G(0, 2) : &G(0, 1));
}

INSTANTIATE_TEST_SUITE_P(Doings, TimeOutWhile,
                         testing::Values(Doing::Nothing, Doing::Selecting, Doing::Typing));

TEST_F(NextGameTest, TheBoxKeepsTheChoiceTheSettingsGive) {
    lobby_.SetNextGameAfterMove(false);
    Start(3, 0);
    const int box = NextGameBox();
    ASSERT_GE(box, 0);
    EXPECT_TRUE(services_.IsShown(box));
    EXPECT_EQ(services_.State(box), 0);
    Open(G(0, 1));
    Play("e2", "e4");
    EXPECT_EQ(Shown(), &G(0, 1));
    EXPECT_TRUE(saved_.empty()) << "nothing changed, so nothing is written";
}

}  // namespace
}  // namespace tavlora
