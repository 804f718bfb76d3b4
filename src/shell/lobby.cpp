// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/lobby.h"

#include <algorithm>

#include "net/senders.h"
#include "net/server.h"

namespace tavlora {

namespace {

constexpr int LobbyWidth = 422;
constexpr int GatheringHeight = 435;
constexpr int GamesHeight = 625;

// Columns of the players list.
constexpr int ReadyColumn = 0;
constexpr int NameColumn = 1;

// "Spiel starten" or "Bereit", and "Tabelle" once the games have started.
constexpr Rect StartButtonPlace{280, 405, 130, 20};
// The way back's line, in the gap between the players list and what follows it.
constexpr Rect ReconnectLinePlace{10, 192, 400, 16};
// Under "Alle Spiele anzeigen", left of "Tabelle", above the chat.
constexpr Rect NextGameBoxPlace{10, 417, 260, 15};

// Where the chat goes once the games list takes its place.
constexpr int ChatOutputTopWithGames = 435;
constexpr int ChatInputTopWithGames = 595;

}  // namespace

std::string ServerAddresses(const std::vector<Ipv4Interface>& interfaces) {
    std::vector<uint32_t> shown;
    std::string addresses;
    for (const Ipv4Interface& entry : interfaces) {
        const bool loopback = entry.Loopback || entry.Address >> 24 == 127;
        if (loopback || std::find(shown.begin(), shown.end(), entry.Address) != shown.end()) {
            continue;
        }
        addresses += (shown.empty() ? "" : ", ") + DottedAddress(entry.Address);
        shown.push_back(entry.Address);
    }
    return addresses;
}

std::string ServerAddressLine(const std::vector<Ipv4Interface>& interfaces) {
    const std::string addresses = ServerAddresses(interfaces);
    return "Adresse dieses Servers: " +
           (addresses.empty() ? std::string("keine Netzwerkadresse gefunden") : addresses);
}

Lobby::Lobby(WindowServices& services, ProgramState& state, GameWindow& gameWindow)
    : services_(services),
      state_(state),
      gameWindow_(gameWindow),
      games_(services, state, gameWindow, LobbyControls::GamesList) {
    gameWindow_.SetGameOrder(this);
}

Lobby::~Lobby() {
    gameWindow_.SetGameOrder(nullptr);
}

void Lobby::SetNextGameAfterMove(bool on) {
    nextGameAfterMove_ = on;
    if (nextGameBox_ >= 0) {
        services_.SetState(nextGameBox_, on ? 1 : 0);
    }
}

void Lobby::BuildLobbyWindow() {
    services_.OpenWindow({.Id = LobbyWindowId,
                          .X = 596,
                          .Y = 0,
                          .ClientW = LobbyWidth,
                          .ClientH = GatheringHeight,
                          .Title = "Tavlora - Lobby"});
    auto create = [this](ControlKind kind, int id, Rect geometry, const std::string& text = {}) {
        services_.CreateControl(
            {.Window = LobbyWindowId, .Kind = kind, .Id = id, .Geometry = geometry, .Text = text});
    };

    create(ControlKind::ListView, LobbyControls::PlayersList, {10, 10, 400, 180});
    services_.AddColumn(LobbyControls::PlayersList, "Bereit", 40);
    services_.AddColumn(LobbyControls::PlayersList, "Spielername", 335);
    const int players = std::min<int>(state_.PlayerCount, static_cast<int>(state_.Players.size()));
    for (int i = 0; i < players; ++i) {
        services_.AppendRow(LobbyControls::PlayersList);
        ++playerRows_;
        ShowPlayerRow(i);
    }
    if (state_.OwnPlayerIndex >= 0 && state_.OwnPlayerIndex < playerRows_) {
        ColourPlayerRow(state_.OwnPlayerIndex, OwnColour);
    }
    const bool tableKnown = state_.PlayerCount > 0;
    for (int i = playerRows_; i < state_.MaxPlayer && tableKnown; ++i) {
        services_.AppendRow(LobbyControls::PlayersList);
        ++playerRows_;
        ShowFreeRow(i);
    }

    create(ControlKind::ListView, LobbyControls::GamesList, {10, 210, 400, 180});
    services_.AddColumn(LobbyControls::GamesList, "Spiele", 165);
    services_.AddColumn(LobbyControls::GamesList, "Dran", 100);
    services_.AddColumn(LobbyControls::GamesList, "Zeit", 55);
    services_.AddColumn(LobbyControls::GamesList, "Spielzeit", 55);
    create(ControlKind::CheckBox, LobbyControls::ShowAllGamesBox, {10, 400, 400, 15},
           "Alle Spiele anzeigen");
    services_.SetVisible(LobbyControls::GamesList, false);
    services_.SetVisible(LobbyControls::ShowAllGamesBox, false);

    create(ControlKind::TextOutput, LobbyControls::ChatOutput, {10, 210, 400, 150});
    create(ControlKind::TextField, LobbyControls::ChatInput, {10, 370, 330, 20});
    create(ControlKind::Button, LobbyControls::SendButton, {350, 370, 60, 20}, "Senden");

    if (state_.IsServer()) {
        startControl_ = LobbyControls::StartGamesButton;
        create(ControlKind::Button, startControl_, StartButtonPlace, "Spiel starten");
        services_.SetEnabled(startControl_, false);
    } else if (tableKnown) {
        startControl_ = LobbyControls::ReadyButton;
        create(ControlKind::ToggleButton, startControl_, StartButtonPlace, "Bereit");
    }
    services_.BindReturnKey(LobbyWindowId, ChatReturnShortcut);
}

void Lobby::HandleLobbyControl(int control) {
    if (standingsButton_ >= 0 && control == standingsButton_ && ShowStandings) {
        ShowStandings();
        return;
    }
    if (nextGameBox_ >= 0 && control == nextGameBox_) {
        nextGameAfterMove_ = services_.State(nextGameBox_) != 0;
        if (NextGameAfterMoveChanged) {
            NextGameAfterMoveChanged(nextGameAfterMove_);
        }
        return;
    }
    switch (control) {
        case LobbyControls::StartGamesButton:
            if (startControl_ == LobbyControls::StartGamesButton) {
                StartGames(state_, *this);
            }
            break;
        case LobbyControls::ReadyButton: {
            const int32_t own = state_.OwnPlayerIndex;
            if (startControl_ != LobbyControls::ReadyButton || own < 0 ||
                static_cast<size_t>(own) >= state_.Players.size()) {
                break;
            }
            // The own mark appears only when the server's relay comes back.
            const int32_t ready = services_.State(LobbyControls::ReadyButton) != 0 ? 1 : 0;
            state_.Players[own].PlayerReady = ready;
            SendReady(state_, ready);
            break;
        }
        case LobbyControls::GamesList:
            games_.OpenSelectedGame();
            break;
        case LobbyControls::SendButton:
            SendChatLine();
            services_.SetFocus(LobbyControls::ChatInput);
            break;
        default:
            break;
    }
}

void Lobby::HandleLobbyShortcut(int id) {
    if (id == ChatReturnShortcut && services_.FocusedControl() == LobbyControls::ChatInput) {
        SendChatLine();
    }
}

void Lobby::ShowChanges() {
    for (const std::string& line : chatLines_) {
        services_.AppendLine(LobbyControls::ChatOutput, line);
    }
    chatLines_.clear();
    if (state_.PlayPhase == GamesStartedPhase) {
        RefreshGamesList();
    }
}

void Lobby::RefreshGamesList() {
    games_.Refresh(services_.State(LobbyControls::ShowAllGamesBox) != 0);
}

// Only the host sees it: nothing goes to the clients, who have found the server already.
void Lobby::ShowServerAddresses(const std::vector<Ipv4Interface>& interfaces) {
    services_.AppendLine(LobbyControls::ChatOutput, ServerAddressLine(interfaces));
}

// The chat line goes out as typed, even when empty; the input field takes only what
// Latin-1 can carry, so nothing in it is lost on the wire.
void Lobby::SendChatLine() {
    SendChat(state_, *this, services_.Text(LobbyControls::ChatInput));
    services_.SetText(LobbyControls::ChatInput, "");
}

// NetView

void Lobby::ShowPlayerRow(int index) {
    if (index < 0 || index >= playerRows_ || static_cast<size_t>(index) >= state_.Players.size()) {
        return;
    }
    const Player& player = state_.Players[index];
    WritePlayerRow(index, player.PlayerReady != 0 ? ReadyMark : "",
                   player.PlayerName.empty() ? WaitingForName
                   : player.Away             ? player.PlayerName + AwayMark
                                             : player.PlayerName);
    games_.NamesChanged();
}

void Lobby::ShowFreeRow(int index) {
    if (index >= 0 && index < playerRows_) {
        WritePlayerRow(index, ReadyMark, FreePlace);
    }
}

void Lobby::MoveOwnRow(int oldIndex, int newIndex) {
    if (oldIndex >= 0 && oldIndex < playerRows_) {
        ColourPlayerRow(oldIndex, DefaultColour);
    }
    if (newIndex >= 0 && newIndex < playerRows_) {
        ColourPlayerRow(newIndex, OwnColour);
    }
}

void Lobby::SetStartButtonEnabled(bool enabled) {
    if (startControl_ == LobbyControls::StartGamesButton) {
        services_.SetEnabled(startControl_, enabled);
    }
}

// A line costs the chat output its layout: it waits for the end of the pass, so that no
// chat output stands between a message and its relay.
void Lobby::AppendChatLine(const std::string& line) {
    chatLines_.push_back(line);
}

void Lobby::ShowGamesStarted() {
    const int participants = std::max(state_.PlayerCount, 0);
    while (playerRows_ > participants) {
        services_.RemoveRow(LobbyControls::PlayersList, --playerRows_);
    }
    services_.SetVisible(LobbyControls::GamesList, true);
    services_.SetVisible(LobbyControls::ShowAllGamesBox, true);
    services_.SetClientHeight(LobbyWindowId, GamesHeight);
    auto moveTo = [this](int control, int top) {
        Rect geometry = services_.Geometry(control);
        geometry.Y = top;
        services_.SetGeometry(control, geometry);
    };
    moveTo(LobbyControls::ChatOutput, ChatOutputTopWithGames);
    moveTo(LobbyControls::ChatInput, ChatInputTopWithGames);
    moveTo(LobbyControls::SendButton, ChatInputTopWithGames);
    if (startControl_ >= 0) {
        services_.DestroyControl(startControl_);
        startControl_ = -1;
    }
    ControlSpec standings;
    standings.Window = LobbyWindowId;
    standings.Kind = ControlKind::Button;
    standings.Geometry = StartButtonPlace;
    standings.Text = "Tabelle";
    standingsButton_ = services_.CreateControl(standings);
    nextGameBox_ = services_.CreateControl({.Window = LobbyWindowId,
                                            .Kind = ControlKind::CheckBox,
                                            .Geometry = NextGameBoxPlace,
                                            .Text = "Nach dem Zug zum nächsten Spiel"});
    services_.SetState(nextGameBox_, nextGameAfterMove_ ? 1 : 0);
    if (GamesStarted) {
        GamesStarted();
    }
}

// Shown by the Game window after the pass's network work, so no panel stands between a
// message and its relay.
void Lobby::GameMoved(Game& game) {
    gameWindow_.MoveArrived(game);
}

void Lobby::DrawOffered(Game& game) {
    gameWindow_.DrawOfferArrived(game);
}

void Lobby::GameReplaced(Game& game) {
    gameWindow_.GameReplaced(game);
}

void Lobby::ShowReconnecting(bool reconnecting) {
    if (reconnecting && reconnectLine_ < 0) {
        reconnectLine_ = services_.CreateControl({.Window = LobbyWindowId,
                                                  .Kind = ControlKind::Text,
                                                  .Geometry = ReconnectLinePlace,
                                                  .Text = ReconnectingText});
    } else if (!reconnecting && reconnectLine_ >= 0) {
        services_.DestroyControl(reconnectLine_);
        reconnectLine_ = -1;
    }
}

// The table as the server has it now: a returned program started again had no rows at all.
void Lobby::ShowReturned() {
    const int participants = std::max(state_.PlayerCount, 0);
    while (playerRows_ > participants) {
        services_.RemoveRow(LobbyControls::PlayersList, --playerRows_);
    }
    while (playerRows_ < participants) {
        services_.AppendRow(LobbyControls::PlayersList);
        ++playerRows_;
    }
    for (int i = 0; i < playerRows_; ++i) {
        ShowPlayerRow(i);
        ColourPlayerRow(i, i == state_.OwnPlayerIndex ? OwnColour : DefaultColour);
    }
}

void Lobby::ShowNetworkError(const std::string& text) {
    services_.MessageBox("Tavlora - Fehler", text);
}

void Lobby::WritePlayerRow(int row, const char* mark, const std::string& name) {
    services_.SetCellText(LobbyControls::PlayersList, row, ReadyColumn, mark);
    services_.SetCellText(LobbyControls::PlayersList, row, NameColumn, name);
}

void Lobby::ColourPlayerRow(int row, int32_t colour) {
    services_.SetCellColour(LobbyControls::PlayersList, row, ReadyColumn, colour);
    services_.SetCellColour(LobbyControls::PlayersList, row, NameColumn, colour);
}

}  // namespace tavlora
