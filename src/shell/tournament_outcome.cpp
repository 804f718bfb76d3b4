// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/tournament_outcome.h"

#include <cstdio>
#include <string_view>

#include "net/latin1.h"
#include "rules/pgn.h"

namespace tavlora {

namespace {

std::tm LocalTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

std::string PgnDate(const std::tm& date) {
    char text[48];  // room for any int, as the compiler cannot know the ranges
    std::snprintf(text, sizeof text, "%04d.%02d.%02d", date.tm_year + 1900, date.tm_mon + 1,
                  date.tm_mday);
    return text;
}

}  // namespace

TournamentOutcome::TournamentOutcome(WindowServices& services, ProgramState& state,
                                     const std::string& settingsFolder, std::time_t start,
                                     const std::string& continuedFile)
    : state_(state),
      archive_(continuedFile.empty() ? GameArchive(settingsFolder, LocalTime(start))
                                     : GameArchive(continuedFile)),
      date_(PgnDate(LocalTime(start))) {
    for (const PgnPlayers& saved : archive_.SavedBefore()) {
        savedBefore_.emplace(saved.White, saved.Black);
    }
    if (state.Role == PlayRole::SinglePlayer) {
        return;
    }
    standings_.emplace(state.PlayerCount);
    window_ = std::make_unique<StandingsWindow>(services, state, archive_.Folder());
    window_->ShowProgress(0, static_cast<int32_t>(state.Games.size()));
    if (archive_.Failed()) {
        window_->ShowSaveFailure(archive_.Path());
    }
}

void TournamentOutcome::GameEnded(const Game& game) {
    if (!counted_.insert(&game).second) {
        return;
    }
    if (!savedBefore_.erase({TagName(game.PlayerIndex[White]), TagName(game.PlayerIndex[Black])})) {
        Save(PgnOf(game));
    }
    ++ended_;
    if (!standings_) {
        return;
    }
    standings_->AddGame(game);
    changed_ = true;
    const auto games = static_cast<int32_t>(state_.Games.size());
    window_->ShowProgress(ended_, games);
    if (ended_ == games) {
        window_->Show();
    }
}

void TournamentOutcome::RefreshStandings() {
    if (!window_ || !window_->IsShown()) {
        return;
    }
    // A participant may leave after his last game has ended: no game ends then, yet his row
    // says that he has gone.
    const int32_t left = LeftCount();
    if (!changed_ && left == leftShown_) {
        return;
    }
    changed_ = false;
    leftShown_ = left;
    window_->ShowRows(standings_->Ranked([this](int32_t participant) -> std::string_view {
        const Player* player = FindPlayer(state_, participant);
        return player ? std::string_view(player->PlayerName) : std::string_view();
    }));
}

void TournamentOutcome::ShowStandings() {
    if (window_) {
        window_->Show();
        RefreshStandings();
    }
}

bool TournamentOutcome::HandleEvent(const Event& event) {
    return window_ && window_->HandleEvent(event);
}

void TournamentOutcome::SaveUnfinishedGames() {
    std::string text;
    for (const Game& game : state_.Games) {
        // An end that the last pass made, or that a journal tells, has not been seen yet.
        const bool saved =
            counted_.contains(&game) ||
            (game.Result != Undecided && savedBefore_.contains({TagName(game.PlayerIndex[White]),
                                                                TagName(game.PlayerIndex[Black])}));
        if (!saved) {
            text += PgnOf(game);
        }
    }
    if (!text.empty()) {
        Save(text);
    }
}

std::string TournamentOutcome::PgnName(int32_t participant) const {
    const Player* player = FindPlayer(state_, participant);
    // The standard's character set; the names hold nothing else.
    return player ? Utf8ToLatin1(player->PlayerName) : std::string("?");
}

std::string TournamentOutcome::TagName(int32_t participant) const {
    return PgnTagValue(PgnName(participant));
}

std::string TournamentOutcome::PgnOf(const Game& game) {
    const Player* loser = FindPlayer(state_, game.PlayerIndex[game.SideToMove]);
    const bool abandoned = game.State == Resigned && loser && loser->Left;
    const std::string white = PgnName(game.PlayerIndex[White]);
    const std::string black = PgnName(game.PlayerIndex[Black]);
    const PgnTags tags{
        .Event = state_.Role == PlayRole::SinglePlayer ? "Tavlora-Einzelspiel" : "Tavlora-Turnier",
        .Date = date_,
        .White = white,
        .Black = black,
        .TimeByPlayer = state_.TimeByPlayer,
        .Abandoned = abandoned,
    };
    return PgnText(game, tags, lookahead_);
}

void TournamentOutcome::Save(const std::string& text) {
    if (!archive_.Append(text) && window_) {
        window_->ShowSaveFailure(archive_.Path());
    }
}

int32_t TournamentOutcome::LeftCount() const {
    int32_t left = 0;
    for (const Player& player : state_.Players) {
        left += player.Left ? 1 : 0;
    }
    return left;
}

}  // namespace tavlora
