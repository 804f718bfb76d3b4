// SPDX-License-Identifier: GPL-3.0-or-later
// Board picture rendering and piece image loading.
#include "gamewindow/board_drawing.h"

#include <array>

namespace tavlora {

namespace {

constexpr int32_t BackgroundColour = 0x000000;
constexpr int32_t DarkSquareColour = 0x606060;   // 96, 96, 96: x + y even, a1 among them
constexpr int32_t LightSquareColour = 0xC0C0C0;  // 192, 192, 192
constexpr int32_t SelectionColour = 0x0000FF;
constexpr int32_t CoordinateColour = 0xFFFFFF;

constexpr int SelectionInset = 5;
constexpr int SelectionSize = 40;
constexpr int FileLetterTop = 403;
constexpr int RankDigitLeft = 408;
constexpr int RankDigitDown = 18;  // from the top of the rank's squares

// Base names by piece type, Bishop (1) to Pawn (6).
constexpr std::array<const char*, 6> PieceBaseNames = {"Bishop", "Knight", "Rook",
                                                       "Queen",  "King",   "Pawn"};

// Rank 0 lies at the bottom for every viewer.
int SquareLeft(int x) {
    return SquareSize * x;
}
int SquareTop(int y) {
    return SquareSize * (7 - y);
}

}  // namespace

int DrawBoard(WindowServices& services, const GameValue& game, int selectedX, int selectedY) {
    const int board = services.CreatePicture(BoardPictureSize, BoardPictureSize);
    services.FillBox(board, {0, 0, BoardPictureSize, BoardPictureSize}, BackgroundColour);

    // Row by row from rank 1 upwards: a piece image larger than its square reaches into
    // squares drawn before it and is painted over by those drawn after it.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int left = SquareLeft(x);
            const int top = SquareTop(y);
            services.FillBox(board, {left, top, SquareSize, SquareSize},
                             (x + y) % 2 == 0 ? DarkSquareColour : LightSquareColour);
            const Square& square = game.Board[x][y];
            if (square.Piece != Empty) {
                const int image = PieceImageNumber(square.Piece, square.Colour);
                if (const Picture* piece = services.FindPicture(image)) {
                    // Integer division truncates toward zero, also for images over 50 pixels.
                    services.DrawPicture(board, image, left + (SquareSize - piece->Width) / 2,
                                         top + (SquareSize - piece->Height) / 2);
                }
            }
            if (x == selectedX && y == selectedY) {
                services.OutlineBox(
                    board,
                    {left + SelectionInset, top + SelectionInset, SelectionSize, SelectionSize},
                    SelectionColour);
            }
        }
    }

    for (int k = 0; k < 8; ++k) {
        const std::string file(1, static_cast<char>('a' + k));
        services.DrawText(board, SquareLeft(k) + (SquareSize - services.TextWidth(file)) / 2,
                          FileLetterTop, file, CoordinateColour, BackgroundColour);
        services.DrawText(board, RankDigitLeft, SquareTop(k) + RankDigitDown, std::to_string(k + 1),
                          CoordinateColour, BackgroundColour);
    }
    return board;
}

bool LoadPieceImage(WindowServices& services, int number, const std::string& fileName) {
    if (services.LoadPicture(number, "Image/" + fileName)) {
        return true;
    }
    services.MessageBox("Tavlora - Fehler", "Bild kann nicht geladen werden.\n" + fileName);
    return false;
}

bool LoadPieceImages(WindowServices& services) {
    for (int32_t colour : {White, Black}) {
        for (int32_t piece = Bishop; piece <= Pawn; ++piece) {
            const std::string fileName =
                PieceBaseNames[piece - Bishop] + std::to_string(colour) + ".png";
            if (!LoadPieceImage(services, PieceImageNumber(piece, colour), fileName)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace tavlora
