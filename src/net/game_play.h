// SPDX-License-Identifier: GPL-3.0-or-later
// What the game messages and the local user do to the games, alike on the server and on every
// client: the start of play with the games of all pairs, a move, a time-out, an agreed draw, a
// resignation, and the losses of a participant who has left; each tells GameChanged. The test
// that keeps a peer's move within the rules lives here too, so both sides apply the very same
// one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

// The start
// Play begins, alike on the server and on every client: one game per pair (i, j), i < j, in
// the order i = 0 .. PlayerCount - 2 and j = i + 1 .. PlayerCount - 1, each filed under its
// key (colour 0 makes i White and j Black, 1 the other way round; one colour per pair), then
// PlayPhase 2 and the lobby's games layout. Once only.
void BeginGames(ProgramState& state, NetView& view, std::span<const int32_t> colours);

// Moves
// The move of game.Moves that received names: the same squares and kind, and, for a pawn
// reaching the last rank, a promotion to a piece from Bishop to Queen, which it carries.
// None when the game holds no such move.
std::optional<Move> MatchLegalMove(const Game& game, const Move& received);

// Stores the mover's clocks as sent, executes move (one of MatchLegalMove's) and refreshes
// the game's view.
void PlayReceivedMove(ProgramState& state, NetView& view, Game& game, int32_t playerTimeLeft,
                      int32_t moveTimeLeft, const Move& move);

// The local user's move in game, one of its Moves with the promotion filled in: sent first,
// since the message carries the mover's clocks as they are now, then executed.
void PlayOwnMove(ProgramState& state, Game& game, const Move& move);

// Ends
// Ends the game on time for side, which becomes SideToMove, and stores its clocks as sent.
// A side of -1 is the side to move.
void EndOnTime(ProgramState& state, Game& game, int32_t side, int32_t playerTimeLeft,
               int32_t moveTimeLeft);

// The game ends in a draw by agreement.
void AgreeDraw(ProgramState& state, Game& game);

// The game is lost for side, which becomes SideToMove.
void Resign(ProgramState& state, Game& game, int32_t side);

// A participant went away or came back after the start: his games are noted for the windows,
// whose status lines tell of an absent opponent.
void PresenceChanged(ProgramState& state, int32_t participant);

// A participant has left after the start: its entry is marked, and every running game of it
// becomes lost for it. A game that had ended stays as it ended.
void ParticipantLeft(ProgramState& state, int32_t leaver);

}  // namespace tavlora
