// SPDX-License-Identifier: GPL-3.0-or-later
// The Game window as a person sees it: built with the Qt backend, games in progress, ended
// and with a draw offer, each grabbed to a PNG in the build folder for a look by eye. The
// test itself checks only that the pictures were made at the window's size.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QTimer>
#include <string>

#include "gamewindow/board_drawing.h"
#include "gamewindow/board_input.h"
#include "gamewindow/game_window.h"
#include "net/game_tick.h"
#include "net/play_step.h"
#include "platform/qt/qt_window_services.h"
#include "rules/execute.h"
#include "rules/notation.h"

namespace tavlora {
namespace {

int argc = 1;
char name[] = "game_window_look_test";
char* argv[] = {name, nullptr};

class GameWindowLookTest : public testing::Test {
protected:
    GameWindowLookTest() {
        EXPECT_TRUE(LoadPieceImages(services_));
        state_.TimeByPlayer = 10;
        state_.TimeByMove = 2;
        state_.Players[0].PlayerName = "Anna Schäfer";
        state_.Players[1].PlayerName = "Bernd";
        state_.TickCount = [this] { return now_; };
    }

    void Play(Game& game, GameWindow& window, int fromX, int fromY, int toX, int toY) {
        ExecuteMove(game, *FindMove(game.Moves, fromX, fromY, toX, toY), state_);
        GameChanged(state_, game);
        window.RefreshGameView(*window.FindView(game));
    }

    // Lets the clocks run for ms, then draws and saves the window.
    void Grab(GameWindow& window, uint32_t ms, const std::string& file) {
        for (uint32_t passed = 0; passed < ms; passed += 10) {
            now_ += 10;
            RunPlayStep(state_, noNetwork_);
            window.ShowChanges();
        }
        services_.WaitEvent(0);
        Save(window.Window(), file, 590, 500);
    }

    void Save(int window, const std::string& file, int width, int height) {
        const std::string path = std::string(TAVLORA_LOOK_DIR) + "/" + file;
        ASSERT_TRUE(services_.GrabWindow(window, path));
        const QImage image(QString::fromStdString(path));
        EXPECT_EQ(image.width(), width);
        EXPECT_EQ(image.height(), height);
    }

    // Picks item of the open promotion list as the user would.
    void Pick(const GameView& view, int item) {
        auto* list = qobject_cast<QComboBox*>(services_.ControlWidget(view.PromotionList));
        ASSERT_NE(list, nullptr);
        list->setCurrentIndex(item);
        emit list->activated(item);
    }

    uint32_t now_ = 1000;
    QtWindowServices services_{argc, argv};
    ProgramState state_;
    NoNetworkView noNetwork_;
    int largeFont_ = services_.CreateFont("MS Sans Serif", 14, true);
    int smallFont_ = services_.CreateFont("MS Sans Serif", 10, true);
};

TEST_F(GameWindowLookTest, GamesInProgressEndedAndWithAnOffer) {
    state_.Role = PlayRole::SinglePlayer;
    state_.TwoPlayersAtOneBoard = true;
    GameWindow single(services_, state_, largeFont_, smallFont_);
    Game& game = CreateGame(state_.Games, 0, 1, White, state_);
    single.OpenGameView(game);
    for (auto [fromX, fromY, toX, toY] :
         {std::tuple(4, 1, 4, 3), {4, 6, 4, 4}, {6, 0, 5, 2}, {1, 7, 2, 5}, {5, 0, 2, 3}}) {
        now_ += 4321;
        Play(game, single, fromX, fromY, toX, toY);
    }
    ShowBoard(services_, *single.CurrentView(), 3, 6);  // Black has picked the d7 pawn
    Grab(single, 61500, "game_window_running.png");

    // The promotion pop-up, as it opens; the prompt keeps it open, then a rook is chosen.
    const GameView& view = *single.CurrentView();
    QTimer::singleShot(10, [&] {
        Save(view.PromotionPopup, "promotion_popup.png", 100, 20);
        Pick(view, 0);
        QTimer::singleShot(10, [&] { Pick(view, 3); });
    });
    EXPECT_EQ(AskPromotion(services_, single.Window(), *single.CurrentView()), Rook);
    EXPECT_EQ(view.PromotionPopup, 0);

    // Fool's mate in a second game.
    Game& mated = CreateGame(state_.Games, 1, 0, White, state_);
    single.OpenGameView(mated);
    for (auto [fromX, fromY, toX, toY] :
         {std::tuple(5, 1, 5, 2), {4, 6, 4, 4}, {6, 1, 6, 3}, {3, 7, 7, 3}}) {
        Play(mated, single, fromX, fromY, toX, toY);
    }
    Grab(single, 20, "game_window_checkmate.png");

    // A network participant's own game, in which the opponent has offered a draw.
    state_.Role = PlayRole::Client;
    state_.TwoPlayersAtOneBoard = false;
    state_.MaxPlayer = 2;
    state_.OwnPlayerIndex = 1;
    GameWindow network(services_, state_, largeFont_, smallFont_);
    Game& offered = CreateGame(state_.Games, 0, 1, White, state_);
    network.OpenGameView(offered);
    Play(offered, network, 3, 1, 3, 3);
    network.ShowDrawOffer(*network.CurrentView());
    Grab(network, 3000, "game_window_draw_offer.png");
}

}  // namespace
}  // namespace tavlora
