// SPDX-License-Identifier: GPL-3.0-or-later
// Texts of the game panels.
#include "gamewindow/panel_texts.h"

#include <algorithm>

#include "rules/notation.h"

namespace tavlora {

const std::string& PlayerName(const ProgramState& state, int32_t index) {
    // Indices come from game records that peers helped to build; a bad one shows no name.
    static const std::string none;
    if (index < 0 || static_cast<size_t>(index) >= state.Players.size()) {
        return none;
    }
    return state.Players[index].PlayerName;
}

std::string WindowTitle(const ProgramState& state, const Game& game) {
    return "Tavlora (" + PlayerName(state, game.PlayerIndex[White]) + " - " +
           PlayerName(state, game.PlayerIndex[Black]) + ")";
}

std::string StatusText(const ProgramState& state, const Game& game) {
    const int32_t side = game.SideToMove;
    std::string text;
    switch (game.State) {
        case Checkmate:
            text = "Schachmatt";
            break;
        case Stalemate:
            text = "Patt";
            break;
        default:
            text = PlayerName(state, game.PlayerIndex[side]) + "(" +
                   (side == White ? "Weiß" : "Schwarz") + ") am Zug";
            if (game.State == Check) {
                text = "Schach - " + text;
            }
            break;
    }
    // In every lost game SideToMove is the losing side.
    if (game.State > Check && game.State != Stalemate) {
        text += " - " + PlayerName(state, game.PlayerIndex[1 - side]) + " gewinnt";
    }
    return text;
}

int32_t AbsentPlayer(const ProgramState& state, const Game& game) {
    // Never the local user: a program does not see itself away.
    for (int32_t side : {White, Black}) {
        const Player* player = FindPlayer(state, game.PlayerIndex[side]);
        if (player != nullptr && player->Away) {
            return game.PlayerIndex[side];
        }
    }
    return -1;
}

std::string AwayText(const ProgramState& state, int32_t participant) {
    return PlayerName(state, participant) + " ist abwesend";
}

std::string EndText(const ProgramState& state, const Game& game) {
    switch (game.State) {
        case TimeOut:
            return "Timeout - " + PlayerName(state, game.PlayerIndex[1 - game.SideToMove]) +
                   " gewinnt";
        case Resigned:
            return PlayerName(state, game.PlayerIndex[game.SideToMove]) + " hat aufgegeben";
        case DrawAgreed:
            return "Remis akzeptiert";
        default:
            return {};
    }
}

std::string MoveListLine(size_t k, const Move& move) {
    if (k % 2 == 0) {
        return std::to_string(k / 2 + 1) + ". " + MoveText(move);
    }
    return "  " + MoveText(move);
}

std::string FormatClock(int32_t seconds) {
    // Built digit by digit: the games list formats thousands of clocks every second.
    const int32_t t = std::max(seconds, 0);
    std::string text;
    const auto two = [&text](int32_t value) {
        text += static_cast<char>('0' + value / 10);
        text += static_cast<char>('0' + value % 10);
    };
    if (t >= 3600) {
        two(t / 3600 % 24);
        text += ':';
    }
    two(t / 60 % 60);
    text += ':';
    two(t % 60);
    return text;
}

int32_t ClockTextKey(int32_t seconds) {
    constexpr int32_t Day = 86400;
    const int32_t t = std::max(seconds, 0);
    // Hours wrap at 24; from one hour on, the keys lie above every key below it.
    return t < 3600 ? t : Day + t % Day;
}

}  // namespace tavlora
