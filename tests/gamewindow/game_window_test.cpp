// SPDX-License-Identifier: GPL-3.0-or-later
// The Game window against the recording double: the panel's layout, a game played by clicks
// to checkmate, status and end texts, the buttons in single-player and network play, draw
// offers, spectators, swapping panels and the close box.
#include <tuple>

#include "game_window_fixture.h"
#include "gamewindow/panel_texts.h"
#include "rules/notation.h"

namespace tavlora {
namespace {

auto Tie(Rect r) {
    return std::tuple(r.X, r.Y, r.W, r.H);
}

TEST_F(GameWindowTest, OpensTheWindowWithThePanelAtItsPlaces) {
    state_.TimeByPlayer = 10;
    state_.TimeByMove = 2;
    OpenNewGame();

    // The panel fills the top 590 x 470; the strip below it holds the move being typed (and in
    // network play the count of waiting games).
    const WindowRecord& window = *services_.Window(window_.Window());
    EXPECT_EQ(std::tuple(window.X, window.Y, window.ClientW, window.ClientH),
              std::tuple(0, 0, 590, 500));
    EXPECT_TRUE(window.KeysCaptured);
    EXPECT_EQ(services_.Titles, (std::vector<std::string>{"Tavlora", "Tavlora (Anna - Bernd)"}));

    struct Expected {
        ControlKind Kind;
        Rect Geometry;
        std::string Text;
        int Font;
        bool Visible;
        unsigned Options;
    };
    const int none = DefaultFont;
    const int large = largeFont_;
    const int small = smallFont_;
    using enum ControlKind;
    const std::vector<Expected> expected = {
        {Text, {350, 466, 230, 26}, "", large, true, NoOptions},
        {Container, {0, 0, 590, 470}, "", none, true, NoOptions},
        {Text, {450, 10, 120, 15}, "Vergangene Züge:", none, true, NoOptions},
        {Image, {10, 10, 420, 420}, "", none, true, NoOptions},
        {ListBox, {450, 30, 130, 190}, "", none, true, NoOptions},
        {Text, {10, 440, 330, 20}, "Anna(Weiß) am Zug", small, true, NoOptions},
        {Button, {300, 440, 160, 20}, "Remis akzeptieren", small, false, NoOptions},
        {Button, {350, 440, 110, 20}, "Remis", none, true, NoOptions},
        {Button, {470, 440, 110, 20}, "Spiel aufgeben", none, true, NoOptions},
        {Text, {450, 235, 130, 15}, "Anna:", none, true, NoOptions},
        {FrameBox, {450, 250, 130, 35}, "", none, true, NoOptions},
        {FrameBox, {450, 290, 130, 35}, "", none, true, NoOptions},
        {Text, {455, 255, 120, 25}, "10:00", large, true, Centred},
        {Text, {455, 295, 120, 25}, "02:00", large, true, Centred},
        {Text, {450, 340, 130, 15}, "Bernd:", none, true, NoOptions},
        {FrameBox, {450, 355, 130, 35}, "", none, true, NoOptions},
        {FrameBox, {450, 395, 130, 35}, "", none, true, NoOptions},
        {Text, {455, 363, 120, 25}, "10:00", small, true, Centred},
        {Text, {455, 403, 120, 25}, "02:00", small, true, Centred},
    };
    const auto controls = services_.Controls(window_.Window());
    ASSERT_EQ(controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const ControlRecord& control = *controls[i];
        EXPECT_EQ(control.Kind, expected[i].Kind);
        EXPECT_EQ(Tie(control.Geometry), Tie(expected[i].Geometry));
        EXPECT_EQ(control.Text, expected[i].Text);
        EXPECT_EQ(control.Font, expected[i].Font);
        EXPECT_EQ(control.Visible, expected[i].Visible);
        EXPECT_EQ(control.Options, expected[i].Options);
        EXPECT_TRUE(control.Enabled);
        EXPECT_EQ(control.Parent, i <= 1 ? -1 : controls[1]->Id);
    }
    EXPECT_EQ(Control(View().BoardPicture).ImageSource, View().BoardImage);
}

TEST_F(GameWindowTest, FoolsMatePlayedByClicksEndsWithTheWinnerAndLocksTheButtonsOnce) {
    const Game& game = OpenNewGame();
    const GameView& view = View();
    struct Step {
        const char* From;
        const char* To;
        const char* Status;
    };
    const Step steps[] = {{"f2", "f3", "Bernd(Schwarz) am Zug"},
                          {"e7", "e5", "Anna(Weiß) am Zug"},
                          {"g2", "g4", "Bernd(Schwarz) am Zug"},
                          {"d8", "h4", "Schachmatt - Bernd gewinnt"}};
    for (const Step& step : steps) {
        Play(step.From, step.To);
        EXPECT_EQ(Text(view.StatusLine), step.Status) << step.From << step.To;
    }
    EXPECT_EQ(MoveLines(),
              (std::vector<std::string>{"1. f2-f3", "  e7-e5", "2. g2-g4", "  Qd8-h4"}));
    EXPECT_EQ(services_.State(view.MoveList), 3);
    EXPECT_EQ(game.State, Checkmate);
    EXPECT_EQ(game.Result, Black);

    const ControlWrites offerWrites = services_.Writes[view.OfferDrawButton];
    Wait(50);
    EXPECT_FALSE(Enabled(view.OfferDrawButton));
    EXPECT_FALSE(Enabled(view.ResignButton));
    EXPECT_EQ(services_.Writes[view.ResignButton].Enabled, 1);
    EXPECT_EQ(services_.Writes[view.OfferDrawButton].Enabled, offerWrites.Enabled);
    EXPECT_TRUE(view.EndShown);

    Play("a2", "a3");
    EXPECT_EQ(game.History.size(), 4u);
}

TEST_F(GameWindowTest, StatusAndEndTextsFollowTheStateAndTheSideToMove) {
    struct Case {
        int32_t State;
        int32_t Side;
        const char* Status;
        const char* End;
    };
    const Case cases[] = {
        {Running, White, "Anna(Weiß) am Zug", ""},
        {Check, Black, "Schach - Bernd(Schwarz) am Zug", ""},
        {Checkmate, White, "Schachmatt - Bernd gewinnt", ""},
        {Stalemate, Black, "Patt", ""},
        {TimeOut, White, "Anna(Weiß) am Zug - Bernd gewinnt", "Timeout - Bernd gewinnt"},
        {DrawAgreed, Black, "Bernd(Schwarz) am Zug - Anna gewinnt", "Remis akzeptiert"},
        {Resigned, Black, "Bernd(Schwarz) am Zug - Anna gewinnt", "Bernd hat aufgegeben"},
    };
    Game game{};
    game.PlayerIndex[White] = 0;
    game.PlayerIndex[Black] = 1;
    for (const Case& c : cases) {
        game.State = c.State;
        game.SideToMove = c.Side;
        EXPECT_EQ(StatusText(state_, game), c.Status);
        EXPECT_EQ(EndText(state_, game), c.End);
    }
    game.PlayerIndex[Black] = 7;  // no such participant: no name, no crash
    EXPECT_EQ(StatusText(state_, game), "(Schwarz) am Zug - Anna gewinnt");
}

TEST_F(GameWindowTest, SinglePlayerButtonsEndTheGameAtOnce) {
    struct Case {
        bool Resign;
        bool BlackToMove;
        const char* End;
        int32_t Result;
    };
    const Case cases[] = {{false, false, "Remis akzeptiert", Draw},
                          {true, false, "Anna hat aufgegeben", Black},
                          {true, true, "Bernd hat aufgegeben", White}};
    for (const Case& c : cases) {
        const Game& game = OpenNewGame();
        const GameView& view = View();
        if (c.BlackToMove) {
            Play("e2", "e4");
        }
        Press(c.Resign ? view.ResignButton : view.OfferDrawButton);
        EXPECT_EQ(Text(view.StatusLine), c.End);
        EXPECT_EQ(game.Result, c.Result);
        EXPECT_FALSE(Enabled(view.OfferDrawButton));
        EXPECT_FALSE(Enabled(view.ResignButton));

        // The end text is written once, not in every pass.
        const int statusWrites = services_.Writes[view.StatusLine].Text;
        Wait(30);
        EXPECT_EQ(services_.Writes[view.StatusLine].Text, statusWrites);
    }
}

TEST_F(GameWindowTest, SpectatorHasDisabledButtonsAndChangesNothing) {
    BecomeParticipant(2);
    Game& game = OpenNewGame(0, 1);
    const GameView& view = View();
    EXPECT_EQ(Text(view.OfferDrawButton), "Remis vorschlagen");
    EXPECT_FALSE(Enabled(view.OfferDrawButton));
    EXPECT_FALSE(Enabled(view.ResignButton));

    // Events a disabled button cannot raise, and clicks on the board.
    for (int control : {view.OfferDrawButton, view.ResignButton, view.AcceptDrawButton}) {
        services_.InjectEvent({EventKind::Control, window_.Window(), control});
        Pass();
    }
    const int board = view.BoardImage;
    Play("e2", "e4");
    EXPECT_EQ(view.BoardImage, board);
    EXPECT_TRUE(game.History.empty());
    EXPECT_EQ(game.State, Running);

    window_.ShowDrawOffer(View());
    EXPECT_FALSE(Shown(view.AcceptDrawButton));

    ExecuteMove(game, *FindMove(game.Moves, 4, 1, 4, 3), state_);
    window_.RefreshGameView(View());
    EXPECT_EQ(MoveLines(), std::vector<std::string>{"1. e2-e4"});
    EXPECT_FALSE(Enabled(view.OfferDrawButton));
}

TEST_F(GameWindowTest, DrawOfferShowsTheAcceptButtonUntilTheNextMove) {
    BecomeParticipant(1);
    Game& game = OpenNewGame(1, 2);
    const GameView& view = View();
    auto statusWidth = [&] { return services_.Geometry(view.StatusLine).W; };

    window_.ShowDrawOffer(View());
    EXPECT_FALSE(Shown(view.OfferDrawButton));
    EXPECT_TRUE(Shown(view.AcceptDrawButton));
    EXPECT_EQ(Tie(services_.Geometry(view.StatusLine)), Tie({10, 440, 280, 20}));

    Play("e2", "e4");  // the offer lapses with the move
    EXPECT_TRUE(Shown(view.OfferDrawButton));
    EXPECT_FALSE(Shown(view.AcceptDrawButton));
    EXPECT_EQ(statusWidth(), 330);

    Press(view.OfferDrawButton);  // an own offer: disabled until the next move
    Wait(30);
    EXPECT_FALSE(Enabled(view.OfferDrawButton));
    ExecuteMove(game, *FindMove(game.Moves, 4, 6, 4, 4), state_);  // the opponent's move
    GameChanged(state_, game);
    window_.RefreshGameView(View());
    EXPECT_TRUE(Enabled(view.OfferDrawButton));

    // The server's copy of an acceptance ends the game; a late offer is not shown.
    AgreeDraw(state_, game);
    Pass();
    EXPECT_EQ(Text(view.StatusLine), "Remis akzeptiert");
    EXPECT_FALSE(Enabled(view.OfferDrawButton));
    window_.ShowDrawOffer(View());
    EXPECT_FALSE(Shown(view.AcceptDrawButton));
    EXPECT_EQ(statusWidth(), 330);
}

TEST_F(GameWindowTest, ReopeningAnOpenGameOnlySwapsPanels) {
    BecomeParticipant(0);
    Game& first = OpenNewGame(0, 1);
    const GameView& firstView = View();
    Play("d2", "d4");
    Game& second = OpenNewGame(2, 0);
    const GameView& secondView = View();
    EXPECT_FALSE(Shown(firstView.Panel));
    EXPECT_TRUE(Shown(secondView.Panel));
    EXPECT_EQ(services_.Window(window_.Window())->Title, "Tavlora (Carla - Anna)");

    services_.OpenWindow({.Id = 0, .Title = "Lobby"});  // takes the focus
    const size_t controls = services_.Controls(window_.Window()).size();
    window_.OpenGameView(first);
    EXPECT_EQ(window_.CurrentView(), &firstView);
    EXPECT_EQ(services_.Controls(window_.Window()).size(), controls);
    EXPECT_EQ(MoveLines(), std::vector<std::string>{"1. d2-d4"});
    EXPECT_TRUE(Shown(firstView.Panel));
    EXPECT_FALSE(Shown(secondView.Panel));
    EXPECT_EQ(services_.Titles.back(), "Tavlora (Anna - Bernd)");
    EXPECT_EQ(services_.ActiveWindow(), window_.Window());
    EXPECT_EQ(window_.FindView(second), &secondView);
}

TEST_F(GameWindowTest, CloseBoxEndsSinglePlayerMode) {
    OpenNewGame();
    services_.PressCloseBox(window_.Window());
    EXPECT_EQ(Pass(), GameWindowOutcome::EndProgram);
}

TEST_F(GameWindowTest, ClosedWindowInNetworkPlayKeepsItsGamesRunning) {
    BecomeParticipant(0);
    state_.TimeByMove = 1;
    const Game& game = OpenNewGame(0, 1);
    services_.PressCloseBox(window_.Window());
    EXPECT_EQ(Pass(), GameWindowOutcome::Continue);
    EXPECT_FALSE(services_.Window(window_.Window())->Visible);

    Wait(2010);
    EXPECT_EQ(game.MoveTimeLeft[White], 58);
    window_.OpenGameView(*View().Game);
    EXPECT_TRUE(services_.Window(window_.Window())->Visible);
    EXPECT_EQ(Text(View().MoveClockLabel[White]), "00:58");
}

TEST_F(GameWindowTest, FinishedGameShowsItsEndTextFromTheFirstPass) {
    Game& game = CreateGame(state_.Games, 0, 1, White, state_);
    game.State = TimeOut;
    GameChanged(state_, game);
    window_.OpenGameView(game);
    EXPECT_EQ(Text(View().StatusLine), "Anna(Weiß) am Zug - Bernd gewinnt");
    EXPECT_TRUE(Enabled(View().ResignButton));
    Pass();
    EXPECT_EQ(Text(View().StatusLine), "Timeout - Bernd gewinnt");
    EXPECT_FALSE(Enabled(View().ResignButton));
    EXPECT_EQ(game.Result, Black);
}

// While the opponent is away his absence takes the status line, written once, also over a move
// of the own; it gives way when he is back, and to an end text.
TEST_F(GameWindowTest, AnAbsentOpponentTakesTheStatusLineUntilHeIsBackOrTheGameEnds) {
    BecomeParticipant(0);
    Game& game = OpenNewGame(0, 1);
    const int status = View().StatusLine;
    state_.Players[1].Away = true;
    PresenceChanged(state_, 1);
    Pass();
    EXPECT_EQ(Text(status), "Bernd ist abwesend");
    const int writes = services_.Writes[status].Text;
    Wait(30);
    EXPECT_EQ(services_.Writes[status].Text, writes);
    Play("e2", "e4");
    EXPECT_EQ(Text(status), "Bernd ist abwesend");

    state_.Players[1].Away = false;
    PresenceChanged(state_, 1);
    Pass();
    EXPECT_EQ(Text(status), "Bernd(Schwarz) am Zug");

    state_.Players[1].Away = true;
    PresenceChanged(state_, 1);
    Pass();
    Resign(state_, game, Black);
    Pass();
    EXPECT_EQ(Text(status), "Bernd hat aufgegeben");
}

// A game rebuilt after a return, its end undone: the panel as if new, its buttons unlocked.
TEST_F(GameWindowTest, AReplacedGameIsShownAnew) {
    BecomeParticipant(0);
    Game& game = OpenNewGame(0, 1);
    Play("e2", "e4");
    Resign(state_, game, game.SideToMove);
    Pass();
    ASSERT_FALSE(Enabled(View().ResignButton));

    SetUpGame(game, 0, 1, White, state_);
    GameChanged(state_, game);
    window_.GameReplaced(game);
    Pass();
    EXPECT_TRUE(MoveLines().empty());
    EXPECT_TRUE(Enabled(View().ResignButton));
    EXPECT_TRUE(Enabled(View().OfferDrawButton));
    EXPECT_EQ(Text(View().StatusLine), "Anna(Weiß) am Zug");
}

}  // namespace
}  // namespace tavlora
