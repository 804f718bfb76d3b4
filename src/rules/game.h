// The Game record, the games list that owns every game, and the set-up of a new game.
// Also the small context through which the rules read the time limits, the mode and the
// clock, and hand the local user's identity over in single-player mode.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <type_traits>
#include <vector>

#include "rules/types.h"

namespace tavlora {

// An ordered list of moves; GenerateMoves empties it and then only appends.
using MoveList = std::vector<Move>;

// The value part of a game: board, scalars and clocks. Look-ahead copies only this part,
// so it stays a flat block of integers without owned resources.
struct GameValue {
    Square Board[8][8];  // [x = file][y = rank]
    int32_t SideToMove;  // once the game is lost: the losing side
    int32_t BottomColour;
    int32_t State;          // GameState
    int32_t EnPassantFile;  // file of the last move's two-square pawn advance, else -1
    int32_t PlayerIndex[2];  // participant of White [0] and Black [1]
    int32_t PlayerTimeLeft[2];  // seconds, per colour
    int32_t MoveTimeLeft[2];    // seconds, per colour
    uint32_t PlayerClockStamp[2];  // tick count up to which PlayerTimeLeft was counted
    uint32_t MoveClockStamp[2];    // tick count up to which MoveTimeLeft was counted
    int32_t Result;                // Undecided, Draw, or the winning colour
};
static_assert(std::is_trivially_copyable_v<GameValue>);

struct Game : GameValue {
    MoveList Moves;    // legal moves of SideToMove
    MoveList History;  // every executed move, oldest first
};

// Records are only ever appended and never move in memory, so views may keep references.
using GamesList = std::deque<Game>;

// Returns the millisecond tick count: 32-bit, wrapping; differences are taken modulo 2^32.
using TickSource = std::function<uint32_t()>;

// What the rules read and write outside a game record. The program state extends it, and
// tests fill it with their own limits and clock.
struct RulesContext {
    int32_t TimeByPlayer = 0;  // minutes, 0 = no game clock
    int32_t TimeByMove = 0;    // minutes, 0 = no move clock
    int32_t MaxPlayer = 0;     // below 2: single-player mode
    int32_t OwnPlayerIndex = 0;
    TickSource TickCount;

    bool SinglePlayer() const { return MaxPlayer <= 1; }
};

// Appends a game in its initial position with its clocks running and its 20 opening moves,
// and returns it. In single-player mode the local user becomes the player to move.
Game& CreateGame(GamesList& games, int32_t whitePlayer, int32_t blackPlayer,
                 int32_t bottomColour, RulesContext& context);

// The square (x, y) of the board, or nullptr when x or y lies outside 0..7.
Square* SquareAt(GameValue& game, int32_t x, int32_t y);
const Square* SquareAt(const GameValue& game, int32_t x, int32_t y);

// -1, 0 or 1 by the sign of v.
constexpr int32_t Sign(int32_t v) { return (v > 0) - (v < 0); }

}  // namespace tavlora
