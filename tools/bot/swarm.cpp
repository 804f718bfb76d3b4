// SPDX-License-Identifier: GPL-3.0-or-later
#include "bot/swarm.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

#include "platform/sockets.h"

namespace tavlora {

namespace {

// The bots' clocks are brought up to date this often, so their time-outs are declared.
constexpr auto TickInterval = std::chrono::milliseconds(100);
constexpr int MostEventsPerWait = 128;
// A chat line and its answer, of one length, as a move is answered by a move.
const char* const FirstLine = "Hallo?";
const char* const AnswerLine = "Hallo!";

}  // namespace

BotSwarm::BotSwarm(SwarmOptions options)
    : options_(std::move(options)), epoll_(epoll_create1(EPOLL_CLOEXEC)) {
    assert(epoll_ >= 0);
    nextTick_ = Clock::now();
}

BotSwarm::~BotSwarm() {
    // The bots close their sockets, telling the watcher, before the epoll set goes.
    bots_.clear();
    close(epoll_);
}

bool BotSwarm::Join(Clock::duration limit, std::string& error, int count) {
    const Clock::time_point deadline = Clock::now() + limit;
    const int end = count < 0 ? options_.Count
                              : std::min(options_.Count, static_cast<int>(bots_.size()) + count);
    for (int i = static_cast<int>(bots_.size()); i < end; ++i) {
        auto bot =
            std::make_unique<Bot>(options_.NamePrefix + std::to_string(i + 1), options_.Chances,
                                  static_cast<BotEvents&>(*this), options_.Ticks);
        Bot& joining = *bot;
        const size_t number = bots_.size();
        bots_.push_back(std::move(bot));
        sockets_.push_back(-1);
        reading_.push_back(true);
        joining.SetSocketWatcher(
            [this, number](int socket, bool watch) { Watch(number, socket, watch); });
        if (options_.CanReturn) {
            joining.AnnounceReturnOnJoin();
        }
        if (!joining.Connect(options_.Address, options_.Port)) {
            error = joining.Name() + ": " + joining.Error();
            return false;
        }
        const bool settled = RunUntil([&joining] { return joining.Phase() != BotPhase::Joining; },
                                      deadline - Clock::now());
        if (!settled || joining.Phase() == BotPhase::Gone) {
            error = joining.Name() + ": " +
                    (settled ? joining.Error() : std::string("no welcome from the server"));
            return false;
        }
    }
    return true;
}

bool BotSwarm::RunUntil(const std::function<bool()>& done, Clock::duration limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        if (done()) {
            return true;
        }
        Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        Serve(WaitMs(now, deadline));
        Answer();
        now = Clock::now();
        ActDue(now);
        SayDue(now);
        Tick(now);
    }
}

void BotSwarm::Pace::Set(double perSecond) {
    Rate = std::max(perSecond, 0.0);
    Since = Clock::now();
    Spent = 0;
}

uint64_t BotSwarm::Pace::Due(Clock::time_point now) const {
    const double elapsed = std::chrono::duration<double>(now - Since).count();
    return Rate > 0 ? static_cast<uint64_t>(std::floor(elapsed * Rate)) : 0;
}

BotSwarm::Clock::time_point BotSwarm::Pace::Next() const {
    return Since + std::chrono::duration_cast<Clock::duration>(
                       std::chrono::duration<double>((Spent + 1) / Rate));
}

void BotSwarm::SetRate(double actionsPerSecond) {
    actions_.Set(actionsPerSecond);
}

void BotSwarm::SetLineRate(double linesPerSecond) {
    lines_.Set(linesPerSecond);
}

bool BotSwarm::Started() const {
    return std::ranges::all_of(bots_,
                               [](const auto& bot) { return bot->Phase() == BotPhase::Playing; });
}

int BotSwarm::GoneCount() const {
    return static_cast<int>(std::ranges::count_if(
        bots_, [](const auto& bot) { return bot->Phase() == BotPhase::Gone; }));
}

int BotSwarm::FinishedGames() const {
    int finished = 0;
    for (const auto& bot : bots_) {
        for (const Game& game : bot->Games()) {
            finished += game.State > Check;
        }
    }
    return finished;
}

std::vector<uint16_t> BotSwarm::LocalPorts() const {
    std::vector<uint16_t> ports;
    for (int socket : sockets_) {
        if (socket >= 0) {
            ports.push_back(LocalPort(socket));
        }
    }
    return ports;
}

void BotSwarm::SetReading(const Bot& bot, bool reading) {
    const size_t number = NumberOf(bot);
    if (reading_[number] == reading) {
        return;
    }
    reading_[number] = reading;
    if (sockets_[number] >= 0) {
        Poll(number, sockets_[number], reading);
    }
}

int BotSwarm::SocketOf(const Bot& bot) const {
    return sockets_[NumberOf(bot)];
}

size_t BotSwarm::NumberOf(const Bot& bot) const {
    const auto it =
        std::ranges::find_if(bots_, [&bot](const auto& own) { return own.get() == &bot; });
    assert(it != bots_.end());
    return static_cast<size_t>(it - bots_.begin());
}

void BotSwarm::TurnStarted(Bot& bot, Game& game) {
    turns_.push_back({&bot, &game});
}

void BotSwarm::MoveSent(const Bot& bot, int32_t white, int32_t black) {
    ++movesSent_;
    if (observer_ != nullptr) {
        observer_->MoveSent(bot, white, black);
    }
}

void BotSwarm::MoveReceived(const Bot& bot, int32_t white, int32_t black) {
    ++movesReceived_;
    if (observer_ != nullptr) {
        observer_->MoveReceived(bot, white, black);
    }
}

void BotSwarm::Watch(size_t number, int socket, bool watch) {
    sockets_[number] = watch ? socket : -1;
    if (reading_[number]) {
        Poll(number, socket, watch);
    }
}

void BotSwarm::Poll(size_t number, int socket, bool poll) {
    if (!poll) {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, nullptr);
        return;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = bots_[number].get();
    epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &event);
}

void BotSwarm::Serve(int timeoutMs) {
    epoll_event events[MostEventsPerWait];
    const int ready = epoll_wait(epoll_, events, MostEventsPerWait, timeoutMs);
    for (int i = 0; i < ready; ++i) {
        static_cast<Bot*>(events[i].data.ptr)->Service();
    }
}

void BotSwarm::ActDue(Clock::time_point now) {
    const uint64_t due = actions_.Due(now);
    while (actions_.Spent < due) {
        if (turns_.empty()) {
            actions_.Spent = due;  // nobody can act now; the rate is not made up later
            return;
        }
        const size_t pick =
            static_cast<size_t>(random_.RandomBelow(static_cast<int>(turns_.size())));
        const Turn turn = turns_[pick];
        turns_[pick] = turns_.back();
        turns_.pop_back();
        switch (turn.Player->Act(*turn.Record)) {
            case BotAction::Nothing:
                continue;  // the game ended meanwhile: not an action
            case BotAction::OfferedDraw:
                ++drawOffers_;
                turns_.push_back(turn);  // the offer leaves the turn with the bot
                break;
            case BotAction::Resigned:
                ++resignations_;
                break;
            case BotAction::Moved:
                break;
        }
        ++actions_.Spent;
    }
}

void BotSwarm::SayDue(Clock::time_point now) {
    const uint64_t due = lines_.Due(now);
    for (; lines_.Spent < due; ++lines_.Spent) {
        Bot& bot = *bots_[static_cast<size_t>(random_.RandomBelow(static_cast<int>(bots_.size())))];
        if (bot.Phase() == BotPhase::Lobby || bot.Phase() == BotPhase::Playing) {
            bot.Say(FirstLine);
            if (observer_ != nullptr) {
                observer_->LineSent(bot, false);
            }
        }
    }
}

void BotSwarm::LineReturned(Bot& bot, const std::string& line) {
    if (observer_ != nullptr) {
        observer_->LineReturned(bot);
    }
    if (line == FirstLine) {
        answersDue_.push_back(&bot);  // said once Service is done with the message
    }
}

void BotSwarm::Answer() {
    for (Bot* bot : answersDue_) {
        bot->Say(AnswerLine);
        if (observer_ != nullptr) {
            observer_->LineSent(*bot, true);
        }
    }
    answersDue_.clear();
}

void BotSwarm::Tick(Clock::time_point now) {
    if (now < nextTick_) {
        return;
    }
    nextTick_ = now + TickInterval;
    for (const auto& bot : bots_) {
        bot->Tick();
    }
}

int BotSwarm::WaitMs(Clock::time_point now, Clock::time_point deadline) const {
    Clock::time_point until = std::min(deadline, nextTick_);
    if (actions_.Rate > 0 && !turns_.empty()) {
        until = std::min(until, actions_.Next());
    }
    if (lines_.Rate > 0) {
        until = std::min(until, lines_.Next());
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
    return static_cast<int>(std::clamp<int64_t>(wait.count(), 0, 1000));
}

}  // namespace tavlora
