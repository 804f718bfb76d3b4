// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording_net_view.h"

#include <gtest/gtest.h>

namespace tavlora {

namespace {

const RowText FreeRow{"    x", "<Offen>"};

}  // namespace

void RecordingNetView::BuildLobby() {
    // A client started again knows no table until it is back: no rows.
    Rows.assign(state_.PlayerCount > 0 ? static_cast<size_t>(state_.MaxPlayer) : 0, FreeRow);
    for (int i = 0; i < state_.PlayerCount; ++i) {
        ShowPlayerRow(i);
    }
    OwnRow = state_.OwnPlayerIndex;
}

RowText& RecordingNetView::Row(int index) {
    // A write to a row the list does not have would be a fault of the caller.
    if (index < 0 || static_cast<size_t>(index) >= Rows.size()) {
        ADD_FAILURE() << "row " << index << " does not exist";
        return discarded_;
    }
    return Rows[static_cast<size_t>(index)];
}

void RecordingNetView::ShowPlayerRow(int index) {
    ++Calls;
    const Player& player = state_.Players.at(static_cast<size_t>(index));
    Row(index) = {player.PlayerReady != 0 ? "    x" : "",
                  player.PlayerName.empty() ? "<Warte auf Spieler>"
                  : player.Away             ? player.PlayerName + " (abwesend)"
                                            : player.PlayerName};
}

void RecordingNetView::ShowFreeRow(int index) {
    ++Calls;
    Row(index) = FreeRow;
}

void RecordingNetView::MoveOwnRow(int oldIndex, int newIndex) {
    ++Calls;
    EXPECT_EQ(oldIndex, OwnRow);
    OwnRow = newIndex;
}

void RecordingNetView::SetStartButtonEnabled(bool enabled) {
    ++Calls;
    StartEnabled = enabled;
}

void RecordingNetView::AppendChatLine(const std::string& line) {
    ++Calls;
    Chat.push_back(line);
}

void RecordingNetView::ShowGamesStarted() {
    ++Calls;
    GamesStarted = true;
    Rows.resize(static_cast<size_t>(state_.PlayerCount));
}

void RecordingNetView::GameMoved(Game& game) {
    ++Calls;
    Moved.push_back(&game);
}

void RecordingNetView::DrawOffered(Game& game) {
    ++Calls;
    Offers.push_back(&game);
}

void RecordingNetView::GameReplaced(Game& game) {
    ++Calls;
    Replaced.push_back(&game);
}

void RecordingNetView::ShowReconnecting(bool reconnecting) {
    ++Calls;
    Reconnecting = reconnecting;
}

void RecordingNetView::ShowReturned() {
    ++Calls;
    ++Returns;
    Rows.resize(static_cast<size_t>(state_.PlayerCount));
    for (int i = 0; i < state_.PlayerCount; ++i) {
        ShowPlayerRow(i);
    }
    OwnRow = state_.OwnPlayerIndex;
}

void RecordingNetView::ShowNetworkError(const std::string& text) {
    ++Calls;
    Errors.push_back(text);
}

}  // namespace tavlora
