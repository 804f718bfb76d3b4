// SPDX-License-Identifier: GPL-3.0-or-later
// The Game window: one shared top-level window with a panel (GameView) per opened game,
// of which only the current one is visible. Owns the views; the games belong to the games
// list of the program state.
#pragma once

#include <deque>

#include "gamewindow/clocks.h"
#include "gamewindow/game_view.h"
#include "net/program_state.h"
#include "platform/window_services.h"

namespace tavlora {

enum class GameWindowOutcome { Continue, EndProgram };

// How much of the move list RefreshGameView writes: all of History, which only a new panel
// asks for, or the move just played.
enum class MoveListRefresh { Full, LastMove };

class GameWindow {
public:
    // largeFont and smallFont are the fonts the start-up created ("MS Sans Serif" 14 and 10
    // point, bold).
    GameWindow(WindowServices& services, ProgramState& state, int largeFont, int smallFont);

    // Shows game in the Game window, creating the window and the game's panel on first use;
    // a game opened before only gets its panel shown again.
    void OpenGameView(tavlora::Game& game);
    // After a move: status line, move list, board without highlight, draw buttons.
    void RefreshGameView(GameView& view, MoveListRefresh moveList);
    // The opponent offered a draw: the accept button takes the offer button's place. Ignored
    // for a finished game and for a game the local user does not play in.
    void ShowDrawOffer(GameView& view);
    // The game changed other than by a move added (rebuilt from the server's moves after a
    // return): the panel as if it were new, buttons unlocked while the game runs.
    void ReloadGameView(GameView& view);
    // Board clicks, buttons and the close box, then the game tick over all games and the
    // refresh pass over all views. EndProgram when the close box ends single-player mode.
    GameWindowOutcome HandleGameWindowEvent(const Event& event);

    // The open view of game, or nullptr.
    GameView* FindView(const tavlora::Game& game);
    GameView* CurrentView() { return currentView_; }
    int Window() const { return gameWindow_; }  // -1 until the first game is opened

private:
    void OpenWindow();
    GameView& BuildPanel(tavlora::Game& game);
    void HandleButton(int control);
    void RefreshPass(GameView& view);
    // The status line of a game without an end text: "<Name> ist abwesend" while a player of
    // the running game is away, else StatusText.
    void ShowStatus(GameView& view);
    void SetStatus(GameView& view, const std::string& text);
    void RestoreOfferButton(GameView& view);
    bool LocalUserPlays(const tavlora::Game& game) const;

    WindowServices& services_;
    ProgramState& state_;
    PanelFonts fonts_;  // by font number: LargeFont, SmallFont
    int gameWindow_ = -1;
    GameView* currentView_ = nullptr;
    std::deque<GameView> views_;  // in the order of first opening; never removed
};

}  // namespace tavlora
