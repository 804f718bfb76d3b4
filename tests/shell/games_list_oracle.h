// SPDX-License-Identifier: GPL-3.0-or-later
// The lobby's games list as its rule states it, worked out from scratch on every call: the
// rows for the shown games, their order in three groups each sorted by the time left (stable,
// so equal times keep the games-list order), and the text and colour of every row. The tests
// hold the list, which keeps itself up to date from the changes noted since its last pass,
// against this.
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "gamewindow/panel_texts.h"
#include "net/program_state.h"
#include "platform/window_services.h"
#include "shell/games_list.h"

namespace tavlora {

struct ExpectedRow {
    const Game* Shown;
    std::array<std::string, 4> Cells;  // by GamesListColumn
    int32_t Colour;                    // of "Dran", "Zeit" and "Spielzeit"
};

inline std::vector<ExpectedRow> ExpectedRows(const ProgramState& state, bool showAll) {
    const int32_t own = state.OwnPlayerIndex;
    std::vector<const Game*> rows;
    for (const Game& game : state.Games) {
        if (showAll || SideOf(game, own) >= 0) {
            rows.push_back(&game);
        }
    }
    if (state.TimeByMove > 0 || state.TimeByPlayer > 0) {
        struct Entry {
            int32_t Key;
            const Game* Shown;
        };
        std::vector<Entry> entries;
        size_t stretchEnd[3];
        for (int pass = 0; pass < 3; ++pass) {
            for (const Game& game : state.Games) {
                const int32_t side = game.SideToMove;
                const bool toMove = game.PlayerIndex[side] == own;
                const bool waits = game.PlayerIndex[1 - side] == own;
                if ((pass == 0 && toMove) || (pass == 1 && waits) ||
                    (pass == 2 && !toMove && !waits)) {
                    entries.push_back({SortKey(game, state), &game});
                }
            }
            stretchEnd[pass] = entries.size();
        }
        const auto byKey = [](const Entry& a, const Entry& b) { return a.Key < b.Key; };
        auto begin = entries.begin();
        for (const size_t end : stretchEnd) {
            std::stable_sort(begin, entries.begin() + static_cast<ptrdiff_t>(end), byKey);
            begin = entries.begin() + static_cast<ptrdiff_t>(end);
        }
        for (size_t row = 0; row < rows.size(); ++row) {
            rows[row] = entries[row].Shown;
        }
    }

    const auto name = [&state](int32_t participant) {
        const Player* player = FindPlayer(state, participant);
        return player ? player->PlayerName : std::string();
    };
    std::vector<ExpectedRow> expected;
    for (const Game* game : rows) {
        const int32_t side = game->SideToMove;
        const int32_t mover = game->PlayerIndex[side];
        expected.push_back(
            {game,
             {std::string(game->Result > Undecided ? "(Beendet) " : "") +
                  name(game->PlayerIndex[White]) + " - " + name(game->PlayerIndex[Black]),
              name(mover), state.TimeByMove > 0 ? FormatClock(game->MoveTimeLeft[side]) : "",
              state.TimeByPlayer > 0 ? FormatClock(game->PlayerTimeLeft[side]) : ""},
             mover == own ? OwnColour : DefaultColour});
    }
    return expected;
}

}  // namespace tavlora
