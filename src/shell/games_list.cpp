// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/games_list.h"

#include <algorithm>

#include "gamewindow/panel_texts.h"

namespace tavlora {

int32_t SortKey(const GameValue& game, const RulesContext& limits) {
    const int32_t side = game.SideToMove;
    if (limits.TimeByPlayer <= 0) {
        return game.MoveTimeLeft[side];
    }
    if (limits.TimeByMove <= 0) {
        return game.PlayerTimeLeft[side];
    }
    return std::min(game.MoveTimeLeft[side], game.PlayerTimeLeft[side]);
}

LobbyGamesList::LobbyGamesList(WindowServices& services, ProgramState& state,
                               GameWindow& gameWindow, int list)
    : services_(services),
      state_(state),
      gameWindow_(gameWindow),
      list_(list),
      notes_(state.Changes) {}

void LobbyGamesList::Refresh(bool showAll) {
    FindShownGames(showAll);
    MatchRowCount();
    TakeChanges();
    const bool clockInUse = state_.TimeByMove > 0 || state_.TimeByPlayer > 0;
    if (clockInUse) {
        const bool sorted = orderStale_;
        if (orderStale_) {
            SortAll();
        } else {
            for (int32_t position : changed_) {
                Reposition(position);
            }
        }
        // Tried again only when the order may have changed.
        if (!gameWindow_.CurrentView() && (sorted || !changed_.empty())) {
            OpenFirstGame();
        }
    }
    if (rewriteAll_) {
        for (size_t position = 0; position < shown_.size(); ++position) {
            const auto p = static_cast<int32_t>(position);
            WriteCells(RowOf(p, clockInUse), *shown_[position], namesChanged_);
        }
        rewriteAll_ = namesChanged_ = false;
        return;
    }
    for (int32_t position : changed_) {
        WriteCells(RowOf(position, clockInUse), *shown_[position], false);
    }
}

void LobbyGamesList::OpenSelectedGame() {
    const int32_t row = services_.State(list_);
    if (row < 0 || static_cast<size_t>(row) >= rows_.size() || !rows_[row].Shown) {
        return;  // also the event that the clearing below raises itself
    }
    gameWindow_.OpenGameView(*rows_[row].Shown);
    services_.SetState(list_, -1);
}

std::vector<Game*> LobbyGamesList::GamesInRowOrder() const {
    std::vector<Game*> games;
    games.reserve(rows_.size());
    for (const Row& row : rows_) {
        if (row.Shown) {
            games.push_back(row.Shown);
        }
    }
    return games;
}

void LobbyGamesList::FindShownGames(bool showAll) {
    // Games are only ever appended and never change their players, so the selection can
    // change only with the box or the number of games.
    if (showAll == shownAll_ && state_.Games.size() == shownFrom_) {
        return;
    }
    shownAll_ = showAll;
    shownFrom_ = state_.Games.size();
    shown_.clear();
    positionOf_.assign(state_.Games.size(), NotShown);
    const int32_t own = state_.OwnPlayerIndex;
    for (Game& game : state_.Games) {
        if (showAll || game.PlayerIndex[0] == own || game.PlayerIndex[1] == own) {
            positionOf_[static_cast<size_t>(game.Index)] = static_cast<int32_t>(shown_.size());
            shown_.push_back(&game);
        }
    }
    // Positions now name other games: everything is looked at afresh.
    seen_.assign(shown_.size(), Seen{});
    orderStale_ = true;
    rewriteAll_ = true;
}

void LobbyGamesList::MatchRowCount() {
    while (rows_.size() < shown_.size()) {
        services_.AppendRow(list_);
        rows_.emplace_back();
    }
    while (rows_.size() > shown_.size()) {
        services_.RemoveRow(list_, static_cast<int>(rows_.size()) - 1);
        rows_.pop_back();
    }
}

// Only the noted games are looked at, each once however often it was noted. The changes are
// then taken in list order: games whose clocks tick together keep their order among
// themselves when each moves after those before it have, where the other way round every one
// of them would pass all the others.
void LobbyGamesList::TakeChanges() {
    changed_.clear();
    notes_.TakeInto(noted_);
    for (const Game* game : noted_) {
        const int32_t position = positionOf_[static_cast<size_t>(game->Index)];
        if (position == NotShown) {
            continue;
        }
        const int32_t side = game->SideToMove;
        const Seen now{side, game->MoveTimeLeft[side], game->PlayerTimeLeft[side],
                       game->Result > Undecided};
        if (now != seen_[position]) {
            seen_[position] = now;
            changed_.push_back(position);
        }
    }
    std::ranges::sort(changed_);
}

LobbyGamesList::Rank LobbyGamesList::RankOf(const Game& game) const {
    const int32_t own = state_.OwnPlayerIndex;
    Rank rank{2, SortKey(game, state_)};
    if (game.PlayerIndex[game.SideToMove] == own) {
        rank.Group = 0;
    } else if (game.PlayerIndex[1 - game.SideToMove] == own) {
        rank.Group = 1;
    }
    return rank;
}

void LobbyGamesList::SortAll() {
    orderStale_ = false;
    placed_.resize(shown_.size());
    order_.resize(shown_.size());
    rowOf_.resize(shown_.size());
    for (size_t position = 0; position < shown_.size(); ++position) {
        placed_[position] = RankOf(*shown_[position]);
        order_[position] = static_cast<int32_t>(position);
    }
    std::sort(order_.begin(), order_.end(), [this](int32_t a, int32_t b) { return Before(a, b); });
    for (size_t row = 0; row < order_.size(); ++row) {
        rowOf_[order_[row]] = static_cast<int32_t>(row);
    }
}

// The other rows stand in order by the ranks they were placed by, so the game's new place is
// found by halving; its row then moves there, cells and all, and the rows between shift by
// one without being written. A clock that ticks moves a game past the games whose keys it
// reaches, a move moves it to the other side's key: one row either way, not the thousands
// between its old and its new place.
void LobbyGamesList::Reposition(int32_t position) {
    const Rank rank = RankOf(*shown_[position]);
    if (rank == placed_[position]) {
        return;
    }
    placed_[position] = rank;
    const auto before = [this](int32_t a, int32_t b) { return Before(a, b); };
    const auto first = order_.begin();
    const int32_t from = rowOf_[position];
    int32_t to = from;
    if (from > 0 && Before(position, order_[from - 1])) {
        to = static_cast<int32_t>(std::lower_bound(first, first + from, position, before) - first);
    } else if (from + 1 < static_cast<int32_t>(order_.size()) &&
               Before(order_[from + 1], position)) {
        to = static_cast<int32_t>(
                 std::lower_bound(first + from + 1, order_.end(), position, before) - first) -
             1;
    }
    if (to == from) {
        return;
    }
    services_.MoveRow(list_, from, to);
    const auto [low, high] = std::minmax(from, to);
    const auto rows = rows_.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
        std::rotate(rows + from, rows + from + 1, rows + to + 1);
    } else {
        std::rotate(first + to, first + from, first + from + 1);
        std::rotate(rows + to, rows + from, rows + from + 1);
    }
    for (int32_t row = low; row <= high; ++row) {
        rowOf_[order_[row]] = row;
    }
}

bool LobbyGamesList::Before(int32_t a, int32_t b) const {
    const Rank& first = placed_[a];
    const Rank& second = placed_[b];
    if (first.Group != second.Group) {
        return first.Group < second.Group;
    }
    if (first.Key != second.Key) {
        return first.Key < second.Key;
    }
    return a < b;
}

void LobbyGamesList::OpenFirstGame() {
    // One of the games in which the user is to move, else one in which he waits; a
    // participant without any game (only a broken start can make one) sees none. The first
    // rows hold group 0, then group 1.
    size_t toMove = 0;
    size_t own = 0;
    for (const Rank& rank : placed_) {
        toMove += rank.Group == 0;
        own += rank.Group < 2;
    }
    const size_t choices = toMove > 0 ? toMove : own;
    if (choices == 0) {
        return;
    }
    const int pick = state_.Random.RandomBelow(static_cast<int>(choices));
    gameWindow_.OpenGameView(*shown_[order_[pick]]);
}

// Writes the row's texts and colour for its game where they differ from what it shows.
void LobbyGamesList::WriteCells(int rowIndex, Game& game, bool namesChanged) {
    Row& row = rows_[rowIndex];
    const bool finished = game.Result > Undecided;
    // The title changes only with the game, its end or the names; a clock that ticks, as
    // thousands do every second, leaves it alone.
    if (row.Shown != &game || row.Finished != finished || namesChanged) {
        if (row.Shown != &game) {
            services_.SetRowRef(list_, rowIndex, &game);
            row.Shown = &game;
        }
        row.Finished = finished;
        text_.clear();
        if (finished) {
            text_ += "(Beendet) ";
        }
        text_ += NameOf(game.PlayerIndex[0]);
        text_ += " - ";
        text_ += NameOf(game.PlayerIndex[1]);
        services_.SetCellText(list_, rowIndex, GamesColumn, text_);
    }
    const int32_t side = game.SideToMove;
    const int32_t mover = game.PlayerIndex[side];
    if (row.Mover != mover || namesChanged) {
        services_.SetCellText(list_, rowIndex, MoverColumn, NameOf(mover));
        row.Mover = mover;
    }
    // A clock column without its limit is never touched, so it stays empty.
    if (state_.TimeByMove > 0) {
        WriteClock(rowIndex, MoveClockColumn, game.MoveTimeLeft[side], row.MoveClock);
    }
    if (state_.TimeByPlayer > 0) {
        WriteClock(rowIndex, PlayerClockColumn, game.PlayerTimeLeft[side], row.PlayerClock);
    }
    const int32_t colour = mover == state_.OwnPlayerIndex ? OwnColour : DefaultColour;
    if (row.Colour != colour) {
        for (int column : {MoverColumn, MoveClockColumn, PlayerClockColumn}) {
            services_.SetCellColour(list_, rowIndex, column, colour);
        }
        row.Colour = colour;
    }
}

void LobbyGamesList::WriteClock(int rowIndex, int column, int32_t seconds, int32_t& held) {
    const int32_t key = ClockTextKey(seconds);
    if (key != held) {
        services_.SetCellText(list_, rowIndex, column, FormatClock(seconds));
        held = key;
    }
}

const std::string& LobbyGamesList::NameOf(int32_t participant) const {
    static const std::string none;
    if (participant < 0 || static_cast<size_t>(participant) >= state_.Players.size()) {
        return none;
    }
    return state_.Players[participant].PlayerName;
}

}  // namespace tavlora
