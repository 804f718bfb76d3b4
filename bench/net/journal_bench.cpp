// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the host's journal at 127 participants (8,001 games): what a move costs the
// server's pass (the record encoded, checksummed and handed to the kernel, while the thread of
// its own syncs the file), what a sync of a second's records would cost the pass had it to
// wait for the disk itself, and how long a restarted host takes to read and replay the journal
// of a tournament well under way.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "net/game_play.h"
#include "net/journal_replay.h"
#include "net/tournament_journal.h"
#include "platform/files.h"
#include "platform/system.h"

namespace tavlora {
namespace {

constexpr int32_t Participants = MostParticipants;

// A folder of its own, gone with the object.
struct Folder {
    Folder() {
        char pattern[] = "/tmp/tavlora-journal-bench-XXXXXX";
        Path = mkdtemp(pattern);
    }
    ~Folder() { std::filesystem::remove_all(Path); }
    std::string Path;
};

// A server whose games have just started: every participant named, both clocks on.
void StartTournament(ProgramState& state, std::mt19937& random) {
    SetUpServer(state, "Teilnehmer 0", Participants, 10, 1);
    state.TickCount = TickCount;
    state.PlayerCount = Participants;
    for (int32_t i = 0; i < Participants; ++i) {
        Player& player = state.Players[static_cast<size_t>(i)];
        player.PlayerName = "Teilnehmer " + std::to_string(i);
        player.CanReturn = true;
        SystemRandomBytes(player.Secret);
    }
    std::vector<int32_t> colours;
    for (int32_t pair = 0; pair < PairCount(Participants); ++pair) {
        colours.push_back(static_cast<int32_t>(random() % 2));
    }
    class Unseen final : public NetView {
        void ShowNetworkError(const std::string&) override {}
    } unseen;
    BeginGames(state, unseen, colours);
}

// One move recorded, as the server does it between applying the move and relaying it; the
// games take turns.
void BM_RecordAMove(benchmark::State& bench) {
    Folder folder;
    std::mt19937 random(7);
    ProgramState state;
    StartTournament(state, random);
    TournamentJournal journal(folder.Path + "/Turnier.journal", TickCount);
    journal.Started(state);
    const Move move{4, 1, 4, 3, Quiet, NoPromotion, Pawn};
    size_t game = 0;
    for (auto _ : bench) {
        const Game& played = state.Games[game];
        game = (game + 1) % state.Games.size();
        journal.Moved(MsgMove{played.PlayerIndex[White],
                              {played.PlayerIndex[White], played.PlayerIndex[Black]},
                              598,
                              59,
                              move});
    }
    if (journal.Failed()) {
        bench.SkipWithError("the journal could not be written");
    }
}
BENCHMARK(BM_RecordAMove)->Repetitions(9)->ReportAggregatesOnly(true);

// The sync the thread takes off the pass: a second's records at 1,000 moves a second, then
// the file brought to the disk by the caller.
void BM_SyncASecondOfMoves(benchmark::State& bench) {
    Folder folder;
    AppendFile file;
    file.Open(folder.Path + "/Turnier.journal", AppendFile::Mode::CreateNew, 0600);
    const Bytes record = EncodeJournalRecord(
        {0, Message(MsgMove{1, {1, 2}, 598, 59, Move{4, 1, 4, 3, Quiet, NoPromotion, Pawn}})});
    const std::string_view text(reinterpret_cast<const char*>(record.data()), record.size());
    for (auto _ : bench) {
        bench.PauseTiming();
        for (int i = 0; i < 1000; ++i) {
            file.Append(text);
        }
        bench.ResumeTiming();
        file.Sync();
    }
}
BENCHMARK(BM_SyncASecondOfMoves)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// The journal of a tournament in which every game has seen the given number of half-moves
// (random legal ones; a game that ends stops), read and replayed as a restarted host does.
void BM_ReplayAJournal(benchmark::State& bench) {
    std::mt19937 random(11);
    ProgramState state;
    StartTournament(state, random);
    Bytes journal = EncodeJournalHeader();
    const auto append = [&journal](const JournalRecord& record) {
        const Bytes bytes = EncodeJournalRecord(record);
        journal.insert(journal.end(), bytes.begin(), bytes.end());
    };
    JournalStarted started{Participants, 10, 1, 120};
    for (int32_t i = 0; i < Participants; ++i) {
        const Player& player = state.Players[static_cast<size_t>(i)];
        started.Players.push_back({player.PlayerName, 1, player.Secret});
    }
    for (const Game& game : state.Games) {
        started.Colours.push_back(game.PlayerIndex[White] > game.PlayerIndex[Black] ? 1 : 0);
    }
    append({TickCount(), started});
    class Unseen final : public NetView {
        void ShowNetworkError(const std::string&) override {}
    } unseen;
    uint64_t moves = 0;
    for (int64_t ply = 0; ply < bench.range(0); ++ply) {
        for (Game& game : state.Games) {
            if (!IsRunning(game)) {
                continue;
            }
            Move move = game.Moves[random() % game.Moves.size()];
            if (move.Promotion == PromotionPending) {
                move.Promotion = Queen;
            }
            const MsgMove relayed{game.PlayerIndex[game.SideToMove],
                                  {game.PlayerIndex[White], game.PlayerIndex[Black]},
                                  game.PlayerTimeLeft[game.SideToMove],
                                  game.MoveTimeLeft[game.SideToMove],
                                  move};
            PlayReceivedMove(state, unseen, game, relayed.PlayerTimeLeft, relayed.MoveTimeLeft,
                             move);
            append({TickCount(), Message(relayed)});
            ++moves;
        }
    }
    for (auto _ : bench) {
        const JournalContents contents = ReadJournal(journal);
        ProgramState replayed;
        replayed.TickCount = TickCount;
        if (contents.End != JournalEnd::Whole || !ReplayJournal(contents.Records, replayed)) {
            bench.SkipWithError("the journal does not replay");
        }
    }
    bench.counters["moves"] = static_cast<double>(moves);
    bench.counters["MiB"] = static_cast<double>(journal.size()) / (1 << 20);
}
BENCHMARK(BM_ReplayAJournal)->Arg(10)->Arg(40)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tavlora

BENCHMARK_MAIN();
