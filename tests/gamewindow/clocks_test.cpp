// SPDX-License-Identifier: GPL-3.0-or-later
// Game clocks against a tick counter the test sets: whole seconds without drift, time-outs
// declared only by the player to move, results, the clock text, and the labels and their
// emphasis written only when something changed.
#include <climits>
#include <map>

#include "game_window_fixture.h"
#include "gamewindow/panel_texts.h"

namespace tavlora {
namespace {

TEST(FormatClockTest, MinutesBelowAnHourHoursFromOneAndNothingBelowZero) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "00:00"},        {59, "00:59"},       {3599, "59:59"},
        {3600, "01:00:00"},  {5400, "01:30:00"},  {86399, "23:59:59"},
        {86400, "00:00:00"}, {90000, "01:00:00"}, {-5, "00:00"}};
    for (auto [seconds, text] : cases) {
        EXPECT_EQ(FormatClock(seconds), text) << seconds;
    }
}

// The games list compares what a clock shows by its key: one key for one text, both ways, over
// negative values, the hour and the wrap of the day.
TEST(ClockTextKeyTest, OneKeyForOneText) {
    std::map<int32_t, std::string> textOf;
    std::map<std::string, int32_t> keyOf;
    for (int32_t seconds = -10; seconds <= 2 * 86400 + 4000; ++seconds) {
        const int32_t key = ClockTextKey(seconds);
        const std::string text = FormatClock(seconds);
        ASSERT_EQ(textOf.try_emplace(key, text).first->second, text) << seconds;
        ASSERT_EQ(keyOf.try_emplace(text, key).first->second, key) << seconds;
    }
    EXPECT_EQ(ClockTextKey(INT32_MIN), ClockTextKey(0));
    EXPECT_EQ(FormatClock(INT32_MAX), FormatClock(INT32_MAX % 86400 + 86400));
    EXPECT_EQ(ClockTextKey(INT32_MAX), ClockTextKey(INT32_MAX % 86400 + 86400));
}

TEST_F(GameWindowTest, MoveLimitRunsOutInTheFirstTickAfterMoreThanItsTime) {
    state_.TimeByMove = 1;
    const Game& game = OpenNewGame();
    Play("e2", "e4");
    Pass();
    EXPECT_EQ(Text(View().MoveClockLabel[Black]), "01:00");

    now_ += 60000;
    Pass();
    EXPECT_EQ(game.State, Running);
    EXPECT_EQ(game.MoveTimeLeft[Black], 1);
    now_ += 1;
    Pass();
    EXPECT_EQ(game.State, TimeOut);
    EXPECT_EQ(game.Result, White);
    EXPECT_EQ(Text(View().StatusLine), "Timeout - Anna gewinnt");
    EXPECT_EQ(Text(View().MoveClockLabel[Black]), "00:00");
}

TEST_F(GameWindowTest, LongPauseIsCaughtUpInOneTick) {
    state_.TimeByPlayer = 1;
    const Game& game = OpenNewGame();
    now_ += 500000;
    Pass();
    EXPECT_EQ(game.PlayerTimeLeft[White], 60 - 499);
    EXPECT_EQ(game.State, TimeOut);
    EXPECT_EQ(Text(View().StatusLine), "Timeout - Bernd gewinnt");
    EXPECT_EQ(Text(View().PlayerClockLabel[White]), "00:00");
    EXPECT_EQ(Text(View().PlayerClockLabel[Black]), "01:00");
}

TEST_F(GameWindowTest, UncountedFractionIsNotChargedToTheMover) {
    state_.TimeByPlayer = 5;
    const Game& game = OpenNewGame();
    Wait(2500);
    Play("e2", "e4");
    EXPECT_EQ(game.PlayerTimeLeft[White], 298);
    Wait(3000);
    Play("e7", "e5");
    now_ += 1000;
    Pass();
    EXPECT_EQ(game.PlayerTimeLeft[White], 298);
    now_ += 1;
    Pass();
    EXPECT_EQ(game.PlayerTimeLeft[White], 297);
}

TEST_F(GameWindowTest, OnlyTheProgramOfThePlayerToMoveDeclaresTheTimeOut) {
    BecomeParticipant(2);
    state_.TimeByMove = 1;
    const Game& watched = CreateGame(state_.Games, 0, 1, White, state_);
    const Game& own = CreateGame(state_.Games, 2, 0, White, state_);
    const Game& awaited = CreateGame(state_.Games, 1, 2, White, state_);
    window_.OpenGameView(state_.Games[0]);
    now_ += 61000;
    Pass();
    EXPECT_EQ(watched.State, Running);
    EXPECT_EQ(watched.MoveTimeLeft[White], 0);
    EXPECT_EQ(Text(View().MoveClockLabel[White]), "00:00");
    EXPECT_EQ(own.State, TimeOut);
    EXPECT_EQ(own.Result, Black);
    EXPECT_EQ(awaited.State, Running);
}

TEST_F(GameWindowTest, FinishedGamesGetTheirResultOnce) {
    struct Case {
        int32_t State;
        int32_t Side;
        int32_t Result;
    };
    const Case cases[] = {{Running, White, Undecided}, {Check, Black, Undecided},
                          {Checkmate, White, Black},   {Stalemate, White, Draw},
                          {TimeOut, Black, White},     {DrawAgreed, Black, Draw},
                          {Resigned, White, Black}};
    for (const Case& c : cases) {
        Game& game = CreateGame(state_.Games, 0, 1, White, state_);
        game.State = c.State;
        game.SideToMove = c.Side;
        GameChanged(state_, game);
        Pass();
        EXPECT_EQ(game.Result, c.Result) << c.State;
        game.SideToMove = 1 - c.Side;
        GameChanged(state_, game);
        Pass();
        EXPECT_EQ(game.Result, c.Result) << c.State;
    }
}

TEST_F(GameWindowTest, ClockLabelsAreWrittenOnlyWhenTheirTextChanges) {
    state_.TimeByMove = 1;
    Game& game = OpenNewGame();
    const GameView& view = View();
    Wait(3000);
    EXPECT_EQ(Text(view.MoveClockLabel[White]), "00:58");
    EXPECT_EQ(services_.Writes[view.MoveClockLabel[White]].Text, 2);
    for (int label :
         {view.MoveClockLabel[Black], view.PlayerClockLabel[White], view.PlayerClockLabel[Black]}) {
        EXPECT_EQ(services_.Writes[label].Text, 0);
    }
    // A value below zero, as a peer's message may bring, reads like zero.
    game.PlayerTimeLeft[Black] = -5;
    GameChanged(state_, game);
    Pass();
    EXPECT_EQ(services_.Writes[view.PlayerClockLabel[Black]].Text, 0);
}

TEST_F(GameWindowTest, EmphasisFollowsTheSideToMove) {
    OpenNewGame();
    const GameView& view = View();
    auto look = [&](int32_t colour) {
        const int player = view.PlayerClockLabel[colour];
        const int move = view.MoveClockLabel[colour];
        return std::tuple(Control(player).Font, Control(move).Font, Top(player), Top(move));
    };
    EXPECT_EQ(look(White), std::tuple(largeFont_, largeFont_, 255, 295));
    EXPECT_EQ(look(Black), std::tuple(smallFont_, smallFont_, 363, 403));

    const ControlWrites before = services_.Writes[view.PlayerClockLabel[Black]];
    Wait(100);
    Play("e2", "e4");
    Wait(100);
    EXPECT_EQ(look(White), std::tuple(smallFont_, smallFont_, 258, 298));
    EXPECT_EQ(look(Black), std::tuple(largeFont_, largeFont_, 360, 400));
    EXPECT_EQ(services_.Writes[view.PlayerClockLabel[Black]].Font, before.Font + 1);
    EXPECT_EQ(services_.Writes[view.PlayerClockLabel[Black]].Geometry, before.Geometry + 1);
}

}  // namespace
}  // namespace tavlora
