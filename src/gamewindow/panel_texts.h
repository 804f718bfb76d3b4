// SPDX-License-Identifier: GPL-3.0-or-later
// The texts a game panel and the Game window's title are made of: player names, the status
// line after a move, the end texts of games that ended without a move, move list lines and
// clocks.
#pragma once

#include <cstdint>
#include <string>

#include "net/program_state.h"

namespace tavlora {

// The name of participant index, or an empty text when the table has no such entry.
const std::string& PlayerName(const ProgramState& state, int32_t index);

// "Tavlora (White - Black)".
std::string WindowTitle(const ProgramState& state, const Game& game);

// The status line as a move leaves it: who is to move, check, checkmate or stalemate, and
// the winner of a finished game.
std::string StatusText(const ProgramState& state, const Game& game);

// The player of game who is away (White first), or -1 when neither is.
int32_t AbsentPlayer(const ProgramState& state, const Game& game);
// "<Name> ist abwesend".
std::string AwayText(const ProgramState& state, int32_t participant);

// "Timeout - ... gewinnt", "... hat aufgegeben" or "Remis akzeptiert" for a game that ended
// on time, by resignation or by agreement; empty for every other State.
std::string EndText(const ProgramState& state, const Game& game);

// A clock: "mm:ss" below one hour, "hh:mm:ss" from one hour (hours wrap at 24), "00:00"
// below zero.
std::string FormatClock(int32_t seconds);
// A number two clocks share exactly when FormatClock shows them alike, so what a clock shows
// can be compared without building its text.
int32_t ClockTextKey(int32_t seconds);

// The move list line of History[k]: White's moves numbered, Black's indented by two blanks.
std::string MoveListLine(size_t k, const Move& move);

}  // namespace tavlora
