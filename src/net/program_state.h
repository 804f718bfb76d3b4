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
    // Its program announced that it can come back; after the start, it holds a ticket (on a
    // client: the own entry, once the server has given one).
    bool CanReturn = false;
    bool Away = false;       // its connection ended; it may still come back
    uint32_t AwaySince = 0;  // server: tick count when it went away
    ReturnSecret Secret{};   // what proves a return: the server's, or a client's own ticket
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

// The way back after a dropped connection, as the server keeps it: connections made after the
// start that may bring a participant's return, the returned programs still being brought up to
// date, and the failed returns of the last second.
struct ReturnCandidate {
    ConnectionId Connection = NoConnection;
    uint32_t Since = 0;  // tick count of the connect
};
struct CatchUp {
    int32_t Participant = 0;
    ConnectionId Connection = NoConnection;
    size_t NextGame = 0;         // into Games: the first whose state has not been sent
    std::vector<HeldGame> Held;  // what the program said it holds, by key
};
struct ReturnDesk {
    std::vector<ReturnCandidate> Candidates;
    std::vector<CatchUp> CatchUps;
    int32_t AwayCount = 0;  // participants away now: only then are grace times looked at
    uint32_t FailuresSince = 0;
    int32_t Failures = 0;  // failed returns since FailuresSince
};

// The way back as a client keeps it once its connection has ended after the start.
struct Reconnection {
    bool Active = false;         // attempts go on until GiveUpAt
    uint32_t GiveUpAt = 0;       // tick count when the grace time is over
    uint32_t NextAttemptAt = 0;  // tick count of the next connect
    uint32_t AnswerDueAt = 0;    // while a return is on its way: when to try anew
    bool ReturnSent = false;     // MsgReturn is on the current connection
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
    int32_t ServerAddress = 0;           // a client's server, first number in the lowest byte
    uint16_t NetworkPort = DefaultPort;  // the same for server and clients; tests pick a free one
    int ConnectLimitMs = ConnectTimeoutMs;  // for the server to answer a connect; tests shorten it
    // How long a participant whose connection ended after the start may take to come back:
    // the host's setting on the server, what the server granted on a client. 0: no way back.
    int32_t RejoinSeconds = 0;
    // The host's record of what changes the running tournament; none on a client.
    TournamentRecorder* Recorder = nullptr;
    ReturnDesk Desk;         // server
    Reconnection Reconnect;  // client
    Transport Network;       // the listening socket and every connection, or the one to the server
    RandomSource Random;     // the colour draws and the first game shown
    ClockSchedule Clocks;    // when each running game next needs the game tick
    GameChanges Changes;     // what the windows and the record of the games have yet to see
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
// A client started again while its tournament runs, from what it kept: the server's address,
// its own index and its ticket. Nothing else is known until the server welcomes it back:
// PlayerCount 0, every index of the largest table valid. The caller begins the way back.
void SetUpReturningClient(ProgramState& state, int32_t serverAddress, int32_t participant,
                          const ReturnSecret& secret, int32_t rejoinSeconds);
// Two names at one board: participant 0 and 1, MaxPlayer 0, and the rules told that the
// local user is whoever is to move.
void SetUpSinglePlayer(ProgramState& state, const std::string& name, const std::string& name2,
                       int32_t timeByPlayer, int32_t timeByMove);

}  // namespace tavlora
