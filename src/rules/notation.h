// SPDX-License-Identifier: GPL-3.0-or-later
// Move notation for the move list ("e2-e4", "Bb5xc6", "0-0-0", "e5xd6 e.p."), and the
// look-up of a move by its two squares.
#pragma once

#include <string>

#include "rules/game.h"

namespace tavlora {

// The English letter of a piece ("B", "N", "R", "Q", "K"); none for a pawn or a code this
// program does not know.
const char* PieceLetter(int32_t piece);

// "a1" .. "h8": file letter from x, rank digit from y.
std::string SquareText(int32_t x, int32_t y);

// Whether a castling move is the long one, towards the queen's rook.
bool IsLongCastling(const Move& move);

// Long algebraic notation of move; depends on the record alone, never on a board. No check
// sign and no promotion piece: a promotion reads like the pawn's plain move.
std::string MoveText(const Move& move);

// The first move of list from (fromX, fromY) to (toX, toY), or nullptr. The result points
// into the list, so a caller may fill in its Promotion.
Move* FindMove(MoveList& list, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY);
const Move* FindMove(const MoveList& list, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY);

}  // namespace tavlora
