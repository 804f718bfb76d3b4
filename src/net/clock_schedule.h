// SPDX-License-Identifier: GPL-3.0-or-later
// When each running game next needs the game tick: the tick at which a clock of its side to
// move loses its next second, at which the referee's allowance for a silent player is over,
// or at once. The game tick takes the games whose time has come instead of walking them all,
// so a pass in which no clock changes costs no game a look. Games are known by their Index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "rules/clock.h"
#include "rules/game.h"

namespace tavlora {

class ClockSchedule {
public:
    // game is due at tick, or, with none, not until it changes again. Replaces what was set
    // for it before.
    void Set(Game& game, std::optional<uint32_t> tick);
    // game is due in the next tick, whatever the time; it keeps what was set for it, too.
    void Soon(Game& game) { soon_.push_back(&game); }

    // The games set Soon since the last call, in that order; the list then starts afresh.
    std::vector<Game*> TakeSoon();
    // The next game whose tick has come by now, the earliest first, taken out of the
    // schedule; nullptr when none is due. Reads now only while a game is scheduled.
    Game* TakeDue(TickOfPass& now);

    // How many games of the games list the schedule has been told about; games are only
    // ever appended, so the rest are new.
    size_t Known() const { return known_; }
    void SetKnown(size_t count) { known_ = count; }

private:
    struct Entry {
        uint32_t Tick;
        Game* Record;
    };
    // Ticks wrap, so they are ordered by their difference: every tick in the schedule lies
    // within a few seconds of now.
    static bool Later(const Entry& a, const Entry& b) {
        return static_cast<int32_t>(a.Tick - b.Tick) > 0;
    }

    // The one tick that counts for a game, by Index.
    struct Due {
        uint32_t Tick = 0;
        bool Set = false;
    };

    // A min-heap by tick. An entry whose game has been set anew since stays until it comes
    // up and is then passed over: a game is set anew at most once per move or second.
    std::vector<Entry> heap_;
    std::vector<Due> due_;
    std::vector<Game*> soon_;
    size_t known_ = 0;
};

}  // namespace tavlora
