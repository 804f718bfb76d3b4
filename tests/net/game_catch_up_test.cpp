// SPDX-License-Identifier: GPL-3.0-or-later
// A returning program's copy of one game brought up to the server's, without sockets: moves
// added, a copy gone another way rebuilt, one that a relayed end reached before its state, and a
// game longer than one message allows.
#include "net/game_catch_up.h"

#include <gtest/gtest.h>

#include "net/game_play.h"
#include "rules/execute.h"

namespace tavlora {
namespace {

struct Copies : NetView {
    void ShowNetworkError(const std::string&) override {}
    void GameReplaced(Game& game) override { Replaced.push_back(&game); }
    std::vector<const Game*> Replaced;
};

// The server's game (0, 1) and a client's copy of it, both after the moves given.
class CatchUp : public testing::Test {
protected:
    void SetUp() override {
        for (ProgramState* state : {&server, &client}) {
            state->MaxPlayer = 2;
            state->PlayerCount = 2;
            state->Players.resize(3);
            BeginGames(*state, view, std::vector<int32_t>{0});
        }
        client.OwnPlayerIndex = 1;
    }
    static void Play(ProgramState& state, std::initializer_list<Move> moves) {
        for (const Move& move : moves) {
            ExecuteMove(state.Games.front(), move, state);
        }
    }
    // What the server sends for the client's copy, taken in.
    void Take() {
        const HeldGame held = HeldGames(client).front();
        for (const MsgGameState& m :
             GameStateMessages(server, *server.KeyedGames.Find(0, 1), &held)) {
            EXPECT_TRUE(TakeGameState(client, view, m));
        }
    }
    const Game& Server() const { return server.Games.front(); }
    const Game& Client() const { return client.Games.front(); }

    ProgramState server;
    ProgramState client;
    Copies view;
    const Move e4{4, 1, 4, 3, Quiet, NoPromotion, Pawn};
    const Move e5{4, 6, 4, 4, Quiet, NoPromotion, Pawn};
    const Move d4{3, 1, 3, 3, Quiet, NoPromotion, Pawn};
    const Move nf3{6, 0, 5, 2, Quiet, NoPromotion, Knight};
};

TEST_F(CatchUp, MissingMovesAreAddedAndADivergedCopyIsRebuilt) {
    Play(server, {e4, e5, nf3});
    Play(client, {e4});
    Take();
    EXPECT_EQ(Client().History, Server().History);
    EXPECT_TRUE(view.Replaced.empty());

    // A move of its own the server never got: the copy goes the server's way again.
    Play(client, {Move{1, 7, 2, 5, Quiet, NoPromotion, Knight}});
    Play(server, {Move{1, 7, 0, 5, Quiet, NoPromotion, Knight}});
    Take();
    EXPECT_EQ(Client().History, Server().History);
    EXPECT_EQ(view.Replaced.size(), 1u);
}

TEST_F(CatchUp, AnEndRelayedBeforeTheStateLeavesNoMoveOut) {
    Play(server, {d4, e5});
    Play(client, {d4});
    const HeldGame held = HeldGames(client).front();
    Resign(server, server.Games.front(), White);
    Resign(client, client.Games.front(), White);  // the relay came first, on a copy one move behind
    for (const MsgGameState& m : GameStateMessages(server, *server.KeyedGames.Find(0, 1), &held)) {
        EXPECT_TRUE(TakeGameState(client, view, m));
    }
    EXPECT_EQ(Client().History, Server().History);
    EXPECT_EQ(Client().State, Resigned);
    EXPECT_EQ(Client().SideToMove, White);
}

TEST_F(CatchUp, ALongGameComesInSeveralMessages) {
    Game& game = server.Games.front();
    game.History.assign(MostMovesPerState + 5, e4);  // only its length matters here
    const std::vector<MsgGameState> messages =
        GameStateMessages(server, *server.KeyedGames.Find(0, 1), nullptr);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].FirstPly, static_cast<int32_t>(MostMovesPerState));
    EXPECT_EQ(messages[1].Moves.size(), 5u);
    for (const MsgGameState& m : messages) {
        EXPECT_EQ(m.PlyCount, static_cast<int32_t>(MostMovesPerState + 5));
        EXPECT_LE(EncodeBody(m).size(), static_cast<size_t>(MaxBodyLength));
    }
}

}  // namespace
}  // namespace tavlora
