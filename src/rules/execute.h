// Move execution: plays a move on a game and brings the record up to date: board, history,
// en passant file, check, the new side's legal moves, checkmate or stalemate, the clocks,
// and in single-player mode the local user's identity.
#pragma once

#include "rules/game.h"

namespace tavlora {

// Full form: the caller guarantees that the game runs; move may be an element of game.Moves.
// Reads the limits and the clock from context and, in single-player mode, sets
// context.OwnPlayerIndex to the player now to move.
void ExecuteMove(Game& game, const Move& move, RulesContext& context);

// Probe form, the rules' only test for check: plays move on a scratch position and leaves
// State at Check exactly when a piece of SideToMove could then take the opposing king.
// Changes nothing but the scratch's board and scalars.
struct ProbeForm {};
inline constexpr ProbeForm Probe{};
void ExecuteMove(GameValue& scratch, const Move& move, ProbeForm);

}  // namespace tavlora
