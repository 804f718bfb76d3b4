// SPDX-License-Identifier: GPL-3.0-or-later
// A NetView that records what network play makes visible: the players list's rows as the
// lobby would draw them, the own blue row, the start button, chat lines, the games layout,
// refreshed and replaced games, draw offers, the way back's line and returns, and error boxes.
#pragma once

#include <string>
#include <vector>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

struct RowText {
    std::string Ready;  // "    x" or empty
    std::string Name;
    friend bool operator==(const RowText&, const RowText&) = default;
};

class RecordingNetView : public NetView {
public:
    explicit RecordingNetView(const ProgramState& state) : state_(state) {}

    // What the lobby draws when it opens: a row per participant, free rows up to
    // MaxPlayer, the own row blue.
    void BuildLobby();

    void ShowPlayerRow(int index) override;
    void ShowFreeRow(int index) override;
    void MoveOwnRow(int oldIndex, int newIndex) override;
    void SetStartButtonEnabled(bool enabled) override;
    void AppendChatLine(const std::string& line) override;
    void ShowGamesStarted() override;
    void GameMoved(Game& game) override;
    void DrawOffered(Game& game) override;
    void GameReplaced(Game& game) override;
    void ShowReconnecting(bool reconnecting) override;
    void ShowReturned() override;
    void ShowNetworkError(const std::string& text) override;

    std::vector<RowText> Rows;
    int OwnRow = -1;
    bool StartEnabled = false;
    std::vector<std::string> Chat;
    bool GamesStarted = false;
    std::vector<const Game*> Moved;
    std::vector<const Game*> Offers;
    std::vector<const Game*> Replaced;
    bool Reconnecting = false;
    int Returns = 0;
    std::vector<std::string> Errors;
    int Calls = 0;  // every call, so a test can tell whether anything happened

private:
    RowText& Row(int index);

    const ProgramState& state_;
    RowText discarded_;  // what a write to a missing row lands on
};

}  // namespace tavlora
