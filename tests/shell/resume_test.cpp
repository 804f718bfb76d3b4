// SPDX-License-Identifier: GPL-3.0-or-later
// What a client keeps to return to its tournament after a restart: the resume file (written
// for its user alone, read back whole, refused when any field is off), the question at the
// start, and the file of saved games gone on with, each game in it once.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "net/game_play.h"
#include "platform/files.h"
#include "platform/recording_window_services.h"
#include "shell/resume_file.h"
#include "shell/resume_question.h"
#include "shell/tournament_outcome.h"

namespace tavlora {
namespace {

namespace fs = std::filesystem;

struct TemporaryFolder {
    TemporaryFolder() {
        char pattern[] = "/tmp/tavlora-resume-XXXXXX";
        Path = mkdtemp(pattern);
    }
    ~TemporaryFolder() { fs::remove_all(Path); }
    std::string Path;
};

const ResumeTicket Ticket{-939524086,
                          3,
                          {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB,
                           0xCC, 0xDD, 0xEE, 0xFF},
                          120,
                          "/home/anna/.config/Zendrik/Tavlora/Partien/Tavlora-2024.pgn"};

TEST(ResumeFile, IsWrittenForItsUserAloneAndReadBackWhole) {
    TemporaryFolder folder;
    const SettingsEnvironment environment{folder.Path, "rechner"};
    EXPECT_FALSE(ReadResumeFile(environment));
    ASSERT_TRUE(WriteResumeFile(environment, Ticket));
    struct stat status {};
    ASSERT_EQ(stat(ResumeFilePath(environment).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(ResumeFilePath(environment), folder.Path + "/Zendrik/Tavlora/Turnier.ini");
    EXPECT_EQ(ReadResumeFile(environment), Ticket);
    RemoveResumeFile(environment);
    EXPECT_FALSE(ReadResumeFile(environment));
}

TEST(ResumeFile, AnyFieldMissingOrOffRefusesTheWholeFile) {
    const std::string good = FormatResumeTicket(Ticket);
    ASSERT_EQ(ParseResumeTicket(good), Ticket);
    const auto with = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    for (const std::string& text : {
             std::string(),
             with("Participant = 3", "Participant = 0"),  // the host is never a client
             with("Participant = 3", "Participant = 127"),
             with("Participant = 3", "Participant = 3x"),
             with("RejoinSeconds = 120", "RejoinSeconds = 0"),
             with("RejoinSeconds = 120", "RejoinSeconds = 601"),
             with("00112233", "0011223"),
             with("00112233", "0011223g"),
             with("ServerIP = ", "ServerAddress = "),
             with("GamesFile = ", "Games = "),
         }) {
        EXPECT_FALSE(ParseResumeTicket(text)) << text;
    }
}

TEST(ResumeQuestion, NamesTheTournamentsAddressAndAnswersYesByDefault) {
    RecordingWindowServices services;
    services.Answers = {false};
    EXPECT_FALSE(AskToContinueTournament(services, "10.0.0.200"));
    EXPECT_TRUE(AskToContinueTournament(services, "10.0.0.200"));
    ASSERT_EQ(services.Questions().size(), 2u);
    EXPECT_EQ(services.Questions()[0].Title, "Tavlora - Turnier fortsetzen");
    EXPECT_EQ(services.Questions()[0].Text, "Das Turnier auf 10.0.0.200 läuft noch. Fortsetzen?");
}

// A client with three participants and their three games, as the start left them.
struct ClientProgram {
    ClientProgram() {
        state.Role = PlayRole::Client;
        state.MaxPlayer = 3;
        state.PlayerCount = 3;
        state.OwnPlayerIndex = 1;
        state.Players.resize(4);
        state.Players[0].PlayerName = "Max \"der Wirt\"";  // a tag escapes its quotes
        state.Players[1].PlayerName = "Anna";
        state.Players[2].PlayerName = "Jürgen";
        BeginGames(state, view, std::vector<int32_t>{0, 1, 0});
    }
    // The game ends by resignation of the side to move, and is told to the outcome.
    void Resign(size_t game, TournamentOutcome& outcome) {
        Game& record = state.Games[game];
        record.State = Resigned;
        record.Result = 1 - record.SideToMove;
        outcome.GameEnded(record);
    }
    struct : NetView {
        void ShowNetworkError(const std::string&) override {}
    } view;
    RecordingWindowServices services;
    ProgramState state;
};

TEST(ResumeFile, TheGamesFileGoesOnWithEveryGameInItOnce) {
    TemporaryFolder folder;
    std::string path;
    {
        ClientProgram before;
        TournamentOutcome outcome(before.services, before.state, folder.Path, 0);
        before.Resign(0, outcome);
        path = outcome.ArchivePath();
    }  // crashed: the running games were not saved

    ClientProgram again;
    TournamentOutcome outcome(again.services, again.state, folder.Path, 0, path);
    EXPECT_EQ(outcome.ArchivePath(), path);
    again.Resign(0, outcome);  // as the server's state brings it back
    again.Resign(2, outcome);
    outcome.GameEnded(again.state.Games[2]);  // an end undone and reached again
    EXPECT_FALSE(outcome.AllEnded());
    again.Resign(1, outcome);
    EXPECT_TRUE(outcome.AllEnded());

    const std::vector<PgnPlayers> saved = FinishedPgnGames(*ReadWholeFile(path, 1 << 20));
    const std::string host = PgnTagValue("Max \"der Wirt\"");
    EXPECT_EQ(saved, (std::vector<PgnPlayers>{
                         {host, "Anna"}, {"Anna", "J\xFCrgen"}, {"J\xFCrgen", host}}));
}

}  // namespace
}  // namespace tavlora
