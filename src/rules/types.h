// SPDX-License-Identifier: GPL-3.0-or-later
// The codes and small records of the chess rules: piece types, colours, game states,
// move kinds, and the Square and Move records that boards, move lists and the wire share.
#pragma once

#include <cstdint>
#include <type_traits>

namespace tavlora {

// Colours. Two colours are opponents exactly when their sum is 1.
constexpr int32_t White = 0;
constexpr int32_t Black = 1;

enum PieceType : int32_t {
    Empty = 0,
    Bishop = 1,
    Knight = 2,
    Rook = 3,
    Queen = 4,
    King = 5,
    Pawn = 6,
};

// A game runs while its State is at most Check.
enum GameState : int32_t {
    Running = 0,
    Check = 1,
    Checkmate = 2,
    Stalemate = 3,
    TimeOut = 4,
    DrawAgreed = 5,
    Resigned = 6,
};

enum MoveKind : int32_t {
    Quiet = 0,
    Capture = 1,
    Castling = 2,
    EnPassant = 3,
};

// Move::Promotion holds one of these or the PieceType the pawn becomes.
constexpr int32_t NoPromotion = -2;
constexpr int32_t PromotionPending = -1;

// Game::Result: the winning colour, or one of these.
constexpr int32_t Undecided = -2;
constexpr int32_t Draw = -1;

// Colour and Moved mean something only while Piece is not Empty: moving a piece away
// clears Piece alone, so every reader tests Piece first.
struct Square {
    int32_t Piece;
    int32_t Colour;
    int32_t Moved;
};

// Seven 32-bit integers, stored in move lists and sent on the wire unchanged.
// A castling move carries only the king's displacement.
struct Move {
    int32_t FromX;
    int32_t FromY;
    int32_t ToX;
    int32_t ToY;
    int32_t Kind;
    int32_t Promotion;
    int32_t Piece;

    friend bool operator==(const Move&, const Move&) = default;
};

static_assert(sizeof(Square) == 12 && std::is_trivially_copyable_v<Square>);
static_assert(sizeof(Move) == 28 && std::is_trivially_copyable_v<Move>);

}  // namespace tavlora
