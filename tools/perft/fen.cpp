// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing of FEN into a Game record, with the rules' own code for the turn's set-up.
#include "perft/fen.h"

#include <sstream>
#include <vector>

#include "rules/execute.h"

namespace tavlora {

namespace {

std::vector<std::string> Fields(std::string_view text) {
    std::istringstream stream{std::string(text)};
    std::vector<std::string> fields;
    for (std::string field; stream >> field;) {
        fields.push_back(field);
    }
    return fields;
}

// A piece by its letter, in the order of the piece codes (Bishop = 1 to Pawn = 6); upper
// case is White.
std::optional<Square> PieceOfLetter(char letter) {
    const std::string_view letters[2] = {"BNRQKP", "bnrqkp"};
    for (int32_t colour : {White, Black}) {
        if (std::size_t index = letters[colour].find(letter); index != std::string_view::npos) {
            return Square{static_cast<int32_t>(index) + 1, colour, 1};
        }
    }
    return std::nullopt;
}

std::string RankError(int32_t y, const char* what) {
    return "FEN: rank " + std::to_string(y + 1) + " has " + what;
}

// Fills the board from the first field; every piece counts as moved until castling rights
// say otherwise.
std::string ReadPlacement(const std::string& placement, GameValue& game) {
    int32_t x = 0;
    int32_t y = 7;
    for (char c : placement) {
        if (c == '/') {
            if (x != 8 || y == 0) {
                return RankError(y, "not 8 squares, or one rank too many");
            }
            x = 0;
            --y;
        } else if (c >= '1' && c <= '8') {
            x += c - '0';
            if (x > 8) {
                return RankError(y, "more than 8 squares");
            }
        } else if (std::optional<Square> piece = PieceOfLetter(c)) {
            if (x >= 8) {
                return RankError(y, "more than 8 squares");
            }
            game.Board[x][y] = *piece;
            ++x;
        } else {
            return std::string("FEN: unknown character '") + c + "' in the placement";
        }
    }
    if (x != 8 || y != 0) {
        return "FEN: the placement needs 8 ranks of 8 squares";
    }
    return {};
}

int32_t CountPieces(const GameValue& game, int32_t piece, int32_t colour) {
    int32_t count = 0;
    for (const auto& file : game.Board) {
        for (const Square& square : file) {
            count += square.Piece == piece && square.Colour == colour;
        }
    }
    return count;
}

// A right K, Q, k or q unmarks the king on file 4 and the rook in its corner.
std::string ReadCastling(const std::string& rights, GameValue& game) {
    if (rights == "-") {
        return {};
    }
    for (std::size_t i = 0; i < rights.size(); ++i) {
        const char right = rights[i];
        if (std::string_view("KQkq").find(right) == std::string_view::npos ||
            rights.find(right, i + 1) != std::string::npos) {
            return "FEN: invalid castling rights '" + rights + "'";
        }
        const int32_t colour = right >= 'a' ? Black : White;
        const int32_t y = colour == White ? 0 : 7;
        const int32_t rookFile = (right | 0x20) == 'k' ? 7 : 0;
        Square& king = game.Board[4][y];
        Square& rook = game.Board[rookFile][y];
        if (king.Piece != King || king.Colour != colour || rook.Piece != Rook ||
            rook.Colour != colour) {
            return std::string("FEN: castling right '") + right + "' without its king and rook";
        }
        king.Moved = 0;
        rook.Moved = 0;
    }
    return {};
}

// The file of a two-square advance just played by the side not to move; its pawn must
// stand beside the square named.
std::string ReadEnPassant(const std::string& target, int32_t sideToMove, GameValue& game) {
    game.EnPassantFile = -1;
    if (target == "-") {
        return {};
    }
    const int32_t rank = sideToMove == White ? 5 : 2;
    const int32_t pawnRank = sideToMove == White ? 4 : 3;
    if (target.size() != 2 || target[0] < 'a' || target[0] > 'h' || target[1] != '1' + rank) {
        return "FEN: invalid en passant square '" + target + "'";
    }
    const int32_t file = target[0] - 'a';
    const Square& pawn = game.Board[file][pawnRank];
    if (pawn.Piece != Pawn || pawn.Colour != 1 - sideToMove ||
        game.Board[file][rank].Piece != Empty) {
        return "FEN: no pawn has just passed over '" + target + "'";
    }
    game.EnPassantFile = file;
    return {};
}

}  // namespace

FenGame GameFromFen(std::string_view fen, Lookahead& lookahead) {
    const std::vector<std::string> fields = Fields(fen);
    if (fields.size() < 4 || fields.size() > 6) {
        return {std::nullopt, "FEN: expected 4 to 6 fields"};
    }

    Game game{};
    game.PlayerIndex[White] = 0;
    game.PlayerIndex[Black] = 1;
    game.BottomColour = White;
    game.Result = Undecided;
    game.State = Running;

    if (std::string error = ReadPlacement(fields[0], game); !error.empty()) {
        return {std::nullopt, error};
    }
    if (CountPieces(game, King, White) != 1 || CountPieces(game, King, Black) != 1) {
        return {std::nullopt, "FEN: each side needs exactly one king"};
    }
    if (fields[1] != "w" && fields[1] != "b") {
        return {std::nullopt, "FEN: side to move is 'w' or 'b', not '" + fields[1] + "'"};
    }
    const int32_t sideToMove = fields[1] == "w" ? White : Black;
    if (std::string error = ReadCastling(fields[2], game); !error.empty()) {
        return {std::nullopt, error};
    }
    if (std::string error = ReadEnPassant(fields[3], sideToMove, game); !error.empty()) {
        return {std::nullopt, error};
    }

    // Reach the turn as a move would: the other side has just moved, and the rules decide
    // check and list the legal moves.
    game.SideToMove = 1 - sideToMove;
    PassTurn(game, lookahead);
    return {std::move(game), {}};
}

}  // namespace tavlora
