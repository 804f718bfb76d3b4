// SPDX-License-Identifier: GPL-3.0-or-later
// SAN: the origin told only as far as another piece of the same kind could reach the same
// square, "x" for a capture, the promotion piece, and the check or mate sign.
#include "rules/san.h"

#include "rules/execute.h"
#include "rules/movegen.h"
#include "rules/notation.h"

namespace tavlora {

namespace {

// "b", "1" or "b1" when another legal move of the same piece type reaches the same square:
// the file if it tells the two apart, else the rank, else both.
std::string Disambiguation(const GameValue& position, const Move& move, Lookahead& lookahead) {
    Lookahead::Guard level(lookahead);
    GenerateMoves(position, position.SideToMove, level->Moves, lookahead);
    bool rival = false;
    bool sameFile = false;
    bool sameRank = false;
    for (const Move& other : level->Moves) {
        if (other.Piece != move.Piece || other.ToX != move.ToX || other.ToY != move.ToY ||
            (other.FromX == move.FromX && other.FromY == move.FromY) ||
            !IsLegalMove(position, other, lookahead)) {
            continue;
        }
        rival = true;
        sameFile = sameFile || other.FromX == move.FromX;
        sameRank = sameRank || other.FromY == move.FromY;
    }
    if (!rival) {
        return "";
    }
    const std::string from = SquareText(move.FromX, move.FromY);
    if (!sameFile) {
        return from.substr(0, 1);
    }
    return sameRank ? from : from.substr(1);
}

bool HasLegalMove(const GameValue& position, Lookahead& lookahead) {
    Lookahead::Guard level(lookahead);
    GenerateMoves(position, position.SideToMove, level->Moves, lookahead);
    for (const Move& move : level->Moves) {
        if (IsLegalMove(position, move, lookahead)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string PlaySan(GameValue& position, const Move& move, Lookahead& lookahead) {
    std::string text;
    if (move.Kind == Castling) {
        text = IsLongCastling(move) ? "O-O-O" : "O-O";
    } else {
        const bool capture = move.Kind != Quiet;
        if (move.Piece == Pawn) {
            if (capture) {
                text += static_cast<char>('a' + move.FromX);
            }
        } else {
            text += PieceLetter(move.Piece);
            if (move.Piece != King) {  // there is only one
                text += Disambiguation(position, move, lookahead);
            }
        }
        if (capture) {
            text += 'x';
        }
        text += SquareText(move.ToX, move.ToY);
        if (move.Piece == Pawn && move.Promotion >= 0) {
            text += '=';
            text += PieceLetter(move.Promotion);
        }
    }

    // The probe leaves State at Check when the mover could now take the other king.
    const int32_t mover = position.SideToMove;
    ExecuteMove(position, move, Probe);
    position.SideToMove = 1 - mover;
    if (position.State == Check) {
        const bool mate = !HasLegalMove(position, lookahead);
        position.State = mate ? Checkmate : Check;
        text += mate ? '#' : '+';
    }
    return text;
}

}  // namespace tavlora
