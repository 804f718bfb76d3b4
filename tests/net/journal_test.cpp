// SPDX-License-Identifier: GPL-3.0-or-later
// The host's journal without a network: every kind of record back as written, an end cut
// anywhere in the last record, damage anywhere before it, records that no server could have
// written, and clocks that charge nobody for the time the host was down.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "net/hex_bytes.h"
#include "net/journal_format.h"
#include "net/journal_replay.h"
#include "rules/clock.h"

namespace tavlora {
namespace {

constexpr ReturnSecret SampleSecret = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 255};

// Three participants: 0 (White) - 1, 2 (White) - 0, 1 (White) - 2; a game clock of one
// minute and a move clock of two.
JournalRecord Start(uint32_t at = 1000) {
    return {at, JournalStarted{.MaxPlayer = 8,
                               .TimeByPlayer = 1,
                               .TimeByMove = 2,
                               .RejoinSeconds = 120,
                               .Players = {{"Wirt", 0, {}},
                                           {"Jürgen", 1, SampleSecret},
                                           {"Zoë", 1, ReturnSecret{}}},
                               .Colours = {0, 1, 0}}};
}

// Participant from plays e2-e4 (or, as Black, e7-e5) in game (white, black).
JournalRecord PawnMove(uint32_t at, int32_t from, int32_t white, int32_t black,
                       bool asBlack = false) {
    const Move move = asBlack ? Move{4, 6, 4, 4, Quiet, NoPromotion, Pawn}
                              : Move{4, 1, 4, 3, Quiet, NoPromotion, Pawn};
    return {at, Message(MsgMove{from, {white, black}, 55, 110, move})};
}

Bytes Journal(const std::vector<JournalRecord>& records) {
    Bytes bytes = EncodeJournalHeader();
    for (const JournalRecord& record : records) {
        const Bytes encoded = EncodeJournalRecord(record);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    return bytes;
}

std::vector<JournalRecord> EveryKind() {
    return {
        Start(),
        PawnMove(1200, 0, 0, 1),
        {1300, Message(MsgTimeout{1, {0, 1}, 0, -1})},
        {1400, Message(MsgDrawOffer{2, {2, 0}})},
        {1500, Message(MsgDrawAccept{0, {2, 0}})},
        {1600, Message(MsgResign{1, {1, 2}})},
        {1700, JournalAway{1}},
        {1800, JournalBack{1}},
        {1900, JournalLeft{2}},
        {0xFFFFFFF0u, JournalClock{}},
        {5, JournalResumed{}},
        {6, JournalGamesFile{int64_t{1} << 40, "/home/zoë/Partien/Tavlora.pgn"}},
    };
}

TEST(JournalFormat, HeaderAndARecordByteForByte) {
    // "TVLR", version 1, kind 3; then a record of the time 0x01020304: length 5, CRC-32 of
    // the body, kind 6 and the time.
    EXPECT_EQ(Journal({{0x01020304, JournalClock{}}}),
              Hex({'T', 'V', 'L', 'R', 1, 3, 5, 0, 0, 0, 0xA7, 0x79, 0x77, 0x81, 6, 4, 3, 2, 1}));
}

TEST(JournalFormat, EveryKindOfRecordComesBackAsWritten) {
    const std::vector<JournalRecord> records = EveryKind();
    const Bytes bytes = Journal(records);
    const JournalContents contents = ReadJournal(bytes);
    EXPECT_EQ(contents.End, JournalEnd::Whole);
    EXPECT_EQ(contents.Records, records);
    EXPECT_EQ(contents.WholeLength, bytes.size());
}

TEST(JournalFormat, AnEndCutAnywhereLeavesTheWholeRecordsBeforeIt) {
    const std::vector<JournalRecord> records = EveryKind();
    const Bytes bytes = Journal(records);
    std::vector<size_t> ends{0, JournalHeaderLength};
    for (size_t n = 1; n <= records.size(); ++n) {
        ends.push_back(Journal({records.begin(), records.begin() + static_cast<long>(n)}).size());
    }
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE(testing::Message() << "cut after " << cut << " bytes");
        const JournalContents contents = ReadJournal(std::span(bytes).first(cut));
        const size_t whole = *std::prev(std::upper_bound(ends.begin(), ends.end(), cut));
        EXPECT_EQ(contents.End, whole == cut ? JournalEnd::Whole : JournalEnd::Torn);
        EXPECT_EQ(contents.WholeLength, whole);
        const size_t complete =
            static_cast<size_t>(std::find(ends.begin(), ends.end(), whole) - ends.begin());
        EXPECT_EQ(contents.Records.size(), complete < 2 ? 0 : complete - 1);
    }
}

TEST(JournalFormat, DamageBeforeTheLastRecordMakesTheJournalUnreadable) {
    const std::vector<JournalRecord> records = EveryKind();
    const Bytes bytes = Journal(records);
    const size_t lastStart = Journal({records.begin(), records.end() - 1}).size();
    struct Damage {
        const char* What;
        std::function<void(Bytes&)> Do;
        JournalEnd End;
        size_t Whole = 0;  // of a torn journal
    };
    const Damage cases[] = {
        {"another magic", [](Bytes& b) { b[0] = 'X'; }, JournalEnd::Damaged},
        {"a later version", [](Bytes& b) { b[4] = 2; }, JournalEnd::Damaged},
        {"a bit of the first record's body", [](Bytes& b) { b[20] ^= 0x10; }, JournalEnd::Damaged},
        {"the first record's checksum", [](Bytes& b) { b[10] ^= 1; }, JournalEnd::Damaged},
        {"a length beyond any record", [](Bytes& b) { b[JournalHeaderLength + 3] = 0x7F; },
         JournalEnd::Damaged},
        {"the last record's body", [lastStart](Bytes& b) { b[lastStart + 9] ^= 1; },
         JournalEnd::Torn, lastStart},
        {"zeros after the end, as a power cut may leave",
         [](Bytes& b) { b.insert(b.end(), 300, 0); }, JournalEnd::Torn, bytes.size()},
        {"garbage after the end", [](Bytes& b) { b.insert(b.end(), 12, 0xAB); },
         JournalEnd::Damaged},
    };
    for (const Damage& damage : cases) {
        SCOPED_TRACE(damage.What);
        Bytes damaged = bytes;
        damage.Do(damaged);
        const JournalContents contents = ReadJournal(damaged);
        EXPECT_EQ(contents.End, damage.End);
        if (damage.End == JournalEnd::Torn) {
            EXPECT_EQ(contents.WholeLength, damage.Whole);
        } else {
            EXPECT_TRUE(contents.Records.empty());
        }
    }
    // A record of a kind this program does not know, checksum and all, before another.
    Bytes unknown = Journal({Start()});
    const Bytes future = Hex({5, 0, 0, 0, 0x80, 0xFA, 0xB0, 0x18, 99, 0, 0, 0, 0});
    unknown.insert(unknown.end(), future.begin(), future.end());
    const Bytes clock = EncodeJournalRecord({0, JournalClock{}});
    unknown.insert(unknown.end(), clock.begin(), clock.end());
    EXPECT_EQ(ReadJournal(unknown).End, JournalEnd::Damaged);
}

// Replays records into a fresh server; none when they do not fit.
std::optional<JournalReplay> Replay(const std::vector<JournalRecord>& records,
                                    ProgramState& state) {
    return ReplayJournal(records, state);
}

TEST(JournalReplay, RefusesWhatNoServerCouldHaveDone) {
    JournalStarted badLimits = std::get<JournalStarted>(Start().Event);
    badLimits.TimeByMove = -1;
    JournalStarted unnamed = std::get<JournalStarted>(Start().Event);
    unnamed.Players[2].PlayerName.clear();
    JournalStarted badColour = std::get<JournalStarted>(Start().Event);
    badColour.Colours[1] = 2;
    JournalStarted crowded = std::get<JournalStarted>(Start().Event);
    crowded.MaxPlayer = 2;
    const std::vector<std::pair<const char*, std::vector<JournalRecord>>> cases = {
        {"nothing", {}},
        {"a move before the start", {PawnMove(10, 0, 0, 1)}},
        {"two starts", {Start(), Start()}},
        {"a negative limit", {{0, badLimits}}},
        {"a participant without a name", {{0, unnamed}}},
        {"a colour neither 0 nor 1", {{0, badColour}}},
        {"more participants than places", {{0, crowded}}},
        {"a game nobody plays", {Start(), PawnMove(10, 0, 0, 2)}},
        {"a move by the side not to move", {Start(), PawnMove(10, 1, 0, 1, true)}},
        {"a move by a spectator", {Start(), PawnMove(10, 2, 0, 1)}},
        {"an illegal move",
         {Start(), {10, Message(MsgMove{0, {0, 1}, 0, 0, Move{4, 1, 4, 5, Quiet, 0, Pawn}})}}},
        {"a move in a game that has ended",
         {Start(), {10, Message(MsgResign{1, {0, 1}})}, PawnMove(20, 0, 0, 1)}},
        {"a time-out of a spectator", {Start(), {10, Message(MsgTimeout{2, {0, 1}, 0, 0})}}},
        {"a chat line", {Start(), {10, Message(MsgChat{1, "hallo"})}}},
        {"the host leaving", {Start(), {10, JournalLeft{0}}}},
        {"a participant leaving twice", {Start(), {10, JournalLeft{1}}, {20, JournalLeft{1}}}},
        {"a stranger away", {Start(), {10, JournalAway{3}}}},
    };
    for (const auto& [what, records] : cases) {
        SCOPED_TRACE(what);
        ProgramState state;
        EXPECT_FALSE(Replay(records, state));
    }
}

TEST(JournalReplay, RebuildsPlayersGamesOffersAndEnds) {
    ProgramState state;
    const std::optional<JournalReplay> replay =
        Replay({Start(1000),
                PawnMove(3500, 0, 0, 1),
                {3600, Message(MsgDrawOffer{2, {2, 0}})},
                {3700, Message(MsgResign{1, {1, 2}})},
                {3800, JournalAway{2}},
                {3900, JournalGamesFile{42, "Partien/T.pgn"}},
                {4100, JournalLeft{1}},
                {4200, JournalClock{}}},
               state);
    ASSERT_TRUE(replay);
    EXPECT_EQ(replay->LastAt, 4200u);
    EXPECT_EQ(replay->GamesFile, (JournalGamesFile{42, "Partien/T.pgn"}));
    EXPECT_TRUE(replay->AnyRunning);

    EXPECT_TRUE(state.IsServer());
    EXPECT_EQ(state.PlayPhase, GamesStartedPhase);
    EXPECT_EQ(state.PlayerCount, 3);
    EXPECT_EQ(state.Players[1].PlayerName, "Jürgen");
    EXPECT_EQ(state.Players[1].Secret, SampleSecret);
    EXPECT_TRUE(state.Players[1].Left);
    EXPECT_TRUE(state.Players[2].Away);
    EXPECT_EQ(state.Players[2].AwaySince, 3800u);
    ASSERT_EQ(state.Games.size(), 3u);
    const Game& first = state.Games[0];  // 0 - 1: e4, then lost by 1, who left
    EXPECT_EQ(first.History.size(), 1u);
    EXPECT_EQ(first.State, Resigned);
    EXPECT_EQ(first.SideToMove, Black);
    EXPECT_EQ(first.PlayerTimeLeft[White], 55);
    EXPECT_EQ(state.Games[2].State, Resigned);  // 1 - 2, resigned by 1 before he left
    EXPECT_EQ(state.Games[2].SideToMove, White);
    const KeyedGame* offered = state.KeyedGames.Find(2, 0);
    ASSERT_NE(offered, nullptr);
    EXPECT_TRUE(IsRunning(*offered->Record));
    EXPECT_TRUE(offered->DrawOffered[White]);
    EXPECT_FALSE(offered->DrawOffered[Black]);
    // Black's turn in 0 - 1 began with the move, and both clocks of 2 - 0 with the start.
    EXPECT_EQ(first.PlayerClockStamp[Black], 3500u);
    EXPECT_EQ(state.Games[1].MoveClockStamp[White], 1000u);
}

TEST(JournalReplay, NobodyIsChargedForTheTimeTheHostWasDown) {
    // White's turn in 0 - 1 runs from 1000: 30.5 s of it until the host went down at 31500,
    // and the program came back at 9,000,000. Then 0.6 s more.
    ProgramState state;
    const std::optional<JournalReplay> replay =
        Replay({Start(1000), {31500, JournalClock{}}, {9000000, JournalResumed{}}}, state);
    ASSERT_TRUE(replay);
    Game& game = state.Games[0];
    EXPECT_EQ(game.PlayerTimeLeft[White], 30);                // one minute less 30 whole seconds
    EXPECT_EQ(game.MoveTimeLeft[White], 90);                  // two minutes less 30
    EXPECT_EQ(game.PlayerClockStamp[White], 9000000u - 500);  // the half second carries over
    const TickSource later = [] { return 9000600u; };
    TickOfPass now(later);
    CountDownClocks(game, now);
    EXPECT_EQ(game.PlayerTimeLeft[White], 29);

    // The same pause taken by the program itself after a replay.
    ProgramState again;
    const std::optional<JournalReplay> before =
        Replay({Start(1000), {31500, JournalClock{}}}, again);
    ASSERT_TRUE(before);
    ResumeClocks(again, before->LastAt, 9000000);
    EXPECT_EQ(static_cast<const GameValue&>(again.Games[0]).PlayerClockStamp[White],
              9000000u - 500);
    EXPECT_EQ(again.Games[0].PlayerTimeLeft[White], 30);
}

}  // namespace
}  // namespace tavlora
