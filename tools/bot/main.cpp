// SPDX-License-Identifier: GPL-3.0-or-later
// tavlora-bot: joins a Tavlora server with any number of headless participants, which declare
// themselves ready, wait for the server's user to start the games, and then play random legal
// moves in their own games at the given rate for the given time.
#include <cstdio>
#include <string>
#include <string_view>

#include "bot/parse_number.h"
#include "bot/swarm.h"

namespace {

using namespace tavlora;
using Seconds = std::chrono::duration<double>;

constexpr int MostBots = 126;  // a server hosts at most 127 participants, its own user included

struct CommandLine {
    SwarmOptions Swarm;
    double Rate = 10;
    double Duration = 60;
};

int Usage() {
    std::fputs(
        "usage: tavlora-bot [options]\n"
        "  --server ADDRESS   dotted IPv4 address of the server (127.0.0.1)\n"
        "  --port N           TCP port (6156)\n"
        "  --count N          number of bots, 1 to 126 (1)\n"
        "  --name PREFIX      names are PREFIX1, PREFIX2, ... (Bot)\n"
        "  --rate R           actions per second over all bots together (10)\n"
        "  --draw P           chance per turn of offering a draw first (0)\n"
        "  --accept P         chance of accepting an opponent's offer (0.5)\n"
        "  --resign P         chance per turn of resigning instead of moving (0)\n"
        "  --duration S       seconds of play after the start; 0 until every game has ended (60)\n",
        stderr);
    return 2;
}

bool ParseChance(std::string_view text, double& value) {
    return ParseNumber(text, value) && value >= 0 && value <= 1;
}

bool Parse(int argc, char** argv, CommandLine& line) {
    for (int i = 1; i < argc; i += 2) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const std::string_view value = argv[i + 1];
        double number = 0;
        if (option == "--server") {
            line.Swarm.Address = value;
        } else if (option == "--name") {
            line.Swarm.NamePrefix = value;
        } else if (option == "--port") {
            if (!ParseNumber(value, number) || number < 1 || number > 65535) {
                return false;
            }
            line.Swarm.Port = static_cast<uint16_t>(number);
        } else if (option == "--count") {
            if (!ParseNumber(value, number) || number < 1 || number > MostBots) {
                return false;
            }
            line.Swarm.Count = static_cast<int>(number);
        } else if (option == "--rate") {
            if (!ParseNumber(value, line.Rate) || line.Rate < 0) {
                return false;
            }
        } else if (option == "--duration") {
            if (!ParseNumber(value, line.Duration) || line.Duration < 0) {
                return false;
            }
        } else if (option == "--draw") {
            if (!ParseChance(value, line.Swarm.Chances.DrawOffer)) {
                return false;
            }
        } else if (option == "--accept") {
            if (!ParseChance(value, line.Swarm.Chances.DrawAccept)) {
                return false;
            }
        } else if (option == "--resign") {
            if (!ParseChance(value, line.Swarm.Chances.Resign)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

int Run(const CommandLine& line) {
    BotSwarm swarm(line.Swarm);
    std::string error;
    if (!swarm.Join(std::chrono::seconds(30), error)) {
        std::fprintf(stderr, "tavlora-bot: %s\n", error.c_str());
        return 1;
    }
    std::printf("%d bots joined and ready; waiting for the start\n", line.Swarm.Count);
    std::fflush(stdout);
    const auto forever = std::chrono::hours(24 * 365);
    swarm.RunUntil([&swarm] { return swarm.Started() || swarm.GoneCount() > 0; }, forever);
    if (!swarm.Started()) {
        std::fprintf(stderr, "tavlora-bot: the connection ended before the start\n");
        return 1;
    }
    std::printf("games started\n");
    std::fflush(stdout);

    swarm.SetRate(line.Rate);
    const auto start = BotSwarm::Clock::now();
    if (line.Duration > 0) {
        swarm.RunFor(std::chrono::duration_cast<BotSwarm::Clock::duration>(Seconds(line.Duration)));
    } else {
        int games = 0;
        for (const auto& bot : swarm.Bots()) {
            games += static_cast<int>(bot->Games().size());
        }
        swarm.RunUntil([&] { return swarm.FinishedGames() == games || swarm.GoneCount() > 0; },
                       forever);
    }
    const double played = Seconds(BotSwarm::Clock::now() - start).count();
    std::printf(
        "%.1f s of play: %llu moves sent, %llu received, %llu draw offers, %llu resignations, "
        "%d games over, %d bots without connection\n",
        played, static_cast<unsigned long long>(swarm.MovesSent()),
        static_cast<unsigned long long>(swarm.MovesReceived()),
        static_cast<unsigned long long>(swarm.DrawOffers()),
        static_cast<unsigned long long>(swarm.Resignations()), swarm.FinishedGames(),
        swarm.GoneCount());
    return swarm.GoneCount() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (!Parse(argc, argv, line)) {
        return Usage();
    }
    return Run(line);
}
