// SPDX-License-Identifier: GPL-3.0-or-later
// The move generator: one board scan, piece by piece, in the order the move lists keep.
#include "rules/movegen.h"

#include <cassert>
#include <cstddef>
#include <initializer_list>
#include <span>

#include "rules/execute.h"

namespace tavlora {

namespace {

struct Step {
    int32_t dx;
    int32_t dy;
};

constexpr Step KnightSteps[8] = {{-2, -1}, {-1, -2}, {+1, -2}, {+2, -1},
                                 {+2, +1}, {+1, +2}, {-1, +2}, {-2, +1}};

// Directions numbered k = 0..8 without 4, row by row around the piece, so the order is
// (-1,-1), (0,-1), (+1,-1), (-1,0), (+1,0), (-1,+1), (0,+1), (+1,+1).
constexpr Step Direction(int32_t k) {
    return {k % 3 - 1, k / 3 - 1};
}

constexpr Step BishopSteps[] = {Direction(0), Direction(2), Direction(6), Direction(8)};
constexpr Step RookSteps[] = {Direction(1), Direction(3), Direction(5), Direction(7)};
constexpr Step AllSteps[] = {Direction(0), Direction(1), Direction(2), Direction(3),
                             Direction(5), Direction(6), Direction(7), Direction(8)};

// How a piece other than the pawn moves: its steps in the order of generation, and whether
// it repeats a step along the line (sliding) or takes it once. Indexed by PieceType.
struct Movement {
    std::span<const Step> steps;
    bool slides;
};

constexpr Movement Movements[] = {
    {{}, false},           // Empty
    {BishopSteps, true},   // Bishop: the diagonals
    {KnightSteps, false},  // Knight
    {RookSteps, true},     // Rook: the lines
    {AllSteps, true},      // Queen
    {AllSteps, false},     // King, then castling
};

bool IsLastRank(int32_t y) {
    return y == 0 || y == 7;
}

// The moves of one colour in one position, appended to one list. Each move gets the type
// of the piece on its origin as it is listed. Moves gather in a buffer of the generator's
// own and reach the list in blocks, which keeps the vector's bookkeeping out of the inner
// loops; generation runs for every legality probe, so this is the program's hottest code.
class Generator {
public:
    Generator(const GameValue& game, int32_t colour, MoveList& list, Lookahead& lookahead)
        : game_(game),
          opponent_(1 - colour),
          pawnDirection_(colour == game.BottomColour ? +1 : -1),
          pawnStartRank_(colour == game.BottomColour ? 1 : 6),
          enPassantRank_(colour == game.BottomColour ? 4 : 3),
          list_(list),
          lookahead_(lookahead) {}

    void PieceMoves(int32_t x, int32_t y, int32_t piece) {
        if (end_ > buffer_ + (BufferSize - MaxMovesOfOnePiece)) {
            Flush();
        }
        x_ = x;
        y_ = y;
        piece_ = piece;
        if (piece == Pawn) {
            PawnMoves();
            return;
        }
        if (piece < Bishop || piece > King) {
            return;  // a piece code this generator does not know moves nowhere
        }
        const Movement& movement = Movements[piece];
        if (movement.slides) {
            for (Step s : movement.steps) {
                Slide(s);
            }
        } else {
            for (Step s : movement.steps) {
                Target(x + s.dx, y + s.dy);
            }
        }
        if (piece == King) {
            Castle();
        }
    }

    void Flush() {
        list_.insert(list_.end(), buffer_, end_);
        end_ = buffer_;
    }

private:
    static constexpr std::size_t BufferSize = 128;
    static constexpr std::size_t MaxMovesOfOnePiece = 27;  // a queen in the centre

    Move& Add(int32_t tx, int32_t ty, int32_t kind) {
        Move& move = *end_++;
        move.FromX = x_;
        move.FromY = y_;
        move.ToX = tx;
        move.ToY = ty;
        move.Kind = kind;
        move.Promotion = NoPromotion;
        move.Piece = piece_;
        return move;
    }

    // Quiet moves along the line up to the edge or the first piece, which is taken if it is
    // the opponent's.
    void Slide(Step s) {
        int32_t tx = x_ + s.dx;
        int32_t ty = y_ + s.dy;
        const Square* target = SquareAt(game_, tx, ty);
        while (target != nullptr && target->Piece == Empty) {
            Add(tx, ty, Quiet);
            tx += s.dx;
            ty += s.dy;
            target = SquareAt(game_, tx, ty);
        }
        if (target != nullptr && target->Colour == opponent_) {
            Add(tx, ty, Capture);
        }
    }

    // A move to (tx, ty) unless that square is off the board or holds an own piece.
    void Target(int32_t tx, int32_t ty) {
        const Square* target = SquareAt(game_, tx, ty);
        if (target == nullptr) {
            return;
        }
        if (target->Piece == Empty) {
            Add(tx, ty, Quiet);
        } else if (target->Colour == opponent_) {
            Add(tx, ty, Capture);
        }
    }

    void Castle() {
        if (game_.Board[x_][y_].Moved != 0 || game_.State == Check) {
            return;
        }
        for (int32_t r : {0, 7}) {
            // The rook's colour needs no test: beside an unmoved king, an unmoved rook in a
            // corner of its rank can only be the king's own.
            const Square& rook = game_.Board[r][y_];
            if (rook.Piece != Rook || rook.Moved != 0) {
                continue;
            }
            const int32_t towardsKing = Sign(x_ - r);
            int32_t between = r + towardsKing;
            while (between != x_ && game_.Board[between][y_].Piece == Empty) {
                between += towardsKing;
            }
            if (between != x_) {
                continue;
            }
            // An unmoved king stands on its starting file, so the destination is on the board.
            assert(SquareAt(game_, x_ - 2 * towardsKing, y_) != nullptr);
            if (!CrossedSquareAttacked(x_ - towardsKing)) {
                Add(x_ - 2 * towardsKing, y_, Castling);
            }
        }
    }

    // Steps the king onto the square it crosses and lets the opponent look for it there.
    // The destination square is left to the legality filter, the own square to State.
    bool CrossedSquareAttacked(int32_t crossedX) {
        Lookahead::Guard scratch(lookahead_);
        scratch->Position = game_;
        scratch->Position.SideToMove = 1 - game_.SideToMove;
        const Move step{x_, y_, crossedX, y_, Quiet, PromotionPending, 0};
        ExecuteMove(scratch->Position, step, Probe);
        return scratch->Position.State == Check;
    }

    void PawnMoves() {
        const int32_t ahead = y_ + pawnDirection_;
        const int32_t promotion = IsLastRank(ahead) ? PromotionPending : NoPromotion;

        const Square* one = SquareAt(game_, x_, ahead);
        if (one != nullptr && one->Piece == Empty) {
            Add(x_, ahead, Quiet).Promotion = promotion;
            if (y_ == pawnStartRank_) {
                const Square* two = SquareAt(game_, x_, ahead + pawnDirection_);
                if (two != nullptr && two->Piece == Empty) {
                    Add(x_, ahead + pawnDirection_, Quiet);
                }
            }
        }

        for (int32_t dx : {-1, +1}) {
            const Square* target = SquareAt(game_, x_ + dx, ahead);
            if (target != nullptr && target->Piece != Empty && target->Colour == opponent_) {
                Add(x_ + dx, ahead, Capture).Promotion = promotion;
            }
        }

        // Neither the destination nor the pawn beside is inspected: EnPassantFile is set only
        // by the two-square advance just played, so both are as they must be.
        const int32_t file = game_.EnPassantFile;
        if (file >= 0 && (file - x_ == 1 || x_ - file == 1) && y_ == enPassantRank_) {
            Add(file, ahead, EnPassant);
        }
    }

    const GameValue& game_;
    const int32_t opponent_;
    // Pawns of the bottom colour advance towards rank 7, the others towards rank 0.
    const int32_t pawnDirection_;
    const int32_t pawnStartRank_;
    const int32_t enPassantRank_;  // where a pawn stands that may capture en passant
    MoveList& list_;
    Lookahead& lookahead_;
    int32_t x_ = 0;  // the piece whose moves are being listed
    int32_t y_ = 0;
    int32_t piece_ = Empty;
    Move buffer_[BufferSize];
    Move* end_ = buffer_;
};

}  // namespace

void GenerateMoves(const GameValue& game, int32_t colour, MoveList& list, Lookahead& lookahead) {
    list.clear();
    Generator generator(game, colour, list, lookahead);
    for (int32_t y = 0; y < 8; ++y) {
        // The scan runs once per probe; unrolled, its loop overhead all but disappears.
#pragma GCC unroll 8
        for (int32_t x = 0; x < 8; ++x) {
            const Square& square = game.Board[x][y];
            if (square.Piece != Empty && square.Colour == colour) {
                generator.PieceMoves(x, y, square.Piece);
            }
        }
    }
    generator.Flush();
}

void GenerateMoves(const GameValue& game, int32_t colour, MoveList& list) {
    Lookahead lookahead;
    GenerateMoves(game, colour, list, lookahead);
}

bool Attacks(const GameValue& game, int32_t colour, int32_t x, int32_t y) {
    const auto holds = [&game, colour](int32_t px, int32_t py, int32_t piece) {
        const Square* square = SquareAt(game, px, py);
        return square != nullptr && square->Piece == piece && square->Colour == colour;
    };
    // A pawn takes diagonally forwards, so it stands one rank behind the square.
    const int32_t behind = y - (colour == game.BottomColour ? +1 : -1);
    if (holds(x - 1, behind, Pawn) || holds(x + 1, behind, Pawn)) {
        return true;
    }
    for (Step s : KnightSteps) {
        if (holds(x + s.dx, y + s.dy, Knight)) {
            return true;
        }
    }
    for (Step s : AllSteps) {
        if (holds(x + s.dx, y + s.dy, King)) {
            return true;
        }
        // The first piece along the line, if it slides this way.
        int32_t px = x + s.dx;
        int32_t py = y + s.dy;
        const Square* square = SquareAt(game, px, py);
        while (square != nullptr && square->Piece == Empty) {
            px += s.dx;
            py += s.dy;
            square = SquareAt(game, px, py);
        }
        const int32_t slider = s.dx != 0 && s.dy != 0 ? Bishop : Rook;
        if (square != nullptr && square->Colour == colour &&
            (square->Piece == slider || square->Piece == Queen)) {
            return true;
        }
    }
    return false;
}

Move& AppendMove(MoveList& list, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY,
                 int32_t kind) {
    list.push_back(Move{fromX, fromY, toX, toY, kind, NoPromotion, 0});
    return list.back();
}

}  // namespace tavlora
