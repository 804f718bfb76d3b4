// SPDX-License-Identifier: GPL-3.0-or-later
#include "tournament.h"

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "net/client.h"
#include "net/game_play.h"
#include "net/play_step.h"
#include "net/reconnect.h"
#include "net/senders.h"
#include "net/server.h"

namespace tavlora {

namespace {

using namespace std::chrono_literals;

// A summary of everything a poll can change on one side, so the pump can tell when all
// is quiet.
size_t Fingerprint(const Side& side) {
    size_t hash = 0;
    const auto mix = [&hash](size_t value) { hash = hash * 1000003u ^ value; };
    const ProgramState& state = side.State;
    mix(static_cast<size_t>(side.View.Calls));
    for (int32_t value : {state.PlayerCount, state.OwnPlayerIndex, state.MaxPlayer, state.PlayPhase,
                          state.ServerConnection, int32_t{state.Reconnect.Active}}) {
        mix(static_cast<size_t>(value));
    }
    for (const Player& player : state.Players) {
        mix(std::hash<std::string>()(player.PlayerName));
        mix(static_cast<size_t>(player.PlayerReady));
        mix(static_cast<size_t>(player.PlayerConnection));
        mix(static_cast<size_t>(player.Away));
    }
    for (const Game& game : state.Games) {
        mix(static_cast<size_t>(game.State));
        mix(static_cast<size_t>(game.SideToMove));
        mix(game.History.size());
    }
    return hash;
}

}  // namespace

Tournament::Tournament(const std::string& serverName, int32_t maxPlayer, int32_t timeByPlayer,
                       int32_t timeByMove) {
    ProgramState& state = server_.State;
    SetUpServer(state, serverName, maxPlayer, timeByPlayer, timeByMove);
    state.NetworkPort = 0;
    EXPECT_TRUE(OpenServer(state));
    port_ = state.Network.ListeningPort();
    state.PlayPhase = LobbyPhase;
    server_.View.BuildLobby();
    server_.InLobby = true;
}

Side& Tournament::Connect(const std::string& name) {
    Side& side = *clients_.emplace_back(std::make_unique<Side>());
    ProgramState& state = side.State;
    SetUpJoiningClient(state, name);
    state.NetworkPort = port_;
    EXPECT_TRUE(StartConnectToServer(state, LoopbackAddress));
    return side;
}

Side& Tournament::Join(const std::string& name) {
    Side& side = Connect(name);
    Pump();
    return side;
}

void Tournament::FinishJoin(Side& side) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!side.InLobby && side.State.ServerConnection != NoConnection &&
           std::chrono::steady_clock::now() < deadline) {
        PollSide(side);
    }
    EXPECT_TRUE(side.InLobby);
}

void Tournament::Leave(Side& side) {
    side.State.Network.CloseAll();
    side.Left = true;
}

void Tournament::Drop(Side& side) {
    ASSERT_GE(side.Socket, 0);
    shutdown(side.Socket, SHUT_RDWR);
}

Side& Tournament::Restart(Side& crashed) {
    Leave(crashed);
    const ProgramState& old = crashed.State;
    const Player& own = old.Players[static_cast<size_t>(old.OwnPlayerIndex)];
    Side& side = *clients_.emplace_back(std::make_unique<Side>());
    SetUpReturningClient(side.State, LoopbackAddress, old.OwnPlayerIndex, own.Secret,
                         old.RejoinSeconds);
    side.State.NetworkPort = port_;
    side.State.PlayPhase = LobbyPhase;
    side.View.BuildLobby();
    side.InLobby = true;
    EXPECT_TRUE(BeginReconnect(side.State, side.View));
    return side;
}

void Tournament::RestartServer(ProgramState state) {
    server_.State.Network.CloseAll();
    state.NetworkPort = port_;
    EXPECT_TRUE(OpenServer(state));
    server_.State = std::move(state);
    server_.View.BuildLobby();
    server_.View.ShowGamesStarted();
}

void Tournament::PollSide(Side& side) {
    if (side.Left || side.Hung) {
        return;
    }
    if (&side == &server_ || side.InLobby) {
        RunPlayStep(side.State, side.View);
    } else if (side.State.ServerConnection != NoConnection && PollClient(side.State, side.View)) {
        // The settings window gives way to the lobby; the program announces its way back.
        AnnounceReturn(side.State);
        side.InLobby = true;
        side.State.PlayPhase = LobbyPhase;
        side.View.BuildLobby();
    }
}

void Tournament::Pump() {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    std::vector<Side*> all{&server_};
    for (auto& client : clients_) {
        all.push_back(client.get());
    }
    const auto fingerprints = [&all] {
        std::vector<size_t> result;
        for (Side* side : all) {
            result.push_back(Fingerprint(*side));
        }
        return result;
    };
    int quietRounds = 0;
    while (quietRounds < 10) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the sides never fell quiet";
        const std::vector<size_t> before = fingerprints();
        for (Side* side : all) {
            PollSide(*side);
        }
        if (fingerprints() == before) {
            ++quietRounds;
            std::this_thread::sleep_for(200us);
        } else {
            quietRounds = 0;
        }
    }
}

Side& Tournament::Participant(int32_t index) {
    for (Side* side : Sides()) {
        if (side->State.OwnPlayerIndex == index) {
            return *side;
        }
    }
    ADD_FAILURE() << "no program plays as participant " << index;
    return server_;
}

std::vector<Side*> Tournament::Sides() {
    std::vector<Side*> result{&server_};
    for (auto& client : clients_) {
        if (client->InLobby && !client->Left) {
            result.push_back(client.get());
        }
    }
    return result;
}

void Tournament::Play(int32_t white, int32_t black, int32_t fromX, int32_t fromY, int32_t toX,
                      int32_t toY, int32_t promotion) {
    const Game& reference = GameOf(server_, white, black);
    Side& mover = Participant(reference.PlayerIndex[reference.SideToMove]);
    Game& game = GameOf(mover, white, black);
    const std::optional<Move> move = FindMove(game, fromX, fromY, toX, toY, promotion);
    ASSERT_TRUE(move) << "no move " << fromX << fromY << "-" << toX << toY;
    PlayOwnMove(mover.State, game, *move);
    Pump();
}

void StartWith(Tournament& t, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        Side& side = t.Join(name);
        side.State.Players[static_cast<size_t>(side.State.OwnPlayerIndex)].PlayerReady = 1;
        SendReady(side.State, 1);
    }
    t.Pump();
    ASSERT_TRUE(t.Server().View.StartEnabled);
    StartGames(t.Server().State, t.Server().View);
    t.Pump();
}

void ExpectSameGames(Tournament& t) {
    const GamesList& reference = t.Server().State.Games;
    for (Side* side : t.Sides()) {
        SCOPED_TRACE(testing::Message() << "participant " << side->State.OwnPlayerIndex);
        const GamesList& games = side->State.Games;
        ASSERT_EQ(games.size(), reference.size());
        for (size_t i = 0; i < games.size(); ++i) {
            EXPECT_EQ(games[i].PlayerIndex[0], reference[i].PlayerIndex[0]);
            EXPECT_EQ(games[i].PlayerIndex[1], reference[i].PlayerIndex[1]);
            EXPECT_EQ(games[i].State, reference[i].State);
            EXPECT_EQ(games[i].SideToMove, reference[i].SideToMove);
            EXPECT_EQ(games[i].History, reference[i].History);
            EXPECT_EQ(games[i].Result, reference[i].Result);
        }
    }
}

Game& GameOf(Side& side, int32_t white, int32_t black) {
    for (Game& game : side.State.Games) {
        if (game.PlayerIndex[0] == white && game.PlayerIndex[1] == black) {
            return game;
        }
    }
    ADD_FAILURE() << "no game " << white << " - " << black;
    static Game none;
    return none;
}

Game& PairGame(GamesList& games, int32_t i, int32_t j) {
    for (Game& game : games) {
        if (SideOf(game, i) >= 0 && SideOf(game, j) >= 0) {
            return game;
        }
    }
    ADD_FAILURE() << "no game between " << i << " and " << j;
    return games.front();
}

std::optional<Move> FindMove(const Game& game, int32_t fromX, int32_t fromY, int32_t toX,
                             int32_t toY, int32_t promotion) {
    for (Move move : game.Moves) {
        if (move.FromX == fromX && move.FromY == fromY && move.ToX == toX && move.ToY == toY) {
            if (move.Promotion == PromotionPending) {
                move.Promotion = promotion;
            }
            return move;
        }
    }
    return std::nullopt;
}

std::unique_ptr<RawPeer> RawPeer::ConnectTo(uint16_t port) {
    auto peer = std::make_unique<RawPeer>();
    peer->Connection = peer->Network.Connect("127.0.0.1", port);
    EXPECT_NE(peer->Connection, NoConnection);
    return peer;
}

std::unique_ptr<RawPeer> RawPeer::Listen() {
    auto peer = std::make_unique<RawPeer>();
    EXPECT_TRUE(peer->Network.Listen(0));
    return peer;
}

NetEvent RawPeer::Next() {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
        NetEvent event = Network.Poll();
        if (event.Kind == NetEventKind::NewConnection) {
            Connection = event.Connection;
        }
        if (event.Kind != NetEventKind::None) {
            return event;
        }
        std::this_thread::sleep_for(200us);
    }
    return {};
}

std::optional<Message> RawPeer::NextMessage() {
    NetEvent event = Next();
    if (event.Kind != NetEventKind::MessageArrived) {
        return std::nullopt;
    }
    return std::move(event.Received);
}

void RawPeer::Send(const Message& message) {
    Network.Send(Connection, EncodeFrame(message));
}

void RawPeer::SendRaw(Bytes bytes) {
    Network.Send(Connection, std::make_shared<const Bytes>(std::move(bytes)));
}

}  // namespace tavlora
