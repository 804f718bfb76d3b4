// SPDX-License-Identifier: GPL-3.0-or-later
// One short run of the LAN benchmark with a handful of bots: the program as server and as
// client with its scripted user, the joins, the start, the moves at two rates, the chat lines
// answered at once and the idle measurement, then the same bots through the floor's relay. It
// must get through every step and print its tables; the figures themselves are judged by the
// benchmark's reader, not here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace tavlora {
namespace {

// Exit code of lan_bench when it has no loopback of its own and the program's port is taken.
constexpr int NoLoopback = 77;

struct BenchRun {
    int Code = -1;
    std::string Output;
};

BenchRun RunBench(const std::string& options) {
    const std::string command = std::string(LAN_BENCH) + " --program " + LAN_PROGRAM + " --floor " +
                                LAN_FLOOR + " --root " + SOURCE_ROOT + " " + options + " 2>&1";
    BenchRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    for (size_t count; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.Output.append(buffer, count);
    }
    const int status = pclose(pipe);
    run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The lines of the output that begin with the given first word.
std::vector<std::vector<std::string>> Rows(const std::string& output, const std::string& first) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string word; words >> word;) {
            row.push_back(word);
        }
        if (!row.empty() && row.front() == first) {
            rows.push_back(row);
        }
    }
    return rows;
}

TEST(LanBenchTest, ShortRunGetsThroughEveryStepAndPrintsTheTable) {
    const BenchRun run =
        RunBench("--bots 3 --rates 20,60 --phase 1 --idle 1 --settle 0.5 --returns 2");
    if (run.Code == NoLoopback) {
        GTEST_SKIP() << run.Output;
    }
    ASSERT_EQ(run.Code, 0) << run.Output;
    EXPECT_NE(run.Output.find("5 participants (server, 1 client, 3 bots), 10 games"),
              std::string::npos)
        << run.Output;
    // One row per rate for the program and one for the floor, and every move reached every
    // other bot.
    for (const char* rate : {"20", "60"}) {
        const auto rows = Rows(run.Output, rate);
        ASSERT_EQ(rows.size(), 2u) << rate << "\n" << run.Output;
        for (const auto& row : rows) {
            ASSERT_GE(row.size(), 5u);
            EXPECT_EQ(row[4], "0") << "lost at " << rate << "\n" << run.Output;
        }
    }
    // Every chat line came back to its bot, answers included.
    for (const char* through : {"answered", "floor"}) {
        const auto answered = Rows(run.Output, through);
        ASSERT_EQ(answered.size(), 1u) << through << "\n" << run.Output;
        EXPECT_EQ(answered[0].back(), "0") << "lost lines\n" << run.Output;
    }
    EXPECT_EQ(Rows(run.Output, "server").size(), 1u) << run.Output;
    EXPECT_EQ(Rows(run.Output, "client").size(), 1u) << run.Output;
    // The client's connection was cut and it came back by itself, each time.
    EXPECT_EQ(Rows(run.Output, "returns").size(), 1u) << run.Output;
}

TEST(LanBenchTest, WrongOptionsShowTheUsage) {
    const BenchRun run = RunBench("--bots 127");
    EXPECT_EQ(run.Code, 2);
    EXPECT_NE(run.Output.find("usage: lan_bench"), std::string::npos) << run.Output;
}

}  // namespace
}  // namespace tavlora
