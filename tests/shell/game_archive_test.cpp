// SPDX-License-Identifier: GPL-3.0-or-later
// The file of saved games: its name from the local time play began, a second program starting
// in the same second, and a write that fails half-way (the file size limit stands in for a
// full disk), which must leave the games before it whole.
#include "shell/game_archive.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tavlora {
namespace {

namespace fs = std::filesystem;

struct ArchiveTest : testing::Test {
    ArchiveTest() {
        char pattern[] = "/tmp/tavlora-archive-XXXXXX";
        folder = mkdtemp(pattern);
        start.tm_year = 2024 - 1900;
        start.tm_mon = 2;
        start.tm_mday = 9;
        start.tm_hour = 7;
        start.tm_min = 5;
        start.tm_sec = 3;
    }
    ~ArchiveTest() override { fs::remove_all(folder); }

    static std::string Read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

    std::string folder;
    std::tm start{};
};

TEST_F(ArchiveTest, NamedByTheStartAndNeverSharedWithAnotherProgram) {
    GameArchive first(folder, start);
    GameArchive second(folder, start);
    EXPECT_EQ(first.Folder(), folder + "/Partien");
    EXPECT_EQ(first.Path(), folder + "/Partien/Tavlora-2024-03-09-070503.pgn");
    EXPECT_EQ(second.Path(), folder + "/Partien/Tavlora-2024-03-09-070503-2.pgn");
    EXPECT_TRUE(first.Append("one\n"));
    EXPECT_TRUE(second.Append("two\n"));
    EXPECT_TRUE(first.Append("three\n"));
    EXPECT_EQ(Read(first.Path()), "one\nthree\n");
    EXPECT_EQ(Read(second.Path()), "two\n");
    EXPECT_FALSE(first.Failed());

    GameArchive nowhere("", start);
    EXPECT_TRUE(nowhere.Failed());
    EXPECT_FALSE(nowhere.Append("lost\n"));
}

TEST_F(ArchiveTest, FailedWriteTakesBackItsPartAndLaterGamesStillFollowWhole) {
    const std::string game(600, 'g');
    const pid_t child = fork();
    if (child == 0) {
        // Past the limit a write stops where the limit is, then fails.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        GameArchive archive(folder, start);
        const bool wrote = archive.Append(game);
        const bool overflowed = !archive.Append(game);
        const bool small = archive.Append("x\n");
        _exit(wrote && overflowed && small && archive.Failed() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(folder + "/Partien/Tavlora-2024-03-09-070503.pgn"), game + "x\n");
}

}  // namespace
}  // namespace tavlora
