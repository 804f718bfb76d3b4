// The game clocks: counting down the side to move of every game in whole seconds, the
// time-out declared by the program whose user is to move, the result of finished games,
// the clock text, and the clock labels of a panel with the emphasis of the side to move.
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

// "mm:ss" below one hour, "hh:mm:ss" from one hour (hours wrap at 24), "00:00" below zero.
std::string FormatClock(int32_t seconds);

// One tick over every game of the games list: counts the running clocks of the side to move
// down to the current tick count, ends the game on time when the local user is to move and
// his time is up (sending MsgTimeout in the network modes), and gives every finished game
// its Result once.
void RunGameTick(ProgramState& state);

// Builds the players' boxes of a new panel, White's above Black's: the name, two framed
// labels with the starting clocks, and the emphasis of the side to move.
void BuildClockLabels(WindowServices& services, const ProgramState& state, int window,
                      GameView& view, const PanelFonts& fonts);

// Brings the panel's clock labels up to the game's clocks and the emphasis up to its side to
// move, writing only what changed.
void RefreshClockLabels(WindowServices& services, GameView& view, const PanelFonts& fonts);

}  // namespace tavlora
