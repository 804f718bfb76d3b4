// SPDX-License-Identifier: GPL-3.0-or-later
// The clock labels of a game panel: the players' boxes with their clocks, and the emphasis of
// the side to move. The clocks themselves run in the game tick.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gamewindow/game_view.h"
#include "net/program_state.h"
#include "platform/window_services.h"

namespace tavlora {

// The panel's two fonts by number: LargeFont for the clocks of the side to move, SmallFont
// for the other side's, the status line and the accept button.
using PanelFonts = std::array<int, 2>;
constexpr int LargeFontNumber = 0;
constexpr int SmallFontNumber = 1;

// Builds the players' boxes of a new panel, White's above Black's: the name, two framed
// labels with the starting clocks, and the emphasis of the side to move.
void BuildClockLabels(WindowServices& services, const ProgramState& state, int window,
                      GameView& view, const PanelFonts& fonts);

// Brings the panel's clock labels up to the game's clocks and the emphasis up to its side to
// move, writing only what changed.
void RefreshClockLabels(WindowServices& services, GameView& view, const PanelFonts& fonts);

}  // namespace tavlora
