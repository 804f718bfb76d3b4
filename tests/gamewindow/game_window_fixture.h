// SPDX-License-Identifier: GPL-3.0-or-later
// A Game window over the recording double that also counts every write to a control, with a
// program state whose tick counter the test sets, and clicks made the way a user makes them.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "gamewindow/game_window.h"
#include "net/game_play.h"
#include "net/game_tick.h"
#include "net/play_step.h"
#include "platform/recording_window_services.h"
#include "rules/execute.h"

namespace tavlora {

struct ControlWrites {
    int Text = 0;
    int Font = 0;
    int Geometry = 0;
    int Enabled = 0;
};

class CountingWindowServices : public RecordingWindowServices {
public:
    int OpenWindow(const WindowSpec& spec) override {
        Titles.push_back(spec.Title);
        return RecordingWindowServices::OpenWindow(spec);
    }
    void SetWindowTitle(int window, const std::string& title) override {
        Titles.push_back(title);
        RecordingWindowServices::SetWindowTitle(window, title);
    }
    void SetText(int control, const std::string& text) override {
        ++Writes[control].Text;
        RecordingWindowServices::SetText(control, text);
    }
    void SetFont(int control, int font) override {
        ++Writes[control].Font;
        RecordingWindowServices::SetFont(control, font);
    }
    void SetGeometry(int control, Rect geometry) override {
        ++Writes[control].Geometry;
        RecordingWindowServices::SetGeometry(control, geometry);
    }
    void SetEnabled(int control, bool enabled) override {
        ++Writes[control].Enabled;
        RecordingWindowServices::SetEnabled(control, enabled);
    }

    std::vector<std::string> Titles;  // every title the Game window was given, in order
    std::map<int, ControlWrites> Writes;
};

class GameWindowTest : public testing::Test {
protected:
    GameWindowTest() {
        SetUpSinglePlayer(state_, "Anna", "Bernd", 0, 0);
        state_.TickCount = [this] { return now_; };
    }

    // Network mode with three participants, the local user being participant own; no
    // connection, so nothing it sends goes anywhere.
    void BecomeParticipant(int32_t own) {
        state_.Role = PlayRole::Client;
        state_.TwoPlayersAtOneBoard = false;
        state_.MaxPlayer = 3;
        state_.OwnPlayerIndex = own;
        state_.Players.resize(3);
        state_.Players[2].PlayerName = "Carla";
    }

    Game& OpenNewGame(int32_t white = 0, int32_t black = 1) {
        Game& game = CreateGame(state_.Games, white, black, White, state_);
        window_.OpenGameView(game);
        return game;
    }

    GameView& View() { return *window_.CurrentView(); }
    Game& CurrentGame() { return *View().Game; }

    // One pass of the main loop as far as the Game window takes part, with the next queued
    // event or none: the play step, the event, the changes shown.
    GameWindowOutcome Pass() {
        const Event event = services_.WaitEvent(10);
        RunPlayStep(state_, noNetwork_);
        const GameWindowOutcome outcome = window_.HandleGameWindowEvent(event);
        window_.ShowChanges();
        return outcome;
    }

    // A click on the board picture at a pixel of the window's client area.
    void ClickAt(int x, int y) {
        ASSERT_TRUE(services_.ClickImageAt(View().BoardPicture, x - BoardLeft, y - BoardTop));
        Pass();
    }
    void ClickSquare(std::string_view square) {
        const int x = square[0] - 'a';
        const int y = square[1] - '1';
        ClickAt(BoardLeft + 50 * x + 25, BoardTop + 50 * (7 - y) + 25);
    }
    void Play(std::string_view from, std::string_view to) {
        ClickSquare(from);
        ClickSquare(to);
    }
    void Press(int button) {
        ASSERT_TRUE(services_.Click(button));
        Pass();
    }

    // Lets ms milliseconds pass in steps of 10, with a Game window step after each.
    void Wait(uint32_t ms) {
        for (uint32_t passed = 0; passed < ms; passed += 10) {
            now_ += 10;
            Pass();
        }
    }

    const ControlRecord& Control(int id) const { return *services_.Control(id); }
    std::string Text(int id) const { return services_.Text(id); }
    std::vector<std::string> MoveLines() { return Control(View().MoveList).Items; }
    bool Shown(int id) const { return services_.IsShown(id); }
    bool Enabled(int id) const { return Control(id).Enabled; }
    int Top(int id) const { return services_.Geometry(id).Y; }

    uint32_t now_ = 0xFFFF0000;  // the tick counter wraps during the tests
    CountingWindowServices services_;
    ProgramState state_;
    NoNetworkView noNetwork_;
    int largeFont_ = services_.CreateFont("MS Sans Serif", 14, true);
    int smallFont_ = services_.CreateFont("MS Sans Serif", 10, true);
    GameWindow window_{services_, state_, largeFont_, smallFont_};
};

}  // namespace tavlora
