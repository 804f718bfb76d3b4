// SPDX-License-Identifier: GPL-3.0-or-later
// Positions from Forsyth-Edwards Notation, for the perft tool and the tests: the board, the
// side to move, castling rights as the Moved flags of king and rooks, the en passant file,
// and the turn set up as the program would have reached it (check state, legal moves).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "rules/game.h"

namespace tavlora {

// A game set up from FEN, or the reason the text was refused.
struct FenGame {
    std::optional<Game> game;
    std::string error;  // empty exactly when game holds a value
};

// Reads "placement side castling en-passant [halfmove fullmove]"; the move counters are
// accepted and ignored. Every piece counts as moved except a king and rook that keep a
// castling right. The game has White at the bottom, no clocks, and players 0 and 1.
FenGame GameFromFen(std::string_view fen, Lookahead& lookahead);

}  // namespace tavlora
