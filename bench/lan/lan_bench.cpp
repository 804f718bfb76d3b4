// SPDX-License-Identifier: GPL-3.0-or-later
// lan_bench: the program at full size on loopback. Starts the program as the server (and a
// second copy as a client) with a scripted user, fills the lobby with bots up to 127
// participants, starts the 8,001 games with both clocks in use, and measures the relay latency
// of moves at several rates, the CPU and memory of both programs while every game runs and
// nobody moves, the time of one main-loop pass, and the round trip of chat lines that bots
// answer at once, whose answers reach the server while it is still relaying the line they
// answer. Then the floor of the machine in the same run: the same bots, with new connections,
// through a relay that does nothing else (lan_floor), at the same rates. Prints the tables and
// ends by itself.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bot/swarm.h"
#include "lan/child_process.h"
#include "lan/latency_recorder.h"
#include "lan/loopback.h"
#include "net/protocol.h"

namespace tavlora {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// 127.0.0.1 as the settings file keeps it: the first number in the lowest byte.
constexpr int32_t LoopbackSetting = 16777343;
// How often the kernel's queues are looked at while moves flow.
constexpr auto BacklogInterval = std::chrono::milliseconds(250);
// Exit code when neither a network namespace of its own nor the program's port is to be had.
constexpr int NoLoopbackExit = 77;

enum class LoopbackChoice { Auto, Private, Shared };

struct Options {
    std::string Program;
    std::string Floor;  // the relay of the floor; empty: no floor
    std::string Root = ".";
    int Bots = -1;  // -1: as many as fill 127 places
    bool Client = true;
    std::vector<double> Rates = {50, 500, 1000};
    double LineRate = 20;  // chat lines per second, each answered at once; 0: none
    double PhaseSeconds = 15;
    double IdleSeconds = 10;
    double SettleSeconds = 5;
    int32_t TimeByPlayer = 60;
    int32_t TimeByMove = 30;
    LoopbackChoice Loopback = LoopbackChoice::Auto;
    int Nice = 0;       // scheduling priority of the driver and the programs
    double Resign = 0;  // chance that a bot resigns instead of moving
    int Returns = 5;    // times the client's connection is cut and it comes back
    int Restarts = 3;   // times the server's program is killed and started again
};

struct PassStats {
    long Count = 0;
    double MedianUs = 0;
    double P99Us = 0;
    double MaxUs = 0;
    double CpuMedianUs = 0;  // CPU time of the program's thread, which a busy machine
    double CpuP99Us = 0;     // does not stretch
};

struct AnswerRow {
    double Target = 0;
    double Achieved = 0;  // lines said per second, answers included
    double FirstMedianMs = 0;
    double AnswerMedianMs = 0;
    double AnswerP99Ms = 0;
    uint64_t Lost = 0;
};

struct IdleRow {
    std::string Program;
    double CpuPercent = 0;
    double ResidentMiB = 0;
    PassStats Passes;
    double Seconds = 0;
};

// The client's way back after its connection was cut, in milliseconds from the cut.
struct ReturnFigures {
    std::vector<double> BackMs;     // welcomed back: the lobby's line of the way back gone
    std::vector<double> DrainedMs;  // every game's state read: nothing queued for it any more
};

// The host's program killed and started again, in milliseconds from the kill.
struct RestartFigures {
    std::vector<double> LobbyMs;    // the program started again has resumed: its lobby is open
    std::vector<double> AllBackMs;  // every other participant welcomed back
    std::vector<double> JournalKiB;
};

struct RateRow {
    double Target = 0;
    double Achieved = 0;
    double MedianMs = 0;
    double P99Ms = 0;
    uint64_t Lost = 0;
    double DrainMs = 0;
    double ServerCpu = 0;  // the floor's relay, in the floor's rows
    double ClientCpu = 0;
    double BotsCpu = 0;
    double ServerQueueKiB = 0;  // most seen while the moves flowed
    double ClientQueueKiB = 0;
    bool ClientConnected = true;
    PassStats ServerPasses;
};

int Usage() {
    std::fputs(
        "usage: lan_bench --program PATH [options]\n"
        "  --program PATH        the scripted program (lan_program)\n"
        "  --floor PATH          the relay that does nothing else (lan_floor), measured after\n"
        "                        the program with the same bots; without it, no floor\n"
        "  --root DIR            working folder of the programs, holding Image/ (.)\n"
        "  --bots N              bots (fill up to 127 participants)\n"
        "  --no-client           no second copy of the program as a client\n"
        "  --rates R,R,...       moves per second over all bots (50,500,1000)\n"
        "  --lines R             chat lines per second, each answered at once by its bot when\n"
        "                        the server's relay brings it back (20); 0 leaves them out\n"
        "  --phase S             seconds of moves per rate (15)\n"
        "  --idle S              seconds of the idle measurement (10)\n"
        "  --settle S            seconds after the start before measuring (5)\n"
        "  --time-by-player M    game clock in minutes (60)\n"
        "  --time-by-move M      move clock in minutes (30)\n"
        "  --loopback auto|private|shared   own network namespace or the machine's (auto)\n"
        "  --nice N              scheduling priority of everything it runs, -20 to 19 (0);\n"
        "                        below 0 keeps other work on a shared machine from distorting\n"
        "                        the figures\n"
        "  --resign P            chance that a bot resigns instead of moving (0), so that\n"
        "                        games end, are saved and counted while the moves flow\n"
        "  --returns N           times the client's connection is cut and it comes back (5)\n"
        "  --restarts N          times the server's program is killed (SIGKILL) and started\n"
        "                        again, taking its tournament up from its journal (3)\n",
        stderr);
    return 2;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseRates(std::string_view text, std::vector<double>& rates) {
    rates.clear();
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(',', start), text.size());
        double rate = 0;
        if (!ParseNumber(text.substr(start, comma - start), rate) || rate <= 0) {
            return false;
        }
        rates.push_back(rate);
        start = comma + 1;
    }
    return !rates.empty();
}

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--no-client") {
            options.Client = false;
            continue;
        }
        if (i + 1 >= argc) {
            return false;
        }
        const std::string_view value = argv[++i];
        bool ok = true;
        if (option == "--program") {
            options.Program = value;
        } else if (option == "--floor") {
            options.Floor = value;
        } else if (option == "--root") {
            options.Root = value;
        } else if (option == "--bots") {
            ok = ParseNumber(value, options.Bots) && options.Bots >= 1;
        } else if (option == "--rates") {
            ok = ParseRates(value, options.Rates);
        } else if (option == "--lines") {
            ok = ParseNumber(value, options.LineRate) && options.LineRate >= 0;
        } else if (option == "--phase") {
            ok = ParseNumber(value, options.PhaseSeconds) && options.PhaseSeconds > 0;
        } else if (option == "--idle") {
            ok = ParseNumber(value, options.IdleSeconds) && options.IdleSeconds > 0;
        } else if (option == "--settle") {
            ok = ParseNumber(value, options.SettleSeconds) && options.SettleSeconds >= 0;
        } else if (option == "--time-by-player") {
            ok = ParseNumber(value, options.TimeByPlayer) && options.TimeByPlayer > 0;
        } else if (option == "--time-by-move") {
            ok = ParseNumber(value, options.TimeByMove) && options.TimeByMove > 0;
        } else if (option == "--returns") {
            ok = ParseNumber(value, options.Returns) && options.Returns >= 0;
        } else if (option == "--restarts") {
            ok = ParseNumber(value, options.Restarts) && options.Restarts >= 0;
        } else if (option == "--resign") {
            ok = ParseNumber(value, options.Resign) && options.Resign >= 0 && options.Resign <= 1;
        } else if (option == "--nice") {
            ok = ParseNumber(value, options.Nice) && options.Nice >= -20 && options.Nice <= 19;
        } else if (option == "--loopback") {
            if (value == "auto") {
                options.Loopback = LoopbackChoice::Auto;
            } else if (value == "private") {
                options.Loopback = LoopbackChoice::Private;
            } else if (value == "shared") {
                options.Loopback = LoopbackChoice::Shared;
            } else {
                ok = false;
            }
        } else {
            ok = false;
        }
        if (!ok) {
            return false;
        }
    }
    const int others = 1 + (options.Client ? 1 : 0);
    if (options.Bots < 0) {
        options.Bots = MostParticipants - others;
    }
    return !options.Program.empty() && options.Bots + others <= MostParticipants;
}

std::string Machine() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    std::string model = "unknown CPU";
    while (std::getline(cpuinfo, line)) {
        if (line.starts_with("model name")) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    return model + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores";
}

double LoadAverage() {
    std::ifstream file("/proc/loadavg");
    double load = 0;
    file >> load;
    return load;
}

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The priority of this process and of every program it starts. Where the kernel groups the
// processes of each session for scheduling, a priority counts only within the group, so the
// driver takes a session of its own and gives the group the priority too.
bool SetPriority(int nice) {
    setsid();
    if (std::ofstream group("/proc/self/autogroup"); group) {
        group << nice;
    }
    return setpriority(PRIO_PROCESS, 0, nice) == 0;
}

// The settings window reads its inputs from here; the scripted user only presses the button.
void WriteSettings(const std::filesystem::path& configHome, const std::vector<std::string>& keys) {
    const std::filesystem::path folder = configHome / "Zendrik" / "Tavlora";
    std::filesystem::create_directories(folder);
    std::ofstream file(folder / "Preference.ini", std::ios::binary);
    for (const std::string& key : keys) {
        file << key << "\r\n";
    }
}

std::optional<PassStats> ParsePasses(const std::string& line) {
    std::istringstream fields(line);
    std::string word;
    PassStats stats;
    if (fields >> word >> stats.Count >> stats.MedianUs >> stats.P99Us >> stats.MaxUs >>
            stats.CpuMedianUs >> stats.CpuP99Us &&
        word == "passes") {
        return stats;
    }
    return std::nullopt;
}

// The bots and what they measure. The program and the floor each get a crowd of their own,
// with connections of their own.
struct Crowd {
    Crowd(const Options& options, int32_t participants)
        : Swarm(SwarmOptions{.Address = "127.0.0.1",
                             .Port = DefaultPort,
                             .Count = options.Bots,
                             .NamePrefix = "Bot",
                             .Chances = {.DrawOffer = 0, .DrawAccept = 0, .Resign = options.Resign},
                             .CanReturn = true}),
          Recorder(participants) {
        Swarm.SetObserver(&Recorder);
    }

    BotSwarm Swarm;
    LatencyRecorder Recorder;
};

class Bench {
public:
    explicit Bench(const Options& options)
        : options_(options),
          participants_(1 + (options.Client ? 1 : 0) + options.Bots),
          crowd_(std::make_unique<Crowd>(options, participants_)) {}

    // The whole run; false with Problem() set when a step fails.
    bool Run();
    const std::string& Problem() const { return problem_; }
    // The run could not start: no loopback of its own and the program's port taken.
    bool NoLoopback() const { return noLoopback_; }
    void PrintTable() const;

private:
    bool PrepareLoopback();
    bool StartPrograms();
    bool JoinAndStart();
    void MeasureIdle();
    void MeasureRate(double rate);
    // Moves at rate from the crowd's bots, and how fast every other bot had each; the CPU
    // columns of the programs are the caller's, told the seconds of moves when they end.
    RateRow MeasureRelay(double rate, const std::function<void(RateRow&, double)>& ended);
    AnswerRow MeasureAnswers();
    void MeasureReturns();
    void MeasureRestarts();
    // Every bot away tries to come back, about once a second as the program does, until
    // everyone is; false after limit.
    bool AwaitEveryoneBack(Seconds limit);
    void Stop();
    bool MeasureFloor();

    bool Fail(const std::string& problem) {
        problem_ = problem;
        return false;
    }
    // Serves the bots until the program writes a line beginning with prefix, which is
    // returned; none when it ends, reports an error or takes longer than limit.
    std::optional<std::string> Await(ChildProcess& program, const std::string& name,
                                     const std::string& prefix, Seconds limit);
    Backlog SampleBacklog() const { return ReadBacklog(DefaultPort, botPorts_); }
    void Progress(const std::string& text) const {
        std::fprintf(stderr, "lan_bench: %s\n", text.c_str());
    }

    const Options options_;
    const int32_t participants_;
    std::unique_ptr<Crowd> crowd_;
    ChildProcess server_;
    ChildProcess client_;
    ChildSpec serverSpec_;
    ChildProcess floor_;
    std::filesystem::path folder_;
    std::vector<uint16_t> botPorts_;
    std::string loopback_;
    bool noLoopback_ = false;
    double loadBefore_ = 0;
    double loadAfter_ = 0;
    std::vector<IdleRow> idle_;
    std::vector<RateRow> rates_;
    std::optional<AnswerRow> answers_;
    std::optional<IdleRow> floorIdle_;
    std::vector<RateRow> floorRates_;
    std::optional<AnswerRow> floorAnswers_;
    ReturnFigures returns_;
    RestartFigures restarts_;
    std::string problem_;
};

bool Bench::Run() {
    loadBefore_ = LoadAverage();
    if (options_.Nice != 0 && !SetPriority(options_.Nice)) {
        return Fail("cannot set the priority to " + std::to_string(options_.Nice));
    }
    if (!PrepareLoopback() || !StartPrograms() || !JoinAndStart()) {
        Stop();
        return false;
    }
    Progress("settling for " + std::to_string(options_.SettleSeconds) + " s");
    crowd_->Swarm.RunFor(
        std::chrono::duration_cast<Clock::duration>(Seconds(options_.SettleSeconds)));
    MeasureIdle();
    for (double rate : options_.Rates) {
        MeasureRate(rate);
    }
    if (options_.LineRate > 0) {
        Progress("chat lines at " + std::to_string(static_cast<int>(options_.LineRate)) +
                 " per second, each answered at once");
        answers_ = MeasureAnswers();
    }
    if (options_.Client) {
        MeasureReturns();
    }
    MeasureRestarts();
    Stop();
    if (!options_.Floor.empty()) {
        MeasureFloor();
    }
    loadAfter_ = LoadAverage();
    std::filesystem::remove_all(folder_);
    return problem_.empty();
}

bool Bench::PrepareLoopback() {
    std::string error;
    if (options_.Loopback != LoopbackChoice::Shared && UsePrivateLoopback(error)) {
        loopback_ = "a network namespace of its own";
        return true;
    }
    if (options_.Loopback == LoopbackChoice::Private) {
        noLoopback_ = true;
        return Fail(error);
    }
    if (!PortIsFree(DefaultPort)) {
        noLoopback_ = true;
        return Fail("port " + std::to_string(DefaultPort) + " is in use (" + error + ")");
    }
    loopback_ = "the machine's own";
    return true;
}

bool Bench::StartPrograms() {
    char pattern[] = "/tmp/tavlora-lan-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return Fail("no temporary folder");
    }
    folder_ = pattern;
    const std::string program = std::filesystem::absolute(options_.Program).string();
    const std::string root = std::filesystem::absolute(options_.Root).string();
    const auto spec = [&](const std::string& role) {
        return ChildSpec{program,
                         {role},
                         {"XDG_CONFIG_HOME=" + (folder_ / role).string(),
                          "APPDATA=", "QT_QPA_PLATFORM=offscreen"},
                         root,
                         (folder_ / (role + ".log")).string()};
    };

    WriteSettings(folder_ / "server", {"Name = Server", "PlayerMode = 0",
                                       "MaxPlayer = " + std::to_string(participants_),
                                       "TimeByPlayer = " + std::to_string(options_.TimeByPlayer),
                                       "TimeByMove = " + std::to_string(options_.TimeByMove)});
    std::string error;
    serverSpec_ = spec("server");
    if (!server_.Start(serverSpec_, error)) {
        return Fail("server: " + error);
    }
    if (!Await(server_, "server", "lobby", Seconds(60))) {
        return Fail(problem_.empty() ? "the server's lobby did not open" : problem_);
    }
    Progress("server lobby open");
    if (!options_.Client) {
        return true;
    }
    WriteSettings(folder_ / "client", {"Name = Client", "PlayerMode = 1",
                                       "ServerIP = " + std::to_string(LoopbackSetting)});
    if (!client_.Start(spec("client"), error)) {
        return Fail("client: " + error);
    }
    if (!Await(client_, "client", "lobby", Seconds(60))) {
        return Fail(problem_.empty() ? "the client's lobby did not open" : problem_);
    }
    Progress("client joined");
    return true;
}

bool Bench::JoinAndStart() {
    BotSwarm& swarm = crowd_->Swarm;
    std::string error;
    if (!swarm.Join(std::chrono::seconds(120), error)) {
        return Fail("bots: " + error);
    }
    botPorts_ = swarm.LocalPorts();
    Progress(std::to_string(options_.Bots) + " bots joined");
    if (options_.Client) {
        client_.Send("ready");
    }
    server_.Send("start");
    if (!Await(server_, "server", "started", Seconds(120))) {
        return Fail(problem_.empty() ? "the server did not start the games" : problem_);
    }
    if (options_.Client && !Await(client_, "client", "started", Seconds(120))) {
        return Fail(problem_.empty() ? "the client did not start its games" : problem_);
    }
    if (!swarm.RunUntil([&swarm] { return swarm.Started(); }, std::chrono::seconds(60))) {
        return Fail("the bots did not all receive the start");
    }
    // Every game shown, and the standings open; every game is saved as it ends.
    std::vector<ChildProcess*> programs{&server_};
    if (options_.Client) {
        programs.push_back(&client_);
    }
    for (ChildProcess* program : programs) {
        program->Send("showall");
        program->Send("table");
    }
    Progress("games started, all shown, standings open");
    return true;
}

void Bench::MeasureIdle() {
    Progress("idle for " + std::to_string(options_.IdleSeconds) + " s");
    server_.Send("time");
    if (options_.Client) {
        client_.Send("time");
    }
    const Clock::time_point start = Clock::now();
    const double serverStart = server_.CpuSeconds();
    const double clientStart = options_.Client ? client_.CpuSeconds() : 0;
    crowd_->Swarm.RunFor(
        std::chrono::duration_cast<Clock::duration>(Seconds(options_.IdleSeconds)));
    const double seconds = Seconds(Clock::now() - start).count();

    const auto row = [&](ChildProcess& program, const std::string& name, double cpuStart) {
        IdleRow idle{name,
                     100 * (program.CpuSeconds() - cpuStart) / seconds,
                     program.ResidentMiB(),
                     {},
                     seconds};
        program.Send("report");
        if (const auto line = Await(program, name, "passes", Seconds(30))) {
            idle.Passes = ParsePasses(*line).value_or(PassStats{});
        }
        idle_.push_back(idle);
    };
    row(server_, "server", serverStart);
    if (options_.Client) {
        row(client_, "client", clientStart);
    }
}

void Bench::MeasureRate(double rate) {
    Progress("moves at " + std::to_string(static_cast<int>(rate)) + " per second");
    server_.Send("time");
    const double serverStart = server_.CpuSeconds();
    const double clientStart = options_.Client ? client_.CpuSeconds() : 0;
    RateRow row = MeasureRelay(rate, [&](RateRow& measured, double seconds) {
        measured.ServerCpu = 100 * (server_.CpuSeconds() - serverStart) / seconds;
        measured.ClientCpu =
            options_.Client ? 100 * (client_.CpuSeconds() - clientStart) / seconds : 0;
    });
    row.ClientConnected = !options_.Client || SampleBacklog().ClientConnected;
    server_.Send("report");
    if (const auto line = Await(server_, "server", "passes", Seconds(30))) {
        row.ServerPasses = ParsePasses(*line).value_or(PassStats{});
    }
    rates_.push_back(row);
}

RateRow Bench::MeasureRelay(double rate, const std::function<void(RateRow&, double)>& ended) {
    BotSwarm& swarm = crowd_->Swarm;
    LatencyRecorder& recorder = crowd_->Recorder;
    RateRow row;
    row.Target = rate;
    recorder.BeginPhase();
    const Clock::time_point start = Clock::now();
    const double botsStart = OwnCpuSeconds();

    swarm.SetRate(rate);
    const Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(Seconds(options_.PhaseSeconds));
    while (Clock::now() < end) {
        swarm.RunFor(std::min<Clock::duration>(BacklogInterval, end - Clock::now()));
        const Backlog backlog = SampleBacklog();
        row.ServerQueueKiB = std::max(row.ServerQueueKiB, backlog.ServerUnread / 1024.0);
        row.ClientQueueKiB = std::max(row.ClientQueueKiB, backlog.ClientUnread / 1024.0);
    }
    swarm.SetRate(0);
    const Clock::time_point stopped = Clock::now();
    const double seconds = Seconds(stopped - start).count();
    row.BotsCpu = 100 * (OwnCpuSeconds() - botsStart) / seconds;
    ended(row, seconds);
    row.Achieved = static_cast<double>(recorder.Sent()) / seconds;

    // Every other bot receives every move; whatever is missing after the drain is lost.
    const auto receivers = static_cast<uint64_t>(options_.Bots - swarm.GoneCount() - 1);
    const uint64_t expected = recorder.Sent() * receivers;
    swarm.RunUntil([&] { return recorder.Received() >= expected; }, std::chrono::seconds(30));
    row.DrainMs = std::chrono::duration<double, std::milli>(Clock::now() - stopped).count();
    row.Lost = expected - std::min(expected, recorder.Received());
    row.MedianMs = recorder.Percentile(0.5);
    row.P99Ms = recorder.Percentile(0.99);
    return row;
}

AnswerRow Bench::MeasureAnswers() {
    BotSwarm& swarm = crowd_->Swarm;
    LatencyRecorder& recorder = crowd_->Recorder;
    recorder.BeginPhase();
    const Clock::time_point start = Clock::now();
    swarm.SetLineRate(options_.LineRate);
    swarm.RunFor(std::chrono::duration_cast<Clock::duration>(Seconds(options_.PhaseSeconds)));
    swarm.SetLineRate(0);
    AnswerRow row;
    row.Target = options_.LineRate;
    row.Achieved =
        static_cast<double>(recorder.LinesSent()) / Seconds(Clock::now() - start).count();
    swarm.RunUntil([&recorder] { return recorder.LinesReturned() >= recorder.LinesSent(); },
                   std::chrono::seconds(30));
    row.Lost = recorder.LinesSent() - std::min(recorder.LinesSent(), recorder.LinesReturned());
    row.FirstMedianMs = recorder.LinePercentile(0.5, false);
    row.AnswerMedianMs = recorder.LinePercentile(0.5, true);
    row.AnswerP99Ms = recorder.LinePercentile(0.99, true);
    return row;
}

// The client's connection is cut from outside, both ends see it end at once; the client comes
// back by itself and the server sends it the state of all 8,001 games.
void Bench::MeasureReturns() {
    for (int i = 0; i < options_.Returns; ++i) {
        Progress("the client's connection cut, " + std::to_string(i + 1) + " of " +
                 std::to_string(options_.Returns));
        const Clock::time_point cut = Clock::now();
        client_.Send("drop");
        if (!Await(client_, "client", "back", Seconds(30))) {
            Fail(problem_.empty() ? "the client did not come back" : problem_);
            return;
        }
        returns_.BackMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - cut).count());
        // Everything read: from the first of three samples in a row with nothing queued for it.
        Clock::time_point drained{};
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
        for (int empty = 0; empty < 3 && Clock::now() < deadline;) {
            crowd_->Swarm.RunFor(std::chrono::milliseconds(10));
            const Backlog backlog = SampleBacklog();
            if (!backlog.ClientConnected || backlog.ClientUnread > 0) {
                empty = 0;
            } else if (empty++ == 0) {
                drained = Clock::now();
            }
        }
        returns_.DrainedMs.push_back(
            std::chrono::duration<double, std::milli>(drained - cut).count());
        crowd_->Swarm.RunFor(std::chrono::seconds(1));
    }
}

// The host's program is killed with SIGKILL while every game runs, and started again: it finds
// its journal, is told "Ja", and takes the tournament up; the bots and the client come back.
void Bench::MeasureRestarts() {
    const std::filesystem::path journal =
        folder_ / "server" / "Zendrik" / "Tavlora" / "Turnier.journal";
    for (int i = 0; i < options_.Restarts && problem_.empty(); ++i) {
        Progress("the server's program killed, " + std::to_string(i + 1) + " of " +
                 std::to_string(options_.Restarts));
        std::error_code ignored;
        restarts_.JournalKiB.push_back(
            static_cast<double>(std::filesystem::file_size(journal, ignored)) / 1024);
        const Clock::time_point kill = Clock::now();
        server_.Kill();
        std::string error;
        if (!server_.Start(serverSpec_, error)) {
            Fail("server: " + error);
            return;
        }
        if (!Await(server_, "server", "asked", Seconds(60)) ||
            !Await(server_, "server", "lobby", Seconds(60))) {
            Fail(problem_.empty() ? "the server did not take its tournament up" : problem_);
            return;
        }
        restarts_.LobbyMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - kill).count());
        if (!AwaitEveryoneBack(Seconds(60))) {
            Fail("not everyone came back after the server's restart");
            return;
        }
        restarts_.AllBackMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - kill).count());
        crowd_->Swarm.RunFor(std::chrono::seconds(2));
    }
}

bool Bench::AwaitEveryoneBack(Seconds limit) {
    bool clientBack = !options_.Client;
    Clock::time_point nextAttempt = Clock::now();
    return crowd_->Swarm.RunUntil(
        [&] {
            while (const std::optional<std::string> line =
                       options_.Client ? client_.TakeLine() : std::nullopt) {
                clientBack = clientBack || line->starts_with("back");
            }
            bool botsBack = true;
            const bool attempt = Clock::now() >= nextAttempt;
            for (const auto& bot : crowd_->Swarm.Bots()) {
                if (bot->Phase() == BotPhase::Away && attempt) {
                    bot->Return();
                }
                botsBack = botsBack && bot->Phase() == BotPhase::Playing;
            }
            if (attempt) {
                nextAttempt = Clock::now() + std::chrono::seconds(1);
            }
            return botsBack && clientBack;
        },
        std::chrono::duration_cast<Clock::duration>(limit));
}

void Bench::Stop() {
    // End of input makes the scripted user close the lobby window.
    server_.Stop(std::chrono::seconds(10));
    client_.Stop(std::chrono::seconds(10));
}

// The programs have ended and the port is free again. New bots, the same number, join the
// relay, which takes the server's place as participant 0.
bool Bench::MeasureFloor() {
    crowd_ = std::make_unique<Crowd>(options_, options_.Bots + 1);
    const std::string relay = std::filesystem::absolute(options_.Floor).string();
    std::string error;
    if (!floor_.Start({relay,
                       {std::to_string(DefaultPort), std::to_string(options_.Bots + 1),
                        std::to_string(options_.TimeByPlayer), std::to_string(options_.TimeByMove)},
                       {},
                       folder_.string(),
                       (folder_ / "floor.log").string()},
                      error)) {
        return Fail("floor: " + error);
    }
    BotSwarm& swarm = crowd_->Swarm;
    if (!Await(floor_, "floor", "listening", Seconds(30))) {
        return Fail(problem_.empty() ? "the floor's relay did not listen" : problem_);
    }
    if (!swarm.Join(std::chrono::seconds(120), error)) {
        return Fail("floor bots: " + error);
    }
    botPorts_ = swarm.LocalPorts();
    floor_.Send("start");
    if (!swarm.RunUntil([&swarm] { return swarm.Started(); }, std::chrono::seconds(60))) {
        return Fail("the floor's bots did not all receive the start");
    }
    swarm.RunFor(std::chrono::duration_cast<Clock::duration>(Seconds(options_.SettleSeconds)));
    Progress("floor: idle");
    const Clock::time_point idleStart = Clock::now();
    const double idleCpu = floor_.CpuSeconds();
    swarm.RunFor(std::chrono::duration_cast<Clock::duration>(Seconds(options_.IdleSeconds)));
    const double idleSeconds = Seconds(Clock::now() - idleStart).count();
    floorIdle_ = IdleRow{"relay",
                         100 * (floor_.CpuSeconds() - idleCpu) / idleSeconds,
                         floor_.ResidentMiB(),
                         {},
                         idleSeconds};
    for (double rate : options_.Rates) {
        Progress("floor: moves at " + std::to_string(static_cast<int>(rate)) + " per second");
        const double relayStart = floor_.CpuSeconds();
        floorRates_.push_back(MeasureRelay(rate, [&](RateRow& measured, double seconds) {
            measured.ServerCpu = 100 * (floor_.CpuSeconds() - relayStart) / seconds;
        }));
    }
    if (options_.LineRate > 0) {
        Progress("floor: chat lines");
        floorAnswers_ = MeasureAnswers();
    }
    floor_.Stop(std::chrono::seconds(10));
    return true;
}

std::optional<std::string> Bench::Await(ChildProcess& program, const std::string& name,
                                        const std::string& prefix, Seconds limit) {
    std::optional<std::string> found;
    crowd_->Swarm.RunUntil(
        [&] {
            while (const std::optional<std::string> line = program.TakeLine()) {
                if (line->starts_with(prefix)) {
                    found = *line;
                    return true;
                }
                if (line->starts_with("error")) {
                    problem_ = name + ": " + *line;
                    return true;
                }
            }
            if (!program.Running()) {
                problem_ = name + " ended; see " + (folder_ / (name + ".log")).string();
                return true;
            }
            return false;
        },
        std::chrono::duration_cast<Clock::duration>(limit));
    return found;
}

void Bench::PrintTable() const {
    std::printf(
        "Tavlora on loopback: %d participants (server, %s%d bots), %d games, clocks %d min "
        "per player and %d min per move\n",
        participants_, options_.Client ? "1 client, " : "", options_.Bots,
        participants_ * (participants_ - 1) / 2, options_.TimeByPlayer, options_.TimeByMove);
    std::printf("machine: %s; load average %.1f before, %.1f after; nice %d; loopback: %s\n",
                Machine().c_str(), loadBefore_, loadAfter_, options_.Nice, loopback_.c_str());
    std::printf("bots resign instead of moving with a chance of %g\n\n", options_.Resign);

    std::printf("Relay of moves from a bot to every other bot\n");
    std::printf("%8s %8s %10s %9s %6s %9s %8s %8s %8s %10s %10s %10s %10s\n", "rate/s", "sent/s",
                "median ms", "p99 ms", "lost", "drain ms", "server", "client", "bots", "server in",
                "client in", "pass med", "pass cpu");
    std::printf("%8s %8s %10s %9s %6s %9s %8s %8s %8s %10s %10s %10s %10s\n", "", "", "", "", "",
                "", "cpu %", "cpu %", "cpu %", "max KiB", "max KiB", "us", "med us");
    for (const RateRow& row : rates_) {
        std::printf(
            "%8.0f %8.1f %10.2f %9.2f %6llu %9.0f %8.1f %8.1f %8.1f %10.1f %10.1f %10.1f "
            "%10.1f%s\n",
            row.Target, row.Achieved, row.MedianMs, row.P99Ms,
            static_cast<unsigned long long>(row.Lost), row.DrainMs, row.ServerCpu, row.ClientCpu,
            row.BotsCpu, row.ServerQueueKiB, row.ClientQueueKiB, row.ServerPasses.MedianUs,
            row.ServerPasses.CpuMedianUs, row.ClientConnected ? "" : "  client cut off");
    }
    if (!floorRates_.empty()) {
        std::printf("\nThe floor: the same bots through a relay that does nothing else\n");
        std::printf("%8s %8s %10s %9s %6s %9s %8s %8s\n", "rate/s", "sent/s", "median ms", "p99 ms",
                    "lost", "drain ms", "relay", "bots");
        std::printf("%8s %8s %10s %9s %6s %9s %8s %8s\n", "", "", "", "", "", "", "cpu %", "cpu %");
        for (const RateRow& row : floorRates_) {
            std::printf("%8.0f %8.1f %10.2f %9.2f %6llu %9.0f %8.1f %8.1f\n", row.Target,
                        row.Achieved, row.MedianMs, row.P99Ms,
                        static_cast<unsigned long long>(row.Lost), row.DrainMs, row.ServerCpu,
                        row.BotsCpu);
        }
    }

    if (answers_) {
        std::printf(
            "\nChat lines from a bot through the server back to it, each answered at once\n");
        std::printf("%8s %8s %8s %10s %10s %9s %6s\n", "", "rate/s", "sent/s", "line", "answer",
                    "answer", "lost");
        std::printf("%8s %8s %8s %10s %10s %9s %6s\n", "", "", "", "median ms", "median ms",
                    "p99 ms", "");
        const auto line = [](const char* name, const AnswerRow& row) {
            std::printf("%8s %8.0f %8.1f %10.2f %10.2f %9.2f %6llu\n", name, row.Target,
                        row.Achieved, row.FirstMedianMs, row.AnswerMedianMs, row.AnswerP99Ms,
                        static_cast<unsigned long long>(row.Lost));
        };
        line("answered", *answers_);
        if (floorAnswers_) {
            line("floor", *floorAnswers_);
        }
    }

    if (!returns_.BackMs.empty()) {
        const auto median = [](std::vector<double> values) {
            std::ranges::sort(values);
            return values[values.size() / 2];
        };
        std::printf("\nThe client's connection cut %zu times; it comes back by itself\n",
                    returns_.BackMs.size());
        std::printf("%8s %24s %28s\n", "", "welcomed back, median ms",
                    "all states read, median ms");
        std::printf("%8s %24.0f %28.0f\n", "returns", median(returns_.BackMs),
                    median(returns_.DrainedMs));
    }

    if (!restarts_.AllBackMs.empty()) {
        const auto median = [](std::vector<double> values) {
            std::ranges::sort(values);
            return values[values.size() / 2];
        };
        std::printf(
            "\nThe server's program killed (SIGKILL) %zu times and started again; everyone else "
            "comes back by himself\n",
            restarts_.AllBackMs.size());
        std::printf("%8s %24s %28s %14s\n", "", "lobby resumed, median ms",
                    "all others back, median ms", "journal KiB");
        std::printf("%8s %24.0f %28.0f %14.0f\n", "restarts", median(restarts_.LobbyMs),
                    median(restarts_.AllBackMs), median(restarts_.JournalKiB));
    }

    std::printf(
        "\nAll games running, nobody moving, all games shown, Game window and standings open\n");
    std::printf("%8s %11s %13s %9s %12s %12s %12s %13s %13s\n", "program", "cpu % of 1",
                "resident MiB", "passes/s", "pass med us", "pass p99 us", "pass max us",
                "cpu med us", "cpu p99 us");
    for (const IdleRow& row : idle_) {
        std::printf("%8s %11.2f %13.1f %9.1f %12.1f %12.1f %12.1f %13.1f %13.1f\n",
                    row.Program.c_str(), row.CpuPercent, row.ResidentMiB,
                    row.Seconds > 0 ? static_cast<double>(row.Passes.Count) / row.Seconds : 0,
                    row.Passes.MedianUs, row.Passes.P99Us, row.Passes.MaxUs, row.Passes.CpuMedianUs,
                    row.Passes.CpuP99Us);
    }
    if (floorIdle_) {
        // The relay's share of a core for waking every 10 ms, with the bots connected and
        // nothing to pass on.
        std::printf("%8s %11.2f %13.1f\n", floorIdle_->Program.c_str(), floorIdle_->CpuPercent,
                    floorIdle_->ResidentMiB);
    }
}

}  // namespace
}  // namespace tavlora

int main(int argc, char** argv) {
    tavlora::Options options;
    if (!tavlora::Parse(argc, argv, options)) {
        return tavlora::Usage();
    }
    tavlora::Bench bench(options);
    const bool ok = bench.Run();
    if (!ok && bench.NoLoopback()) {
        std::fprintf(stderr, "lan_bench: %s\n", bench.Problem().c_str());
        return tavlora::NoLoopbackExit;
    }
    bench.PrintTable();
    if (!ok) {
        std::fprintf(stderr, "lan_bench: %s\n", bench.Problem().c_str());
        return 1;
    }
    return 0;
}
