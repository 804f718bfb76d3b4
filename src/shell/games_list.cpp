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
    FindShownGames(showAll);
    MatchRowCount();
    const bool clockInUse = state_.TimeByMove > 0 || state_.TimeByPlayer > 0;
    if (clockInUse) {
        Order();
        if (!gameWindow_.CurrentView()) {
            OpenFirstGame();
        }
    }
    for (size_t row = 0; row < rows_.size(); ++row) {
        WriteCells(static_cast<int>(row), clockInUse ? *order_[row].Shown : *shown_[row]);
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
    orderStale_ = true;  // positions now name other games
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

void LobbyGamesList::Order() {
    // The ranks move only when a clock ticks over a second or a side to move changes, so
    // most passes find the order of the previous one still right.
    ranks_.resize(shown_.size());
    bool changed = orderStale_;
    orderStale_ = false;
    const int32_t own = state_.OwnPlayerIndex;
    for (size_t i = 0; i < shown_.size(); ++i) {
        const Game& game = *shown_[i];
        Rank rank{2, SortKey(game, state_)};
        if (game.PlayerIndex[game.SideToMove] == own) {
            rank.Group = 0;
        } else if (game.PlayerIndex[1 - game.SideToMove] == own) {
            rank.Group = 1;
        }
        if (rank != ranks_[i]) {
            ranks_[i] = rank;
            changed = true;
        }
    }
    if (!changed) {
        return;
    }
    order_.clear();
    ownToMove_ = 0;
    own_ = 0;
    for (size_t i = 0; i < shown_.size(); ++i) {
        order_.push_back({ranks_[i], static_cast<int32_t>(i), shown_[i]});
        ownToMove_ += ranks_[i].Group == 0;
        own_ += ranks_[i].Group < 2;
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

void LobbyGamesList::WriteCells(int row, Game& game) {
    Row& cached = rows_[row];
    if (cached.Shown != &game) {
        services_.SetRowRef(list_, row, &game);
        cached.Shown = &game;
        cached.Known = false;
    }
    const int32_t side = game.SideToMove;
    const bool finished = game.Result > Undecided;
    const int32_t mover = game.PlayerIndex[side];
    const int32_t moveSeconds = game.MoveTimeLeft[side];
    const int32_t playerSeconds = game.PlayerTimeLeft[side];
    if (cached.Known && cached.Finished == finished && cached.Mover == mover &&
        cached.MoveSeconds == moveSeconds && cached.PlayerSeconds == playerSeconds &&
        cached.NamesVersion == namesVersion_) {
        return;  // the cells already show exactly this
    }
    cached.Known = true;
    cached.Finished = finished;
    cached.Mover = mover;
    cached.MoveSeconds = moveSeconds;
    cached.PlayerSeconds = playerSeconds;
    cached.NamesVersion = namesVersion_;

    text_.clear();
    if (finished) {
        text_ += "(Beendet) ";
    }
    text_ += NameOf(game.PlayerIndex[0]);
    text_ += " - ";
    text_ += NameOf(game.PlayerIndex[1]);
    WriteCell(row, GamesColumn, text_);
    WriteCell(row, MoverColumn, NameOf(mover));
    // A clock column without its limit is never touched, so it stays empty.
    if (state_.TimeByMove > 0) {
        WriteCell(row, MoveClockColumn, FormatClock(moveSeconds));
    }
    if (state_.TimeByPlayer > 0) {
        WriteCell(row, PlayerClockColumn, FormatClock(playerSeconds));
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
