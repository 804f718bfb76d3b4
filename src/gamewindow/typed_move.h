// SPDX-License-Identifier: GPL-3.0-or-later
// Moves by keyboard: the text of a move being typed in the Game window, edited key by key,
// and the typed move played in the current game.
#pragma once

#include <string>
#include <string_view>

#include "gamewindow/game_view.h"
#include "net/program_state.h"
#include "platform/window_services.h"

namespace tavlora {

// What a key asks of the Game window beyond the typed text.
enum class KeyCommand {
    None,
    PlayTyped,  // Return
    NextGame,   // Space
};

// Applies key (a KeyCode) to typed: a character of a move is appended, up to a length no move
// needs, Backspace takes the last one back, Escape clears the text. Return and Space leave it
// as it is and answer what they ask for.
KeyCommand EditTypedText(std::string& typed, int key);

// Plays the move that typed names in view's game, when the game runs and the local user is to
// move in it, asking for the piece of a promotion typed without one; answers whether it did.
// The caller then refreshes the view.
bool PlayTypedMove(WindowServices& services, ProgramState& state, int gameWindow, GameView& view,
                   std::string_view typed);

// The status line after a typed text that plays nothing.
std::string RejectedMoveText(std::string_view typed);

}  // namespace tavlora
