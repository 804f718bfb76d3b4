// SPDX-License-Identifier: GPL-3.0-or-later
// Typed moves: two squares are looked up directly; SAN is compared with the SAN of every
// legal move, so reading and writing can never disagree on what a text means.
#include "rules/move_input.h"

#include <array>
#include <string>

#include "rules/notation.h"
#include "rules/san.h"

namespace tavlora {

namespace {

constexpr std::array<int32_t, 4> PromotionPieces = {Queen, Rook, Bishop, Knight};

// The piece a promotion letter names, or Empty.
int32_t PromotionPiece(char letter) {
    for (const int32_t piece : PromotionPieces) {
        if (letter == PieceLetter(piece)[0]) {
            return piece;
        }
    }
    return Empty;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The text without blanks around it and without check and mate signs; castling with zeros
// becomes castling with letters.
std::string Normalised(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '+' || text.back() == '#')) {
        text.remove_suffix(1);
    }
    if (text == "0-0") {
        return "O-O";
    }
    if (text == "0-0-0") {
        return "O-O-O";
    }
    return std::string(text);
}

// The listed move with the promotion piece typed (Empty: none typed). A pawn reaching the last
// rank without a piece leaves the choice open; a piece after any other move names nothing.
std::optional<Move> WithPromotion(const Move& listed, int32_t piece) {
    Move move = listed;
    if (listed.Promotion == PromotionPending) {
        move.Promotion = piece == Empty ? PromotionPending : piece;
        return move;
    }
    if (piece != Empty) {
        return std::nullopt;
    }
    return move;
}

struct TypedSquares {
    int32_t FromX, FromY, ToX, ToY;
    int32_t Piece;  // the promotion piece typed, or Empty
};

bool IsSquare(std::string_view text) {
    return text.size() >= 2 && text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8';
}

// "g1f3", "e7e8q", also with "-" or "x" between the squares and "=" before the piece, as
// people write them by hand; none when the text is not of that form.
std::optional<TypedSquares> ParseSquares(std::string_view text) {
    if (!IsSquare(text)) {
        return std::nullopt;
    }
    TypedSquares squares{text[0] - 'a', text[1] - '1', 0, 0, Empty};
    text.remove_prefix(2);
    if (text.starts_with('-') || text.starts_with('x')) {
        text.remove_prefix(1);
    }
    if (!IsSquare(text)) {
        return std::nullopt;
    }
    squares.ToX = text[0] - 'a';
    squares.ToY = text[1] - '1';
    text.remove_prefix(2);
    if (text.starts_with('=')) {
        text.remove_prefix(1);
    }
    if (text.size() == 1) {
        squares.Piece = PromotionPiece(Upper(text[0]));
        if (squares.Piece == Empty) {
            return std::nullopt;
        }
    } else if (!text.empty()) {
        return std::nullopt;
    }
    return squares;
}

// SAN of a legal move without its check or mate sign, which the text may leave out.
std::string SanWithoutSigns(const Game& game, const Move& move, Lookahead& lookahead) {
    GameValue position = game;
    std::string san = PlaySan(position, move, lookahead);
    while (san.ends_with('+') || san.ends_with('#')) {
        san.pop_back();
    }
    return san;
}

std::optional<Move> ReadSan(const Game& game, const std::string& typed, Lookahead& lookahead) {
    for (const Move& listed : game.Moves) {
        // A promotion is named without its piece here ("e8", "exd8"); the piece follows.
        const std::string name = SanWithoutSigns(game, listed, lookahead);
        if (typed == name) {
            return listed;
        }
        if (listed.Promotion != PromotionPending || !typed.starts_with(name)) {
            continue;
        }
        std::string_view piece = std::string_view(typed).substr(name.size());
        if (piece.starts_with('=')) {
            piece.remove_prefix(1);
        }
        if (piece.size() == 1 && PromotionPiece(piece[0]) != Empty) {
            return WithPromotion(listed, PromotionPiece(piece[0]));
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<Move> ReadTypedMove(const Game& game, std::string_view text, Lookahead& lookahead) {
    const std::string typed = Normalised(text);
    if (const std::optional<TypedSquares> squares = ParseSquares(typed)) {
        // The board input's own look-up: castling is the king's move to its square.
        const Move* listed =
            FindMove(game.Moves, squares->FromX, squares->FromY, squares->ToX, squares->ToY);
        return listed ? WithPromotion(*listed, squares->Piece) : std::nullopt;
    }
    return ReadSan(game, typed, lookahead);
}

}  // namespace tavlora
