// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/program_state.h"

namespace tavlora {

void SetUpServer(ProgramState& state, const std::string& name, int32_t maxPlayer,
                 int32_t timeByPlayer, int32_t timeByMove) {
    state.Role = PlayRole::Server;
    state.TwoPlayersAtOneBoard = false;
    state.OwnPlayerIndex = 0;
    state.PlayerCount = 1;
    state.MaxPlayer = maxPlayer;
    state.TimeByPlayer = timeByPlayer;
    state.TimeByMove = timeByMove;
    // Whatever an earlier attempt left in the table goes.
    state.Players.assign(static_cast<size_t>(maxPlayer) + 1, Player{});
    state.Players[0] = Player{name, NoConnection, 1};
}

void SetUpJoiningClient(ProgramState& state, const std::string& name) {
    state.Role = PlayRole::Client;
    state.TwoPlayersAtOneBoard = false;
    state.OwnPlayerIndex = -1;
    state.PlayerCount = 2;
    state.MaxPlayer = 0;
    state.Players.assign(2, Player{});
    state.Players[1].PlayerName = name;
}

void SetUpWelcomedClient(ProgramState& state, const MsgWelcome& welcome) {
    const std::string ownName = state.Players[1].PlayerName;
    state.MaxPlayer = welcome.MaxPlayer;
    state.PlayerCount = welcome.PlayerCount;
    state.TimeByPlayer = welcome.TimeByPlayer;
    state.TimeByMove = welcome.TimeByMove;
    state.OwnPlayerIndex = welcome.PlayerCount - 1;
    state.Players.assign(static_cast<size_t>(welcome.MaxPlayer) + 1, Player{});
    for (size_t i = 0; i < welcome.Players.size(); ++i) {
        state.Players[i].PlayerName = welcome.Players[i].PlayerName;
        state.Players[i].PlayerReady = welcome.Players[i].PlayerReady != 0 ? 1 : 0;
    }
    state.Players[static_cast<size_t>(state.OwnPlayerIndex)].PlayerName = ownName;
}

void SetUpReturningClient(ProgramState& state, int32_t serverAddress, int32_t participant,
                          const ReturnSecret& secret, int32_t rejoinSeconds) {
    state.Role = PlayRole::Client;
    state.ServerAddress = serverAddress;
    state.OwnPlayerIndex = participant;
    state.PlayerCount = 0;
    state.MaxPlayer = MostParticipants;
    state.RejoinSeconds = rejoinSeconds;
    state.Players.assign(static_cast<size_t>(MostParticipants) + 1, Player{});
    Player& own = state.Players[static_cast<size_t>(participant)];
    own.CanReturn = true;
    own.Secret = secret;
}

void SetUpSinglePlayer(ProgramState& state, const std::string& name, const std::string& name2,
                       int32_t timeByPlayer, int32_t timeByMove) {
    state.Role = PlayRole::SinglePlayer;
    state.TwoPlayersAtOneBoard = true;
    state.OwnPlayerIndex = 0;
    state.PlayerCount = 2;
    state.MaxPlayer = 0;
    state.TimeByPlayer = timeByPlayer;
    state.TimeByMove = timeByMove;
    state.Players.assign(2, Player{});
    state.Players[0].PlayerName = name;
    state.Players[1].PlayerName = name2;
}

}  // namespace tavlora
