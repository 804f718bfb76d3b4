// SPDX-License-Identifier: GPL-3.0-or-later
// What network play makes visible in the windows above it. The server and the client call
// these when a message changes something on screen; the shell implements them with the
// lobby, the settings window and the Game window, and tests with a recorder. A view that
// shows only part of it (the settings window while a client joins) overrides only that part.
#pragma once

#include <string>

#include "rules/game.h"

namespace tavlora {

class NetView {
public:
    virtual ~NetView() = default;

    // Players list: rewrite row `index` from entry `index` of Players (ready mark and name,
    // or "<Warte auf Spieler>" while the name is empty), or show it as a free place.
    virtual void ShowPlayerRow(int /*index*/) {}
    virtual void ShowFreeRow(int /*index*/) {}
    // The own participant's blue row moved from oldIndex to newIndex.
    virtual void MoveOwnRow(int /*oldIndex*/, int /*newIndex*/) {}
    // "Spiel starten" on the server.
    virtual void SetStartButtonEnabled(bool /*enabled*/) {}
    // Appends a line to the chat output and scrolls to it.
    virtual void AppendChatLine(const std::string& /*line*/) {}
    // The games have been created: switch the lobby to its games layout.
    virtual void ShowGamesStarted() {}

    // A move was executed on game: refresh its view, if one is open.
    virtual void GameMoved(Game& /*game*/) {}
    // The opponent offered a draw in game: show it in its view, if one is open.
    virtual void DrawOffered(Game& /*game*/) {}
    // game changed other than by a move added (rebuilt from the server's moves, or an end of
    // its own undone): show its view anew, if one is open.
    virtual void GameReplaced(Game& /*game*/) {}

    // The way back: the connection to the server ended and new ones are being tried, or no
    // longer (back, or given up).
    virtual void ShowReconnecting(bool /*reconnecting*/) {}
    // Back in the tournament: the players list rewritten from the table, as many rows as
    // PlayerCount, the own row blue.
    virtual void ShowReturned() {}

    // The connection to the server stands; the server's welcome is awaited.
    virtual void ShowConnected() {}
    // An error box titled "Tavlora - Fehler"; on the settings window the connect status is
    // emptied first.
    virtual void ShowNetworkError(const std::string& text) = 0;
};

// Single player shows nothing of a network, having none.
class NoNetworkView final : public NetView {
public:
    void ShowNetworkError(const std::string& /*text*/) override {}
};

// A line of the chat output: "<" + the sender's name + "> " + the text.
inline std::string ChatLine(const std::string& name, const std::string& text) {
    return "<" + name + "> " + text;
}

}  // namespace tavlora
