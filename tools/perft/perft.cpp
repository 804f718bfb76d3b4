// SPDX-License-Identifier: GPL-3.0-or-later
// The perft walk: one scratch game per ply, reused for every move at that ply, so the walk
// allocates nothing once the scratch lists have grown.
#include "perft/perft.h"

#include <cassert>

#include "rules/execute.h"
#include "rules/notation.h"

namespace tavlora {

namespace {

constexpr int32_t PromotionPieces[] = {Queen, Rook, Bishop, Knight};

// Calls visit with every move of list, a pending promotion once per piece it may become.
template <typename Visit>
void ForEachChoice(const MoveList& list, Visit&& visit) {
    for (const Move& move : list) {
        if (move.Promotion != PromotionPending) {
            visit(move);
            continue;
        }
        for (int32_t piece : PromotionPieces) {
            Move chosen = move;
            chosen.Promotion = piece;
            visit(chosen);
        }
    }
}

class Walk {
public:
    Walk(int32_t depth, RulesContext& context) : plies_(depth > 0 ? depth : 0), context_(context) {}

    uint64_t Count(const Game& game, int32_t depth, std::size_t ply) {
        if (depth == 0) {
            return 1;
        }
        uint64_t nodes = 0;
        if (depth == 1) {  // the leaves need counting only, not playing
            for (const Move& move : game.Moves) {
                nodes += move.Promotion == PromotionPending ? 4 : 1;
            }
            return nodes;
        }
        ForEachChoice(game.Moves, [&](const Move& move) { nodes += Play(game, move, depth, ply); });
        return nodes;
    }

    uint64_t Play(const Game& game, const Move& move, int32_t depth, std::size_t ply) {
        assert(ply < plies_.size());
        Game& child = plies_[ply];
        static_cast<GameValue&>(child) = game;
        child.History.clear();
        ExecuteMove(child, move, context_);
        return Count(child, depth - 1, ply + 1);
    }

private:
    std::vector<Game> plies_;  // sized once: a deeper ply never moves a shallower one
    RulesContext& context_;
};

}  // namespace

uint64_t Perft(const Game& game, int32_t depth, RulesContext& context) {
    return Walk(depth, context).Count(game, depth, 0);
}

std::vector<DivideEntry> Divide(const Game& game, int32_t depth, RulesContext& context) {
    assert(depth >= 1);
    Walk walk(depth, context);
    std::vector<DivideEntry> entries;
    ForEachChoice(game.Moves, [&](const Move& move) {
        entries.push_back({move, walk.Play(game, move, depth, 0)});
    });
    return entries;
}

std::string CoordinateText(const Move& move) {
    std::string text = SquareText(move.FromX, move.FromY) + SquareText(move.ToX, move.ToY);
    if (move.Promotion >= Bishop && move.Promotion <= Queen) {
        text += "bnrq"[move.Promotion - Bishop];
    }
    return text;
}

}  // namespace tavlora
