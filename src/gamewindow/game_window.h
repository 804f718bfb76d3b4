// SPDX-License-Identifier: GPL-3.0-or-later
// The Game window: one shared top-level window with a panel (GameView) per opened game,
// of which only the current one is visible, and below the panels the move being typed and
// how many games wait for the user. Owns the views; the games belong to the games list of
// the program state. What the network brings and the game tick changes is shown once per
// main-loop pass, after the network work, and only in the panels of games that changed.
#pragma once

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "gamewindow/clocks.h"
#include "gamewindow/game_view.h"
#include "net/program_state.h"
#include "platform/window_services.h"

namespace tavlora {

enum class GameWindowOutcome { Continue, EndProgram };

// What the Game window needs to take the user on to his next game in network play; the
// lobby, whose games list puts the games in their order, provides it.
class GameOrder {
public:
    virtual ~GameOrder() = default;
    // The games as the user sees them listed, top to bottom.
    virtual std::vector<tavlora::Game*> GamesInListOrder() const = 0;
    // Whether the user wants the next game shown after each of his moves.
    virtual bool NextGameAfterMove() const = 0;
};

class GameWindow {
public:
    // largeFont and smallFont are the fonts the start-up created ("MS Sans Serif" 14 and 10
    // point, bold).
    GameWindow(WindowServices& services, ProgramState& state, int largeFont, int smallFont);

    // Shows game in the Game window, creating the window and the game's panel on first use;
    // a game opened before only gets its panel shown again.
    void OpenGameView(tavlora::Game& game);
    // After a move: status line, the moves not yet in the move list, board without
    // highlight, draw buttons.
    void RefreshGameView(GameView& view);
    // The opponent offered a draw: the accept button takes the offer button's place. Ignored
    // for a finished game and for a game the local user does not play in.
    void ShowDrawOffer(GameView& view);
    // A move, or an opponent's draw offer, arrived in game, or game changed other than by a
    // move added (rebuilt from the server's moves after a return): shown in its panel, if it
    // has one, by the next ShowChanges, in the order they arrived.
    void MoveArrived(tavlora::Game& game);
    void DrawOfferArrived(tavlora::Game& game);
    void GameReplaced(tavlora::Game& game);
    // The panel of a replaced game as if it were new, buttons unlocked while the game runs.
    void ReloadGameView(GameView& view);
    // Board clicks, keys, buttons and the close box. EndProgram when the close box ends
    // single-player mode. Keys: a move typed and Return plays it; Space shows the next game
    // that waits for the user. After the user's own move the first game of the order that
    // waits for him is shown when he wants it so.
    GameWindowOutcome HandleGameWindowEvent(const Event& event);
    // Once per pass, after the window events: what arrived, then the end texts, clocks and
    // emphasis of the panels whose games changed since the last call, and the count of games
    // that wait. After the user's resignation, acceptance of a draw or time-out in the shown
    // game, the first game of the order that waits for him is shown when he wants it so.
    void ShowChanges();

    // Network play: the order of the user's next games. Without one (single-player mode)
    // Space does nothing and no game follows another.
    void SetGameOrder(const GameOrder* order) { order_ = order; }

    // The open view of game, or nullptr.
    GameView* FindView(const tavlora::Game& game);
    GameView* CurrentView() { return currentView_; }
    int Window() const { return gameWindow_; }  // -1 until the first game is opened

private:
    // What arrived for a panel, kept until ShowChanges.
    struct Arrival {
        enum Kind { Move, DrawOffer, Replaced };
        tavlora::Game* Game;
        Kind What;
    };
    void Arrive(tavlora::Game& game, Arrival::Kind kind);

    void OpenWindow();
    GameView& BuildPanel(tavlora::Game& game);
    void HandleButton(int control);
    // The end text, the buttons' lock at the end, the clocks and their emphasis, as the game
    // stands now; only what differs is written.
    void RefreshPanel(GameView& view);
    void HandleKey(int key);
    // The first game of the order that waits for the user after `after` (nullptr: from the
    // top), if it is another than the shown one.
    void ShowNextGame(const tavlora::Game* after);
    void ShowNextGameAfterMove();
    // Whether the end of the view's game came from the local user's own hand.
    bool EndedByLocalUser(const GameView& view) const;
    // The status line of a game without an end text: "<Name> ist abwesend" while a player of
    // the running game is away, else StatusText.
    void ShowStatus(GameView& view);
    void RefreshWaitingCount();
    void ShowTypedText();
    void SetStatus(GameView& view, const std::string& text);
    void RestoreOfferButton(GameView& view);
    bool LocalUserPlays(const tavlora::Game& game) const;

    WindowServices& services_;
    ProgramState& state_;
    PanelFonts fonts_;  // by font number: LargeFont, SmallFont
    int gameWindow_ = -1;
    GameView* currentView_ = nullptr;
    std::deque<GameView> views_;  // in the order of first opening; never removed
    std::unordered_map<const tavlora::Game*, GameView*> viewOf_;
    std::vector<Arrival> arrivals_;
    ChangedGames changed_;
    std::vector<tavlora::Game*> taken_;  // scratch of ShowChanges
    std::vector<GameView*> fresh_;       // panels built since the last ShowChanges

    const GameOrder* order_ = nullptr;
    bool nextAfterEnd_ = false;  // a refresh found the shown game ended by the user
    // The move being typed, and the view whose status line tells that a typed text played
    // nothing, until the next key.
    std::string typed_;
    GameView* rejectedView_ = nullptr;
    int typedLine_ = -1;
    std::string shownTyped_;
    // "Am Zug in n Spielen", network play only: the count over the user's own games, picked
    // out of the games list as it grows.
    int waitingLine_ = -1;
    int shownWaiting_ = -1;
    std::vector<tavlora::Game*> ownGames_;
    size_t ownGamesFrom_ = 0;
};

}  // namespace tavlora
