// SPDX-License-Identifier: GPL-3.0-or-later
// The lobby's games list once the games have started: one row per shown game, ordered so that
// the games that need the user come first while a clock is in use, and each cell written only
// when what it should show has changed. It runs in every pass of the main loop, so it looks
// only at the games noted as changed since the last pass (a move, an end, a clock's second),
// keeps for every row what its texts were built from, and moves the row of a game that
// changes its place instead of rewriting every row in between.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "gamewindow/game_window.h"
#include "net/program_state.h"
#include "platform/window_services.h"

namespace tavlora {

// Columns of the list: "Spiele", "Dran", "Zeit", "Spielzeit".
enum GamesListColumn : int {
    GamesColumn = 0,
    MoverColumn = 1,
    MoveClockColumn = 2,
    PlayerClockColumn = 3,
};

// The text colour of what concerns the user: the own row of the players list, and the games
// in which the user is to move.
constexpr int32_t OwnColour = 0x0000FF;

// The time that runs out first for the side to move while a clock is in use: the move clock
// without a game clock, the game clock without a move clock, else the smaller of the two.
int32_t SortKey(const GameValue& game, const RulesContext& limits);

class LobbyGamesList {
public:
    // list is the list view control the rows live in; it is empty and stays the list's.
    LobbyGamesList(WindowServices& services, ProgramState& state, GameWindow& gameWindow, int list);

    // One pass: the rows for the shown games (the user's own, or all when showAll), their
    // order, the first game opened by chance while a clock runs and none is shown yet, and
    // the cells.
    void Refresh(bool showAll);
    // A name in the players table changed: texts that carry names are written afresh.
    void NamesChanged() { rewriteAll_ = namesChanged_ = true; }
    // Shows the game of the selected row, if a row is selected, and clears the selection.
    void OpenSelectedGame();
    // The games of the rows, top to bottom, as the last pass left them.
    std::vector<Game*> GamesInRowOrder() const;

private:
    // What a row of the list shows, by what its texts were built from: a text is written only
    // when that differs. A row that moves takes its cells along, and so does this.
    static constexpr int32_t Unwritten = INT32_MIN;
    struct Row {
        Game* Shown = nullptr;            // the game whose reference the row carries
        bool Finished = false;            // its title says "(Beendet) "
        int32_t Mover = Unwritten;        // whose name "Dran" shows
        int32_t MoveClock = Unwritten;    // the ClockTextKey "Zeit" shows
        int32_t PlayerClock = Unwritten;  // the ClockTextKey "Spielzeit" shows
        int32_t Colour = DefaultColour;   // of "Dran", "Zeit" and "Spielzeit"
    };
    // What a shown game's cells and rank depend on, as the last pass found it.
    struct Seen {
        int32_t Side = -1;
        int32_t MoveSeconds = 0;
        int32_t PlayerSeconds = 0;
        bool Finished = false;
        friend bool operator==(const Seen&, const Seen&) = default;
    };
    // Place in the order: group 0 the user is to move, 1 the user waits, 2 neither.
    struct Rank {
        int32_t Group = 0;
        int32_t Key = 0;
        friend bool operator==(const Rank&, const Rank&) = default;
    };

    void FindShownGames(bool showAll);
    void MatchRowCount();
    // The shown games noted as changed since the last pass whose cells or rank may differ, by
    // position in games-list order.
    void TakeChanges();
    Rank RankOf(const Game& game) const;
    // While a clock is in use: the order from scratch, or one game's row moved to its place.
    void SortAll();
    void Reposition(int32_t position);
    // The order: by group, then by key, then by position, so games with equal keys keep
    // their games-list order within their group, as a stable sort would keep them.
    bool Before(int32_t a, int32_t b) const;
    int32_t RowOf(int32_t position, bool clockInUse) const {
        return clockInUse ? rowOf_[position] : position;
    }
    void OpenFirstGame();
    // namesChanged: the names may differ from those the texts were built with.
    void WriteCells(int rowIndex, Game& game, bool namesChanged);
    // The clock column of row, showing seconds, when its key differs from held.
    void WriteClock(int rowIndex, int column, int32_t seconds, int32_t& held);
    const std::string& NameOf(int32_t participant) const;

    WindowServices& services_;
    ProgramState& state_;
    GameWindow& gameWindow_;
    const int list_;

    std::vector<Row> rows_;  // in step with the list's rows
    // The shown games in games-list order, rebuilt only when the box or the games change,
    // and by position in it what each looked like, the rank its row was placed by, and the
    // row it is in.
    std::vector<Game*> shown_;
    static constexpr int32_t NotShown = -1;
    std::vector<int32_t> positionOf_;  // by Index: the place in shown_, or NotShown
    bool shownAll_ = false;
    size_t shownFrom_ = SIZE_MAX;  // games-list size shown_ was built from
    std::vector<Seen> seen_;
    std::vector<Rank> placed_;
    std::vector<int32_t> rowOf_;
    std::vector<int32_t> order_;    // by row: the position shown there
    std::vector<int32_t> changed_;  // positions whose game changed in this pass
    ChangedGames notes_;
    std::vector<Game*> noted_;  // scratch of TakeChanges
    bool orderStale_ = true;
    bool rewriteAll_ = true;  // every row's cells, not only those of changed games
    bool namesChanged_ = false;
    std::string text_;  // scratch for building a cell's text
};

}  // namespace tavlora
