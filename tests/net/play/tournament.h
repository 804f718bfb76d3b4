// SPDX-License-Identifier: GPL-3.0-or-later
// A LAN tournament in one process: a server and its clients, each with a program state and a
// recording view of its own, talking over real loopback TCP and pumped until every side is
// quiet; plus raw peers that say what the program itself never would.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/program_state.h"
#include "recording_net_view.h"

namespace tavlora {

// 127.0.0.1 as the settings window's address field hands it over: first number lowest.
constexpr int32_t LoopbackAddress = 127 | 1 << 24;

// One program: its state, what it shows, and whether its lobby is open.
struct Side {
    Side() {
        State.TickCount = [] { return TickCount(); };
        State.Network.SetSocketWatcher([this](int socket, bool watch) {
            if (watch || socket == Socket) {
                Socket = watch ? socket : -1;
            }
        });
    }
    ProgramState State;
    RecordingNetView View{State};
    bool InLobby = false;
    bool Left = false;
    bool Hung = false;  // its main loop stands still: the pumps pass it by
    int Socket = -1;    // a client's connection's socket, the last one opened
};

class Tournament {
public:
    // A server named serverName for maxPlayer participants, listening on a free port, its
    // lobby open.
    explicit Tournament(const std::string& serverName, int32_t maxPlayer = 8,
                        int32_t timeByPlayer = 0, int32_t timeByMove = 0);

    Side& Server() { return server_; }
    uint16_t Port() const { return port_; }

    // A client that connects under name as the settings window does; the handshake runs
    // in the following pumps. Join also pumps until it is over.
    Side& Connect(const std::string& name);
    Side& Join(const std::string& name);
    // Polls only this client until its join is over, as its settings window would.
    void FinishJoin(Side& side);
    // The program is closed: its connections end without a word.
    void Leave(Side& side);
    // The client's connection is cut from outside, as a network would: both ends see it end.
    void Drop(Side& side);
    // The client's program crashed and is started again, to return with the ticket it kept;
    // the new program starts its way back at once.
    Side& Restart(Side& crashed);
    // The host's program was killed: its connections end, and the program started again, set
    // up in state, listens on the same port with the lobby of the running games.
    void RestartServer(ProgramState state);

    // Polls every side once per round, as the main loops would, until nothing has changed
    // anywhere for a while.
    void Pump();

    // The program whose own participant index is index.
    Side& Participant(int32_t index);
    // Every program in the lobby that has not left (the server included).
    std::vector<Side*> Sides();

    // The participant to move in the game (white, black) plays the move between the two
    // squares as the board input does (send first, then execute), and everyone is pumped.
    void Play(int32_t white, int32_t black, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY,
              int32_t promotion = Queen);

private:
    void PollSide(Side& side);

    Side server_;
    uint16_t port_ = 0;
    std::vector<std::unique_ptr<Side>> clients_;
};

// Joins every name, declares each ready and starts the games from the server.
void StartWith(Tournament& t, const std::vector<std::string>& names);

// Every program holds the server's games, in its order, in the same position and state.
void ExpectSameGames(Tournament& t);

// The game (white, black) of a program's games list, found by a plain scan.
Game& GameOf(Side& side, int32_t white, int32_t black);
// The game of the pair, whichever colour each has.
Game& PairGame(GamesList& games, int32_t i, int32_t j);
inline Game& PairGame(Side& side, int32_t i, int32_t j) {
    return PairGame(side.State.Games, i, j);
}

// The move of game.Moves between the two squares, with promotion filled in when pending.
std::optional<Move> FindMove(const Game& game, int32_t fromX, int32_t fromY, int32_t toX,
                             int32_t toY, int32_t promotion = Queen);

// A peer speaking the wire protocol by hand: a client when given a port to connect to, or a
// server listening on a free port.
class RawPeer {
public:
    static std::unique_ptr<RawPeer> ConnectTo(uint16_t port);
    static std::unique_ptr<RawPeer> Listen();

    // The next event, polling for up to two seconds; None when nothing came.
    NetEvent Next();
    // The next message, skipping nothing; none when none came.
    std::optional<Message> NextMessage();
    void Send(const Message& message);
    // Bytes as they are, prefix and all, for streams the program never builds.
    void SendRaw(Bytes bytes);

    Transport Network;
    ConnectionId Connection = NoConnection;  // the client's, or the one the server accepted
};

}  // namespace tavlora
