// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/clock_schedule.h"

#include <algorithm>
#include <cassert>

namespace tavlora {

void ClockSchedule::Set(Game& game, std::optional<uint32_t> tick) {
    assert(game.Index >= 0);
    const auto index = static_cast<size_t>(game.Index);
    if (index >= due_.size()) {
        due_.resize(index + 1);
    }
    Due& due = due_[index];
    if (!tick) {
        due.Set = false;
        return;
    }
    if (due.Set && due.Tick == *tick) {
        return;  // in the heap with this tick already
    }
    due = {*tick, true};
    heap_.push_back({*tick, &game});
    std::ranges::push_heap(heap_, Later);
}

std::vector<Game*> ClockSchedule::TakeSoon() {
    std::vector<Game*> taken;
    taken.swap(soon_);
    return taken;
}

Game* ClockSchedule::TakeDue(TickOfPass& now) {
    while (!heap_.empty()) {
        const Entry next = heap_.front();
        if (static_cast<int32_t>(next.Tick - now()) > 0) {
            return nullptr;
        }
        std::ranges::pop_heap(heap_, Later);
        heap_.pop_back();
        Due& due = due_[static_cast<size_t>(next.Record->Index)];
        if (due.Set && due.Tick == next.Tick) {
            due.Set = false;
            return next.Record;
        }
    }
    return nullptr;
}

}  // namespace tavlora
