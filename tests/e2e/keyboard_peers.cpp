// SPDX-License-Identifier: GPL-3.0-or-later
// The peers of the keyboard run: headless participants that join the server on 127.0.0.1,
// declare themselves ready and, once the games have started, open each game in which they
// have White against the server's user with a move of their own, and otherwise wait. They
// end when every game against the server's user holds exactly the move the run expects of
// him (g1-f3 with White, g8-f6 with Black), every other game no move at all, and no game has
// ended: each of his moves reached the peer of its game and no other game, and no key of his
// resigned or offered anything.
//
// Usage: keyboard_peers COUNT SECONDS. Prints "joined" once all are ready, "opened" once
// their first moves are out, then "ok", or "FAIL: ..." with exit code 1.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bot/swarm.h"

namespace {

using namespace tavlora;

constexpr int32_t Host = 0;  // the server's own participant

// Whether move is the one the server's user is to type in game, by his colour in it: g1-f3
// with White, g8-f6 with Black.
bool IsExpected(const Game& game, const Move& move) {
    const int32_t rank = game.PlayerIndex[White] == Host ? 0 : 7;
    const int32_t toRank = game.PlayerIndex[White] == Host ? 2 : 5;
    return move.FromX == 6 && move.FromY == rank && move.ToX == 5 && move.ToY == toRank;
}

// Empty while the peer's games are as they should be at the end; else what is wrong.
std::string WhatIsWrong(const Bot& bot) {
    for (const Game& game : bot.Games()) {
        const std::string name = bot.Name() + "'s game " + std::to_string(game.PlayerIndex[White]) +
                                 "-" + std::to_string(game.PlayerIndex[Black]);
        if (!IsRunning(game)) {
            return name + " has ended (state " + std::to_string(game.State) + ")";
        }
        const bool withHost = SideOf(game, Host) >= 0;
        const size_t moves = !withHost ? 0 : game.PlayerIndex[White] == Host ? 1 : 2;
        if (game.History.size() != moves) {
            return name + " holds " + std::to_string(game.History.size()) + " moves, not " +
                   std::to_string(moves);
        }
        if (withHost && !IsExpected(game, game.History.back())) {
            return name + " holds another move of the server's user than expected";
        }
    }
    return "";
}

int Fail(const std::string& why) {
    std::printf("FAIL: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: keyboard_peers COUNT SECONDS\n", stderr);
        return 2;
    }
    SwarmOptions options;
    options.Count = std::atoi(argv[1]);
    options.NamePrefix = "Peer";
    options.Chances.DrawAccept = 0;
    const auto limit = std::chrono::seconds(std::atoi(argv[2]));
    const auto deadline = BotSwarm::Clock::now() + limit;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    BotSwarm swarm(options);
    std::string error;
    if (!swarm.Join(limit, error)) {
        return Fail(error);
    }
    std::printf("joined\n");
    if (!swarm.RunUntil([&swarm] { return swarm.Started() || swarm.GoneCount() > 0; },
                        deadline - BotSwarm::Clock::now()) ||
        swarm.GoneCount() > 0) {
        return Fail("the games did not start");
    }
    for (const auto& bot : swarm.Bots()) {
        for (Game& game : bot->Games()) {
            if (game.PlayerIndex[Black] == Host) {
                bot->PlayMove(game);
            }
        }
    }
    std::printf("opened\n");

    const auto allArrived = [&swarm] {
        for (const auto& bot : swarm.Bots()) {
            if (!WhatIsWrong(*bot).empty()) {
                return false;
            }
        }
        return true;
    };
    swarm.RunUntil([&] { return allArrived() || swarm.GoneCount() > 0; },
                   deadline - BotSwarm::Clock::now());
    // A little longer: a key that pressed a button or a move in a wrong game would come now.
    swarm.RunFor(std::chrono::milliseconds(500));
    if (swarm.GoneCount() > 0) {
        return Fail("a peer lost its connection");
    }
    for (const auto& bot : swarm.Bots()) {
        if (const std::string wrong = WhatIsWrong(*bot); !wrong.empty()) {
            return Fail(wrong);
        }
    }
    std::printf("ok\n");
    return 0;
}
