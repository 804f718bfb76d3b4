// SPDX-License-Identifier: GPL-3.0-or-later
// The messages a participant sends on its own account: moves and time-outs, draw offers,
// acceptances and resignations, chat lines and the ready flag. Each follows the routing
// rule of its code; the game senders do nothing in single-player mode.
#pragma once

#include <string>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

enum class GameCommand { OfferDraw, AcceptDraw, Resign };

// MsgMove with move, carrying the clocks of the side to move as they are now (before the move
// is executed).
void SendMove(ProgramState& state, const Game& game, const Move& move);
// MsgTimeout: the side to move of game, with the clocks it has now, has run out of time. It
// names that side's participant as the sender: the local user, or, when the server declares
// it as the referee, the player who stayed silent.
void SendTimeout(ProgramState& state, const Game& game);

// MsgDrawOffer, MsgDrawAccept or MsgResign for game. On the server an acceptance or a
// resignation also takes effect on its own copy at once, since no copy comes back; a client
// waits for the server's copy. Nothing for a game the local participant does not play or
// that has ended.
void SendGameCommand(ProgramState& state, Game& game, GameCommand command);

// MsgChat with text as typed; the server also shows its own line at once.
void SendChat(ProgramState& state, NetView& view, const std::string& text);

// MsgReady with the client's own new flag (already stored in its own entry). Clients only.
void SendReady(ProgramState& state, int32_t ready);

}  // namespace tavlora
