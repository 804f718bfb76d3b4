// SPDX-License-Identifier: GPL-3.0-or-later
// The host's journal of a tournament played over loopback: whatever the server has applied
// and relayed (moves of its own and of clients, offers each way, an acceptance, resignations,
// a departure, time-outs declared by their programs, by the referee and by the host) is in
// the journal, and its replay is the server's state again, clocks and all. A journal that is
// continued after a resume reads as one with a torn end cut off.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "net/game_tick.h"
#include "net/journal_replay.h"
#include "net/senders.h"
#include "net/server.h"
#include "net/tournament_journal.h"
#include "platform/files.h"
#include "rules/clock.h"
#include "tournament.h"

namespace tavlora {
namespace {

namespace fs = std::filesystem;

// Five programs on one clock that the test moves: the host Wirt (0) keeping a journal, Anna
// (1), Bert (2), Cleo (3) and Dora (4); a game clock of one minute, no move clock.
class JournalPlay : public testing::Test {
protected:
    ~JournalPlay() override { fs::remove_all(folder); }

    void SetUp() override {
        t.Server().State.TickCount = Clock();
        t.Server().State.Recorder = &journal;
        for (const char* name : {"Anna", "Bert", "Cleo", "Dora"}) {
            Side& side = t.Join(name);
            side.State.TickCount = Clock();
            side.State.Players[static_cast<size_t>(side.State.OwnPlayerIndex)].PlayerReady = 1;
            SendReady(side.State, 1);
        }
        t.Pump();
        StartGames(t.Server().State, t.Server().View);
        t.Pump();
    }

    TickSource Clock() {
        return [this] { return now; };
    }

    // Time passes for every program; each takes it in its next pass.
    void Pass(uint32_t milliseconds) {
        now += milliseconds;
        t.Pump();
    }

    // A game command of participant p in its game with q, as its Game window sends it.
    void Command(int32_t p, int32_t q, GameCommand command) {
        Side& side = t.Participant(p);
        SendGameCommand(side.State, PairGame(side, p, q), command);
        t.Pump();
    }

    // The first legal move of the side to move in the pair's game.
    void AnyMove(int32_t p, int32_t q) {
        const Game& game = PairGame(t.Server(), p, q);
        const Move move = game.Moves.front();
        t.Play(game.PlayerIndex[White], game.PlayerIndex[Black], move.FromX, move.FromY, move.ToX,
               move.ToY);
    }

    // The journal as it is on the disk now, replayed, its clocks counted to its last record
    // (the time of now) and its ends given their results by a pass of the game tick.
    void ExpectReplayEqualsServer() {
        writing->Keep();
        const std::optional<std::string> bytes = ReadWholeFile(path, size_t{1} << 24);
        ASSERT_TRUE(bytes);
        const JournalContents contents =
            ReadJournal(std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()));
        ASSERT_EQ(contents.End, JournalEnd::Whole);
        ProgramState replayed;
        const std::optional<JournalReplay> replay = ReplayJournal(contents.Records, replayed);
        ASSERT_TRUE(replay);
        EXPECT_EQ(replay->LastAt, now);
        ResumeClocks(replayed, replay->LastAt, now);
        replayed.TickCount = Clock();
        RunGameTick(replayed);

        const ProgramState& server = t.Server().State;
        EXPECT_EQ(replayed.PlayerCount, server.PlayerCount);
        EXPECT_EQ(replayed.MaxPlayer, server.MaxPlayer);
        EXPECT_EQ(replayed.TimeByPlayer, server.TimeByPlayer);
        EXPECT_EQ(replayed.TimeByMove, server.TimeByMove);
        EXPECT_EQ(replayed.PlayPhase, GamesStartedPhase);
        for (size_t i = 0; i < static_cast<size_t>(server.PlayerCount); ++i) {
            const Player& a = replayed.Players[i];
            const Player& b = server.Players[i];
            EXPECT_EQ(a.PlayerName, b.PlayerName);
            EXPECT_EQ(a.Left, b.Left) << b.PlayerName;
            EXPECT_EQ(a.Away, b.Away) << b.PlayerName;
            EXPECT_EQ(a.Secret, b.Secret) << b.PlayerName;
        }
        ASSERT_EQ(replayed.Games.size(), server.Games.size());
        for (size_t g = 0; g < server.Games.size(); ++g) {
            const Game& a = replayed.Games[g];
            const Game& b = server.Games[g];
            SCOPED_TRACE(testing::Message()
                         << "game " << b.PlayerIndex[0] << "-" << b.PlayerIndex[1]);
            EXPECT_EQ(0, std::memcmp(a.Board, b.Board, sizeof a.Board));
            EXPECT_EQ(a.PlayerIndex[White], b.PlayerIndex[White]);
            EXPECT_EQ(a.PlayerIndex[Black], b.PlayerIndex[Black]);
            EXPECT_EQ(a.State, b.State);
            EXPECT_EQ(a.SideToMove, b.SideToMove);
            EXPECT_EQ(a.EnPassantFile, b.EnPassantFile);
            EXPECT_EQ(a.Result, b.Result);
            EXPECT_EQ(a.History, b.History);
            EXPECT_EQ(a.Moves, b.Moves);
            for (int32_t c : {White, Black}) {
                EXPECT_EQ(a.PlayerTimeLeft[c], b.PlayerTimeLeft[c]) << "colour " << c;
                EXPECT_EQ(a.MoveTimeLeft[c], b.MoveTimeLeft[c]) << "colour " << c;
            }
            if (IsRunning(b)) {
                // Only the turn under way has a clock that runs.
                EXPECT_EQ(a.PlayerClockStamp[b.SideToMove], b.PlayerClockStamp[b.SideToMove]);
                const KeyedGame* offersA = replayed.KeyedGames.Find(a);
                const KeyedGame* offersB = t.Server().State.KeyedGames.Find(b);
                EXPECT_EQ(offersA->DrawOffered[White], offersB->DrawOffered[White]);
                EXPECT_EQ(offersA->DrawOffered[Black], offersB->DrawOffered[Black]);
            }
        }
    }

    static std::string MakeFolder() {
        char pattern[] = "/tmp/tavlora-journal-XXXXXX";
        return mkdtemp(pattern);
    }

    std::string folder = MakeFolder();
    std::string path = folder + "/Turnier.journal";
    uint32_t now = 5000;
    Tournament t{"Wirt", 8, 1, 0};
    TournamentJournal journal{path, [this] { return now; }};
    TournamentJournal* writing = &journal;  // the journal of the program that runs now
};

TEST_F(JournalPlay, ItsReplayIsTheServerAgain) {
    AnyMove(1, 2);  // moves by clients and by the host, time passing between them
    Pass(4300);
    AnyMove(1, 2);
    AnyMove(0, 3);
    Pass(2700);
    AnyMove(0, 3);
    AnyMove(0, 1);
    Command(1, 3, GameCommand::OfferDraw);  // client to client, standing
    Command(2, 0, GameCommand::OfferDraw);  // to the host, standing
    Command(0, 4, GameCommand::OfferDraw);  // from the host, accepted
    Command(4, 0, GameCommand::AcceptDraw);
    Command(3, 2, GameCommand::Resign);
    Command(0, 1, GameCommand::Resign);
    Pass(1500);
    AnyMove(2, 4);
    t.Leave(t.Participant(3));
    Pass(300);
    ExpectReplayEqualsServer();

    // Every turn under way runs out: Bert's program stands still, so the referee declares his
    // once the allowance is over; the others declare their own, the host his.
    t.Participant(2).Hung = true;
    Pass(58000);
    Pass(4000);
    ExpectReplayEqualsServer();
    for (const auto& [white, black] : {std::pair{0, 2}, {1, 2}, {1, 4}, {2, 4}}) {
        EXPECT_EQ(PairGame(t.Server(), white, black).State, TimeOut) << white << "-" << black;
    }
}

TEST_F(JournalPlay, TheTimeIsRecordedOnceASecondWhileClocksRun) {
    const auto size = [this] { return fs::file_size(path); };
    journal.Keep();
    const auto before = size();
    now += 999;
    journal.Keep();
    EXPECT_EQ(size(), before);
    now += 1;
    journal.Keep();
    EXPECT_GT(size(), before);
}

TEST_F(JournalPlay, AJournalContinuedAfterAResumeReadsWhole) {
    AnyMove(1, 2);
    Pass(1200);
    journal.Keep();
    // The host dies in the middle of a record.
    {
        std::FILE* file = std::fopen(path.c_str(), "ab");
        std::fwrite("\x30\x00\x00", 1, 3, file);
        std::fclose(file);
    }
    const std::optional<std::string> bytes = ReadWholeFile(path, size_t{1} << 24);
    ASSERT_TRUE(bytes);
    const std::span<const uint8_t> content(reinterpret_cast<const uint8_t*>(bytes->data()),
                                           bytes->size());
    const JournalContents torn = ReadJournal(content);
    ASSERT_EQ(torn.End, JournalEnd::Torn);
    ProgramState resumed;
    const std::optional<JournalReplay> first = ReplayJournal(torn.Records, resumed);
    ASSERT_TRUE(first);

    // Ten minutes later the program is back: the torn end goes, the resume and what follows
    // it are appended.
    now += 600000;
    TournamentJournal again(path, Clock());
    ASSERT_TRUE(again.Resume(*bytes, torn.WholeLength, resumed, first->LastAt));
    again.WentAway(1);
    now += 100;
    again.Left(4);
    const std::optional<std::string> after = ReadWholeFile(path, size_t{1} << 24);
    ASSERT_TRUE(after);
    const JournalContents contents =
        ReadJournal(std::span(reinterpret_cast<const uint8_t*>(after->data()), after->size()));
    EXPECT_EQ(contents.End, JournalEnd::Whole);
    ASSERT_EQ(contents.Records.size(), torn.Records.size() + 3);
    ProgramState twice;
    const std::optional<JournalReplay> replay = ReplayJournal(contents.Records, twice);
    ASSERT_TRUE(replay);
    EXPECT_TRUE(twice.Players[1].Away);
    EXPECT_TRUE(twice.Players[4].Left);
    // The turn under way since the move at 5000 was charged 1.2 s before the crash, and
    // nothing for the ten minutes: a second counted, the fraction carried over.
    ResumeClocks(twice, replay->LastAt, replay->LastAt);
    const Game& game = PairGame(twice.Games, 1, 2);
    EXPECT_EQ(game.PlayerTimeLeft[game.SideToMove], 59);
    EXPECT_EQ(game.PlayerClockStamp[game.SideToMove], 6000u + 600000u);
    // As the resumed program itself set them.
    const Game& live = PairGame(resumed.Games, 1, 2);
    EXPECT_EQ(live.PlayerTimeLeft[live.SideToMove], 59);
    EXPECT_EQ(live.PlayerClockStamp[live.SideToMove], 6000u + 600000u);

    again.Remove();
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(JournalPlay, WhereTheGamesGoIsRecordedAfterTheStartEvenWhenToldBefore) {
    // The lobby begins play, and names the file of saved games, before the start is recorded.
    const std::string other = folder + "/Zweites.journal";
    TournamentJournal second(other, Clock());
    second.GamesFile(1700000000, "/tmp/Partien/Tavlora.pgn");
    second.Started(t.Server().State);
    const std::optional<std::string> bytes = ReadWholeFile(other, size_t{1} << 24);
    ASSERT_TRUE(bytes);
    const JournalContents contents =
        ReadJournal(std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()));
    ProgramState replayed;
    const std::optional<JournalReplay> replay = ReplayJournal(contents.Records, replayed);
    ASSERT_TRUE(replay);
    ASSERT_TRUE(replay->GamesFile);
    EXPECT_EQ(replay->GamesFile->Path, "/tmp/Partien/Tavlora.pgn");
}

// The host grants 120 s, every client can come back.
class HostResume : public JournalPlay {
protected:
    void SetUp() override {
        t.Server().State.RejoinSeconds = 120;
        JournalPlay::SetUp();
    }

    // The host's program is killed, and started again down milliseconds later: it reads its
    // journal, replays it, goes on writing it and listens again, everyone else away.
    void KillAndResumeHost(uint32_t down) {
        t.Server().Hung = true;
        t.Server().State.Network.CloseAll();
        t.Pump();
        now += down;
        const std::optional<std::string> bytes = ReadWholeFile(path, size_t{1} << 24);
        ASSERT_TRUE(bytes);
        const JournalContents contents =
            ReadJournal(std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()));
        ProgramState resumed;
        resumed.TickCount = Clock();
        const std::optional<JournalReplay> replay = ReplayJournal(contents.Records, resumed);
        ASSERT_TRUE(replay);
        again.emplace(path, Clock());
        ASSERT_TRUE(again->Resume(*bytes, contents.WholeLength, resumed, replay->LastAt));
        resumed.Recorder = writing = &*again;
        t.RestartServer(std::move(resumed));
        ResumeServer(t.Server().State, t.Server().View);
        t.Server().Hung = false;
    }

    std::optional<TournamentJournal> again;
};

TEST_F(HostResume, TheTournamentGoesOnFromTheJournalAndEndsEqualEverywhere) {
    AnyMove(1, 2);
    AnyMove(0, 3);
    Pass(2000);
    Command(1, 3, GameCommand::OfferDraw);
    Command(3, 2, GameCommand::Resign);
    Pass(500);
    const Game before = PairGame(t.Server(), 1, 2);
    const int32_t turn = before.SideToMove;

    KillAndResumeHost(30000);
    for (int32_t i = 1; i <= 4; ++i) {
        EXPECT_EQ(t.Server().View.Rows[static_cast<size_t>(i)].Name,
                  t.Server().State.Players[static_cast<size_t>(i)].PlayerName + " (abwesend)");
    }
    Pass(1500);  // the clients' next attempt finds the host again
    for (Side* side : t.Sides()) {
        SCOPED_TRACE(side->State.OwnPlayerIndex);
        EXPECT_TRUE(side->View.Errors.empty());
        EXPECT_FALSE(side->State.Reconnect.Active);
        for (int32_t i = 1; i <= 4; ++i) {
            EXPECT_FALSE(side->State.Players[static_cast<size_t>(i)].Away);
        }
    }
    EXPECT_EQ(t.Server().View.Chat.back(), "Dora ist wieder da.");
    ExpectSameGames(t);
    // The down time was charged to nobody: the running turn is charged the 2 s up to the last
    // record before the crash and the 1.5 s since the resume (whole seconds count).
    Game resumed = PairGame(t.Server(), 1, 2);
    EXPECT_EQ(resumed.History, before.History);
    TickOfPass at(t.Server().State.TickCount);
    CountDownClocks(resumed, at);
    EXPECT_EQ(resumed.PlayerTimeLeft[turn], 57);

    // The offer made before the crash is still there to accept; moves and ends go on, until
    // every game has ended, each to move resigning.
    Command(3, 1, GameCommand::AcceptDraw);
    EXPECT_EQ(PairGame(t.Participant(1), 1, 3).State, DrawAgreed);
    AnyMove(1, 2);
    for (const Game& game : t.Server().State.Games) {
        if (IsRunning(game)) {
            const int32_t mover = game.PlayerIndex[game.SideToMove];
            Command(mover, game.PlayerIndex[1 - game.SideToMove], GameCommand::Resign);
        }
    }
    ExpectSameGames(t);
    for (Side* side : t.Sides()) {
        for (const Game& game : side->State.Games) {
            EXPECT_FALSE(IsRunning(game));
        }
    }
    // The journal holds it all: replayed, it is the server again.
    ExpectReplayEqualsServer();
}

}  // namespace
}  // namespace tavlora
