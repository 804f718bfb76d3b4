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
#include <unordered_set>
#include <utility>

#include "net/program_state.h"
#include "platform/window_services.h"
#include "rules/standings.h"
#include "shell/game_archive.h"
#include "shell/standings_window.h"

namespace tavlora {

class TournamentOutcome {
public:
    // Play began at start (local time names the file): the tournament's games have just been
    // created, or the single-player game. settingsFolder holds the folder of saved games. A
    // program that returns to its tournament after a restart goes on with the file it wrote
    // before (continuedFile), and does not save again the games that file holds.
    TournamentOutcome(WindowServices& services, ProgramState& state,
                      const std::string& settingsFolder, std::time_t start,
                      const std::string& continuedFile = {});

    // A game has just got its Result: saved, and counted in the standings. Once per game: a
    // game whose end was undone on a return and that ends again is not counted again.
    void GameEnded(const Game& game);
    // Every game of the tournament has ended.
    bool AllEnded() const { return ended_ == static_cast<int32_t>(state_.Games.size()); }
    // The file of saved games.
    const std::string& ArchivePath() const { return archive_.Path(); }
    // Once per main-loop pass: the standings window brought up to date, if it is shown and
    // anything in it has changed.
    void RefreshStandings();
    // "Tabelle" in the lobby.
    void ShowStandings();
    // The standings window's events; true when the event was one of them.
    bool HandleEvent(const Event& event);
    // At the end of the program, or of a tournament given up: every game not saved yet, those
    // still running with the result "*" and one that has ended unseen with its own.
    void SaveUnfinishedGames();

private:
    std::string PgnOf(const Game& game);
    // A participant's name as the file keeps it, and as its tags show it.
    std::string PgnName(int32_t participant) const;
    std::string TagName(int32_t participant) const;
    void Save(const std::string& text);
    int32_t LeftCount() const;

    ProgramState& state_;
    GameArchive archive_;
    std::string date_;  // of the PGN tags
    Lookahead lookahead_;
    int32_t ended_ = 0;
    std::unordered_set<const Game*> counted_;
    // Games a continued file holds already, by PgnTagValue of White's and Black's names.
    std::set<std::pair<std::string, std::string>> savedBefore_;
    // Network modes only.
    std::optional<Standings> standings_;
    std::unique_ptr<StandingsWindow> window_;
    bool changed_ = true;    // the window shows less than there is
    int32_t leftShown_ = 0;  // participants who had left when the window was last written
};

}  // namespace tavlora
