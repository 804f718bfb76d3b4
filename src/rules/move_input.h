// SPDX-License-Identifier: GPL-3.0-or-later
// A move as the user types it, read against the legal moves of a position: SAN ("Nf3",
// "exd5", "O-O", "e8=Q", with or without "+" or "#", castling also with zeros) or the two
// squares ("g1f3", "e7e8q").
#pragma once

#include <optional>
#include <string_view>

#include "rules/game.h"

namespace tavlora {

// The legal move of game's SideToMove that text names, with Promotion set to the piece typed,
// or to PromotionPending when a pawn reaching the last rank was typed without one; none when
// the text names no legal move. SAN is matched as the move list of a PGN writes it, so a
// text that leaves out a needed file or rank ("Nd2" when two knights reach d2) names none.
// Piece letters are upper case as in SAN; a promotion piece after two squares may be either.
std::optional<Move> ReadTypedMove(const Game& game, std::string_view text, Lookahead& lookahead);

}  // namespace tavlora
