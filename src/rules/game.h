// SPDX-License-Identifier: GPL-3.0-or-later
// The Game record, the games list that owns every game, and the set-up of a new game.
// Also the small context through which the rules read the time limits, the mode and the
// clock, hand the local user's identity over in single-player mode, and keep the scratch
// positions of their look-ahead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "rules/types.h"

namespace tavlora {

// An ordered list of moves; GenerateMoves empties it and then only appends.
using MoveList = std::vector<Move>;

// The value part of a game: board, scalars and clocks. Look-ahead copies only this part,
// so it stays a flat block of integers without owned resources.
struct GameValue {
    Square Board[8][8];            // [x = file][y = rank]
    int32_t SideToMove;            // once the game is lost: the losing side
    int32_t BottomColour;          // its pawns start on rank 1 and advance towards rank 7
    int32_t State;                 // GameState
    int32_t EnPassantFile;         // file of the last move's two-square pawn advance, else -1
    int32_t PlayerIndex[2];        // participant of White [0] and Black [1]
    int32_t PlayerTimeLeft[2];     // seconds, per colour
    int32_t MoveTimeLeft[2];       // seconds, per colour
    uint32_t PlayerClockStamp[2];  // tick count up to which PlayerTimeLeft was counted
    uint32_t MoveClockStamp[2];    // tick count up to which MoveTimeLeft was counted
    int32_t Result;                // Undecided, Draw, or the winning colour
};
static_assert(std::is_trivially_copyable_v<GameValue>);

struct Game : GameValue {
    MoveList Moves;      // legal moves of SideToMove
    MoveList History;    // every executed move, oldest first
    int32_t Index = -1;  // its place in the games list, from CreateGame
};

// Records are only ever appended and never move in memory, so views may keep references.
using GamesList = std::deque<Game>;

// Scratch space of the look-ahead: one position and one move list per nesting level of the
// probes (a legality probe may run a castling probe, which may run another). The levels are
// kept between calls, so once they have grown, probing allocates nothing. Copying a
// Lookahead copies only storage; its contents mean nothing outside a probe.
class Lookahead {
public:
    struct Level {
        GameValue Position;
        MoveList Moves;
    };

    // Takes the next free level for the lifetime of the guard.
    class Guard {
    public:
        explicit Guard(Lookahead& owner) : owner_(owner), level_(owner.Enter()) {}
        ~Guard() { --owner_.depth_; }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

        Level& operator*() const { return level_; }
        Level* operator->() const { return &level_; }

    private:
        Lookahead& owner_;
        Level& level_;
    };

private:
    Level& Enter() {
        if (depth_ == levels_.size()) {
            levels_.emplace_back();
        }
        return levels_[depth_++];
    }

    std::deque<Level> levels_;  // a deque, so a deeper level never moves a shallower one
    std::size_t depth_ = 0;
};

// Returns the millisecond tick count: 32-bit, wrapping; differences are taken modulo 2^32.
using TickSource = std::function<uint32_t()>;

// What the rules read and write outside a game record. The program state extends it, and
// tests fill it with their own limits and clock.
struct RulesContext {
    int32_t TimeByPlayer = 0;  // minutes, 0 = no game clock
    int32_t TimeByMove = 0;    // minutes, 0 = no move clock
    // Both sides are played at this board, so the local user is whoever is to move.
    bool TwoPlayersAtOneBoard = false;
    int32_t OwnPlayerIndex = 0;
    TickSource TickCount;  // read only when a time limit is set
    Lookahead Scratch;     // reused by every move executed in this context
};

// The initial position with White to move, players 0 and 0 and no clocks: the pieces of
// bottomColour on ranks 0 and 1.
GameValue InitialPosition(int32_t bottomColour);

// Appends a game in its initial position with its clocks running and its 20 opening moves,
// and returns it, its Index its place in games. With two players at one board the local user
// becomes the player to move.
Game& CreateGame(GamesList& games, int32_t whitePlayer, int32_t blackPlayer, int32_t bottomColour,
                 RulesContext& context);
// The same on a game that exists already, whatever it held: it starts anew in place, so what
// refers to it (its view, its key) stays valid.
void SetUpGame(Game& game, int32_t whitePlayer, int32_t blackPlayer, int32_t bottomColour,
               RulesContext& context);

// The square (x, y) of the board, or nullptr when x or y lies outside 0..7. The move
// generator relies on this instead of testing bounds itself.
inline const Square* SquareAt(const GameValue& game, int32_t x, int32_t y) {
    if (static_cast<uint32_t>(x) > 7 || static_cast<uint32_t>(y) > 7) {
        return nullptr;
    }
    return &game.Board[x][y];
}
inline Square* SquareAt(GameValue& game, int32_t x, int32_t y) {
    return const_cast<Square*>(SquareAt(std::as_const(game), x, y));
}

// A game runs while its State is at most Check.
inline bool IsRunning(const GameValue& game) {
    return game.State <= Check;
}

// The colour participant plays in game, or -1 when it plays in neither.
inline int32_t SideOf(const GameValue& game, int32_t participant) {
    if (game.PlayerIndex[White] == participant) {
        return White;
    }
    return game.PlayerIndex[Black] == participant ? Black : -1;
}

// -1, 0 or 1 by the sign of v.
constexpr int32_t Sign(int32_t v) {
    return (v > 0) - (v < 0);
}

}  // namespace tavlora
