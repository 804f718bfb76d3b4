// SPDX-License-Identifier: GPL-3.0-or-later
// The bots against the program's own server, run on a thread of its own over loopback: they
// join, get ready, play moves (promotions included), draw offers and resignations as their
// chances say, and end up with the same games as the referee; a bot that cannot join says
// why.
#include <gtest/gtest.h>

#include <chrono>

#include "bot/server_thread.h"
#include "bot/swarm.h"

namespace tavlora {
namespace {

using namespace std::chrono_literals;

SwarmOptions Bots(uint16_t port, int count, BotChances chances = {}) {
    SwarmOptions options;
    options.Port = port;
    options.Count = count;
    options.Chances = chances;
    return options;
}

TEST(BotTest, BotsPlayTheirGamesInStepWithTheReferee) {
    constexpr int BotCount = 4;
    ServerThread server("Wirt", BotCount + 1, 10, 5);
    BotSwarm swarm(
        Bots(server.Port(), BotCount, {.DrawOffer = 0.04, .DrawAccept = 0.5, .Resign = 0.01}));
    std::string error;
    ASSERT_TRUE(swarm.Join(10s, error)) << error;
    server.StartWith(BotCount + 1);
    ASSERT_TRUE(swarm.RunUntil([&] { return swarm.Started(); }, 10s));

    swarm.SetRate(400);
    swarm.RunUntil([&] { return swarm.MovesSent() >= 300; }, 3s);
    swarm.SetRate(0);
    // Served until nothing more arrives: then nothing is on its way any more.
    for (uint64_t received = ~uint64_t{0}; received != swarm.MovesReceived();) {
        received = swarm.MovesReceived();
        swarm.RunFor(300ms);
    }
    const ProgramState& referee = server.Stop();

    // Every move the referee took reaches every other bot. A move that crossed the opponent's
    // acceptance of a draw on its way was refused and reaches nobody, so the referee's count
    // may fall a little short of what the bots sent, never above it.
    uint64_t taken = 0;
    for (const Game& game : referee.Games) {
        taken += game.History.size();
    }
    EXPECT_GT(taken, 0u);
    EXPECT_LE(taken, swarm.MovesSent());
    EXPECT_EQ(swarm.MovesReceived(), taken * (BotCount - 1));
    EXPECT_EQ(swarm.GoneCount(), 0);
    int compared = 0;
    for (const auto& bot : swarm.Bots()) {
        // Its own games: one with each other participant, the server's user included.
        EXPECT_EQ(bot->Games().size(), static_cast<size_t>(BotCount));
        for (const Game& game : bot->Games()) {
            const Game* own = nullptr;
            for (const Game& candidate : referee.Games) {
                if (candidate.PlayerIndex[White] == game.PlayerIndex[White] &&
                    candidate.PlayerIndex[Black] == game.PlayerIndex[Black]) {
                    own = &candidate;
                }
            }
            ASSERT_NE(own, nullptr);
            ++compared;
            // A move that crosses the opponent's acceptance on the way is played on the
            // mover's board but refused by the referee, as with any client of the program.
            if (own->State == DrawAgreed || game.State == DrawAgreed) {
                continue;
            }
            EXPECT_EQ(own->History, game.History);
            EXPECT_EQ(own->State, game.State);
            EXPECT_EQ(own->SideToMove, game.SideToMove);
        }
    }
    EXPECT_EQ(compared, BotCount * BotCount);
}

TEST(BotTest, ABotThatCannotJoinSaysWhy) {
    ServerThread server("Wirt", 2, 0, 0);  // room for one client
    BotSwarm swarm(Bots(server.Port(), 2));
    std::string error;
    EXPECT_FALSE(swarm.Join(10s, error));
    EXPECT_NE(error.find("Bot2"), std::string::npos) << error;
    EXPECT_NE(error.find("Server ist voll."), std::string::npos) << error;
}

TEST(BotTest, ABotWhoseNameIsTakenSaysWhy) {
    ServerThread server("Wirt", 3, 0, 0);
    SwarmOptions options = Bots(server.Port(), 1);
    options.NamePrefix = "Wirt";  // "Wirt1" is free: the server's user is "Wirt"
    BotSwarm first(options);
    std::string error;
    ASSERT_TRUE(first.Join(10s, error)) << error;
    BotSwarm second(options);
    EXPECT_FALSE(second.Join(10s, error));
    EXPECT_NE(error.find("Name existiert bereits."), std::string::npos) << error;
}

}  // namespace
}  // namespace tavlora
