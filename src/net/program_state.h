// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide state: the way to play, the players table, the games list, the limits and
// phase of play, and the network connections. One record, owned by Main and passed by
// reference, so a test can run a server and several clients in one process, each with a state
// of its own. Each way to play is set up in one place, here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/clock_schedule.h"
#include "net/game_changes.h"
#include "net/game_keys.h"
#include "net/protocol.h"
#include "net/tournament_recorder.h"
#include "net/transport.h"
#include "platform/system.h"
#include "rules/game.h"

namespace tavlora {

struct Player {
    std::string PlayerName;  // UTF-8; empty until the participant has announced it
    ConnectionId PlayerConnection = NoConnection;  // none for entry 0
    int32_t PlayerReady = 0;
    bool Left = false;        // left after the start: the entry stays, its games are lost
    uint32_t WelcomedAt = 0;  // server: tick count of the welcome, while no name has come
    // The way back after a dropped connection, once the games have started.
    bool CanReturn = false;  // its program announced that it can come back
    bool Away = false;       // its connection ended; it may still come back
    uint32_t AwaySince = 0;  // server: tick count when it went away
    ReturnSecret Secret{};   // server: what proves a return; all zero while none was given
};

enum PlayPhaseValue : int32_t {
    SettingsPhase = 0,
    LobbyPhase = 1,
    GamesStartedPhase = 2,
};

// The way to play that the settings window set up: the one statement of how the program
// plays. The rules know only whether two players share this board, which every set-up below
// keeps in line with the role.
enum class PlayRole {
    None,    // the settings window has not started anything yet
    Server,  // hosts the lobby; its own participant is index 0
    Client,  // joins a server; its index comes with the welcome
    SinglePlayer,
};

// The limits, the board-sharing flag and OwnPlayerIndex come from RulesContext, so the rules
// read them from here directly.
struct ProgramState : RulesContext {
    PlayRole Role = PlayRole::None;
    int32_t MaxPlayer = 0;  // places of the lobby, the server's own included
    int32_t PlayerCount = 0;
    int32_t PlayPhase = SettingsPhase;
    std::vector<Player> Players = std::vector<Player>(2);
    GamesList Games;
    GameKeys KeyedGames;  // network play: the games by their key, with pending draw offers
    ConnectionId ServerConnection = NoConnection;  // a client's connection to the server
    uint16_t NetworkPort = DefaultPort;  // the same for server and clients; tests pick a free one
    int ConnectLimitMs = ConnectTimeoutMs;  // for the server to answer a connect; tests shorten it
    // How long a participant whose connection ended after the start may take to come back:
    // the host's setting on the server, what the server granted on a client. 0: no way back.
    int32_t RejoinSeconds = 0;
    // The host's record of what changes the running tournament; none on a client.
    TournamentRecorder* Recorder = nullptr;
    Transport Network;     // the listening socket and every connection, or the one to the server
    RandomSource Random;   // the colour draws and the first game shown
    ClockSchedule Clocks;  // when each running game next needs the game tick
    GameChanges Changes;   // what the windows and the record of the games have yet to see
    // Told once about every game that has ended, by the next game tick, after it got its
    // Result: for what keeps a record of the games. May be empty.
    std::function<void(const Game&)> GameEnded;

    bool IsServer() const { return Role == PlayRole::Server; }
    bool IsClient() const { return Role == PlayRole::Client; }
    bool IsSinglePlayer() const { return Role == PlayRole::SinglePlayer; }
};

// The entry of participant in Players, or nullptr for an index outside the table.
inline const Player* FindPlayer(const ProgramState& state, int32_t participant) {
    return participant >= 0 && static_cast<size_t>(participant) < state.Players.size()
               ? &state.Players[static_cast<size_t>(participant)]
               : nullptr;
}

// The ways to play
// The server's own participant (index 0, ready, named name) hosting maxPlayer places with the
// given limits; Players gets maxPlayer + 1 empty entries besides its own. The caller has
// tested the values.
void SetUpServer(ProgramState& state, const std::string& name, int32_t maxPlayer,
                 int32_t timeByPlayer, int32_t timeByMove);
// A client about to connect: no index yet (-1), which is how it knows that no welcome has
// come, PlayerCount 2, no places known (MaxPlayer 0) and its name in entry 1 until the
// welcome says more.
void SetUpJoiningClient(ProgramState& state, const std::string& name);
// The client the server has welcomed: the server's limits and table, its own index and its
// name moved to its own entry. The caller has tested the welcome against the limits.
void SetUpWelcomedClient(ProgramState& state, const MsgWelcome& welcome);
// Two names at one board: participant 0 and 1, MaxPlayer 0, and the rules told that the
// local user is whoever is to move.
void SetUpSinglePlayer(ProgramState& state, const std::string& name, const std::string& name2,
                       int32_t timeByPlayer, int32_t timeByMove);

}  // namespace tavlora
