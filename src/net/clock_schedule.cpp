// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/clock_schedule.h"

#include <algorithm>

namespace tavlora {

void ClockSchedule::Set(Game& game, std::optional<uint32_t> tick) {
    if (!tick) {
        due_.erase(&game);
        return;
    }
    const auto [it, added] = due_.try_emplace(&game, *tick);
    if (!added && it->second == *tick) {
        return;  // already in the heap with this tick
    }
    it->second = *tick;
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
        const auto it = due_.find(next.Record);
        if (it != due_.end() && it->second == next.Tick) {
            due_.erase(it);
            return next.Record;
        }
    }
    return nullptr;
}

}  // namespace tavlora
