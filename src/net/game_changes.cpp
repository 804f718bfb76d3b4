// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/game_changes.h"

#include <algorithm>

namespace tavlora {

void GameChanges::Note(Game& game) {
    for (std::vector<Game*>* list : watching_) {
        list->push_back(&game);
    }
}

std::vector<Game*> GameChanges::TakeEnded() {
    std::vector<Game*> taken;
    taken.swap(ended_);
    return taken;
}

ChangedGames::ChangedGames(GameChanges& changes) : changes_(changes) {
    changes_.watching_.push_back(&noted_);
}

ChangedGames::~ChangedGames() {
    std::erase(changes_.watching_, &noted_);
}

void ChangedGames::TakeInto(std::vector<Game*>& taken) {
    taken.clear();
    taken.swap(noted_);
}

}  // namespace tavlora
