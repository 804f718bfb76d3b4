// SPDX-License-Identifier: GPL-3.0-or-later
// referee_check: the hostile findings against the server, each tried once on the program
// itself. lan_program is the server, with its scripted user and clocks of one minute; two
// participants speak the wire protocol by hand over loopback, Anna honestly and the Hacker
// not, and a few newcomers join only to misbehave. Real time throughout: about two and a half
// minutes. Prints each finding and what the program made of it; exits 0 when all held.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lan/child_process.h"
#include "lan/loopback.h"
#include "net/transport.h"
#include "rules/clock.h"
#include "rules/execute.h"
#include "shell/settings_file.h"

namespace tavlora {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int NoLoopbackExit = 77;
constexpr int32_t Minute = 60;
const std::string HostName = "Wirt";

// A participant by hand: its connection, its index, and every message it has received.
class Peer {
public:
    bool Connect() {
        connection_ = network_.Connect("127.0.0.1", DefaultPort);
        return connection_ != NoConnection;
    }
    void Send(const Message& message) { network_.Send(connection_, EncodeFrame(message)); }
    void SendBody(const Bytes& body) { network_.Send(connection_, MakeFrame(body)); }
    // Takes every event that has come; false once the connection has ended.
    bool Poll() {
        for (NetEvent event = network_.Poll(); event.Kind != NetEventKind::None;
             event = network_.Poll()) {
            if (event.Kind == NetEventKind::Closed) {
                closed_ = true;
            } else if (event.Kind == NetEventKind::MessageArrived) {
                Received.push_back(std::move(event.Received));
            }
        }
        return !closed_;
    }
    bool Closed() const { return closed_; }

    // The first message of type T from position from on that passes test, if any.
    template <typename T>
    std::optional<T> Find(size_t from, const std::function<bool(const T&)>& test = {}) const {
        for (size_t i = from; i < Received.size(); ++i) {
            if (const T* message = std::get_if<T>(&Received[i]);
                message && (!test || test(*message))) {
                return *message;
            }
        }
        return std::nullopt;
    }

    int32_t Index = -1;
    std::vector<Message> Received;

private:
    Transport network_;
    ConnectionId connection_ = NoConnection;
    bool closed_ = false;
};

class RefereeCheck {
public:
    explicit RefereeCheck(std::string program) : program_(std::move(program)) {}
    int Run();

private:
    bool StartServer();
    bool Lobby();
    bool Play();
    // Polls every peer until done() or limit; false when the time ran out.
    bool Wait(const std::function<bool()>& done, Seconds limit);
    void Idle(Seconds time) {
        Wait([] { return false; }, time);
    }
    void Finding(const std::string& finding, bool held, const std::string& seen) {
        std::printf("%-62s %s\n  %s\n", finding.c_str(), held ? "held" : "NOT HELD", seen.c_str());
        std::fflush(stdout);
        allHeld_ = allHeld_ && held;
    }
    // The game between Anna and the Hacker, as both have played it.
    Game& TheGame() { return games_.front(); }
    int32_t ToMove() { return TheGame().PlayerIndex[TheGame().SideToMove]; }
    // The mover plays its first legal move, claiming the given clocks.
    MsgMove MoveOf(Peer& mover, int32_t playerTimeLeft, int32_t moveTimeLeft);
    void Played(const Move& move) { ExecuteMove(TheGame(), move, rules_); }

    std::string program_;
    std::filesystem::path folder_;
    ChildProcess server_;
    std::vector<Peer*> peers_;
    Peer anna_;
    Peer hacker_;
    RulesContext rules_;
    GamesList games_;
    bool allHeld_ = true;
};

int RefereeCheck::Run() {
    std::string error;
    if (!UsePrivateLoopback(error) && !PortIsFree(DefaultPort)) {
        std::fprintf(stderr, "referee_check: no loopback of its own, port taken (%s)\n",
                     error.c_str());
        return NoLoopbackExit;
    }
    peers_ = {&anna_, &hacker_};
    const bool ran = StartServer() && Lobby() && Play();
    server_.Stop(std::chrono::seconds(10));
    std::filesystem::remove_all(folder_);
    if (!ran) {
        std::printf("the check could not run to its end\n");
        return 1;
    }
    std::printf("%s\n", allHeld_ ? "Every finding held." : "Some finding did not hold.");
    return allHeld_ ? 0 : 1;
}

bool RefereeCheck::StartServer() {
    char pattern[] = "/tmp/tavlora-referee-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return false;
    }
    folder_ = pattern;
    SaveSettings({folder_.string(), HostName}, ServerMode,
                 Settings{.Name = HostName, .MaxPlayer = 4, .TimeByPlayer = 1, .TimeByMove = 1});
    std::string error;
    const ChildSpec spec{
        std::filesystem::absolute(program_).string(),
        {"server"},
        {"XDG_CONFIG_HOME=" + folder_.string(), "APPDATA=", "QT_QPA_PLATFORM=offscreen"},
        std::filesystem::current_path().string(),
        (folder_ / "server.log").string()};
    if (!server_.Start(spec, error)) {
        std::fprintf(stderr, "referee_check: %s\n", error.c_str());
        return false;
    }
    bool open = false;
    Wait(
        [&] {
            while (const std::optional<std::string> line = server_.TakeLine()) {
                open = open || *line == "lobby";
            }
            return open || !server_.Running();
        },
        Seconds(60));
    server_.Send("start");  // pressed as soon as every participant is there and ready
    return open;
}

bool RefereeCheck::Lobby() {
    // Newcomers that take the host's name, or none.
    for (const std::string& name : {HostName, std::string()}) {
        Peer newcomer;
        peers_.push_back(&newcomer);
        const bool welcomed =
            newcomer.Connect() &&
            Wait([&] { return newcomer.Find<MsgWelcome>(0).has_value(); }, Seconds(10));
        const auto welcome = newcomer.Find<MsgWelcome>(0);
        if (welcome) {
            newcomer.Send(MsgName{welcome->PlayerCount - 1, name});
        }
        const bool refused = welcomed && Wait([&] { return newcomer.Closed(); }, Seconds(10));
        peers_.pop_back();
        Finding(name.empty() ? "MsgName without a name" : "MsgName taking the host's name", refused,
                refused ? "the server closed the connection" : "the name was taken");
    }

    // One that never names itself, then Anna and the Hacker.
    Peer unnamed;
    peers_.push_back(&unnamed);
    const Clock::time_point welcomed = Clock::now();
    for (Peer* peer : {&unnamed, &anna_, &hacker_}) {
        if (!peer->Connect() ||
            !Wait([peer] { return peer->Find<MsgWelcome>(0).has_value(); }, Seconds(10))) {
            return false;
        }
        peer->Index = peer->Find<MsgWelcome>(0)->PlayerCount - 1;
    }
    anna_.Send(MsgName{anna_.Index, "Anna"});
    hacker_.Send(MsgName{hacker_.Index, "Hacker"});
    Idle(Seconds(0.5));
    const size_t seen = anna_.Received.size();
    hacker_.Send(MsgName{hacker_.Index, HostName});
    for (Peer* peer : {&anna_, &hacker_}) {
        peer->Send(MsgReady{peer->Index, 1});
    }
    Idle(Seconds(1));
    const bool renamed = anna_.Find<MsgPlayerNamed>(seen).has_value();
    Finding("a second MsgName (the host's name) from a named participant", !renamed,
            renamed ? "it was passed on" : "nothing was passed on");

    const bool freed = Wait([&] { return unnamed.Closed(); }, Seconds(30));
    const double after = Seconds(Clock::now() - welcomed).count();
    peers_.pop_back();
    Finding("a connection that never names itself", freed && after > 9.5,
            "let go " + std::to_string(after).substr(0, 4) + " s after its welcome");
    for (Peer* peer : {&anna_, &hacker_}) {
        peer->Index -= 1;  // the unnamed one held place 1
    }
    return Wait([&] { return anna_.Find<MsgStartGames>(0) && hacker_.Find<MsgStartGames>(0); },
                Seconds(30));
}

bool RefereeCheck::Play() {
    const MsgStartGames start = *anna_.Find<MsgStartGames>(0);
    // The pairs (0,1), (0,2), (1,2): the last one is Anna's game with the Hacker.
    const bool annaWhite = start.Colours.at(2) == 0;
    const int32_t white = annaWhite ? anna_.Index : hacker_.Index;
    const int32_t black = annaWhite ? hacker_.Index : anna_.Index;
    CreateGame(games_, white, black, White, rules_);
    const auto ofTheGame = [&](const auto& m) {
        return m.PlayerIndex[0] == white && m.PlayerIndex[1] == black;
    };
    if (annaWhite) {
        anna_.Send(MoveOf(anna_, Minute, Minute));
        Idle(Seconds(0.3));
    }

    // Unknown codes, then a move claiming a million seconds.
    const size_t started = anna_.Received.size();
    hacker_.SendBody({0x0E});
    hacker_.SendBody({0x63, 1, 2});
    size_t seen = anna_.Received.size();
    hacker_.Send(MoveOf(hacker_, 1000000, 1000000));
    Wait([&] { return anna_.Find<MsgMove>(seen, ofTheGame).has_value(); }, Seconds(5));
    auto relayed = anna_.Find<MsgMove>(seen, ofTheGame);
    const bool stayed = relayed && !anna_.Find<MsgPlayerLeft>(started) && !hacker_.Closed();
    Finding("unknown codes (0x0E, 0x63) after the start", stayed,
            stayed ? "dropped; the Hacker's next move was taken and its games go on"
                   : "the Hacker was cut off");
    Finding("MsgMove claiming 1,000,000 s on one-minute clocks",
            relayed && relayed->PlayerTimeLeft <= Minute && relayed->MoveTimeLeft <= Minute &&
                relayed->Sender == hacker_.Index,
            relayed ? "relayed as " + std::to_string(relayed->PlayerTimeLeft) + " s / " +
                          std::to_string(relayed->MoveTimeLeft) + " s, sender " +
                          std::to_string(relayed->Sender) + ", encoded anew"
                    : "not relayed");

    anna_.Send(MoveOf(anna_, Minute, Minute));
    Idle(Seconds(0.3));
    seen = anna_.Received.size();
    // On the move clock, which starts afresh with every turn: the game clock is needed whole
    // for the silent turn below.
    hacker_.Send(MoveOf(hacker_, Minute, -1000000));
    Wait([&] { return anna_.Find<MsgMove>(seen, ofTheGame).has_value(); }, Seconds(5));
    relayed = anna_.Find<MsgMove>(seen, ofTheGame);
    Finding("MsgMove claiming -1,000,000 s on the move clock",
            relayed && relayed->MoveTimeLeft == 0,
            relayed ? "relayed as " + std::to_string(relayed->PlayerTimeLeft) + " s / " +
                          std::to_string(relayed->MoveTimeLeft) + " s"
                    : "not relayed");

    // The Hacker stays silent through its turn: the referee waits the allowance beyond the
    // minute for its program to say so, then says it itself.
    seen = anna_.Received.size();
    anna_.Send(MoveOf(anna_, Minute, Minute));
    const Clock::time_point turn = Clock::now();
    const bool declared =
        Wait([&] { return anna_.Find<MsgTimeout>(seen, ofTheGame).has_value(); }, Seconds(90));
    const double after = Seconds(Clock::now() - turn).count();
    const auto timeout = anna_.Find<MsgTimeout>(seen, ofTheGame);
    Finding("a mover that never declares its own time-out",
            declared && after > Minute - 5 && timeout->Sender == hacker_.Index,
            declared ? "the server declared it " + std::to_string(after).substr(0, 4) +
                           " s into the turn, in the Hacker's name"
                     : "the game runs on");

    // Long after its time ran out, the Hacker moves, claiming a whole minute.
    Idle(Seconds(Minute));
    seen = anna_.Received.size();
    hacker_.Send(MoveOf(hacker_, Minute, Minute));
    Idle(Seconds(2));
    const bool dropped = !anna_.Find<MsgMove>(seen, ofTheGame);
    Finding("a move a minute after the time ran out, claiming 60 s", dropped,
            dropped ? "dropped: the game stays lost on time" : "relayed");
    return true;
}

MsgMove RefereeCheck::MoveOf(Peer& mover, int32_t playerTimeLeft, int32_t moveTimeLeft) {
    Game& game = TheGame();
    const Move move = game.Moves.front();
    const MsgMove message{mover.Index,
                          {game.PlayerIndex[White], game.PlayerIndex[Black]},
                          playerTimeLeft,
                          moveTimeLeft,
                          move};
    if (IsRunning(game) && ToMove() == mover.Index) {
        Played(move);
    }
    return message;
}

bool RefereeCheck::Wait(const std::function<bool()>& done, Seconds limit) {
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(limit);
    while (!done()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        for (Peer* peer : peers_) {
            peer->Poll();
        }
        while (server_.TakeLine()) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace
}  // namespace tavlora

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: referee_check PATH-OF-lan_program   (from the source root)\n", stderr);
        return 2;
    }
    return tavlora::RefereeCheck(argv[1]).Run();
}
