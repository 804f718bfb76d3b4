// SPDX-License-Identifier: GPL-3.0-or-later
// The board input: two clicks on the board picture of the current game, first on an own
// piece, then on its destination, looked up among the legal moves; and the pop-up choice of
// the piece a pawn becomes on the last rank.
#pragma once

#include <cstdint>

#include "gamewindow/game_view.h"
#include "net/program_state.h"
#include "platform/window_services.h"

namespace tavlora {

// Handles a click on the board picture of view, at the mouse position in gameWindow as it is
// now. A click on an own piece selects it; a click elsewhere is a destination for the stored
// selection: a legal move is sent, executed, and answered with true (the caller then
// refreshes the view), anything else only removes the highlight. Does nothing unless the
// game runs and the local user is to move.
bool PlayBoardClick(WindowServices& services, ProgramState& state, int gameWindow, GameView& view);

// Plays move, a legal move of the local user in view's game, as every input does: asks for
// the piece of a pawn reaching the last rank when none is set, sends the move, executes it.
// The caller then refreshes the view.
void PlayOwnMove(WindowServices& services, ProgramState& state, int gameWindow, GameView& view,
                 Move& move);

// Opens the promotion pop-up at the desktop mouse position and runs its own event loop,
// dropping every other event, until a piece is chosen. There is no way out but a choice.
// Answers Queen, Bishop, Rook or Knight.
int32_t AskPromotion(WindowServices& services, int gameWindow, GameView& view);

}  // namespace tavlora
