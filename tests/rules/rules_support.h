// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the rules tests: a context whose clock the test sets, positions from FEN, and
// moves found and played by their squares ("e2e4") the way the board input does it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "perft/fen.h"
#include "rules/execute.h"
#include "rules/notation.h"

namespace tavlora::test {

// A network-mode context without clocks; Now is what the tick counter answers.
struct TestContext : RulesContext {
    uint32_t Now = 1000;

    TestContext() {
        TickCount = [this] { return Now; };
    }
    TestContext(const TestContext&) = delete;  // the clock refers to this object
    TestContext& operator=(const TestContext&) = delete;
};

inline Game FromFen(std::string_view fen, TestContext& context) {
    FenGame set = GameFromFen(fen, context.Scratch);
    if (!set.game) {
        ADD_FAILURE() << set.error << " in " << fen;
        std::abort();
    }
    return std::move(*set.game);
}

// The move of game.Moves between the two squares of text ("e2e4"), or nullptr.
inline Move* Find(Game& game, std::string_view squares) {
    return FindMove(game.Moves, squares[0] - 'a', squares[1] - '1', squares[2] - 'a',
                    squares[3] - '1');
}

// Plays the listed move between the squares of text; a pending promotion becomes piece.
// Answers whether the move was listed.
inline bool Play(Game& game, RulesContext& context, std::string_view squares,
                 int32_t piece = Queen) {
    Move* move = Find(game, squares);
    if (move == nullptr) {
        return false;
    }
    if (move->Promotion == PromotionPending) {
        move->Promotion = piece;
    }
    ExecuteMove(game, *move, context);
    return true;
}

// The destinations of the listed moves, as "e2e4 e2e3 ..." in list order.
inline std::string MovesText(const MoveList& moves) {
    std::string text;
    for (const Move& move : moves) {
        if (!text.empty()) {
            text += ' ';
        }
        text += SquareText(move.FromX, move.FromY) + SquareText(move.ToX, move.ToY);
    }
    return text;
}

// Names the instances of a parameterised test after the name field of their case.
struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& c) const {
        return c.param.name;
    }
};

}  // namespace tavlora::test
