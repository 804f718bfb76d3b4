// SPDX-License-Identifier: GPL-3.0-or-later
// Long algebraic notation of moves, and the look-up of a move by its squares.
#include "rules/notation.h"

#include <utility>

namespace tavlora {

const char* PieceLetter(int32_t piece) {
    switch (piece) {
        case Bishop:
            return "B";
        case Knight:
            return "N";
        case Rook:
            return "R";
        case Queen:
            return "Q";
        case King:
            return "K";
        default:
            return "";
    }
}

std::string SquareText(int32_t x, int32_t y) {
    return std::string(1, static_cast<char>('a' + x)) + std::to_string(y + 1);
}

// Files 2 and 5 are the long castling's destination with the king on file 4 or 3.
bool IsLongCastling(const Move& move) {
    return move.ToX == 2 || move.ToX == 5;
}

std::string MoveText(const Move& move) {
    if (move.Kind == Castling) {
        return IsLongCastling(move) ? "0-0-0" : "0-0";
    }
    std::string text = PieceLetter(move.Piece);
    text += SquareText(move.FromX, move.FromY);
    text += move.Kind == Quiet ? "-" : "x";
    text += SquareText(move.ToX, move.ToY);
    if (move.Kind == EnPassant) {
        text += " e.p.";
    }
    return text;
}

const Move* FindMove(const MoveList& list, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    for (const Move& move : list) {
        if (move.FromX == fromX && move.FromY == fromY && move.ToX == toX && move.ToY == toY) {
            return &move;
        }
    }
    return nullptr;
}

Move* FindMove(MoveList& list, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    return const_cast<Move*>(FindMove(std::as_const(list), fromX, fromY, toX, toY));
}

}  // namespace tavlora
