// SPDX-License-Identifier: GPL-3.0-or-later
// The standings window "Tavlora - Tabelle" of the network modes: one row per participant with
// place, name, points, games, wins, draws, losses and Sonneborn-Berger, the own row in blue;
// a line on how far the tournament is, a line when games could not be saved, and a button
// that opens the folder of the saved games. Built when first shown; its close box hides it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "net/program_state.h"
#include "platform/window_services.h"
#include "rules/standings.h"

namespace tavlora {

// "3½", "½", "0": a score kept in units of 1/denominator (2 or 4) with its fraction as a
// vulgar fraction sign.
std::string ScoreText(int32_t units, int32_t denominator);

class StandingsWindow {
public:
    // folder: what "Partien-Ordner öffnen" opens.
    StandingsWindow(WindowServices& services, const ProgramState& state, std::string folder);

    // Builds the window on first use, then shows and activates it.
    void Show();
    // Shown and not closed since (a minimised window counts as shown).
    bool IsShown() const { return shown_; }

    // Writes the cells of the rows, in the order given, where they differ from what the list
    // shows. Names and the own row come from the program state.
    void ShowRows(const std::vector<StandingsRow>& ranked);
    // The line under the list: "5 von 28 Partien beendet", or "Turnier beendet" at the end.
    void ShowProgress(int32_t ended, int32_t games);
    // The line for games that could not be saved to path.
    void ShowSaveFailure(const std::string& path);

    // The window's close box and its button; true when event was one of the window's.
    bool HandleEvent(const Event& event);

private:
    static constexpr int Columns = 8;
    struct Row {
        std::array<std::string, Columns> Cells;
        int32_t Colour = DefaultColour;
    };

    void Build();
    // Keeps text, and writes it to control once the window exists.
    void SetLine(int control, std::string& kept, const std::string& text);

    WindowServices& services_;
    const ProgramState& state_;
    const std::string folder_;
    int window_ = -1;  // none until first shown
    int list_ = -1;
    int progressLine_ = -1;
    int failureLine_ = -1;
    int folderButton_ = -1;
    bool shown_ = false;
    std::string progress_;  // the texts of the two lines, kept for the window's first showing
    std::string failure_;
    std::vector<Row> rows_;                   // what the list's rows show
    std::array<std::string, Columns> texts_;  // scratch for one row's new texts
};

}  // namespace tavlora
