// SPDX-License-Identifier: GPL-3.0-or-later
// Move execution: plays a move on a game and brings the record up to date: board, history,
// en passant file, check, the new side's legal moves, checkmate or stalemate, the clocks,
// and with two players at one board the local user's identity.
#pragma once

#include "rules/game.h"

namespace tavlora {

// Full form: the caller guarantees that the game runs and that move is legal (its squares lie
// on the board); move may be an element of game.Moves or game.History. Reads the limits and
// the clock from context, probes on context.Scratch and, with two players at one board, sets
// context.OwnPlayerIndex to the player now to move.
void ExecuteMove(Game& game, const Move& move, RulesContext& context);

// Probe form, the rules' only test for check: plays move on a scratch position and leaves
// State at Check exactly when a piece of SideToMove could then take the opposing king.
// Changes nothing but the scratch's board and scalars; keeps no history.
struct ProbeForm {};
inline constexpr ProbeForm Probe{};
void ExecuteMove(GameValue& scratch, const Move& move, ProbeForm);

// Whether move, one of the generated moves of position's SideToMove, keeps the mover's own
// king out of reach: the legality filter's test of a single move.
bool IsLegalMove(const GameValue& position, const Move& move, Lookahead& lookahead);

// Hands the turn over as every executed move does, after the board has changed:
// SideToMove names the side that just moved. Decides whether it now gives check, passes
// the turn, fills Moves with the legal moves of the new side and recognises checkmate or
// stalemate. Also sets up the turn of a position built by hand.
void PassTurn(Game& game, Lookahead& lookahead);

// Starts the clocks of the side to move and, with two players at one board, makes the local user
// the player to move. Runs at the start of every turn, the first one included.
void BeginTurn(Game& game, RulesContext& context);

}  // namespace tavlora
