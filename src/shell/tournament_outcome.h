// SPDX-License-Identifier: GPL-3.0-or-later
// What a tournament, or a single-player game, leaves behind: every game saved as PGN the
// moment it ends, and in the network modes the standings, kept up to date game by game and
// shown in the standings window, which opens by itself when the last game has ended.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "net/program_state.h"
#include "platform/window_services.h"
#include "rules/standings.h"
#include "shell/game_archive.h"
#include "shell/standings_window.h"

namespace tavlora {

// A tournament taken up again after its program was closed: the file its games went to, and
// the games (White, Black) already in it.
struct EarlierGames {
    std::string Path;
    std::set<std::pair<int32_t, int32_t>> Saved;
};

// A tournament given up for good after its program was closed: each of its games that is not
// in the file of its earlier games yet is written there, with its result, or "*" while it ran.
void SaveGivenUpTournament(const ProgramState& state, const EarlierGames& earlier,
                           std::time_t start);

class TournamentOutcome {
public:
    // Play began at start (local time names the file and dates the games): the tournament's
    // games have just been created, or the single-player game, or a tournament is taken up
    // again with its earlier games. settingsFolder holds the folder of saved games.
    TournamentOutcome(WindowServices& services, ProgramState& state,
                      const std::string& settingsFolder, std::time_t start,
                      const EarlierGames* earlier = nullptr);

    // A game has just got its Result: counted in the standings, and saved unless it is in the
    // file already. True when it was saved now.
    bool GameEnded(const Game& game);
    // Every game of the tournament has ended.
    bool AllEnded() const { return ended_ == static_cast<int32_t>(state_.Games.size()); }
    // The file of saved games, or where it was tried.
    const std::string& GamesPath() const { return archive_.Path(); }
    // Once per main-loop pass: the standings window brought up to date, if it is shown and
    // anything in it has changed.
    void RefreshStandings();
    // "Tabelle" in the lobby.
    void ShowStandings();
    // The standings window's events; true when the event was one of them.
    bool HandleEvent(const Event& event);
    // At the end of the program: the games still running, saved with the result "*".
    void SaveUnfinishedGames();

private:
    std::string PgnOf(const Game& game);
    bool Save(const std::string& text);
    int32_t LeftCount() const;

    ProgramState& state_;
    GameArchive archive_;
    std::set<std::pair<int32_t, int32_t>> saved_;  // before a resume
    std::string date_;                             // of the PGN tags
    Lookahead lookahead_;
    int32_t ended_ = 0;
    // Network modes only.
    std::optional<Standings> standings_;
    std::unique_ptr<StandingsWindow> window_;
    bool changed_ = true;    // the window shows less than there is
    int32_t leftShown_ = 0;  // participants who had left when the window was last written
};

}  // namespace tavlora
