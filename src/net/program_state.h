// The program-wide state: the players table, the games list, the limits and phase of play,
// and the network connections. One record, owned by Main and passed by reference, so a
// test can run a server and several clients in one process, each with a state of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/game_keys.h"
#include "net/transport.h"
#include "platform/system.h"
#include "rules/game.h"

namespace tavlora {

struct Player {
    std::string PlayerName;  // UTF-8; empty until the participant has announced it
    ConnectionId PlayerConnection = NoConnection;  // none for entry 0
    int32_t PlayerReady = 0;
};

enum PlayPhaseValue : int32_t {
    SettingsPhase = 0,
    LobbyPhase = 1,
    GamesStartedPhase = 2,
};

// The limits, the mode and OwnPlayerIndex come from RulesContext, so the rules read them
// from here directly.
struct ProgramState : RulesContext {
    int32_t PlayerCount = 0;
    int32_t PlayPhase = SettingsPhase;
    std::vector<Player> Players = std::vector<Player>(2);
    GamesList Games;
    GameKeys KeyedGames;  // network play: the games by their key, with pending draw offers
    ConnectionId ServerConnection = NoConnection;  // a client's connection to the server
    uint16_t NetworkPort = DefaultPort;  // the same for server and clients; tests pick a free one
    int ConnectLimitMs = ConnectTimeoutMs;  // for the server to answer a connect; tests shorten it
    Transport Network;    // the listening socket and every connection, or the one to the server
    RandomSource Random;  // the colour draws and the first game shown
};

}  // namespace tavlora
