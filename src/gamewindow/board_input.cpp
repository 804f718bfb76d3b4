// SPDX-License-Identifier: GPL-3.0-or-later
// Board clicks and the promotion choice.
#include "gamewindow/board_input.h"

#include <array>

#include "gamewindow/board_drawing.h"
#include "net/game_play.h"
#include "rules/notation.h"

namespace tavlora {

namespace {

constexpr int PopupWidth = 100;
constexpr int PopupHeight = 20;
constexpr int PopupOffset = 10;  // the pop-up opens with the mouse just inside its corner

// The pop-up list: a prompt, then the pieces in the order they are asked for most.
constexpr std::array<const char*, 5> PromotionItems = {"Wähle Figur...", "Dame", "Läufer", "Turm",
                                                       "Springer"};
constexpr std::array<int32_t, 5> PromotionPieces = {Empty, Queen, Bishop, Rook, Knight};

}  // namespace

bool PlayBoardClick(WindowServices& services, ProgramState& state, int gameWindow, GameView& view) {
    Game& game = *view.Game;
    // A finished game, the opponent's turn and a spectator's view take no input.
    if (game.State > Check || game.PlayerIndex[game.SideToMove] != state.OwnPlayerIndex) {
        return false;
    }

    // The position when the event is handled, not when it was raised. Outside the window
    // there is no square.
    const Point mouse = services.MouseInWindow(gameWindow);
    if (mouse.X < 0 || mouse.Y < 0) {
        return false;
    }
    const int x = (mouse.X - BoardLeft) / SquareSize;
    const int row = (mouse.Y - BoardTop) / SquareSize;
    // The coordinate strips, the list, the clocks and the buttons lie beyond the squares.
    if (x >= 8 || row >= 8) {
        return false;
    }
    const int y = 7 - row;

    const Square& square = game.Board[x][y];
    if (square.Piece != Empty && square.Colour == game.SideToMove) {
        view.SelectedX = x;
        view.SelectedY = y;
        ShowBoard(services, view, x, y);
        return false;
    }

    // An empty square or an opponent's piece is a destination for the stored selection,
    // which outlives earlier moves and refusals.
    Move* move = FindMove(game.Moves, view.SelectedX, view.SelectedY, x, y);
    if (!move) {
        ShowBoard(services, view, -1, -1);
        return false;
    }
    PlayOwnMove(services, state, gameWindow, view, *move);
    return true;
}

void PlayOwnMove(WindowServices& services, ProgramState& state, int gameWindow, GameView& view,
                 Move& move) {
    // Filled in before the move is sent, so the other participants receive the piece.
    if (move.Promotion == PromotionPending) {
        move.Promotion = AskPromotion(services, gameWindow, view);
    }
    PlayOwnMove(state, *view.Game, move);
}

int32_t AskPromotion(WindowServices& services, int gameWindow, GameView& view) {
    const Point desktop = services.MouseOnDesktop();
    view.PromotionPopup = services.OpenPopup(
        gameWindow, {desktop.X - PopupOffset, desktop.Y - PopupOffset, PopupWidth, PopupHeight});
    view.PromotionList = services.CreateControl({.Window = view.PromotionPopup,
                                                 .Kind = ControlKind::DropDown,
                                                 .Geometry = {0, 0, PopupWidth, PopupHeight}});
    for (const char* item : PromotionItems) {
        services.AppendItem(view.PromotionList, item);
    }
    services.SetState(view.PromotionList, 0);

    // Nothing else runs meanwhile: every other event, of any window, is dropped.
    for (;;) {
        const Event event = services.WaitEvent(-1);
        if (event.Kind != EventKind::Control || event.Control != view.PromotionList) {
            continue;
        }
        const int32_t item = services.State(view.PromotionList);
        if (item > 0 && item < static_cast<int32_t>(PromotionPieces.size())) {
            services.CloseWindow(view.PromotionPopup);
            view.PromotionPopup = 0;
            view.PromotionList = 0;
            return PromotionPieces[item];
        }
    }
}

}  // namespace tavlora
