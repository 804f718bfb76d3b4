// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamewindow/typed_move.h"

#include <optional>

#include "gamewindow/board_input.h"
#include "rules/move_input.h"
#include "rules/next_game.h"

namespace tavlora {

namespace {

// "e7-e8=Q+" is as long as a move gets; beyond that the user is typing something else.
constexpr size_t MaxTypedLength = 12;

}  // namespace

KeyCommand EditTypedText(std::string& typed, int key) {
    switch (key) {
        case ReturnKey:
            return KeyCommand::PlayTyped;
        case ' ':
            return KeyCommand::NextGame;
        case BackspaceKey:
            if (!typed.empty()) {
                typed.pop_back();
            }
            return KeyCommand::None;
        case EscapeKey:
            typed.clear();
            return KeyCommand::None;
        default:
            break;
    }
    // Moves are written in ASCII; other characters cannot be part of one.
    if (key > ' ' && key < 0x7F && typed.size() < MaxTypedLength) {
        typed += static_cast<char>(key);
    }
    return KeyCommand::None;
}

bool PlayTypedMove(WindowServices& services, ProgramState& state, int gameWindow, GameView& view,
                   std::string_view typed) {
    const Game& game = *view.Game;
    if (!WaitsFor(game, state.OwnPlayerIndex)) {
        return false;
    }
    std::optional<Move> move = ReadTypedMove(game, typed, state.Scratch);
    if (!move) {
        return false;
    }
    PlayOwnMove(services, state, gameWindow, view, *move);
    return true;
}

std::string RejectedMoveText(std::string_view typed) {
    return "Unzulässiger Zug: " + std::string(typed);
}

}  // namespace tavlora
