// SPDX-License-Identifier: GPL-3.0-or-later
// What tournaments leave behind, with programs as the shell runs them (state, network over
// loopback, recording windows, the outcome from the start on): every game saved and read
// back by pgn-extract, a program that no one here wrote; the same standings on every program,
// opened by themselves at the end; a folder that cannot be written, as an ordinary user; and
// a program killed in the middle of the tournament.
#include "shell/tournament_outcome.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "gamewindow/game_window.h"
#include "net/play/tournament.h"
#include "net/senders.h"
#include "net/server.h"
#include "platform/recording_window_services.h"
#include "rules/pgn.h"

namespace tavlora {
namespace {

namespace fs = std::filesystem;

constexpr const char* FailurePrefix = "Partien konnten nicht gespeichert werden: ";

// The LongGame of the rules tests: both castlings, en passant, a promotion at the end.
constexpr const char* LongGame =
    "e2e4 g8f6 e4e5 d7d5 e5d6 d8d6 g1f3 c8g4 f1e2 b8c6 e1g1 e8c8 a2a4 e7e5 a4a5 e5e4 a5a6 e4f3 "
    "a6b7 c8d7 b7b8";
constexpr const char* FoolsMate = "f2f3 e7e5 g2g4 d8h4";
constexpr const char* Stalemate =
    "e2e3 a7a5 d1h5 a8a6 h5a5 h7h5 h2h4 a6h6 a5c7 f7f6 c7d7 e8f7 d7b7 d8d3 b7b8 d3h7 b8c8 f7g6 "
    "c8e6";

// A temporary folder, removed with everything in it.
struct TemporaryFolder {
    TemporaryFolder() {
        char pattern[] = "/tmp/tavlora-outcome-XXXXXX";
        Path = mkdtemp(pattern);
        chmod(Path.c_str(), 0755);  // an ordinary user must reach what lies inside
    }
    ~TemporaryFolder() { fs::remove_all(Path); }
    std::string Path;
};

// One program of the tournament as the shell runs it.
struct Program {
    Side* Participant = nullptr;
    std::string SettingsFolder;
    RecordingWindowServices Services;
    std::unique_ptr<TournamentOutcome> Outcome;
    bool Closed = false;

    ProgramState& State() { return Participant->State; }
    int StandingsWindow() const {
        for (const WindowRecord* window : Services.Windows()) {
            if (window->Title == "Tavlora - Tabelle") {
                return window->Id;
            }
        }
        return -1;
    }
    bool StandingsShown() const {
        const WindowRecord* window = Services.Window(StandingsWindow());
        return window && window->Visible;
    }
    const ControlRecord* List() const {
        for (const ControlRecord* control : Services.Controls(StandingsWindow())) {
            if (control->Kind == ControlKind::ListView) {
                return control;
            }
        }
        return nullptr;
    }
    // The texts of the standings window's lines.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const ControlRecord* control : Services.Controls(StandingsWindow())) {
            if (control->Kind == ControlKind::Text) {
                lines.push_back(control->Text);
            }
        }
        return lines;
    }
    std::string PgnFile() const {
        for (const auto& entry : fs::directory_iterator(SettingsFolder + "/Partien")) {
            return entry.path();
        }
        return "";
    }
};

// A server and its clients, each a program with a settings folder of its own below root,
// whose clocks all read one tick count that the test sets.
class OutcomeTournament {
public:
    OutcomeTournament(const std::string& root, const std::vector<std::string>& names,
                      int32_t timeByMove = 0)
        : tournament_(names.front(), static_cast<int32_t>(names.size()), 0, timeByMove) {
        Add(tournament_.Server(), root + "/0");
        for (size_t i = 1; i < names.size(); ++i) {
            Add(tournament_.Join(names[i]), root + "/" + std::to_string(i));
        }
    }

    // Every client ready, the server starts, and every program begins its outcome.
    void Start() {
        for (auto& program : programs_) {
            ProgramState& state = program->State();
            if (state.IsClient()) {
                state.Players[static_cast<size_t>(state.OwnPlayerIndex)].PlayerReady = 1;
                SendReady(state, 1);
            }
        }
        tournament_.Pump();
        ASSERT_TRUE(tournament_.Server().View.StartEnabled);
        StartGames(tournament_.Server().State, tournament_.Server().View);
        tournament_.Pump();
        for (auto& program : programs_) {
            Program& p = *program;
            p.Outcome = std::make_unique<TournamentOutcome>(p.Services, p.State(), p.SettingsFolder,
                                                            std::time(nullptr));
            p.State().GameEnded = [&p](const Game& game) { p.Outcome->GameEnded(game); };
        }
    }

    // Main-loop passes on every program still running until all is quiet: the pump runs each
    // program's play step, then the standings are brought up to date.
    void Pass() {
        for (int round = 0; round < 3; ++round) {
            tournament_.Pump();
            for (auto& program : programs_) {
                if (!program->Closed) {
                    program->Outcome->RefreshStandings();
                }
            }
        }
    }

    // The game of the pair, as the server has it.
    Game& PairGame(int32_t i, int32_t j) {
        for (Game& game : tournament_.Server().State.Games) {
            if (SideOf(game, i) >= 0 && SideOf(game, j) >= 0) {
                return game;
            }
        }
        ADD_FAILURE() << "no game between " << i << " and " << j;
        return tournament_.Server().State.Games.front();
    }

    // Plays the moves between the squares ("e2e4 e7e5") in the game of the pair.
    void Play(int32_t i, int32_t j, const char* moves, int32_t promotion = Queen) {
        const Game& game = PairGame(i, j);
        std::istringstream squares(moves);
        std::string move;
        while (squares >> move) {
            tournament_.Play(game.PlayerIndex[White], game.PlayerIndex[Black], move[0] - 'a',
                             move[1] - '1', move[2] - 'a', move[3] - '1', promotion);
        }
        Pass();
    }

    // Participant sends the command for its game against opponent.
    void Command(int32_t participant, int32_t opponent, GameCommand command) {
        const Game& reference = PairGame(participant, opponent);
        Side& side = tournament_.Participant(participant);
        SendGameCommand(side.State,
                        GameOf(side, reference.PlayerIndex[White], reference.PlayerIndex[Black]),
                        command);
        Pass();
    }

    // The program is closed: its running games are saved as its end does, and it leaves.
    void Close(int32_t participant) {
        Program& program = At(participant);
        program.Outcome->SaveUnfinishedGames();
        tournament_.Leave(*program.Participant);
        program.Closed = true;
        Pass();
    }

    void AdvanceClock(uint32_t milliseconds) { now_ += milliseconds; }

    Program& At(int32_t participant) { return *programs_[static_cast<size_t>(participant)]; }
    size_t Size() const { return programs_.size(); }

private:
    void Add(Side& side, const std::string& folder) {
        side.State.TickCount = [this] { return now_; };
        fs::create_directories(folder);
        auto& program = *programs_.emplace_back(std::make_unique<Program>());
        program.Participant = &side;
        program.SettingsFolder = folder;
    }

    Tournament tournament_;
    uint32_t now_ = 1000;
    std::vector<std::unique_ptr<Program>> programs_;
};

// PGN as this test reads it: the tags of each game and its movetext as tokens.
struct PgnGame {
    std::map<std::string, std::string> Tags;
    std::vector<std::string> Tokens;
};

std::vector<PgnGame> ReadPgn(const std::string& path) {
    std::vector<PgnGame> games;
    std::ifstream file(path);
    std::string line;
    bool inMovetext = false;
    while (std::getline(file, line)) {
        if (line.starts_with("[")) {
            if (inMovetext || games.empty()) {
                games.emplace_back();
                inMovetext = false;
            }
            const size_t blank = line.find(' ');
            std::string value = line.substr(blank + 2, line.size() - blank - 4);
            games.back().Tags[line.substr(1, blank - 1)] = value;
        } else if (!line.empty() && !games.empty()) {
            inMovetext = true;
            std::istringstream tokens(line);
            std::string token;
            while (tokens >> token) {
                games.back().Tokens.push_back(token);
            }
        }
    }
    return games;
}

std::string PgnExtract() {
    for (const char* path : {"/usr/games/pgn-extract", "/usr/bin/pgn-extract"}) {
        if (access(path, X_OK) == 0) {
            return path;
        }
    }
    return "";
}

// Has pgn-extract read every game of path and write it out again: nothing to complain about,
// every game there, with the same result and the very same moves in its own SAN. Answers
// the games as read.
std::vector<PgnGame> ReadBack(const std::string& path) {
    const std::string out = path + ".out";
    const std::string log = path + ".log";
    const std::string command =
        PgnExtract() + " -s -l '" + log + "' -o '" + out + "' '" + path + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream complaints(log);
    const std::string said((std::istreambuf_iterator<char>(complaints)), {});
    EXPECT_EQ(said, "") << "pgn-extract on " << path;
    const std::vector<PgnGame> ours = ReadPgn(path);
    const std::vector<PgnGame> theirs = ReadPgn(out);
    EXPECT_EQ(ours.size(), theirs.size()) << path;
    for (size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
        EXPECT_EQ(ours[i].Tags.at("Result"), theirs[i].Tags.at("Result"));
        EXPECT_EQ(ours[i].Tokens, theirs[i].Tokens) << "game " << i << " of " << path;
    }
    fs::remove(out);
    fs::remove(log);
    return ours;
}

// Runs body in a child process and answers whether it passed. As the ordinary user nobody
// when asked and this process is root, since root passes every permission check.
bool PassesInChild(bool ordinaryUser, const std::function<void()>& body) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        if (ordinaryUser && geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || setgroups(0, nullptr) != 0 ||
                setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) != 0 ||
                setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) != 0) {
                _exit(2);
            }
        }
        body();
        std::fflush(stdout);
        _exit(testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(StandingsWindow, ScoresShowTheirFractionsAsSigns) {
    EXPECT_EQ(ScoreText(0, 2), "0");
    EXPECT_EQ(ScoreText(1, 2), "½");
    EXPECT_EQ(ScoreText(7, 2), "3½");
    EXPECT_EQ(ScoreText(12, 2), "6");
    EXPECT_EQ(ScoreText(1, 4), "¼");
    EXPECT_EQ(ScoreText(3, 4), "¾");
    EXPECT_EQ(ScoreText(9, 4), "2¼");
    EXPECT_EQ(ScoreText(22, 4), "5½");
}

TEST(TournamentOutcome, EveryGameIsSavedAndEveryProgramShowsTheSameStandings) {
    if (PgnExtract().empty()) {
        GTEST_SKIP() << "pgn-extract is missing (scripts/install-deps installs it)";
    }
    TemporaryFolder root;
    OutcomeTournament t(root.Path, {"Sam", "Anna", "Bert", "Cleo", "Dora"}, 1);
    t.Start();
    t.Play(0, 1, FoolsMate);
    t.Play(0, 2, Stalemate);
    t.Play(0, 3, LongGame);
    t.Command(t.PairGame(0, 3).PlayerIndex[Black], t.PairGame(0, 3).PlayerIndex[White],
              GameCommand::Resign);
    t.Play(1, 2, "e2e4 e7e5");
    t.Command(1, 2, GameCommand::OfferDraw);
    t.Command(2, 1, GameCommand::AcceptDraw);
    t.Play(1, 3, LongGame, Knight);  // ends with b8=N+
    t.Command(t.PairGame(1, 3).PlayerIndex[Black], t.PairGame(1, 3).PlayerIndex[White],
              GameCommand::Resign);
    t.Play(0, 4, "d2d4");
    EXPECT_FALSE(t.At(0).StandingsShown()) << "opened before the end";
    t.Close(4);  // Dora leaves: her four games are lost
    // The last game: nobody has moved in it for a minute.
    t.AdvanceClock(62'000);
    t.Pass();

    const std::map<std::pair<int32_t, int32_t>, std::string> terminations = {
        {{0, 1}, "normal"},    {{0, 2}, "normal"},    {{0, 3}, "normal"},
        {{1, 2}, "normal"},    {{1, 3}, "normal"},    {{2, 3}, "time forfeit"},
        {{0, 4}, "abandoned"}, {{1, 4}, "abandoned"}, {{2, 4}, "abandoned"},
        {{3, 4}, "abandoned"}};
    const std::vector<std::string> names = {"Sam", "Anna", "Bert", "Cleo", "Dora"};
    const auto pairOf = [&names](const PgnGame& game) {
        const auto index = [&names](const std::string& name) {
            return static_cast<int32_t>(std::find(names.begin(), names.end(), name) -
                                        names.begin());
        };
        const int32_t white = index(game.Tags.at("White"));
        const int32_t black = index(game.Tags.at("Black"));
        return std::pair{std::min(white, black), std::max(white, black)};
    };

    const ControlRecord* reference = t.At(0).List();
    ASSERT_NE(reference, nullptr);
    for (int32_t participant = 0; participant < 4; ++participant) {
        SCOPED_TRACE(testing::Message() << "program of " << names[participant]);
        Program& program = t.At(participant);
        EXPECT_TRUE(program.StandingsShown()) << "not opened by itself at the end";
        EXPECT_EQ(program.Lines(), (std::vector<std::string>{"Turnier beendet", ""}));
        const ControlRecord* list = program.List();
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->Rows.size(), 5u);
        for (size_t row = 0; row < 5; ++row) {
            for (int column = 0; column < 8; ++column) {
                EXPECT_EQ(program.Services.CellText(list->Id, static_cast<int>(row), column),
                          t.At(0).Services.CellText(reference->Id, static_cast<int>(row), column));
            }
            const bool own =
                program.Services.CellText(list->Id, static_cast<int>(row), 1) == names[participant];
            EXPECT_EQ(program.Services.CellColour(list->Id, static_cast<int>(row), 7),
                      own ? 0x0000FF : DefaultColour);
        }
        // Dora lost everything, the last of them by leaving.
        EXPECT_EQ(program.Services.CellText(list->Id, 4, 1), "Dora (gegangen)");
        EXPECT_EQ(program.Services.CellText(list->Id, 4, 2), "0");
        EXPECT_EQ(program.Services.CellText(list->Id, 4, 3), "4");
        EXPECT_EQ(program.Services.CellText(list->Id, 4, 6), "4");

        const std::vector<PgnGame> games = ReadBack(program.PgnFile());
        ASSERT_EQ(games.size(), 10u);
        for (const PgnGame& game : games) {
            const auto [i, j] = pairOf(game);
            EXPECT_EQ(game.Tags.at("Event"), "Tavlora-Turnier");
            EXPECT_EQ(game.Tags.at("Result"), ResultToken(t.PairGame(i, j).Result));
            EXPECT_EQ(game.Tags.at("Termination"), terminations.at({i, j}));
            EXPECT_EQ(game.Tags.at("TimeControl"), "-");
        }
    }
    // Dora's program saved the games that had ended, and the rest as running.
    const std::vector<PgnGame> left = ReadBack(t.At(4).PgnFile());
    ASSERT_EQ(left.size(), 10u);
    for (const PgnGame& game : left) {
        const auto [i, j] = pairOf(game);
        EXPECT_EQ(game.Tags.at("Result") == "*", j == 4 || (i == 2 && j == 3)) << i << j;
    }

    // The folder button opens the folder of the games; the close box only hides the window.
    Program& server = t.At(0);
    const ControlRecord* button =
        server.Services.FindControlByText("Partien-Ordner öffnen", server.StandingsWindow());
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(server.Services.Click(button->Id));
    server.Services.PressCloseBox(server.StandingsWindow());
    for (Event event = server.Services.WaitEvent(0); event.Kind != EventKind::None;
         event = server.Services.WaitEvent(0)) {
        EXPECT_TRUE(server.Outcome->HandleEvent(event));
    }
    EXPECT_EQ(server.Services.OpenedFolders(),
              std::vector<std::string>{server.SettingsFolder + "/Partien"});
    EXPECT_FALSE(server.StandingsShown());
    server.Outcome->ShowStandings();
    EXPECT_TRUE(server.StandingsShown());
}

// Rolf resigns against Sven, then Sven leaves: his running games become his losses, while the
// game he had won stays won, alike in a Game window opened before his departure and in one
// opened after it, in the games list, the standings and the saved games of every program.
TEST(TournamentOutcome, AGameThatHadEndedStaysAsItEndedWhenAPlayerOfItLeaves) {
    TemporaryFolder root;
    OutcomeTournament t(root.Path, {"Max", "Rolf", "Sven", "Cleo"});
    t.Start();
    t.Play(1, 2, "e2e4 e7e5");
    t.Command(1, 2, GameCommand::Resign);
    const Game ended = t.PairGame(1, 2);
    ASSERT_EQ(ended.State, Resigned);
    ASSERT_EQ(ended.PlayerIndex[ended.SideToMove], 1);

    // Cleo watches that game: one window opened before Sven leaves, one after.
    const auto endText = [](RecordingWindowServices& services, GameWindow& window, Game& game) {
        window.OpenGameView(game);
        window.ShowChanges();
        return services.Text(window.FindView(game)->StatusLine);
    };
    Program& cleo = t.At(3);
    Game& watched = GameOf(*cleo.Participant, ended.PlayerIndex[White], ended.PlayerIndex[Black]);
    RecordingWindowServices beforeServices;
    RecordingWindowServices afterServices;
    GameWindow before(beforeServices, cleo.State(), DefaultFont, DefaultFont);
    GameWindow after(afterServices, cleo.State(), DefaultFont, DefaultFont);
    EXPECT_EQ(endText(beforeServices, before, watched), "Rolf hat aufgegeben");

    t.Close(2);
    EXPECT_EQ(endText(beforeServices, before, watched), "Rolf hat aufgegeben");
    EXPECT_EQ(endText(afterServices, after, watched), "Rolf hat aufgegeben");
    for (int32_t participant : {0, 1, 3}) {
        SCOPED_TRACE(testing::Message() << "program of participant " << participant);
        Program& program = t.At(participant);
        for (const Game& game : program.State().Games) {
            const int32_t sven = SideOf(game, 2);
            if (game.PlayerIndex[White] == ended.PlayerIndex[White] &&
                game.PlayerIndex[Black] == ended.PlayerIndex[Black]) {
                EXPECT_EQ(game.State, ended.State);
                EXPECT_EQ(game.SideToMove, ended.SideToMove);
                EXPECT_EQ(game.Result, sven);
            } else if (sven >= 0) {
                EXPECT_EQ(game.State, Resigned);
                EXPECT_EQ(game.SideToMove, sven);
                EXPECT_EQ(game.Result, 1 - sven);
            }
        }
        program.Outcome->ShowStandings();
        const ControlRecord* list = program.List();
        ASSERT_NE(list, nullptr);
        for (int row = 0; row < 4; ++row) {
            if (program.Services.CellText(list->Id, row, 1) == "Sven (gegangen)") {
                EXPECT_EQ(program.Services.CellText(list->Id, row, 2), "1");
            }
        }
        const std::vector<PgnGame> games = ReadPgn(program.PgnFile());
        ASSERT_EQ(games.size(), 3u);  // Rolf's resignation, then Sven's two running games
        EXPECT_EQ(games[0].Tags.at("Termination"), "normal");
        EXPECT_EQ(games[0].Tags.at("Result"), ResultToken(ended.Result));
    }
}

// Play goes on where the games cannot be saved; the standings window says so, and where.
TEST(TournamentOutcome, UnwritableFolderLeavesPlayUndisturbedAndSaysSo) {
    TemporaryFolder root;
    // The server's folder of games is there but closed to writing; the clients' are theirs.
    const std::string closed = root.Path + "/0/Partien";
    fs::create_directories(closed);
    chmod(closed.c_str(), 0555);
    for (const char* client : {"/1", "/2"}) {
        fs::create_directories(root.Path + client);
        if (const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr) {
            ASSERT_EQ(chown((root.Path + client).c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
    }
    EXPECT_TRUE(PassesInChild(true, [&root, &closed] {
        OutcomeTournament t(root.Path, {"Sam", "Anna", "Bert"});
        t.Start();
        t.At(0).Outcome->ShowStandings();
        t.Play(0, 1, FoolsMate);
        t.Play(1, 2, "e2e4");

        const Game& game = t.PairGame(0, 1);
        EXPECT_EQ(game.State, Checkmate);
        EXPECT_EQ(game.Result, Black);
        EXPECT_EQ(t.PairGame(1, 2).History.size(), 1u);
        const std::vector<std::string> lines = t.At(0).Lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "1 von 3 Partien beendet");
        EXPECT_TRUE(lines[1].starts_with(FailurePrefix + closed + "/Tavlora-")) << lines[1];
        EXPECT_TRUE(lines[1].ends_with(".pgn")) << lines[1];
        EXPECT_EQ(t.At(0).List()->Rows.size(), 3u);
        for (int32_t client : {1, 2}) {
            t.At(client).Outcome->ShowStandings();
            EXPECT_EQ(t.At(client).Lines()[1], "");
            EXPECT_EQ(ReadPgn(t.At(client).PgnFile()).size(), 1u);
        }
    })) << "see the child's output above";
}

// Killed while games end one after the other, every program leaves whole games only: each
// program's file holds exactly the games it had saved when the kill came, the kill coming
// between one program's save and the next one's, in the middle of the tournament.
TEST(TournamentOutcome, KilledMidTournamentLeavesOnlyWholeGames) {
    if (PgnExtract().empty()) {
        GTEST_SKIP() << "pgn-extract is missing (scripts/install-deps installs it)";
    }
    TemporaryFolder root;
    const std::vector<std::string> names = {"Sam", "Anna", "Bert", "Cleo", "Dora", "Emil"};
    // Six games saved by all six programs, then the seventh by some of them.
    constexpr int SavesBeforeTheKill = 6 * 6 + 4;
    int saved[2];  // the child names each program that has saved a game
    int go[2];     // and waits for the word to go on
    ASSERT_EQ(pipe(saved), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(saved[0]);
        close(go[1]);
        OutcomeTournament t(root.Path, names);
        t.Start();
        for (int32_t i = 0; i < static_cast<int32_t>(names.size()); ++i) {
            ProgramState& state = t.At(i).State();
            state.GameEnded = [save = state.GameEnded, i, &saved, &go](const Game& game) {
                save(game);
                const char mark = static_cast<char>(i);
                char word = 0;
                if (write(saved[1], &mark, 1) != 1 || read(go[0], &word, 1) != 1) {
                    _exit(3);
                }
            };
        }
        // Game after game ends by resignation, until the kill.
        for (int32_t i = 0; i < 6; ++i) {
            for (int32_t j = i + 1; j < 6; ++j) {
                t.Play(i, j, "e2e4 e7e5 g1f3");
                t.Command(i, j, GameCommand::Resign);
            }
        }
        _exit(4);  // the tournament ended before the kill
    }
    close(saved[1]);
    close(go[0]);
    std::vector<size_t> expected(names.size(), 0);
    for (int saves = 0; saves < SavesBeforeTheKill; ++saves) {
        char mark = 0;
        ASSERT_EQ(read(saved[0], &mark, 1), 1) << "the child ended after " << saves << " saves";
        ASSERT_LT(static_cast<size_t>(mark), names.size());
        ++expected[static_cast<size_t>(mark)];
        if (saves + 1 < SavesBeforeTheKill && write(go[1], "x", 1) != 1) {
            FAIL() << "the child does not listen";
        }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(saved[0]);
    close(go[1]);

    size_t total = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string folder = root.Path + "/" + std::to_string(i) + "/Partien";
        ASSERT_TRUE(fs::exists(folder));
        const std::vector<PgnGame> games = ReadBack(fs::directory_iterator(folder)->path());
        EXPECT_EQ(games.size(), expected[i]) << folder;
        EXPECT_TRUE(expected[i] == 6 || expected[i] == 7) << folder;
        total += games.size();
    }
    EXPECT_EQ(total, static_cast<size_t>(SavesBeforeTheKill));
}

}  // namespace
}  // namespace tavlora
