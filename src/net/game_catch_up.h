// SPDX-License-Identifier: GPL-3.0-or-later
// The games as they reach a program that comes back after a dropped connection: what it holds
// of each (its moves and a digest of them), what the server sends it (the moves it lacks, or all
// of them when its copy went another way, with the state and the clocks as counted now), and how
// a copy takes that in. Not a replay of what was missed: each game arrives whole.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

// Moves of one game in one MsgGameState; a longer game comes in several, so each stays far
// below the largest body.
constexpr size_t MostMovesPerState = 16384;

// The same number for the same moves on every program.
int32_t HistoryDigest(std::span<const Move> moves);

// What state holds of each of its games, in list order.
std::vector<HeldGame> HeldGames(const ProgramState& state);

// Server: the messages that bring a copy up to keyed's game as the server holds it now, its
// clocks counted down first. From the copy's own last move on when held (what the copy said it
// holds; nullptr: nothing) is the beginning of the server's moves, else from the first move.
std::vector<MsgGameState> GameStateMessages(ProgramState& state, KeyedGame& keyed,
                                            const HeldGame* held);

// Client: takes one MsgGameState in. A copy that holds more than FirstPly moves, or that has
// ended while moves are still sent for it, is rebuilt from its first FirstPly (a move of its own
// that the server never got is gone), then the sent moves are played; once it holds PlyCount moves
// it takes the state, the clocks and a standing draw offer. A game whose copy changed other than by
// moves added is shown anew (GameReplaced), and gets its Result again when it ends. False when the
// message does not fit the copy (no such game, a gap, a move its copy does not allow); the copy
// then stays as far as it got.
bool TakeGameState(ProgramState& state, NetView& view, const MsgGameState& message);

}  // namespace tavlora
