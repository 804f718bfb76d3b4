// SPDX-License-Identifier: GPL-3.0-or-later
// One of every message of the catalogue, with values that exercise each kind of field
// (umlauts, empty texts, negative clocks, the extremes of byte fields). Shared by the codec
// tests and the fuzz corpus generator.
#pragma once

#include <vector>

#include "net/protocol.h"

namespace tavlora {

inline std::vector<Message> SampleMessages() {
    return {
        MsgRefusedRunning{},
        MsgRefusedFull{},
        MsgPlayerLeft{3, 5},
        MsgWelcome{127, 4, 15, 2, {{"Jürgen", 1}, {"", 0}, {"Ève", 1}}},
        MsgName{126, "Zoë"},
        MsgPlayerNamed{2, "Björn"},
        MsgReady{7, 0},
        MsgStartGames{4, {0, 1, 1, 0, 0, 1}},
        MsgChat{0, "Grüße an alle! ±½"},
        MsgMove{2, {2, 0}, -3, 2147483647, Move{6, 6, 7, 7, Capture, Queen, Pawn}},
        MsgTimeout{1, {0, 1}, 0, -1},
        MsgDrawOffer{1, {1, 2}},
        MsgDrawAccept{2, {1, 2}},
        MsgResign{0, {0, 3}},
        MsgCanReturn{},
        MsgReturnTicket{120, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0xFF}},
        MsgReturn{.Index = 3, .Secret = {0xA5}, .Held = {{{0, 3}, 12, -559038737}, {{3, 1}, 0, 0}}},
        MsgReturnRefused{},
        MsgWelcomeBack{8, 3, 10, 1, 2, 120, {0, 1, 1}, {{"Jürgen", 0}, {"Ève", 2}, {"", 1}}},
        MsgGameState{
            {2, 0},
            Check,
            Black,
            {-3, 600},
            {0, 59},
            2,
            3,
            1,
            {Move{4, 1, 4, 3, Quiet, NoPromotion, Pawn}, Move{3, 6, 3, 4, Quiet, 0, Pawn}}},
        MsgAway{5},
        MsgBack{126},
    };
}

}  // namespace tavlora
