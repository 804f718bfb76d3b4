// SPDX-License-Identifier: GPL-3.0-or-later
// Move generation: every move of one colour that obeys the movement rules, in the fixed
// order of a board scan. Castling is listed only when the king is not in check and does
// not cross an attacked square; all other legality is left to ExecuteMove's filter.
#pragma once

#include "rules/game.h"

namespace tavlora {

// Empties list, then appends the moves of colour in game's position and sets each move's
// Piece. Callers pass the game's own SideToMove as colour. The castling test probes on
// scratch positions taken from lookahead.
void GenerateMoves(const GameValue& game, int32_t colour, MoveList& list, Lookahead& lookahead);

// The same with a scratch of its own, for callers outside the hot path.
void GenerateMoves(const GameValue& game, int32_t colour, MoveList& list);

// Whether a piece of colour could take what stands on (x, y): exactly when GenerateMoves would
// list a capture of colour onto that square, found by looking outwards from the square instead
// of listing every move.
bool Attacks(const GameValue& game, int32_t colour, int32_t x, int32_t y);

// Appends a move with NoPromotion and Piece 0 and returns it, so the caller may amend it.
Move& AppendMove(MoveList& list, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY,
                 int32_t kind);

}  // namespace tavlora
