// SPDX-License-Identifier: GPL-3.0-or-later
// The lobby window of the two network modes: the players list, the chat and the start
// controls while participants gather, then the games list. The main loop hands it its
// events; the server and the client make their changes visible through its NetView side,
// and the Game window finds the user's next game through its GameOrder side.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gamewindow/game_window.h"
#include "net/net_view.h"
#include "net/program_state.h"
#include "platform/datagrams.h"
#include "platform/window_services.h"
#include "shell/games_list.h"

namespace tavlora {

// The lobby takes the settings window's place and number.
constexpr int LobbyWindowId = 0;
// The Return key of the lobby window.
constexpr int ChatReturnShortcut = 0;

// Fixed identifiers of the lobby's controls; the main loop matches control events by them.
struct LobbyControls {
    static constexpr int PlayersList = 0;
    static constexpr int GamesList = 1;
    static constexpr int ShowAllGamesBox = 2;
    static constexpr int StartGamesButton = 3;  // server only, until the start
    static constexpr int ReadyButton = 4;       // clients only, until the start
    static constexpr int ChatOutput = 5;
    static constexpr int ChatInput = 6;
    static constexpr int SendButton = 7;
};

// Players list texts.
inline constexpr const char* ReadyMark = "    x";
inline constexpr const char* WaitingForName = "<Warte auf Spieler>";
inline constexpr const char* FreePlace = "<Offen>";
// Behind the name of a participant who is away.
inline constexpr const char* AwayMark = " (abwesend)";
// The lobby's own line while the way back after a dropped connection is tried.
inline constexpr const char* ReconnectingText = "Verbindung unterbrochen - neuer Versuch ...";

// The addresses of the interfaces other than loopback, comma-separated, each once: where
// clients reach this server. Empty when there is none.
std::string ServerAddresses(const std::vector<Ipv4Interface>& interfaces);
// The server's first chat line: "Adresse dieses Servers: " and those addresses; "keine
// Netzwerkadresse gefunden" when there is none.
std::string ServerAddressLine(const std::vector<Ipv4Interface>& interfaces);

class Lobby final : public NetView, public GameOrder {
public:
    // Becomes gameWindow's order of the next games for its lifetime.
    Lobby(WindowServices& services, ProgramState& state, GameWindow& gameWindow);
    ~Lobby() override;
    Lobby(const Lobby&) = delete;
    Lobby& operator=(const Lobby&) = delete;

    // Opens the window with the players list filled from Players, the hidden games list, the
    // chat, and "Spiel starten" (server, disabled) or "Bereit" (client). A client started again
    // to return to its tournament knows no table yet (PlayerCount 0): no rows and no button
    // until the server has welcomed it back.
    void BuildLobbyWindow();
    // A control event of the main loop, by the control's identifier alone.
    void HandleLobbyControl(int control);
    // A keyboard-shortcut event of the main loop: Return sends the chat line while the focus
    // is in the chat input.
    void HandleLobbyShortcut(int id);
    // Once per pass of the main loop, after the window events: the chat lines that arrived,
    // and once the games have started the games list.
    void ShowChanges();
    void RefreshGamesList();
    // The server's lobby, right after it is built: the line with the addresses that clients
    // can join, for the host's eyes only.
    void ShowServerAddresses(const std::vector<Ipv4Interface>& interfaces);

    // Called when "Tabelle", which takes the start button's place once the games have
    // started, is pressed.
    std::function<void()> ShowStandings;
    // Called once the games have been created and the lobby shows them, before the network
    // work of the pass goes on: play begins.
    std::function<void()> GamesStarted;

    // "Nach dem Zug zum nächsten Spiel", shown with the games list: ticked unless this says
    // otherwise before the games start. Ticking or clearing it calls NextGameAfterMoveChanged.
    void SetNextGameAfterMove(bool on);
    std::function<void(bool on)> NextGameAfterMoveChanged;

    // GameOrder
    std::vector<Game*> GamesInListOrder() const override { return games_.GamesInRowOrder(); }
    bool NextGameAfterMove() const override { return nextGameAfterMove_; }

    // NetView
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

private:
    void WritePlayerRow(int row, const char* mark, const std::string& name);
    void ColourPlayerRow(int row, int32_t colour);
    void SendChatLine();

    WindowServices& services_;
    ProgramState& state_;
    GameWindow& gameWindow_;
    LobbyGamesList games_;
    std::vector<std::string> chatLines_;  // arrived, to be shown by the next ShowChanges
    int playerRows_ = 0;        // rows of the players list, which only this class adds and removes
    int startControl_ = -1;     // "Spiel starten" or "Bereit" while it exists
    int standingsButton_ = -1;  // "Tabelle" once the games have started
    int reconnectLine_ = -1;    // ReconnectingText while the way back is tried
    int nextGameBox_ = -1;      // "Nach dem Zug zum nächsten Spiel" once the games have started
    bool nextGameAfterMove_ = true;
};

}  // namespace tavlora
