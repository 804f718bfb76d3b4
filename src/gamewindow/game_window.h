// The Game window: one shared top-level window with a panel (GameView) per opened game,
// of which only the current one is visible. Owns the views; the games belong to the games
// list of the program state.
#pragma once

#include <deque>

#include "net/program_state.h"
#include "platform/window_services.h"

namespace tavlora {

// The panel of one opened game: its controls and the board input's selection. Control and
// picture fields hold identifiers of the window services.
struct GameView {
    tavlora::Game* Game = nullptr;
    int Panel = 0;
    int BoardImage = 0;
    int BoardPicture = 0;
    int MoveList = 0;
    int StatusLine = 0;
    int PlayerClockLabel[2] = {0, 0};
    int MoveClockLabel[2] = {0, 0};
    int AcceptDrawButton = 0;
    int OfferDrawButton = 0;
    int ResignButton = 0;
    int PromotionPopup = 0;
    int PromotionList = 0;
    int SelectedX = 0;
    int SelectedY = 0;
    int TargetX = 0;
    int TargetY = 0;
    int EndShown = 0;
};

enum class GameWindowOutcome { Continue, EndProgram };

class GameWindow {
public:
    // largeFont and smallFont are the fonts the start-up created ("MS Sans Serif" 14 and 10
    // point, bold).
    GameWindow(WindowServices& services, ProgramState& state, int largeFont, int smallFont);

    // Shows game in the Game window, creating the window and the game's panel on first use.
    void OpenGameView(tavlora::Game& game);
    // After a move: status line, move list (all of it when full is 1), board, draw buttons.
    void RefreshGameView(GameView& view, int full);
    // The opponent offered a draw: the accept button takes the offer button's place.
    void ShowDrawOffer(GameView& view);
    // Board clicks, buttons and the close box, then the game tick over all games and the
    // refresh pass over all views. EndProgram when the close box ends single-player mode.
    GameWindowOutcome HandleGameWindowEvent(const Event& event);

    // The open view of game, or nullptr.
    GameView* FindView(const tavlora::Game& game);
    GameView* CurrentView() { return currentView_; }
    int Window() const { return gameWindow_; }  // -1 until the first game is opened

private:
    WindowServices& services_;
    ProgramState& state_;
    int largeFont_;
    int smallFont_;
    int gameWindow_ = -1;
    GameView* currentView_ = nullptr;
    std::deque<GameView> views_;  // in the order of first opening; never removed
};

}  // namespace tavlora
