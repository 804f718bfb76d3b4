#include "shell/games_list.h"

#include <algorithm>

#include "gamewindow/clocks.h"

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
    : services_(services), state_(state), gameWindow_(gameWindow), list_(list) {}

void LobbyGamesList::Refresh(bool showAll) {
    ++pass_;
    FindShownGames(showAll);
    MatchRowCount();
    const bool clockInUse = state_.TimeByMove > 0 || state_.TimeByPlayer > 0;
    const bool rankMoved = NoteChanges(clockInUse);
    if (clockInUse && (rankMoved || orderStale_)) {
        Order();
        for (size_t row = 0; row < rows_.size(); ++row) {
            if (rows_[row].Shown != order_[row].Shown) {
                WriteCells(static_cast<int>(row), *order_[row].Shown);
            }
        }
    }
    if (clockInUse && !gameWindow_.CurrentView()) {
        OpenFirstGame();
    }
    if (rewriteAll_) {
        rewriteAll_ = false;
        for (size_t row = 0; row < rows_.size(); ++row) {
            WriteCells(static_cast<int>(row), clockInUse ? *order_[row].Shown : *shown_[row]);
        }
        return;
    }
    for (int32_t position : changed_) {
        WriteCells(clockInUse ? rowOf_[position] : position, *shown_[position]);
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

void LobbyGamesList::FindShownGames(bool showAll) {
    // Games are only ever appended and never change their players, so the selection can
    // change only with the box or the number of games.
    if (showAll == shownAll_ && state_.Games.size() == shownFrom_) {
        return;
    }
    shownAll_ = showAll;
    shownFrom_ = state_.Games.size();
    shown_.clear();
    const int32_t own = state_.OwnPlayerIndex;
    for (Game& game : state_.Games) {
        if (showAll || game.PlayerIndex[0] == own || game.PlayerIndex[1] == own) {
            shown_.push_back(&game);
        }
    }
    // Positions now name other games: everything is looked at afresh.
    seen_.assign(shown_.size(), Seen{});
    ranks_.assign(shown_.size(), Rank{});
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

// The one look at every shown game in a pass. Clocks tick over a second and sides to move
// change seldom compared with the passes, so most passes find nothing to do.
bool LobbyGamesList::NoteChanges(bool clockInUse) {
    changed_.clear();
    bool rankMoved = false;
    for (size_t position = 0; position < shown_.size(); ++position) {
        const Game& game = *shown_[position];
        const int32_t side = game.SideToMove;
        const Seen now{side, game.MoveTimeLeft[side], game.PlayerTimeLeft[side],
                       game.Result > Undecided};
        if (now == seen_[position]) {
            continue;
        }
        seen_[position] = now;
        changed_.push_back(static_cast<int32_t>(position));
        if (clockInUse) {
            const Rank rank = RankOf(game);
            if (rank != ranks_[position]) {
                ranks_[position] = rank;
                rankMoved = true;
            }
        }
    }
    return rankMoved;
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

void LobbyGamesList::Order() {
    orderStale_ = false;
    order_.clear();
    ownToMove_ = 0;
    own_ = 0;
    for (size_t position = 0; position < shown_.size(); ++position) {
        order_.push_back({ranks_[position], static_cast<int32_t>(position), shown_[position]});
        ownToMove_ += ranks_[position].Group == 0;
        own_ += ranks_[position].Group < 2;
    }
    // The position breaks ties, so games with equal keys keep their games-list order within
    // their group, as a stable sort would keep it, without the buffer a stable sort takes.
    std::sort(order_.begin(), order_.end(), [](const OrderEntry& a, const OrderEntry& b) {
        if (a.Place.Group != b.Place.Group) {
            return a.Place.Group < b.Place.Group;
        }
        if (a.Place.Key != b.Place.Key) {
            return a.Place.Key < b.Place.Key;
        }
        return a.Position < b.Position;
    });
    rowOf_.resize(order_.size());
    for (size_t row = 0; row < order_.size(); ++row) {
        rowOf_[order_[row].Position] = static_cast<int32_t>(row);
    }
}

void LobbyGamesList::OpenFirstGame() {
    // One of the games in which the user is to move, else one in which he waits; a
    // participant without any game (only a broken start can make one) sees none.
    const size_t choices = ownToMove_ > 0 ? ownToMove_ : own_;
    if (choices == 0) {
        return;
    }
    const int pick = state_.Random.RandomBelow(static_cast<int>(choices));
    gameWindow_.OpenGameView(*order_[pick].Shown);
}

// Builds the row's texts and colour for its game and writes what differs from what it holds;
// once in a pass is enough.
void LobbyGamesList::WriteCells(int row, Game& game) {
    Row& cached = rows_[row];
    if (cached.Shown == &game && cached.WrittenIn == pass_) {
        return;
    }
    cached.WrittenIn = pass_;
    if (cached.Shown != &game) {
        services_.SetRowRef(list_, row, &game);
        cached.Shown = &game;
    }
    const int32_t side = game.SideToMove;
    const int32_t mover = game.PlayerIndex[side];
    text_.clear();
    if (game.Result > Undecided) {
        text_ += "(Beendet) ";
    }
    text_ += NameOf(game.PlayerIndex[0]);
    text_ += " - ";
    text_ += NameOf(game.PlayerIndex[1]);
    WriteCell(row, GamesColumn, text_);
    WriteCell(row, MoverColumn, NameOf(mover));
    // A clock column without its limit is never touched, so it stays empty.
    if (state_.TimeByMove > 0) {
        WriteCell(row, MoveClockColumn, FormatClock(game.MoveTimeLeft[side]));
    }
    if (state_.TimeByPlayer > 0) {
        WriteCell(row, PlayerClockColumn, FormatClock(game.PlayerTimeLeft[side]));
    }
    const int32_t colour = mover == state_.OwnPlayerIndex ? OwnColour : DefaultColour;
    if (cached.Colour != colour) {
        for (int column : {MoverColumn, MoveClockColumn, PlayerClockColumn}) {
            services_.SetCellColour(list_, row, column, colour);
        }
        cached.Colour = colour;
    }
}

void LobbyGamesList::WriteCell(int row, int column, const std::string& text) {
    std::string& held = rows_[row].Cells[column];
    if (held != text) {
        services_.SetCellText(list_, row, column, text);
        held = text;
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
