// SPDX-License-Identifier: GPL-3.0-or-later
// Many bots in one thread: one epoll set over all their connections, the joins one after the
// other, the bots' clocks, and a scheduler that spends a rate of actions per second (moves,
// and draw offers or resignations as the chances fall) on the turns the bots hold, and
// another that has bots chat.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bot/bot.h"

namespace tavlora {

struct SwarmOptions {
    std::string Address = "127.0.0.1";
    uint16_t Port = DefaultPort;
    int Count = 1;
    std::string NamePrefix = "Bot";  // the bots are named prefix + 1, prefix + 2, ...
    BotChances Chances;
    TickSource Ticks = TickCount;  // the clock of every bot's games
    bool CanReturn = false;        // every bot announces the way back at its join
};

// Told about every move as it leaves a bot and as it reaches each of the others, and about
// every chat line as it leaves a bot and as the server's relay brings it back.
class SwarmObserver {
public:
    virtual ~SwarmObserver() = default;
    virtual void MoveSent(const Bot& sender, int32_t white, int32_t black) = 0;
    virtual void MoveReceived(const Bot& receiver, int32_t white, int32_t black) = 0;
    // answer: said at once when the bot's previous line came back.
    virtual void LineSent(const Bot& sender, bool answer) = 0;
    virtual void LineReturned(const Bot& sender) = 0;
};

class BotSwarm final : private BotEvents {
public:
    using Clock = std::chrono::steady_clock;

    explicit BotSwarm(SwarmOptions options);
    ~BotSwarm() override;
    BotSwarm(const BotSwarm&) = delete;
    BotSwarm& operator=(const BotSwarm&) = delete;

    // Connects the bots one after the other, each named and ready before the next connects
    // (the server takes one event per pass): those not yet connected, at most count of them.
    // False with the reason when one cannot join.
    bool Join(Clock::duration limit, std::string& error, int count = -1);
    // Serves every bot (messages, clocks, actions at the rate) until done() holds or the
    // time is up; answers done().
    bool RunUntil(const std::function<bool()>& done, Clock::duration limit);
    void RunFor(Clock::duration duration) {
        RunUntil([] { return false; }, duration);
    }

    // Actions per second over all bots; 0 stops. A rate the open turns cannot carry is not
    // made up later.
    void SetRate(double actionsPerSecond);
    // Chat lines per second over all bots, each said by a bot picked at random, which
    // answers it at once with one more line as soon as the server's relay brings it back:
    // the answer reaches the server while it may still be relaying the first line to
    // everyone. 0 stops.
    void SetLineRate(double linesPerSecond);
    void SetObserver(SwarmObserver* observer) { observer_ = observer; }

    // Every bot holds its games.
    bool Started() const;
    // Bots that were refused or lost their connection.
    int GoneCount() const;
    uint64_t MovesSent() const { return movesSent_; }
    uint64_t MovesReceived() const { return movesReceived_; }
    uint64_t DrawOffers() const { return drawOffers_; }
    uint64_t Resignations() const { return resignations_; }
    // Games of the bots that are over, each counted by each bot that plays in it.
    int FinishedGames() const;
    const std::vector<std::unique_ptr<Bot>>& Bots() const { return bots_; }
    // The local ports of the bots' connections, to tell them apart from other peers.
    std::vector<uint16_t> LocalPorts() const;

    // A bot that does not read is not served when data arrives; what the server sends it
    // piles up in the kernel and then in the server. Reading again, it catches up.
    void SetReading(const Bot& bot, bool reading);
    // The bot's socket, or -1 once its connection has ended.
    int SocketOf(const Bot& bot) const;

private:
    struct Turn {
        Bot* Player;
        Game* Record;
    };
    // Spreads a rate of actions per second evenly over time. What cannot be spent when it
    // falls due is not made up later.
    struct Pace {
        double Rate = 0;
        Clock::time_point Since;
        uint64_t Spent = 0;  // actions since Since

        void Set(double perSecond);
        uint64_t Due(Clock::time_point now) const;  // actions due since Since, in all
        Clock::time_point Next() const;             // when the next one falls due
    };

    // BotEvents
    void TurnStarted(Bot& bot, Game& game) override;
    void MoveSent(const Bot& bot, int32_t white, int32_t black) override;
    void MoveReceived(const Bot& bot, int32_t white, int32_t black) override;
    void LineReturned(Bot& bot, const std::string& line) override;

    void Watch(size_t number, int socket, bool watch);
    // Puts the bot's socket into the epoll set or takes it out.
    void Poll(size_t number, int socket, bool poll);
    size_t NumberOf(const Bot& bot) const;
    // Waits at most timeoutMs for data and services the bots that have some.
    void Serve(int timeoutMs);
    void ActDue(Clock::time_point now);
    void SayDue(Clock::time_point now);
    void Answer();
    void Tick(Clock::time_point now);
    int WaitMs(Clock::time_point now, Clock::time_point deadline) const;

    SwarmOptions options_;
    int epoll_ = -1;
    std::vector<std::unique_ptr<Bot>> bots_;
    std::vector<int> sockets_;   // by bot, -1 once closed
    std::vector<bool> reading_;  // by bot: its socket is in the epoll set
    std::vector<Turn> turns_;    // open turns, in no order
    RandomSource random_;
    Pace actions_;
    Pace lines_;
    std::vector<Bot*> answersDue_;  // bots whose first line has come back
    Clock::time_point nextTick_;
    SwarmObserver* observer_ = nullptr;
    uint64_t movesSent_ = 0;
    uint64_t movesReceived_ = 0;
    uint64_t drawOffers_ = 0;
    uint64_t resignations_ = 0;
};

}  // namespace tavlora
