// SPDX-License-Identifier: GPL-3.0-or-later
// The lobby's games list against the recording double: which games get rows, their order in
// three groups while a clock runs, the cells and colours and how seldom they are written, the
// game opened by chance, and a click on a row.
#include "shell/games_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "counting_window_services.h"
#include "games_list_oracle.h"
#include "gamewindow/game_window.h"
#include "gamewindow/panel_texts.h"
#include "shell/lobby.h"

namespace tavlora {
namespace {

using testing::ElementsAre;
using Ids = LobbyControls;

constexpr int32_t Blue = 0x0000FF;

// One program's lobby once the games have started.
struct Scene {
    // Participants 0 .. participants-1, one game per pair with the lower index as White, in
    // the order the server creates them; the list not yet refreshed.
    Scene(int32_t participants, int32_t own, int32_t timeByPlayer, int32_t timeByMove) {
        state.TickCount = [] { return 0u; };  // clocks stand still unless a test moves them
        state.MaxPlayer = participants;
        state.PlayerCount = participants;
        state.OwnPlayerIndex = own;
        state.TimeByPlayer = timeByPlayer;
        state.TimeByMove = timeByMove;
        state.Players.resize(participants + 1);
        const char* const names[] = {"Anna", "Bert", "Cleo", "Dora"};
        for (int32_t i = 0; i < participants; ++i) {
            state.Players[i].PlayerName = i < 4 ? names[i] : "Spieler " + std::to_string(i);
        }
        state.PlayPhase = LobbyPhase;
        lobby.BuildLobbyWindow();
        for (int32_t i = 0; i < participants; ++i) {
            for (int32_t j = i + 1; j < participants; ++j) {
                CreateGame(state.Games, i, j, White, state);
            }
        }
        state.PlayPhase = GamesStartedPhase;
        lobby.ShowGamesStarted();
    }

    // The game of White w and Black b, noted as changed: the test may change it, as the
    // code that changes games notes them.
    Game& G(int32_t w, int32_t b) {
        for (Game& game : state.Games) {
            if (game.PlayerIndex[0] == w && game.PlayerIndex[1] == b) {
                state.Changes.Note(game);
                return game;
            }
        }
        ADD_FAILURE() << "no game " << w << "-" << b;
        return state.Games.front();
    }

    std::vector<const Game*> Rows() const {
        std::vector<const Game*> games;
        for (int row = 0; row < services.RowCount(Ids::GamesList); ++row) {
            games.push_back(static_cast<const Game*>(services.RowRef(Ids::GamesList, row)));
        }
        return games;
    }
    std::string Cell(int row, int column) const {
        return services.CellText(Ids::GamesList, row, column);
    }
    int32_t Colour(int row, int column) const {
        return services.CellColour(Ids::GamesList, row, column);
    }
    const Game* Shown() {
        return gameWindow.CurrentView() ? gameWindow.CurrentView()->Game : nullptr;
    }

    void Refresh() { lobby.RefreshGamesList(); }
    void Pump() {
        for (Event event = services.WaitEvent(10); event.Kind != EventKind::None;
             event = services.WaitEvent(10)) {
            if (event.Kind == EventKind::Control) {
                lobby.HandleLobbyControl(event.Control);
            }
        }
    }

    CountingWindowServices services;
    ProgramState state;
    GameWindow gameWindow{services, state, DefaultFont, DefaultFont};
    Lobby lobby{services, state, gameWindow};
};

// Puts side on move in the game with these seconds left on its clocks.
void Turn(Game& game, int32_t side, int32_t playerSeconds, int32_t moveSeconds = 0) {
    game.SideToMove = side;
    game.PlayerTimeLeft[side] = playerSeconds;
    game.MoveTimeLeft[side] = moveSeconds;
}

TEST(SortKeyTest, TakesTheClockThatRunsOutFirst) {
    struct Case {
        int32_t TimeByPlayer;
        int32_t TimeByMove;
        int32_t PlayerLeft;
        int32_t MoveLeft;
        int32_t Expected;
    };
    const Case cases[] = {
        {0, 2, 500, 90, 90}, {10, 0, 500, 90, 500}, {10, 2, 500, 90, 90},   {10, 2, 40, 90, 40},
        {10, 2, -3, 90, -3}, {-1, 2, 500, 90, 90},  {10, -1, 500, 90, 500},
    };
    for (const Case& c : cases) {
        RulesContext limits;
        limits.TimeByPlayer = c.TimeByPlayer;
        limits.TimeByMove = c.TimeByMove;
        GameValue game{};
        game.SideToMove = Black;
        game.PlayerTimeLeft[Black] = c.PlayerLeft;
        game.MoveTimeLeft[Black] = c.MoveLeft;
        game.PlayerTimeLeft[White] = game.MoveTimeLeft[White] = 1;  // not the side to move
        EXPECT_EQ(SortKey(game, limits), c.Expected)
            << c.TimeByPlayer << " " << c.TimeByMove << " " << c.PlayerLeft << " " << c.MoveLeft;
    }
}

TEST(GamesListTest, WithoutClocksRowsKeepCreationOrderAndNothingOpensByItself) {
    Scene scene(3, 0, 0, 0);
    scene.Refresh();
    EXPECT_THAT(scene.Rows(), ElementsAre(&scene.G(0, 1), &scene.G(0, 2)));
    EXPECT_EQ(scene.Cell(0, GamesColumn), "Anna - Bert");
    EXPECT_EQ(scene.Cell(0, MoverColumn), "Anna");
    EXPECT_EQ(scene.Cell(1, GamesColumn), "Anna - Cleo");
    // The clock columns stay empty: never written at all.
    const ControlRecord* list = scene.services.Control(Ids::GamesList);
    for (const RowRecord& row : list->Rows) {
        EXPECT_LE(row.Cells.size(), 4u);
        for (size_t column = MoveClockColumn; column < row.Cells.size(); ++column) {
            EXPECT_EQ(row.Cells[column].Text, "");
        }
    }
    EXPECT_EQ(scene.Shown(), nullptr);
    EXPECT_EQ(scene.gameWindow.Window(), -1);
}

TEST(GamesListTest, ShowAllGamesAddsTheOthersGamesAndTakesThemAwayAgain) {
    for (int32_t own : {0, 1, 2}) {
        SCOPED_TRACE(own);
        Scene scene(3, own, 0, 0);
        scene.Refresh();
        ASSERT_EQ(scene.Rows().size(), 2u);
        for (const Game* game : scene.Rows()) {
            EXPECT_TRUE(game->PlayerIndex[0] == own || game->PlayerIndex[1] == own);
        }
        ASSERT_TRUE(scene.services.Click(Ids::ShowAllGamesBox));
        scene.Pump();
        scene.Refresh();
        EXPECT_THAT(scene.Rows(), ElementsAre(&scene.G(0, 1), &scene.G(0, 2), &scene.G(1, 2)));
        scene.services.Click(Ids::ShowAllGamesBox);
        scene.Pump();
        scene.Refresh();
        EXPECT_EQ(scene.Rows().size(), 2u);
    }
}

TEST(GamesListTest, ColumnsAfterTheMoverTurnBlueWhereTheUserIsToMove) {
    Scene scene(3, 1, 5, 1);
    Turn(scene.G(0, 1), Black, 250, 42);  // Bert, the user, to move
    Turn(scene.G(1, 2), White, 3725, 59);
    scene.services.Click(Ids::ShowAllGamesBox);
    scene.Pump();
    scene.Refresh();

    // The user's games by the time left, then the others' games.
    ASSERT_THAT(scene.Rows(), ElementsAre(&scene.G(0, 1), &scene.G(1, 2), &scene.G(0, 2)));
    struct Expected {
        std::string Texts[4];
        int32_t Colour;
    };
    const Expected rows[] = {
        {{"Anna - Bert", "Bert", "00:42", "04:10"}, Blue},
        {{"Bert - Cleo", "Bert", "00:59", "01:02:05"}, Blue},
        {{"Anna - Cleo", "Anna", "01:00", "05:00"}, DefaultColour},
    };
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(scene.Cell(row, column), rows[row].Texts[column]);
        }
        EXPECT_EQ(scene.Colour(row, GamesColumn), DefaultColour);
        for (int column : {MoverColumn, MoveClockColumn, PlayerClockColumn}) {
            EXPECT_EQ(scene.Colour(row, column), rows[row].Colour);
        }
    }
}

TEST(GamesListTest, WithAClockGamesFollowInThreeGroupsEachByTheTimeLeft) {
    Scene scene(4, 0, 10, 0);
    scene.services.Click(Ids::ShowAllGamesBox);
    scene.Pump();
    Turn(scene.G(0, 1), White, 200);  // user to move
    Turn(scene.G(0, 2), Black, 100);  // user waits
    Turn(scene.G(0, 3), White, 200);  // user to move, same time as 0-1
    Turn(scene.G(1, 2), White, 50);   // others
    Turn(scene.G(1, 3), Black, 300);
    Turn(scene.G(2, 3), White, 300);
    scene.Refresh();
    EXPECT_THAT(scene.Rows(), ElementsAre(&scene.G(0, 1), &scene.G(0, 3), &scene.G(0, 2),
                                          &scene.G(1, 2), &scene.G(1, 3), &scene.G(2, 3)));

    // The order follows the live clocks: less time left on 0-3, and 0-2 comes to the user.
    Turn(scene.G(0, 3), White, 199);
    Turn(scene.G(0, 2), White, 30);
    scene.Refresh();
    EXPECT_THAT(scene.Rows(), ElementsAre(&scene.G(0, 2), &scene.G(0, 3), &scene.G(0, 1),
                                          &scene.G(1, 2), &scene.G(1, 3), &scene.G(2, 3)));
    EXPECT_EQ(scene.Cell(0, GamesColumn), "Anna - Cleo");
    EXPECT_EQ(scene.Cell(0, PlayerClockColumn), "00:30");

    // Only the user's games: the same order without the others' games.
    scene.services.Click(Ids::ShowAllGamesBox);
    scene.Pump();
    scene.Refresh();
    EXPECT_THAT(scene.Rows(), ElementsAre(&scene.G(0, 2), &scene.G(0, 3), &scene.G(0, 1)));
}

TEST(GamesListTest, EqualTimesKeepTheOrderOfTheGamesList) {
    Scene scene(10, 0, 0, 3);  // 45 games, every clock at 03:00
    scene.services.Click(Ids::ShowAllGamesBox);
    scene.Pump();
    scene.Refresh();
    std::vector<const Game*> inListOrder;
    for (const Game& game : scene.state.Games) {
        if (game.PlayerIndex[0] == 0) {
            inListOrder.push_back(&game);  // White, the user, is to move
        }
    }
    for (const Game& game : scene.state.Games) {
        if (game.PlayerIndex[0] != 0) {
            inListOrder.push_back(&game);
        }
    }
    EXPECT_EQ(scene.Rows(), inListOrder);
}

// Every game, in the order of the three groups, each by time left and then by games-list
// order, worked out afresh.
std::vector<const Game*> ExpectedOrder(const ProgramState& state) {
    std::vector<const Game*> games;
    for (const ExpectedRow& row : ExpectedRows(state, true)) {
        games.push_back(row.Shown);
    }
    return games;
}

TEST(GamesListTest, RowsFollowTicksTurnsAndEndsAsAListBuiltAfreshWould) {
    Scene scene(8, 2, 30, 2);  // 28 games, all shown
    scene.services.Click(Ids::ShowAllGamesBox);
    scene.Pump();
    scene.Refresh();
    std::mt19937 random(2024);
    const auto below = [&random](size_t n) { return static_cast<size_t>(random() % n); };
    for (int step = 0; step < 400; ++step) {
        Game& game = *std::next(scene.state.Games.begin(),
                                static_cast<ptrdiff_t>(below(scene.state.Games.size())));
        scene.state.Changes.Note(game);
        const int32_t side = game.SideToMove;
        switch (below(4)) {
            case 0:  // the clocks of the side to move tick
                --game.MoveTimeLeft[side];
                game.PlayerTimeLeft[side] -= static_cast<int32_t>(below(2));
                break;
            case 1:  // a move: the other side's move clock starts afresh
                game.SideToMove = 1 - side;
                game.MoveTimeLeft[1 - side] = 120;
                break;
            case 2:  // many seconds at once, as after a long pass
                game.PlayerTimeLeft[side] -= static_cast<int32_t>(below(300));
                break;
            case 3:
                game.Result = side;
                break;
        }
        scene.Refresh();
        const std::vector<const Game*> expected = ExpectedOrder(scene.state);
        ASSERT_EQ(scene.Rows(), expected) << "step " << step;
        for (int row = 0; row < static_cast<int>(expected.size()); ++row) {
            const Game& shown = *expected[static_cast<size_t>(row)];
            const int32_t mover = shown.PlayerIndex[shown.SideToMove];
            ASSERT_EQ(scene.Cell(row, MoverColumn), scene.state.Players[mover].PlayerName);
            ASSERT_EQ(scene.Cell(row, MoveClockColumn),
                      FormatClock(shown.MoveTimeLeft[shown.SideToMove]));
            ASSERT_EQ(scene.Cell(row, PlayerClockColumn),
                      FormatClock(shown.PlayerTimeLeft[shown.SideToMove]));
            ASSERT_EQ(scene.Cell(row, GamesColumn).starts_with("(Beendet) "),
                      shown.Result > Undecided);
            ASSERT_EQ(scene.Colour(row, MoverColumn), mover == 2 ? Blue : DefaultColour);
        }
    }
}

TEST(GamesListTest, AGameThatChangesItsPlaceMovesOneRowAndRewritesOnlyItsOwn) {
    Scene scene(127, 5, 30, 2);  // 8001 games, all shown
    scene.services.Click(Ids::ShowAllGamesBox);
    scene.Pump();
    scene.Refresh();
    scene.services.ResetCounts();
    for (Game& game : scene.state.Games) {
        game.MoveTimeLeft[White] = 119;  // a second gone on every move clock
        scene.state.Changes.Note(game);
    }
    scene.Refresh();
    EXPECT_EQ(scene.services.RowMoves, 0) << "clocks that tick together keep their order";
    EXPECT_EQ(scene.services.CellWrites, 8001);
    scene.services.ResetCounts();

    // A move in an early game of the others: Black's move clock starts at 02:00, and the game
    // leaves its place for the end of its group, thousands of rows further down.
    Game& moved = scene.G(0, 1);
    moved.SideToMove = Black;
    scene.Refresh();
    EXPECT_EQ(scene.Rows(), ExpectedOrder(scene.state));
    EXPECT_EQ(scene.services.RowMoves, 1);
    EXPECT_EQ(scene.services.CellWrites, 2) << "only its \"Dran\" and \"Zeit\"";
    EXPECT_EQ(scene.services.RefWrites, 0);
}

TEST(GamesListTest, AFinishedGameKeepsItsPlaceAndSaysSo) {
    Scene scene(3, 0, 10, 0);
    Turn(scene.G(0, 1), White, 300);
    Turn(scene.G(0, 2), White, 100);
    scene.Refresh();
    ASSERT_THAT(scene.Rows(), ElementsAre(&scene.G(0, 2), &scene.G(0, 1)));

    Game& ended = scene.G(0, 2);
    ended.State = Checkmate;
    ended.Result = Black;
    scene.Refresh();
    EXPECT_THAT(scene.Rows(), ElementsAre(&scene.G(0, 2), &scene.G(0, 1)));
    EXPECT_EQ(scene.Cell(0, GamesColumn), "(Beendet) Anna - Cleo");
    EXPECT_EQ(scene.Cell(1, GamesColumn), "Anna - Bert");

    scene.G(0, 1).Result = Draw;
    scene.Refresh();
    EXPECT_EQ(scene.Cell(1, GamesColumn), "(Beendet) Anna - Bert");
}

TEST(GamesListTest, CellsAreWrittenOnlyWhenWhatTheyShowChanges) {
    Scene scene(3, 0, 10, 2);
    scene.Refresh();  // also opens the first game
    scene.services.ResetCounts();
    scene.Refresh();
    EXPECT_EQ(scene.services.Writes(), 0);

    // One second less on one clock: one cell.
    Game& game = scene.G(0, 1);
    --game.PlayerTimeLeft[White];
    scene.Refresh();
    EXPECT_EQ(scene.services.CellWrites, 1);
    EXPECT_EQ(scene.services.ColourWrites + scene.services.RefWrites, 0);

    // A clock below zero shows 00:00 like zero does: nothing to write.
    scene.services.ResetCounts();
    game.MoveTimeLeft[White] = -1;
    scene.state.Changes.Note(game);
    scene.Refresh();
    game.MoveTimeLeft[White] = -2;
    scene.state.Changes.Note(game);
    scene.Refresh();
    EXPECT_EQ(scene.services.CellWrites, 1);  // 02:00 to 00:00, once
}

TEST(GamesListTest, ARowThatChangesItsGameRewritesOnlyWhatDiffers) {
    Scene scene(3, 0, 0, 0);
    scene.Refresh();
    scene.services.ResetCounts();
    // Black to move in the first game: "Dran" changes, and its colour for three columns.
    scene.G(0, 1).SideToMove = Black;
    scene.Refresh();
    EXPECT_EQ(scene.Cell(0, MoverColumn), "Bert");
    EXPECT_EQ(scene.services.CellWrites, 1);
    EXPECT_EQ(scene.services.ColourWrites, 3);
    EXPECT_EQ(scene.Colour(0, MoverColumn), DefaultColour);
}

TEST(GamesListTest, ALateNameReachesTheRowsThatCarryIt) {
    Scene scene(3, 0, 0, 0);
    scene.Refresh();
    scene.state.Players[1].PlayerName = "Berta";
    scene.lobby.ShowPlayerRow(1);
    scene.Refresh();
    EXPECT_EQ(scene.Cell(0, GamesColumn), "Anna - Berta");
}

TEST(GamesListTest, ManyGamesRefreshWithoutWritesWhileNothingChanges) {
    Scene scene(127, 5, 10, 1);  // 8001 games
    scene.services.Click(Ids::ShowAllGamesBox);
    scene.Pump();
    scene.Refresh();
    ASSERT_EQ(scene.services.RowCount(Ids::GamesList), 8001);
    scene.services.ResetCounts();
    scene.Refresh();
    EXPECT_EQ(scene.services.Writes(), 0);

    // Every running clock a second further: one cell per row, order and colours unchanged.
    for (Game& game : scene.state.Games) {
        --game.PlayerTimeLeft[game.SideToMove];
        scene.state.Changes.Note(game);
    }
    scene.Refresh();
    EXPECT_EQ(scene.services.CellWrites, 8001);
    EXPECT_EQ(scene.services.ColourWrites + scene.services.RefWrites, 0);
}

TEST(GamesListTest, TheFirstGameOpenedIsOneWhereTheUserIsToMove) {
    std::set<int> opened;  // 1 for the first game, 3 for the third
    for (int trial = 0; trial < 40; ++trial) {
        Scene scene(4, 0, 0, 1);
        Turn(scene.G(0, 2), Black, 0, 60);  // the user waits here
        scene.Refresh();
        const Game* shown = scene.Shown();
        ASSERT_TRUE(shown == &scene.G(0, 1) || shown == &scene.G(0, 3)) << "trial " << trial;
        opened.insert(shown->PlayerIndex[1]);
        // Once a game is shown, none is opened by chance any more.
        scene.Refresh();
        EXPECT_EQ(scene.Shown(), shown);
    }
    EXPECT_EQ(opened.size(), 2u) << "one of the two games was never chosen";
}

TEST(GamesListTest, WithoutAGameToMoveTheFirstGameIsOneWhereTheUserWaits) {
    for (int trial = 0; trial < 10; ++trial) {
        Scene scene(3, 2, 0, 1);  // Cleo is Black in both her games, White moves first
        scene.Refresh();
        const Game* shown = scene.Shown();
        ASSERT_TRUE(shown == &scene.G(0, 2) || shown == &scene.G(1, 2)) << "trial " << trial;
    }
}

TEST(GamesListTest, AParticipantWithoutGamesGetsNoRowsAndNoGame) {
    // A broken start that left the user out of every game.
    Scene scene(3, 3, 5, 0);
    scene.Refresh();
    EXPECT_EQ(scene.services.RowCount(Ids::GamesList), 0);
    EXPECT_EQ(scene.Shown(), nullptr);
}

TEST(GamesListTest, ClickingARowShowsItsGameAndLeavesNoRowSelected) {
    Scene scene(3, 0, 0, 0);
    scene.Refresh();
    for (int row : {1, 1, 0}) {
        SCOPED_TRACE(row);
        ASSERT_TRUE(scene.services.SelectRow(Ids::GamesList, row));
        scene.Pump();
        EXPECT_EQ(scene.Shown(), scene.Rows()[row]);
        EXPECT_EQ(scene.services.State(Ids::GamesList), -1);
        EXPECT_TRUE(scene.services.Window(scene.gameWindow.Window())->Visible);
    }
    // The event the clearing raises on a real list finds no row and changes nothing.
    scene.lobby.HandleLobbyControl(Ids::GamesList);
    EXPECT_EQ(scene.Shown(), scene.Rows()[0]);
}

}  // namespace
}  // namespace tavlora
