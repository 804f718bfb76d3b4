// SPDX-License-Identifier: GPL-3.0-or-later
// A headless server for runs in one process: the program's own server, run on a thread of its
// own by the main loop's play step (game tick included), on the system's clock or on a clock
// that stands still until the caller moves it. Its user presses "Spiel starten" once the
// awaited number of participants are all ready.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/net_view.h"
#include "net/program_state.h"
#include "net/tournament_journal.h"

namespace tavlora {

// A tick count that stands still until a ServerThread moves it on, read by every program of
// a run in one process: none is ever a little ahead of another, and a minute passes at once.
class SteppedClock {
public:
    uint32_t Now() const { return now_; }
    TickSource Source() const {
        return [this] { return now_.load(); };
    }

private:
    friend class ServerThread;
    std::atomic<uint32_t> now_ = 1000;
};

// What ended on the server, in the order it happened: a game, as the game tick gave it its
// Result, with its end as it stood then; or a participant's departure after the start.
struct ServerEnd {
    int32_t Leaver = -1;  // the participant who left, or -1 for a game
    int32_t PlayerIndex[2] = {-1, -1};
    int32_t State = Running;
    int32_t SideToMove = White;
};

class ServerThread {
public:
    // A server named name for maxPlayer participants with the given limits, listening on a
    // free loopback port, its lobby open, on the system's clock, or on clock; it grants those
    // who can come back rejoinSeconds.
    ServerThread(const std::string& name, int32_t maxPlayer, int32_t timeByPlayer,
                 int32_t timeByMove, SteppedClock* clock = nullptr, int32_t rejoinSeconds = 0);
    ~ServerThread() { Stop(); }
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    // 0 when the port could not be opened.
    uint16_t Port() const { return port_; }
    // Starts the games as soon as participants (its own user included) are there and ready.
    void StartWith(int32_t participants) { startAt_ = participants; }
    bool Started() const { return started_; }
    // Moves the stepped clock on by ms between two passes, and returns once the server has
    // counted its clocks to the new time, before it has handled anything that came later.
    void Advance(uint32_t ms);
    // Whether participant index has left after the start, or been cut off, as the server
    // has it; may be asked while the server runs.
    bool HasLeft(int32_t index) const;
    // Whether participant index is away now, as the server has it; may be asked while it runs.
    bool IsAway(int32_t index) const;
    // From the start of the games, the server keeps its journal at path.
    void KeepJournal(const std::string& path);
    // The host's program is killed and started again: the polling stops, every connection
    // ends without a word, and the tournament is taken up from the journal, the server
    // listening on the same port with everyone else away. False when it cannot be.
    bool Restart();
    // Stops the polling; only then may the state be read.
    const ProgramState& Stop();
    // The ends of games and the departures so far; only once stopped.
    const std::vector<ServerEnd>& Ends() const { return ends_; }

private:
    class StartView final : public NetView {
    public:
        void SetStartButtonEnabled(bool enabled) override { Enabled = enabled; }
        void ShowNetworkError(const std::string&) override {}
        bool Enabled = false;
    };

    void Run();
    void Launch();
    // Records participant index's departure once, when the server has marked it.
    void NoteDeparture(int32_t index);
    // Who has left and who is away, as the server has it now.
    void NoteParticipants();
    // A game's end, once: a game taken up again from the journal ends again at the first tick.
    void RecordEnd(const Game& game);

    ProgramState state_;
    StartView view_;
    SteppedClock* clock_;
    uint16_t port_ = 0;
    std::atomic<int32_t> startAt_ = 0;
    std::atomic<bool> started_ = false;
    std::atomic<uint32_t> advance_ = 0;  // ms the clock is to move on; 0 once it has
    std::array<std::atomic<bool>, MostParticipants> left_{};  // Player::Left, by index
    std::array<std::atomic<bool>, MostParticipants> away_{};  // Player::Away, by index
    std::vector<ServerEnd> ends_;
    std::set<std::pair<int32_t, int32_t>> ended_;  // ends_'s games, by White and Black
    std::optional<TournamentJournal> journal_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

}  // namespace tavlora
