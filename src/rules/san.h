// SPDX-License-Identifier: GPL-3.0-or-later
// Standard Algebraic Notation, the move text of PGN: "Nbd7", "exd6", "e8=Q+", "O-O-O",
// "Qh4#", with English piece letters, named in the position the move is played from.
#pragma once

#include <string>

#include "rules/game.h"

namespace tavlora {

// Names move, a legal move of position's SideToMove, and plays it there. Afterwards position
// holds the position after the move with the opponent to move, State Checkmate or Check when
// the move gives mate or check, else Running (a stalemate is not told apart).
std::string PlaySan(GameValue& position, const Move& move, Lookahead& lookahead);

}  // namespace tavlora
