// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/standings_window.h"

#include "shell/games_list.h"

namespace tavlora {

namespace {

constexpr const char* Title = "Tavlora - Tabelle";
// Below the Game window, which sits at the top-left corner, and left of the lobby.
constexpr int WindowX = 0;
constexpr int WindowY = 500;
constexpr int WindowW = 460;
constexpr int WindowH = 330;

struct Column {
    const char* Title;
    int Width;
};
constexpr Column ColumnsOfList[] = {
    {"Platz", 40}, {"Name", 150}, {"Punkte", 50}, {"Partien", 50},
    {"S", 30},     {"R", 30},     {"N", 30},      {"SB", 40},
};

constexpr const char* LeftMark = " (gegangen)";

}  // namespace

std::string ScoreText(int32_t units, int32_t denominator) {
    // Quarter points are the finest that occur: half of a drawn opponent's half points.
    static constexpr const char* Quarters[] = {"", "¼", "½", "¾"};
    const int32_t whole = units / denominator;
    const int32_t quarters = (units % denominator) * (4 / denominator);
    if (whole == 0 && quarters != 0) {
        return Quarters[quarters];
    }
    return std::to_string(whole) + Quarters[quarters];
}

StandingsWindow::StandingsWindow(WindowServices& services, const ProgramState& state,
                                 std::string folder)
    : services_(services), state_(state), folder_(std::move(folder)) {}

void StandingsWindow::Show() {
    if (window_ < 0) {
        Build();
    } else {
        services_.ShowWindow(window_);
        services_.ActivateWindow(window_);
    }
    shown_ = true;
}

void StandingsWindow::Build() {
    window_ = services_.OpenWindow(
        {.X = WindowX, .Y = WindowY, .ClientW = WindowW, .ClientH = WindowH, .Title = Title});
    auto create = [this](ControlKind kind, Rect geometry, const std::string& text = {}) {
        return services_.CreateControl(
            {.Window = window_, .Kind = kind, .Geometry = geometry, .Text = text});
    };
    list_ = create(ControlKind::ListView, {10, 10, 440, 240});
    for (const Column& column : ColumnsOfList) {
        services_.AddColumn(list_, column.Title, column.Width);
    }
    progressLine_ = create(ControlKind::Text, {10, 258, 440, 15}, progress_);
    failureLine_ = create(ControlKind::Text, {10, 276, 440, 15}, failure_);
    folderButton_ = create(ControlKind::Button, {290, 300, 160, 20}, "Partien-Ordner öffnen");
    // The list would take the focus, and with it mark its first row as if it were chosen.
    services_.SetFocus(folderButton_);
}

void StandingsWindow::ShowRows(const std::vector<StandingsRow>& ranked) {
    if (list_ < 0) {
        return;
    }
    for (size_t index = 0; index < ranked.size(); ++index) {
        const StandingsRow& standing = ranked[index];
        const Player* player = FindPlayer(state_, standing.Participant);
        texts_[0] = std::to_string(standing.Place) + ".";
        texts_[1] = player ? player->PlayerName : std::string();
        if (player && player->Left) {
            texts_[1] += LeftMark;
        }
        texts_[2] = ScoreText(standing.HalfPoints, 2);
        texts_[3] = std::to_string(standing.Games);
        texts_[4] = std::to_string(standing.Wins);
        texts_[5] = std::to_string(standing.Draws);
        texts_[6] = std::to_string(standing.Losses);
        texts_[7] = ScoreText(standing.QuarterSb, 4);
        const int32_t colour =
            standing.Participant == state_.OwnPlayerIndex ? OwnColour : DefaultColour;

        const int row = static_cast<int>(index);
        if (index == rows_.size()) {
            services_.AppendRow(list_);
            rows_.emplace_back();
        }
        Row& shown = rows_[index];
        for (int column = 0; column < Columns; ++column) {
            if (shown.Cells[column] != texts_[column]) {
                shown.Cells[column] = texts_[column];
                services_.SetCellText(list_, row, column, texts_[column]);
            }
        }
        if (shown.Colour != colour) {
            shown.Colour = colour;
            for (int column = 0; column < Columns; ++column) {
                services_.SetCellColour(list_, row, column, colour);
            }
        }
    }
}

void StandingsWindow::ShowProgress(int32_t ended, int32_t games) {
    SetLine(progressLine_, progress_,
            ended >= games
                ? "Turnier beendet"
                : std::to_string(ended) + " von " + std::to_string(games) + " Partien beendet");
}

void StandingsWindow::ShowSaveFailure(const std::string& path) {
    SetLine(failureLine_, failure_, "Partien konnten nicht gespeichert werden: " + path);
}

void StandingsWindow::SetLine(int control, std::string& kept, const std::string& text) {
    if (kept == text) {
        return;
    }
    kept = text;
    if (control >= 0) {
        services_.SetText(control, text);
    }
}

bool StandingsWindow::HandleEvent(const Event& event) {
    if (window_ < 0 || event.Window != window_) {
        return false;
    }
    if (event.Kind == EventKind::Close) {
        services_.HideWindow(window_);
        shown_ = false;
    } else if (event.Kind == EventKind::Control && event.Control == folderButton_) {
        services_.OpenFolder(folder_);
    }
    return true;
}

}  // namespace tavlora
