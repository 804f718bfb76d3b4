// SPDX-License-Identifier: GPL-3.0-or-later
// The panel of one opened game (GameView): its controls, the board input's selection, and
// what the panel shows now. Also the one redraw of a panel's board that the window and the
// board input share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/window_services.h"
#include "rules/game.h"

namespace tavlora {

// A clock label's text and the seconds it was formatted from. A panel's refresh formats a
// clock only when its seconds changed, and writes the label only when the text did.
struct ShownClock {
    int32_t Seconds = 0;
    std::string Text;
};

// Control and picture fields hold identifiers of the window services; 0 while they have
// none (the panel not built yet, the promotion choice not open).
struct GameView {
    tavlora::Game* Game = nullptr;
    int Panel = 0;
    int BoardImage = 0;
    int BoardPicture = 0;
    int MoveList = 0;
    int StatusLine = 0;
    int PlayerClockLabel[2] = {0, 0};
    int MoveClockLabel[2] = {0, 0};
    int AcceptDrawButton = 0;
    int OfferDrawButton = 0;
    int ResignButton = 0;
    int PromotionPopup = 0;
    int PromotionList = 0;
    int SelectedX = 0;
    int SelectedY = 0;
    bool SelectionShown = false;  // the board shows the selection frame: a move is being chosen
    bool EndShown = false;        // the end-of-game lock of the buttons has been applied
    bool SeenRunning = false;     // a refresh has found the game running
    bool DrawAccepted = false;    // the local user has pressed "Remis akzeptieren"

    // What the panel shows. A panel is refreshed whenever its game changes, a clock's second
    // included, so it compares against these instead of reading the controls back.
    std::string ShownStatus;
    size_t ShownMoves = 0;            // moves of History in the move list
    int32_t ShownEndState = Running;  // the State whose end text StatusLine shows, else Running
    int32_t ShownAbsent = -1;         // the participant whose absence StatusLine shows, else -1
    ShownClock ShownPlayerClock[2];
    ShownClock ShownMoveClock[2];
    int32_t EmphasisedSide = White;  // the colour whose clock labels carry LargeFont
};

// Where the board picture sits in the Game window's client area.
constexpr int BoardLeft = 10;
constexpr int BoardTop = 10;

// Replaces the view's board picture by a new one with the selection frame on (selectedX,
// selectedY), or none for -1, -1: frees the old picture first, then shows the new one.
void ShowBoard(WindowServices& services, GameView& view, int selectedX, int selectedY);

}  // namespace tavlora
