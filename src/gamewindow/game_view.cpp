// SPDX-License-Identifier: GPL-3.0-or-later
// The board redraw of a panel.
#include "gamewindow/game_view.h"

#include "gamewindow/board_drawing.h"

namespace tavlora {

void ShowBoard(WindowServices& services, GameView& view, int selectedX, int selectedY) {
    // Exactly one board picture per panel: the old one goes before the new one is drawn.
    services.FreePicture(view.BoardImage);
    view.BoardImage = DrawBoard(services, *view.Game, selectedX, selectedY);
    services.SetImage(view.BoardPicture, view.BoardImage);
    view.SelectionShown = selectedX >= 0;
}

}  // namespace tavlora
