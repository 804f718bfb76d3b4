// SPDX-License-Identifier: GPL-3.0-or-later
#include "chaos/chaos_run.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "bot/server_thread.h"
#include "bot/swarm.h"
#include "chaos/agreement.h"
#include "chaos/descriptors.h"
#include "rules/clock.h"

namespace tavlora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto Slice = std::chrono::milliseconds(20);
constexpr auto SlowReadInterval = std::chrono::milliseconds(100);
constexpr uint32_t NameWaitMs = 10001;  // one more than the server grants a newcomer
constexpr int UnknownFramesPerPhase = 3;
constexpr int FloodBatch = 50;
const std::string HostUser = "Wirt";
const std::string SyncLine = "sync";

// A move sent by a program that had hung through its time.
struct StaleMove {
    int32_t White;
    int32_t Black;
    size_t Ply;  // its place in History, had it been taken
    Move Played;
};

// A participant that injects a fault, and what it has done so far.
struct Rogue {
    FaultKind Kind;
    Bot* Player;
    int Number;          // among those of its kind
    int Phase = 1;       // when a fault given once is given
    int ThawPhase = -1;  // stale moves: the phase in which it moves again; late returns: returns
    uint64_t Injected = 0;
    bool Departing = false;  // it has done what ends its connection
    bool Resuming = false;   // back from a hang: silent until it has caught up
    std::vector<StaleMove> StaleMoves;
};

// Ends its connection for good once injected; a late return leaves only when its grace is over.
bool Cuts(FaultKind kind) {
    return Describe(kind).Outcome == FaultOutcome::Leaves && !ComesBack(kind);
}

// A newcomer that joins by hand, to say what the program never would.
class Newcomer {
public:
    bool Connect(uint16_t port) {
        connection_ = network_.Connect("127.0.0.1", port);
        return connection_ != NoConnection;
    }
    // Its welcome, if one comes within limit.
    std::optional<MsgWelcome> AwaitWelcome(Clock::duration limit) {
        const NetEvent event = Next(limit);
        if (const auto* welcome = std::get_if<MsgWelcome>(&event.Received);
            event.Kind == NetEventKind::MessageArrived && welcome != nullptr) {
            return *welcome;
        }
        return std::nullopt;
    }
    void Send(const Message& message) { network_.Send(connection_, EncodeFrame(message)); }
    // Whether the server ends the connection within limit.
    bool AwaitClosed(Clock::duration limit) {
        const Clock::time_point deadline = Clock::now() + limit;
        for (;;) {
            const NetEvent event = Next(deadline - Clock::now());
            if (event.Kind != NetEventKind::MessageArrived) {
                return event.Kind == NetEventKind::Closed;
            }
        }
    }

private:
    NetEvent Next(Clock::duration limit) {
        const Clock::time_point deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            NetEvent event = network_.Poll();
            if (event.Kind != NetEventKind::None) {
                return event;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return {};
    }

    Transport network_;
    ConnectionId connection_ = NoConnection;
};

class ChaosRun final : private SwarmObserver {
public:
    explicit ChaosRun(const ChaosOptions& options);
    ~ChaosRun();
    ChaosReport Run();

private:
    // SwarmObserver
    void MoveSent(const Bot& sender, int32_t, int32_t) override { ++movesBy_[&sender]; }
    void MoveReceived(const Bot&, int32_t, int32_t) override {}
    void LineSent(const Bot&, bool) override {}
    void LineReturned(const Bot&) override {}

    void CastRogues();
    bool Lobby();
    void Prepare();
    void Inject(int phase);
    void Thaw(Rogue& rogue);
    void Return(Rogue& rogue);
    void Play(int phase);
    void Flood(Rogue& flooder);
    bool Barrier();
    bool SyncRound();
    bool Step();
    bool Finish();
    bool RestartHost();
    void Resume();
    void Judge(const ProgramState& server);
    // Every game that ended stayed as it ended.
    void JudgeEnds(const ProgramState& server);
    void JudgeFault(const ProgramState& server, const Rogue& rogue, FaultRow& row) const;
    void CheckClocks(const Game& game, const std::string& whose);

    void SetReading(Bot& bot, bool reading);
    bool Reads(const Bot& bot) const { return !notReading_.contains(&bot); }
    // Gone, cut off, or sure to be: its games are lost, or are about to be.
    bool Departed(const Bot& bot) const;
    bool MayAct(const Bot& bot) const;
    bool AnyTurn() const;
    void ServeSlowReaders();
    const Rogue* RogueOf(const Bot& bot) const;
    bool Fail(const std::string& problem) {
        report_.Problems.push_back(problem);
        return false;
    }

    const ChaosOptions options_;
    ChaosReport report_;
    SteppedClock clock_;
    ServerThread server_;
    BotSwarm swarm_;
    std::vector<Rogue> rogues_;
    std::unordered_map<const Bot*, size_t> rogueOf_;  // into rogues_
    std::unordered_map<const Bot*, uint64_t> movesBy_;
    std::unordered_set<const Bot*> notReading_;
    RandomSource random_;
    Clock::time_point nextSlowRead_;
    std::string journalFolder_;  // the host's journal, for the time of the run
    uint32_t startTick_ = 0;
    // Places in the server's ends (ServerThread::Ends): of each game's end, by its key, and of
    // each departure, by the participant.
    std::unordered_map<uint64_t, size_t> endOf_;
    std::unordered_map<int32_t, size_t> departureOf_;
};

std::string MakeJournalFolder() {
    char pattern[] = "/tmp/tavlora-chaos-XXXXXX";
    const char* folder = mkdtemp(pattern);
    return folder != nullptr ? folder : "";
}

ChaosRun::ChaosRun(const ChaosOptions& options)
    : options_(options),
      server_(HostUser, options.Participants, options.TimeByPlayer, options.TimeByMove, &clock_,
              options.RejoinSeconds),
      swarm_(SwarmOptions{
          .Port = server_.Port(),
          .Count = options.Participants - 1,
          .NamePrefix = "Bot",
          .Chances = {.DrawOffer = options.DrawOffer, .DrawAccept = 0.5, .Resign = options.Resign},
          .Ticks = clock_.Source()}) {
    report_.Options = options;
    report_.Games = options.Participants * (options.Participants - 1) / 2;
    swarm_.SetObserver(this);
    journalFolder_ = MakeJournalFolder();
    if (!journalFolder_.empty()) {
        server_.KeepJournal(journalFolder_ + "/Turnier.journal");
    }
}

ChaosRun::~ChaosRun() {
    server_.Stop();
    if (!journalFolder_.empty()) {
        std::filesystem::remove_all(journalFolder_);
    }
}

ChaosReport ChaosRun::Run() {
    const Clock::time_point start = Clock::now();
    if (options_.Participants < 3 || options_.Participants > MostParticipants ||
        options_.Phases < 5 ||
        options_.Participants - 1 - FaultKindCount * options_.RoguesPerKind < 2) {
        Fail("needs 3 to 127 participants, 5 phases or more and two honest bots");
        return report_;
    }
    startTick_ = clock_.Now();
    if (!Lobby()) {
        report_.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return report_;
    }
    Prepare();
    bool caughtUp = true;
    for (int phase = 0; phase < options_.Phases && caughtUp; ++phase) {
        Inject(phase);
        Play(phase);
        caughtUp = Barrier();
        Resume();
        if (caughtUp && phase == options_.Phases - 2) {
            caughtUp = RestartHost();
        }
        if (caughtUp && phase + 1 < options_.Phases) {
            caughtUp = Step();
        }
    }
    if (caughtUp) {
        Finish();
    }
    report_.DescriptorsAtEnd = SocketsOnPort(server_.Port());
    report_.VirtualSeconds = (clock_.Now() - startTick_) / 1000;
    Judge(server_.Stop());
    report_.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return report_;
}

// The first bots misbehave, one fault kind after the other; one-time faults are spread over
// the phases between the first and the last.
void ChaosRun::CastRogues() {
    const auto& bots = swarm_.Bots();
    const int middle = options_.Phases - 2;  // phases 1 .. Phases - 2
    size_t next = 0;
    int leavers = 0;
    for (int k = 0; k < FaultKindCount; ++k) {
        report_.Faults.push_back({static_cast<FaultKind>(k)});
        for (int number = 0; number < options_.RoguesPerKind; ++number) {
            Rogue rogue{static_cast<FaultKind>(k), bots[next++].get(), number};
            if (Cuts(rogue.Kind)) {
                rogue.Phase = 1 + leavers++ % middle;
            } else if (rogue.Kind == FaultKind::StaleMove) {
                // Hung from the start of a phase, a turn that began before it has seen one
                // step: one more leaves its clock just past zero, within the allowance; two
                // more take it beyond.
                rogue.Phase = 1 + number % (options_.Phases - 3);
                rogue.ThawPhase = rogue.Phase + 1 + number % 2;
            } else if (rogue.Kind == FaultKind::ChatFlood) {
                rogue.Phase = 1 + (options_.Phases / 2 + number) % middle;
            } else if (rogue.Kind == FaultKind::ReturnsInTime) {
                rogue.Phase = 1 + number % middle;
            } else if (rogue.Kind == FaultKind::ReturnsLate) {
                // Two steps of the clock while it is away take it past the grace time; it is
                // refused before the host's restart, which would grant a fresh one.
                rogue.Phase = 1 + number % (options_.Phases - 4);
                rogue.ThawPhase = rogue.Phase + 2;
            }
            rogueOf_[rogue.Player] = rogues_.size();
            rogues_.push_back(rogue);
            ++report_.Faults.back().Participants;
        }
    }
    report_.Honest = options_.Participants - 1 - static_cast<int>(next);
}

bool ChaosRun::Lobby() {
    const uint16_t port = server_.Port();
    if (port == 0) {
        return Fail("the server cannot listen");
    }
    // Newcomers that take the host's name, or none, are refused.
    for (const std::string& name : {HostUser, std::string()}) {
        Newcomer newcomer;
        ++report_.NamesTried;
        std::optional<MsgWelcome> welcome;
        if (!newcomer.Connect(port) || !(welcome = newcomer.AwaitWelcome(options_.WaitLimit))) {
            return Fail("a newcomer got no welcome");
        }
        newcomer.Send(MsgName{welcome->PlayerCount - 1, name});
        report_.NamesRefused += newcomer.AwaitClosed(options_.WaitLimit) ? 1 : 0;
    }
    // One that never names itself holds place 1 while all but one bot join, the lobby full ...
    Newcomer unnamed;
    if (!unnamed.Connect(port) || !unnamed.AwaitWelcome(options_.WaitLimit)) {
        return Fail("a newcomer got no welcome");
    }
    std::string error;
    const int clients = options_.Participants - 1;
    if (!swarm_.Join(options_.WaitLimit, error, clients - 1)) {
        return Fail("joining: " + error);
    }
    CastRogues();
    for (Rogue& rogue : rogues_) {
        if (rogue.Kind == FaultKind::Rename) {
            // Named already, it tries the host's name.
            rogue.Player->SendFrame(EncodeFrame(MsgName{rogue.Player->Index(), HostUser}));
            ++rogue.Injected;
        }
    }
    // ... until the server lets it go after ten seconds, and everyone above moves down. The
    // names of the bots must have reached the server first: on this clock ten seconds pass
    // at once, while a name is on its way.
    if (!Barrier()) {
        return false;
    }
    server_.Advance(NameWaitMs);
    report_.UnnamedFreed = unnamed.AwaitClosed(options_.WaitLimit);
    const auto& bots = swarm_.Bots();
    const bool movedDown = swarm_.RunUntil(
        [&bots] {
            for (size_t i = 0; i < bots.size(); ++i) {
                if (bots[i]->Index() != static_cast<int32_t>(i) + 1) {
                    return false;
                }
            }
            return true;
        },
        options_.WaitLimit);
    if (!movedDown) {
        std::string where;
        for (size_t i = 0; i < bots.size(); ++i) {
            if (bots[i]->Index() != static_cast<int32_t>(i) + 1) {
                where += " " + bots[i]->Name() + " at " + std::to_string(bots[i]->Index());
            }
        }
        return Fail("the bots did not move down when the unnamed place was freed:" + where);
    }
    if (!swarm_.Join(options_.WaitLimit, error)) {
        return Fail("joining: " + error);
    }
    // Everyone that is to stay can come back, from a dropped connection or the host's restart;
    // the server has every announcement before the start.
    for (const auto& bot : swarm_.Bots()) {
        const Rogue* rogue = RogueOf(*bot);
        if (rogue == nullptr || ComesBack(rogue->Kind) ||
            Describe(rogue->Kind).Outcome == FaultOutcome::Stays) {
            bot->AnnounceReturn();
        }
    }
    if (!Barrier()) {
        return false;
    }
    server_.StartWith(options_.Participants);
    if (!swarm_.RunUntil([this] { return swarm_.Started(); }, options_.WaitLimit)) {
        return Fail("the games did not start");
    }
    return true;
}

void ChaosRun::Prepare() {
    report_.DescriptorsAtStart = SocketsOnPort(server_.Port());
    for (Rogue& rogue : rogues_) {
        Bot& bot = *rogue.Player;
        switch (rogue.Kind) {
            case FaultKind::StalledReader:
                bot.SetConduct(BotConduct::Hung);
                [[fallthrough]];
            case FaultKind::SlowReader:
                SetReading(bot, false);
                break;
            default:
                break;
        }
    }
}

void ChaosRun::Inject(int phase) {
    for (Rogue& rogue : rogues_) {
        Bot& bot = *rogue.Player;
        if (bot.Phase() == BotPhase::Gone) {
            continue;
        }
        const bool now = phase == rogue.Phase;
        const int32_t self = bot.Index();
        switch (rogue.Kind) {
            case FaultKind::Reset:
                if (now) {
                    ResetOnClose(swarm_.SocketOf(bot));
                }
                [[fallthrough]];
            case FaultKind::Close:
                if (now) {
                    bot.Leave();
                }
                break;
            case FaultKind::BrokenLength:
                if (now) {
                    bot.SendFrame(BrokenLengthFrame(rogue.Number));
                }
                break;
            case FaultKind::MalformedBody:
                if (now) {
                    bot.SendFrame(MalformedFrame(rogue.Number, self));
                }
                break;
            case FaultKind::UnknownCode:
                for (int i = 0; i < UnknownFramesPerPhase; ++i) {
                    bot.SendFrame(UnknownCodeFrame(random_));
                }
                rogue.Injected += UnknownFramesPerPhase;
                break;
            case FaultKind::LyingClock:
                bot.ClaimClocks(phase % 2 == 0 ? ClockClaim{1000000, 1000000}
                                               : ClockClaim{-1000000, -1000000});
                break;
            case FaultKind::StaleMove:
                if (now) {
                    bot.SetConduct(BotConduct::Hung);
                    SetReading(bot, false);
                } else if (phase == rogue.ThawPhase) {
                    Thaw(rogue);
                }
                break;
            case FaultKind::Frozen:
                if (now) {
                    bot.SetConduct(BotConduct::Silent);
                }
                break;
            case FaultKind::Rename: {
                const Bot& other = *swarm_.Bots().back();
                const std::string name =
                    RenameAttempt(static_cast<int>(rogue.Injected), HostUser, other.Name());
                bot.SendFrame(EncodeFrame(MsgName{self, name}));
                ++rogue.Injected;
                break;
            }
            case FaultKind::ReturnsInTime:  // back at the end of the phase's play
            case FaultKind::ReturnsLate:
                if (now) {
                    bot.Drop();
                    SetReading(bot, false);
                    rogue.Injected = 1;
                } else if (phase == rogue.ThawPhase) {
                    Return(rogue);
                }
                break;
            case FaultKind::ChatFlood:  // during the phase's play
            case FaultKind::SlowReader:
            case FaultKind::StalledReader:
                break;
        }
        if (Cuts(rogue.Kind) && now) {
            rogue.Injected = 1;
            rogue.Departing = true;
        }
    }
}

// The hung program comes back: it moves in every game its copy has it to move in, with the
// clocks it counted before it hung, and only then reads what has come meanwhile. It declares
// nothing before it has caught up: a game may have ended while it hung.
void ChaosRun::Thaw(Rogue& rogue) {
    Bot& bot = *rogue.Player;
    for (Game& game : bot.Games()) {
        if (IsRunning(game) && game.PlayerIndex[game.SideToMove] == bot.Index()) {
            const size_t ply = game.History.size();
            bot.PlayMove(game);
            rogue.StaleMoves.push_back(
                {game.PlayerIndex[White], game.PlayerIndex[Black], ply, game.History.back()});
            ++rogue.Injected;
        }
    }
    SetReading(bot, true);
    bot.SetConduct(BotConduct::Silent);
    rogue.Resuming = true;
}

void ChaosRun::Play(int phase) {
    swarm_.SetRate(options_.Rate);
    const uint64_t target = swarm_.MovesSent() + static_cast<uint64_t>(options_.MovesPerPhase);
    const Clock::time_point deadline = Clock::now() + options_.WaitLimit;
    for (Rogue& rogue : rogues_) {
        if (rogue.Kind == FaultKind::ChatFlood && rogue.Phase == phase) {
            Flood(rogue);
        }
    }
    while (swarm_.MovesSent() < target && AnyTurn() && Clock::now() < deadline) {
        swarm_.RunFor(Slice);
        ServeSlowReaders();
    }
    swarm_.SetRate(0);
    // Away while the others played, they come back on the same clock.
    for (Rogue& rogue : rogues_) {
        if (rogue.Kind == FaultKind::ReturnsInTime && rogue.Phase == phase) {
            Return(rogue);
        }
    }
}

// The dropped program connects anew with its ticket and waits for the server's answer: back,
// or refused.
void ChaosRun::Return(Rogue& rogue) {
    Bot& bot = *rogue.Player;
    if (!bot.Return()) {
        Fail(bot.Name() + " could not connect anew");
        return;
    }
    SetReading(bot, true);
    if (!swarm_.RunUntil([&bot] { return bot.Phase() != BotPhase::Returning; },
                         options_.WaitLimit)) {
        Fail(bot.Name() + " had no answer to its return");
    }
}

// The longest lines the program sends, a batch at a time while the games go on: each batch
// is passed on to every reader before the next, so only those that do not read fall far
// behind.
void ChaosRun::Flood(Rogue& flooder) {
    Bot& bot = *flooder.Player;
    const auto& bots = swarm_.Bots();
    for (int sent = 0; sent < options_.FloodLines && bot.Phase() != BotPhase::Gone;) {
        std::vector<uint64_t> before;
        for (const auto& reader : bots) {
            before.push_back(reader->ChatsFrom(bot.Index()));
        }
        const int batch = std::min(FloodBatch, options_.FloodLines - sent);
        for (int i = 0; i < batch; ++i) {
            bot.Say(FloodLine());
        }
        sent += batch;
        flooder.Injected += static_cast<uint64_t>(batch);
        const Clock::time_point deadline = Clock::now() + options_.WaitLimit;
        bool passedOn = false;
        while (!passedOn && Clock::now() < deadline) {
            swarm_.RunFor(Slice);
            ServeSlowReaders();
            passedOn = true;
            for (size_t i = 0; i < bots.size() && passedOn; ++i) {
                const Bot& reader = *bots[i];
                passedOn =
                    !Reads(reader) || Departed(reader) ||
                    reader.ChatsFrom(bot.Index()) >= before[i] + static_cast<uint64_t>(batch);
            }
        }
    }
}

// Twice: what a program does on receipt of something the first round waited for (accepting
// a draw offered to it) has left before its line of the second.
bool ChaosRun::Barrier() {
    return SyncRound() && SyncRound();
}

// Every program that may still act says a line, and the run waits until every reader has
// each of those lines and knows of every departure: the server has then taken everything
// sent before, and every reader has what the server passed on before.
bool ChaosRun::SyncRound() {
    swarm_.SetRate(0);
    const auto& bots = swarm_.Bots();
    std::vector<Bot*> senders;
    for (const auto& bot : bots) {
        if (MayAct(*bot)) {
            senders.push_back(bot.get());
        }
    }
    std::vector<std::vector<uint64_t>> before(bots.size());
    for (size_t r = 0; r < bots.size(); ++r) {
        for (const Bot* sender : senders) {
            before[r].push_back(bots[r]->ChatsFrom(sender->Index()));
        }
    }
    for (Bot* sender : senders) {
        sender->Say(SyncLine);
    }
    std::string missing;
    std::vector<const Bot*> departed;
    const bool caughtUp = swarm_.RunUntil(
        [&] {
            departed.clear();
            for (const auto& bot : bots) {
                if (Departed(*bot)) {
                    departed.push_back(bot.get());
                }
            }
            const auto gone = [&departed](const Bot* bot) {
                return std::ranges::find(departed, bot) != departed.end();
            };
            for (size_t r = 0; r < bots.size(); ++r) {
                const Bot& reader = *bots[r];
                if (!Reads(reader) || gone(&reader)) {
                    continue;
                }
                for (size_t s = 0; s < senders.size(); ++s) {
                    if (reader.ChatsFrom(senders[s]->Index()) <= before[r][s] &&
                        !gone(senders[s])) {
                        missing = reader.Name() + " has no line from " + senders[s]->Name();
                        return false;
                    }
                }
                for (const Bot* other : departed) {
                    if (!reader.State().Players[static_cast<size_t>(other->Index())].Left) {
                        missing = reader.Name() + " does not know that " + other->Name() + " left";
                        return false;
                    }
                }
            }
            return true;
        },
        options_.WaitLimit);
    return caughtUp || Fail("the programs never caught up: " + missing);
}

// A step of the clock, between two passes of the server, and every bot's clocks at once
// after it, before anything else reaches them. The time-outs they declare reach the server
// before the next phase injects anything: a program ends its own game on time at once, and
// an opponent's departure that the server took first would leave it a different Result.
bool ChaosRun::Step() {
    server_.Advance(options_.StepMs);
    for (const auto& bot : swarm_.Bots()) {
        bot->Tick();
    }
    return Barrier();
}

// The readers come back and catch up; whatever they declare is taken and passed on before
// the copies are compared.
bool ChaosRun::Finish() {
    for (Rogue& rogue : rogues_) {
        if (rogue.Kind == FaultKind::SlowReader || rogue.Kind == FaultKind::StalledReader) {
            rogue.Player->SetConduct(BotConduct::Silent);
            rogue.Resuming = true;
            SetReading(*rogue.Player, true);
        }
    }
    // Those the server has let go learn it once they have read what it handed over before.
    const auto& bots = swarm_.Bots();
    const bool noticed = swarm_.RunUntil(
        [&] {
            return std::ranges::all_of(bots, [this](const auto& bot) {
                return bot->Phase() == BotPhase::Gone || !server_.HasLeft(bot->Index());
            });
        },
        options_.WaitLimit);
    if (!noticed || !Barrier()) {
        return noticed || Fail("a reader the server let go never noticed");
    }
    Resume();
    for (const auto& bot : swarm_.Bots()) {
        bot->Tick();
    }
    if (!Barrier()) {
        return false;
    }
    for (const auto& bot : swarm_.Bots()) {
        bot->Tick();  // the results of what the last barrier brought
    }
    return true;
}

// The host's program is killed and started again from its journal. Every program that can come
// back notices the end of its connection and is back by itself; those that read nothing now
// notice later, and those that cannot come back have left.
bool ChaosRun::RestartHost() {
    if (!server_.Restart()) {
        return Fail("the host could not take its tournament up again from its journal");
    }
    ++report_.HostRestarts;
    const auto& bots = swarm_.Bots();
    const auto back = [this](const Bot& bot) {
        return bot.Phase() == BotPhase::Playing && !server_.IsAway(bot.Index());
    };
    const bool allBack = swarm_.RunUntil(
        [&] {
            return std::ranges::all_of(bots, [&](const auto& bot) {
                return !Reads(*bot) || bot->Phase() == BotPhase::Gone || back(*bot);
            });
        },
        options_.WaitLimit);
    report_.BackAfterRestart =
        static_cast<int>(std::ranges::count_if(bots, [&](const auto& bot) { return back(*bot); }));
    return (allBack || Fail("not every program came back after the host's restart")) && Barrier();
}

void ChaosRun::Judge(const ProgramState& server) {
    const RefereeGames referee(server);
    Agreement agreement;
    int connected = 0;
    for (int32_t i = 1; i < server.PlayerCount; ++i) {
        connected += server.Players[static_cast<size_t>(i)].PlayerConnection != NoConnection;
    }
    report_.MovesSent = swarm_.MovesSent();
    report_.MovesReceived = swarm_.MovesReceived();
    for (const auto& bot : swarm_.Bots()) {
        report_.Messages += bot->MessagesReceived();
        const int32_t index = bot->Index();
        if (index < 1 || index >= server.PlayerCount) {
            Fail(bot->Name() + " has no place on the server");
            continue;
        }
        const Player& entry = server.Players[static_cast<size_t>(index)];
        const bool gone = bot->Phase() == BotPhase::Gone;
        const Rogue* rogue = RogueOf(*bot);
        if (gone && rogue == nullptr) {
            Fail("honest " + bot->Name() + " lost its place: " + bot->Error());
        }
        if (gone != entry.Left) {
            Fail(bot->Name() + (gone ? " is gone, but the server still counts it"
                                     : " was let go by the server, but never noticed"));
        }
        if (entry.PlayerName != bot->Name()) {
            Fail(bot->Name() + " is called \"" + entry.PlayerName + "\" on the server");
        }
        if (gone) {
            continue;
        }
        ++report_.Survivors;
        referee.Compare(bot->Games(), index, bot->Name(),
                        rogue != nullptr ? Describe(rogue->Kind).Clocks : ClockCheck::All,
                        agreement);
        for (const Game& game : bot->Games()) {
            CheckClocks(game, bot->Name());
        }
    }
    report_.Compared = agreement.Compared;
    report_.Crossings = agreement.Crossings;
    report_.Mismatches = agreement.Mismatches;

    report_.DescriptorsExpected = 1 + connected;  // the listening socket and one per client
    if (connected != report_.Survivors) {
        Fail("the server holds " + std::to_string(connected) + " connections for " +
             std::to_string(report_.Survivors) + " participants");
    }
    if (report_.DescriptorsAtEnd != report_.DescriptorsExpected) {
        Fail("the server holds " + std::to_string(report_.DescriptorsAtEnd) +
             " descriptors at the end");
    }

    TickOfPass now(server.TickCount);
    for (const Game& game : server.Games) {
        report_.MovesOnServer += game.History.size();
        CheckClocks(game, "the server");
        if (IsRunning(game) && OutOfTimeBeyondAllowance(game, server, now)) {
            Fail("the server let game " + std::to_string(game.PlayerIndex[White]) + "-" +
                 std::to_string(game.PlayerIndex[Black]) + " run on after its time");
        }
        if (IsRunning(game)) {
            continue;
        }
        ++report_.Finished;
        if (game.State == TimeOut) {
            ++report_.TimeOuts;
            const Bot* loser = nullptr;
            for (const auto& bot : swarm_.Bots()) {
                if (bot->Index() == game.PlayerIndex[game.SideToMove]) {
                    loser = bot.get();
                }
            }
            const Rogue* rogue = loser != nullptr ? RogueOf(*loser) : nullptr;
            report_.RefereeTimeOuts += rogue != nullptr && rogue->Kind == FaultKind::Frozen;
        }
    }
    JudgeEnds(server);
    for (const Rogue& rogue : rogues_) {
        JudgeFault(server, rogue, report_.Faults[static_cast<size_t>(rogue.Kind)]);
    }
    for (const FaultRow& row : report_.Faults) {
        if (row.Held != row.Participants) {
            Fail(std::string(Describe(row.Kind).Name) + ": " + std::to_string(row.Held) + " of " +
                 std::to_string(row.Participants) + " as expected");
        }
    }
    if (report_.NamesRefused != report_.NamesTried || !report_.UnnamedFreed) {
        Fail("a newcomer was let in with a taken or an empty name, or held its place unnamed");
    }
}

void ChaosRun::JudgeEnds(const ProgramState& server) {
    const std::vector<ServerEnd>& ends = server_.Ends();
    for (size_t i = 0; i < ends.size(); ++i) {
        const ServerEnd& end = ends[i];
        if (end.Leaver >= 0) {
            departureOf_[end.Leaver] = i;
        } else {
            endOf_[GameKey(end.PlayerIndex[White], end.PlayerIndex[Black])] = i;
        }
    }
    for (const Game& game : server.Games) {
        const auto found = endOf_.find(GameKey(game.PlayerIndex[White], game.PlayerIndex[Black]));
        if (found == endOf_.end()) {
            continue;
        }
        const ServerEnd& end = ends[found->second];
        if (game.State != end.State || game.SideToMove != end.SideToMove) {
            Fail("game " + std::to_string(game.PlayerIndex[White]) + "-" +
                 std::to_string(game.PlayerIndex[Black]) + " changed after it had ended");
        }
    }
}

void ChaosRun::JudgeFault(const ProgramState& server, const Rogue& rogue, FaultRow& row) const {
    const Bot& bot = *rogue.Player;
    const int32_t self = bot.Index();
    const bool gone = bot.Phase() == BotPhase::Gone;
    row.Left += gone ? 1 : 0;
    bool held = true;
    switch (Describe(rogue.Kind).Outcome) {
        case FaultOutcome::Leaves: {
            // Every game it still played ended with its departure, lost for it; one that had
            // ended before kept its end (which JudgeEnds holds every game to).
            const auto departure = departureOf_.find(self);
            held = gone && departure != departureOf_.end();
            for (const Game& game : server.Games) {
                const int32_t side = SideOf(game, self);
                if (side < 0 || !held) {
                    continue;
                }
                const auto end =
                    endOf_.find(GameKey(game.PlayerIndex[White], game.PlayerIndex[Black]));
                held = end != endOf_.end() && (end->second < departure->second ||
                                               (game.State == Resigned && game.SideToMove == side));
            }
            break;
        }
        case FaultOutcome::Stays:
            held = !gone;
            break;
        case FaultOutcome::Either:
            break;
    }
    row.Held += held ? 1 : 0;
    uint64_t injected = rogue.Injected;
    switch (rogue.Kind) {
        case FaultKind::LyingClock: {  // every move it made lied
            const auto moves = movesBy_.find(&bot);
            injected = moves != movesBy_.end() ? moves->second : 0;
            break;
        }
        case FaultKind::Frozen:  // the games it let run out
            injected =
                static_cast<uint64_t>(std::ranges::count_if(server.Games, [self](const Game& game) {
                    return game.State == TimeOut && game.PlayerIndex[game.SideToMove] == self;
                }));
            break;
        case FaultKind::StaleMove:
            for (const StaleMove& stale : rogue.StaleMoves) {
                for (const Game& game : server.Games) {
                    row.Taken += game.PlayerIndex[White] == stale.White &&
                                 game.PlayerIndex[Black] == stale.Black &&
                                 game.History.size() > stale.Ply &&
                                 game.History[stale.Ply] == stale.Played;
                }
            }
            break;
        default:
            break;
    }
    row.Injected += injected;
}

// No clock ever holds more than its limit, and none runs below what the run's time allows.
void ChaosRun::CheckClocks(const Game& game, const std::string& whose) {
    const int32_t lowest = -static_cast<int32_t>((clock_.Now() - startTick_) / 1000) - 1;
    const auto fits = [lowest](int32_t left, int32_t limitMinutes) {
        return limitMinutes <= 0 ? left == 0 : left >= lowest && left <= limitMinutes * 60;
    };
    for (int32_t c : {White, Black}) {
        if (!fits(game.PlayerTimeLeft[c], options_.TimeByPlayer) ||
            !fits(game.MoveTimeLeft[c], options_.TimeByMove)) {
            Fail(whose + ": a clock out of its limits in game " +
                 std::to_string(game.PlayerIndex[White]) + "-" +
                 std::to_string(game.PlayerIndex[Black]) + ": " +
                 std::to_string(game.PlayerTimeLeft[c]) + "/" +
                 std::to_string(game.MoveTimeLeft[c]));
        }
    }
}

// Those back from a hang have caught up: they act, and declare, again.
void ChaosRun::Resume() {
    for (Rogue& rogue : rogues_) {
        if (rogue.Resuming) {
            rogue.Player->SetConduct(BotConduct::Honest);
            rogue.Resuming = false;
        }
    }
}

void ChaosRun::SetReading(Bot& bot, bool reading) {
    swarm_.SetReading(bot, reading);
    if (reading) {
        notReading_.erase(&bot);
    } else {
        notReading_.insert(&bot);
    }
}

bool ChaosRun::Departed(const Bot& bot) const {
    const Rogue* rogue = RogueOf(bot);
    return (rogue != nullptr && rogue->Departing) || bot.Phase() == BotPhase::Gone ||
           server_.HasLeft(bot.Index());
}

bool ChaosRun::MayAct(const Bot& bot) const {
    return bot.Conduct() == BotConduct::Honest && !Departed(bot) && bot.Phase() != BotPhase::Away;
}

bool ChaosRun::AnyTurn() const {
    for (const auto& bot : swarm_.Bots()) {
        if (!MayAct(*bot)) {
            continue;
        }
        for (const Game& game : bot->Games()) {
            if (IsRunning(game) && game.PlayerIndex[game.SideToMove] == bot->Index()) {
                return true;
            }
        }
    }
    return false;
}

// A slow reader takes what its small buffer holds, ten times a second.
void ChaosRun::ServeSlowReaders() {
    const Clock::time_point now = Clock::now();
    if (now < nextSlowRead_) {
        return;
    }
    nextSlowRead_ = now + SlowReadInterval;
    for (Rogue& rogue : rogues_) {
        if (rogue.Kind == FaultKind::SlowReader && !Reads(*rogue.Player)) {
            rogue.Player->Service();
        }
    }
}

const Rogue* ChaosRun::RogueOf(const Bot& bot) const {
    const auto found = rogueOf_.find(&bot);
    return found != rogueOf_.end() ? &rogues_[found->second] : nullptr;
}

}  // namespace

ChaosReport RunChaos(const ChaosOptions& options) {
    return ChaosRun(options).Run();
}

}  // namespace tavlora
