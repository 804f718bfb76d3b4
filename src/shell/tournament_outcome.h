// SPDX-License-Identifier: GPL-3.0-or-later
// What a tournament, or a single-player game, leaves behind: every game saved as PGN the
// moment it ends, and in the network modes the standings, kept up to date game by game and
// shown in the standings window, which opens by itself when the last game has ended.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "net/program_state.h"
#include "platform/window_services.h"
#include "rules/standings.h"
#include "shell/game_archive.h"
#include "shell/standings_window.h"

namespace tavlora {

class TournamentOutcome {
public:
    // Play began at start (local time names the file): the tournament's games have just been
    // created, or the single-player game. settingsFolder holds the folder of saved games.
    TournamentOutcome(WindowServices& services, ProgramState& state,
                      const std::string& settingsFolder, std::time_t start);

    // A game has just got its Result: saved, and counted in the standings.
    void GameEnded(const Game& game);
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
    void Save(const std::string& text);
    int32_t LeftCount() const;

    ProgramState& state_;
    GameArchive archive_;
    std::string date_;  // of the PGN tags
    Lookahead lookahead_;
    int32_t ended_ = 0;
    // Network modes only.
    std::optional<Standings> standings_;
    std::unique_ptr<StandingsWindow> window_;
    bool changed_ = true;    // the window shows less than there is
    int32_t leftShown_ = 0;  // participants who had left when the window was last written
};

}  // namespace tavlora
