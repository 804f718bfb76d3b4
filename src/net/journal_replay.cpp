// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/journal_replay.h"

#include <algorithm>

#include "net/game_play.h"
#include "rules/clock.h"

namespace tavlora {

namespace {

// A replay shows nothing.
class Unseen final : public NetView {
public:
    void ShowNetworkError(const std::string&) override {}
};

// Applies one record after the other; each answers false when its event does not fit.
class Replayer {
public:
    explicit Replayer(ProgramState& state) : state_(state) {}

    bool Apply(const JournalRecord& record) {
        before_ = at_;
        at_ = record.At;
        return std::visit(*this, record.Event);
    }

    uint32_t At() const { return at_; }
    bool Started() const { return started_; }
    JournalReplay& Result() { return result_; }

    bool operator()(const JournalStarted& e) {
        const auto count = static_cast<int32_t>(e.Players.size());
        const auto isMinutes = [](int32_t minutes) {
            return minutes >= 0 && minutes <= MaxTimeLimit;
        };
        if (started_ || e.MaxPlayer < 2 || e.MaxPlayer > MostParticipants || count < 2 ||
            count > e.MaxPlayer || !isMinutes(e.TimeByPlayer) || !isMinutes(e.TimeByMove) ||
            e.RejoinSeconds < 0 ||
            std::ranges::any_of(e.Colours,
                                [](int32_t colour) { return colour != 0 && colour != 1; }) ||
            std::ranges::any_of(
                e.Players, [](const JournalPlayer& player) { return player.PlayerName.empty(); })) {
            return false;
        }
        SetUpServer(state_, e.Players[0].PlayerName, e.MaxPlayer, e.TimeByPlayer, e.TimeByMove);
        state_.RejoinSeconds = e.RejoinSeconds;
        state_.PlayerCount = count;
        for (int32_t i = 0; i < count; ++i) {
            const JournalPlayer& from = e.Players[static_cast<size_t>(i)];
            Player& player = state_.Players[static_cast<size_t>(i)];
            player.PlayerName = from.PlayerName;
            player.PlayerReady = 1;
            player.CanReturn = from.CanReturn != 0;
            player.Secret = from.Secret;
        }
        BeginGames(state_, unseen_, e.Colours);
        started_ = true;
        return true;
    }

    bool operator()(const Message& message) {
        return started_ && std::visit([this](const auto& m) { return Play(m); }, message);
    }

    bool operator()(const JournalAway& e) {
        Player* player = Participant(e.Participant);
        if (player == nullptr) {
            return false;
        }
        player->Away = true;
        player->AwaySince = at_;
        return true;
    }

    bool operator()(const JournalBack& e) {
        Player* player = Participant(e.Participant);
        if (player == nullptr) {
            return false;
        }
        player->Away = false;
        return true;
    }

    bool operator()(const JournalLeft& e) {
        Player* player = Participant(e.Participant);
        if (player == nullptr) {
            return false;
        }
        for (Game& game : state_.Games) {
            if (IsRunning(game) && SideOf(game, e.Participant) >= 0) {
                CountDown(game);
            }
        }
        ParticipantLeft(state_, e.Participant);
        player->Away = false;
        return true;
    }

    bool operator()(const JournalClock&) { return started_; }

    // No clock ran while the host was down, as the resumed server counted them.
    bool operator()(const JournalResumed&) {
        if (started_) {
            ResumeClocks(state_, before_, at_);
        }
        return started_;
    }

    bool operator()(const JournalGamesFile& e) {
        result_.GamesFile = e;
        return started_;
    }

private:
    // Games: each as the server applied it, to a game that was running then.
    bool Play(const MsgMove& m) {
        KeyedGame* keyed = RunningGame(m.PlayerIndex);
        if (keyed == nullptr) {
            return false;
        }
        Game& game = *keyed->Record;
        const std::optional<Move> move = MatchLegalMove(game, m.Played);
        if (SideOf(game, m.Sender) != game.SideToMove || !move) {
            return false;
        }
        PlayReceivedMove(state_, unseen_, game, m.PlayerTimeLeft, m.MoveTimeLeft, *move);
        keyed->WithdrawDrawOffers();
        return true;
    }

    bool Play(const MsgTimeout& m) {
        KeyedGame* keyed = RunningGame(m.PlayerIndex);
        const int32_t side = keyed != nullptr ? SideOf(*keyed->Record, m.Sender) : -1;
        if (side < 0) {
            return false;
        }
        EndOnTime(state_, *keyed->Record, side, m.PlayerTimeLeft, m.MoveTimeLeft);
        return true;
    }

    bool Play(const MsgDrawOffer& m) {
        KeyedGame* keyed = RunningGame(m.PlayerIndex);
        const int32_t side = keyed != nullptr ? SideOf(*keyed->Record, m.Sender) : -1;
        if (side < 0) {
            return false;
        }
        keyed->DrawOffered[side] = true;
        return true;
    }

    bool Play(const MsgDrawAccept& m) {
        KeyedGame* keyed = RunningGame(m.PlayerIndex);
        if (keyed == nullptr || SideOf(*keyed->Record, m.Sender) < 0) {
            return false;
        }
        CountDown(*keyed->Record);
        AgreeDraw(state_, *keyed->Record);
        keyed->WithdrawDrawOffers();
        return true;
    }

    bool Play(const MsgResign& m) {
        KeyedGame* keyed = RunningGame(m.PlayerIndex);
        const int32_t side = keyed != nullptr ? SideOf(*keyed->Record, m.Sender) : -1;
        if (side < 0) {
            return false;
        }
        CountDown(*keyed->Record);
        Resign(state_, *keyed->Record, side);
        return true;
    }

    // Nothing else is a change of the tournament the server records.
    template <typename T>
    bool Play(const T&) {
        return false;
    }

    // A game that ends without clocks of its own keeps those the server had counted then.
    void CountDown(Game& game) {
        TickOfPass now(state_.TickCount);
        CountDownClocks(game, now);
    }

    KeyedGame* RunningGame(const int32_t (&key)[2]) {
        KeyedGame* keyed = state_.KeyedGames.Find(key[0], key[1]);
        return keyed != nullptr && IsRunning(*keyed->Record) ? keyed : nullptr;
    }

    // A client's entry that has not left, or nullptr.
    Player* Participant(int32_t index) {
        if (!started_ || index < 1 || index >= state_.PlayerCount) {
            return nullptr;
        }
        Player& player = state_.Players[static_cast<size_t>(index)];
        return player.Left ? nullptr : &player;
    }

    ProgramState& state_;
    Unseen unseen_;
    uint32_t at_ = 0;
    uint32_t before_ = 0;  // the time of the record before
    bool started_ = false;
    JournalReplay result_;
};

}  // namespace

std::optional<JournalReplay> ReplayJournal(std::span<const JournalRecord> records,
                                           ProgramState& state) {
    Replayer replayer(state);
    // The rules stamp the clocks with the time of the record that changes them.
    const TickSource ticks = std::move(state.TickCount);
    state.TickCount = [&replayer] { return replayer.At(); };
    const bool fits = std::ranges::all_of(
        records, [&replayer](const JournalRecord& record) { return replayer.Apply(record); });
    state.TickCount = ticks;
    if (!fits || !replayer.Started()) {
        return std::nullopt;
    }
    JournalReplay result = std::move(replayer.Result());
    result.LastAt = replayer.At();
    result.AnyRunning =
        std::ranges::any_of(state.Games, [](const Game& game) { return IsRunning(game); });
    return result;
}

void ResumeClocks(ProgramState& state, uint32_t lastAt, uint32_t now) {
    const TickSource then = [lastAt] { return lastAt; };
    const uint32_t paused = now - lastAt;
    for (Game& game : state.Games) {
        if (!IsRunning(game)) {
            continue;
        }
        TickOfPass at(then);
        CountDownClocks(game, at);
        for (int32_t c : {White, Black}) {
            game.PlayerClockStamp[c] += paused;
            game.MoveClockStamp[c] += paused;
        }
    }
}

}  // namespace tavlora
