// SPDX-License-Identifier: GPL-3.0-or-later
// The board picture of a game, rendered whole from its record, and the twelve piece images
// it is drawn from, loaded once at start-up from the Image folder of the working directory.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_services.h"
#include "rules/game.h"

namespace tavlora {

// Board picture geometry: eight 50-pixel squares, then a 20-pixel strip for the coordinates.
constexpr int SquareSize = 50;
constexpr int BoardPictureSize = 420;

// The picture number of a piece image: 1 to 6 for White's pieces, 11 to 16 for Black's.
constexpr int PieceImageNumber(int32_t piece, int32_t colour) {
    return piece + 10 * colour;
}

// Renders the board of the game, with a frame on the selected square (none for -1, -1), into
// a new 420 x 420 picture and returns its identifier. The caller owns it and frees it.
int DrawBoard(WindowServices& services, const GameValue& game, int selectedX, int selectedY);

// Loads "Image/" + fileName under the picture number. On failure shows the error box naming
// the file and answers false; the caller then ends the program.
bool LoadPieceImage(WindowServices& services, int number, const std::string& fileName);

// Loads the twelve piece images, White's then Black's, each colour from bishop to pawn, and
// stops at the first that fails (its error box shown), answering false.
bool LoadPieceImages(WindowServices& services);

}  // namespace tavlora
