// SPDX-License-Identifier: GPL-3.0-or-later
// What happened to the games, for those who show them or keep their record: every change a
// window may show (a move, an end, a clock's second) is noted to each window's own list of
// changed games, which the window reads and empties when it refreshes; every game that has
// ended waits here until the game tick tells the record of the games about it. So the windows
// look only at what changed, and without a window nothing is kept.
#pragma once

#include <vector>

#include "rules/game.h"

namespace tavlora {

class GameChanges {
public:
    // Appends game to every list that watches.
    void Note(Game& game);
    // game has just ended: it waits for the next TakeEnded.
    void Ended(Game& game) { ended_.push_back(&game); }
    // The games that ended since the last call, in the order they ended.
    std::vector<Game*> TakeEnded();

private:
    friend class ChangedGames;
    std::vector<std::vector<Game*>*> watching_;
    std::vector<Game*> ended_;
};

// A window's own list of the games noted since it last looked. Watches from its creation to
// its end; the changes outlive it.
class ChangedGames {
public:
    explicit ChangedGames(GameChanges& changes);
    ~ChangedGames();
    ChangedGames(const ChangedGames&) = delete;
    ChangedGames& operator=(const ChangedGames&) = delete;

    // The games noted since the last call, in the order they were noted, a game once per
    // note; the list then starts afresh. taken is emptied first and keeps its room.
    void TakeInto(std::vector<Game*>& taken);

private:
    GameChanges& changes_;
    std::vector<Game*> noted_;
};

}  // namespace tavlora
