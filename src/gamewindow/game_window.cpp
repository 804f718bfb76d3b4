// SPDX-License-Identifier: GPL-3.0-or-later
// The Game window: panels, their refresh after a move, the buttons and the close box, and
// the refresh of the panels whose games changed, once per iteration of the main loop.
#include "gamewindow/game_window.h"

#include "gamewindow/board_drawing.h"
#include "gamewindow/board_input.h"
#include "gamewindow/panel_texts.h"
#include "gamewindow/typed_move.h"
#include "net/game_play.h"
#include "net/senders.h"
#include "rules/next_game.h"

namespace tavlora {

namespace {

constexpr int WindowWidth = 590;
constexpr int PanelHeight = 470;
// A strip below the panels for what concerns all games: the move being typed and how many
// games wait.
constexpr int WindowHeight = 500;
constexpr Rect WaitingRect = {10, 470, 330, 20};
constexpr Rect TypedRect = {350, 466, 230, 26};

constexpr Rect MoveListCaptionRect = {450, 10, 120, 15};
constexpr Rect MoveListRect = {450, 30, 130, 190};
constexpr Rect AcceptDrawRect = {300, 440, 160, 20};
constexpr Rect OfferDrawRect = {350, 440, 110, 20};
constexpr Rect ResignRect = {470, 440, 110, 20};
// The status line gives way to the wider accept button while an offer is open.
constexpr Rect StatusRect = {10, 440, 330, 20};
constexpr Rect NarrowStatusRect = {10, 440, 280, 20};

}  // namespace

GameWindow::GameWindow(WindowServices& services, ProgramState& state, int largeFont, int smallFont)
    : services_(services), state_(state), fonts_{largeFont, smallFont}, changed_(state.Changes) {}

void GameWindow::OpenGameView(tavlora::Game& game) {
    if (gameWindow_ < 0) {
        OpenWindow();
    }
    services_.ShowWindow(gameWindow_);
    services_.SetWindowTitle(gameWindow_, WindowTitle(state_, game));
    if (currentView_) {
        services_.SetVisible(currentView_->Panel, false);
    }
    // What was typed was meant for the position shown until now.
    if (currentView_ && currentView_->Game != &game) {
        typed_.clear();
        ShowTypedText();
    }
    if (GameView* view = FindView(game)) {
        currentView_ = view;
        services_.SetVisible(view->Panel, true);
        services_.ActivateWindow(gameWindow_);
        return;
    }
    currentView_ = &BuildPanel(game);
}

void GameWindow::OpenWindow() {
    gameWindow_ = services_.OpenWindow(
        {.X = 0, .Y = 0, .ClientW = WindowWidth, .ClientH = WindowHeight, .Title = "Tavlora"});
    // The window's keys are the user's moves and his way to the next game; none of them may
    // press a button that happens to have the focus ("Spiel aufgeben" above all).
    services_.CaptureKeys(gameWindow_);
    auto line = [this](Rect geometry, int font) {
        const int control = services_.CreateControl(
            {.Window = gameWindow_, .Kind = ControlKind::Text, .Geometry = geometry});
        services_.SetFont(control, fonts_[font]);
        return control;
    };
    typedLine_ = line(TypedRect, LargeFontNumber);
    if (!state_.IsSinglePlayer()) {
        waitingLine_ = line(WaitingRect, SmallFontNumber);
    }
}

GameView& GameWindow::BuildPanel(tavlora::Game& game) {
    GameView& view = views_.emplace_back();
    view.Game = &game;
    viewOf_[&game] = &view;
    view.SeenRunning = IsRunning(game);
    auto create = [&](ControlKind kind, Rect geometry, const std::string& text = {}) {
        return services_.CreateControl({.Window = gameWindow_,
                                        .Parent = view.Panel,
                                        .Kind = kind,
                                        .Geometry = geometry,
                                        .Text = text});
    };

    view.Panel = services_.CreateControl({.Window = gameWindow_,
                                          .Kind = ControlKind::Container,
                                          .Geometry = {0, 0, WindowWidth, PanelHeight}});
    view.BoardImage = DrawBoard(services_, game, -1, -1);
    create(ControlKind::Text, MoveListCaptionRect, "Vergangene Züge:");
    view.BoardPicture =
        create(ControlKind::Image, {BoardLeft, BoardTop, BoardPictureSize, BoardPictureSize});
    services_.SetImage(view.BoardPicture, view.BoardImage);
    view.MoveList = create(ControlKind::ListBox, MoveListRect);
    view.StatusLine = create(ControlKind::Text, StatusRect);
    view.AcceptDrawButton = create(ControlKind::Button, AcceptDrawRect, "Remis akzeptieren");
    // In single-player mode the button ends the game as a draw at once.
    view.OfferDrawButton = create(ControlKind::Button, OfferDrawRect,
                                  state_.IsSinglePlayer() ? "Remis" : "Remis vorschlagen");
    view.ResignButton = create(ControlKind::Button, ResignRect, "Spiel aufgeben");

    if (!LocalUserPlays(game)) {
        services_.SetEnabled(view.OfferDrawButton, false);
        services_.SetEnabled(view.ResignButton, false);
    }
    services_.SetVisible(view.AcceptDrawButton, false);
    services_.SetFont(view.AcceptDrawButton, fonts_[SmallFontNumber]);
    services_.SetFont(view.StatusLine, fonts_[SmallFontNumber]);

    RefreshGameView(view);
    BuildClockLabels(services_, state_, gameWindow_, view, fonts_);
    // The end text of a game that has ended, and the clocks counted since it was built,
    // follow with the pass's other changes.
    fresh_.push_back(&view);
    return view;
}

void GameWindow::RefreshGameView(GameView& view) {
    const tavlora::Game& game = *view.Game;
    ShowStatus(view);

    const MoveList& history = game.History;
    for (; view.ShownMoves < history.size(); ++view.ShownMoves) {
        services_.AppendItem(view.MoveList,
                             MoveListLine(view.ShownMoves, history[view.ShownMoves]));
    }
    // Selecting the last line scrolls it into view.
    services_.SetState(view.MoveList, services_.ItemCount(view.MoveList) - 1);

    ShowBoard(services_, view, -1, -1);

    // Any move lets a pending offer lapse, and an own offer may be repeated after it.
    RestoreOfferButton(view);
    if (LocalUserPlays(game)) {
        services_.SetEnabled(view.OfferDrawButton, true);
    }
}

void GameWindow::ShowDrawOffer(GameView& view) {
    // An offer that arrives after the game has ended, or that names a game the local user
    // only watches, must not put up a button that would answer it.
    if (view.Game->State > Check || !LocalUserPlays(*view.Game)) {
        return;
    }
    services_.SetVisible(view.OfferDrawButton, false);
    services_.SetVisible(view.AcceptDrawButton, true);
    services_.SetGeometry(view.StatusLine, NarrowStatusRect);
}

void GameWindow::MoveArrived(tavlora::Game& game) {
    Arrive(game, Arrival::Move);
}

void GameWindow::DrawOfferArrived(tavlora::Game& game) {
    Arrive(game, Arrival::DrawOffer);
}

void GameWindow::GameReplaced(tavlora::Game& game) {
    Arrive(game, Arrival::Replaced);
}

void GameWindow::Arrive(tavlora::Game& game, Arrival::Kind kind) {
    if (viewOf_.contains(&game)) {
        arrivals_.push_back({&game, kind});
    }
}

void GameWindow::ReloadGameView(GameView& view) {
    services_.ClearItems(view.MoveList);
    view.ShownMoves = 0;
    view.EndShown = false;
    view.ShownEndState = Running;  // the status line is written afresh
    if (LocalUserPlays(*view.Game)) {
        services_.SetEnabled(view.ResignButton, true);
    }
    RefreshGameView(view);
}

GameWindowOutcome GameWindow::HandleGameWindowEvent(const Event& event) {
    if (event.Kind == EventKind::Control && currentView_) {
        // The square comes from the mouse position, so only the board picture's own clicks
        // count: a button pressed by key must not play the square under the mouse.
        if (event.Window == gameWindow_ && event.Control == currentView_->BoardPicture &&
            PlayBoardClick(services_, state_, gameWindow_, *currentView_)) {
            RefreshGameView(*currentView_);
            ShowNextGameAfterMove();
        }
        HandleButton(event.Control);
    }
    if (event.Kind == EventKind::Key && event.Window == gameWindow_ && currentView_) {
        HandleKey(event.Key);
    }

    if (event.Kind == EventKind::Close && gameWindow_ >= 0 && event.Window == gameWindow_) {
        if (state_.IsSinglePlayer()) {
            return GameWindowOutcome::EndProgram;
        }
        // Games, panels and clocks go on; the next OpenGameView shows the window again.
        services_.HideWindow(gameWindow_);
    }
    return GameWindowOutcome::Continue;
}

void GameWindow::ShowChanges() {
    // In the order they arrived: a move lets an offer made before it lapse, not one after.
    for (const Arrival& arrival : arrivals_) {
        GameView& view = *viewOf_.at(arrival.Game);
        switch (arrival.What) {
            case Arrival::Move:
                RefreshGameView(view);
                break;
            case Arrival::DrawOffer:
                ShowDrawOffer(view);
                break;
            case Arrival::Replaced:
                ReloadGameView(view);
                break;
        }
    }
    arrivals_.clear();
    changed_.TakeInto(taken_);
    for (const tavlora::Game* game : taken_) {
        if (GameView* view = FindView(*game)) {
            RefreshPanel(*view);
        }
    }
    // Only now: showing another game may build a panel, which is refreshed with the others
    // built in this pass.
    if (nextAfterEnd_) {
        nextAfterEnd_ = false;
        ShowNextGameAfterMove();
    }
    for (GameView* view : fresh_) {
        RefreshPanel(*view);
    }
    fresh_.clear();
    // Whose turn it is changes only with a noted game, or with the games themselves.
    if (!taken_.empty() || shownWaiting_ < 0 || ownGamesFrom_ != state_.Games.size()) {
        RefreshWaitingCount();
    }
}

void GameWindow::HandleButton(int control) {
    GameView& view = *currentView_;
    tavlora::Game& game = *view.Game;
    if (control != view.OfferDrawButton && control != view.AcceptDrawButton &&
        control != view.ResignButton) {
        return;
    }
    // The buttons are disabled once the game has ended or for a spectator, but a click
    // queued just before must not change a finished game or speak for a spectator.
    if (game.State > Check || !LocalUserPlays(game)) {
        return;
    }
    if (control == view.OfferDrawButton) {
        if (state_.IsSinglePlayer()) {
            AgreeDraw(state_, game);
        } else {
            SendGameCommand(state_, game, GameCommand::OfferDraw);
            services_.SetEnabled(view.OfferDrawButton, false);
        }
    } else if (control == view.AcceptDrawButton) {
        SendGameCommand(state_, game, GameCommand::AcceptDraw);
        view.DrawAccepted = true;
    } else if (state_.IsSinglePlayer()) {
        // The side to move is the one that resigns.
        Resign(state_, game, game.SideToMove);
    } else {
        SendGameCommand(state_, game, GameCommand::Resign);
    }
}

void GameWindow::HandleKey(int key) {
    GameView& view = *currentView_;
    if (rejectedView_) {
        GameView& rejected = *rejectedView_;
        rejectedView_ = nullptr;
        ShowStatus(rejected);
        RefreshPanel(rejected);  // an end that came while the line told of the typed move
    }
    switch (EditTypedText(typed_, key)) {
        case KeyCommand::PlayTyped:
            if (typed_.empty()) {
                break;
            }
            if (PlayTypedMove(services_, state_, gameWindow_, view, typed_)) {
                typed_.clear();
                RefreshGameView(view);
                ShowNextGameAfterMove();
            } else {
                SetStatus(view, RejectedMoveText(typed_));
                rejectedView_ = &view;
                typed_.clear();
            }
            break;
        case KeyCommand::NextGame:
            ShowNextGame(view.Game);
            break;
        case KeyCommand::None:
            break;
    }
    ShowTypedText();
}

void GameWindow::ShowNextGame(const tavlora::Game* after) {
    if (!order_) {
        return;
    }
    const std::vector<tavlora::Game*> order = order_->GamesInListOrder();
    tavlora::Game* next = NextGameToMove(order, state_.OwnPlayerIndex, after);
    if (next && next != currentView_->Game) {
        OpenGameView(*next);
    }
}

void GameWindow::ShowNextGameAfterMove() {
    if (order_ && order_->NextGameAfterMove()) {
        ShowNextGame(nullptr);
    }
}

bool GameWindow::EndedByLocalUser(const GameView& view) const {
    const tavlora::Game& game = *view.Game;
    // In a lost game SideToMove is the losing side.
    const bool ownLoss = game.PlayerIndex[game.SideToMove] == state_.OwnPlayerIndex;
    switch (game.State) {
        case Resigned:
        case TimeOut:
            return ownLoss;
        case DrawAgreed:
            return view.DrawAccepted;
        default:
            return false;  // mate and stalemate come with a move, which took the user on already
    }
}

void GameWindow::RefreshPanel(GameView& view) {
    const tavlora::Game& game = *view.Game;
    // An opponent's absence shows as long as no refused typed move or end tells more.
    if ((IsRunning(game) ? AbsentPlayer(state_, game) : -1) != view.ShownAbsent &&
        &view != rejectedView_) {
        ShowStatus(view);
    }
    // A game that ended on time, by agreement or by resignation ended without a move, so its
    // end text replaces the status line here, unless it tells of a refused typed move. Built
    // once per change of State.
    if (game.State >= TimeOut && view.ShownEndState != game.State && &view != rejectedView_) {
        SetStatus(view, EndText(state_, game));
        view.ShownEndState = game.State;
    }
    if (game.State > Check && !view.EndShown) {
        RestoreOfferButton(view);
        services_.SetEnabled(view.OfferDrawButton, false);
        services_.SetEnabled(view.ResignButton, false);
        view.EndShown = true;
        // The user's own end of the game he looks at takes him on as his move does, but never
        // from under a move he is choosing by mouse or typing.
        if (&view == currentView_ && view.SeenRunning && EndedByLocalUser(view) &&
            !view.SelectionShown && typed_.empty()) {
            nextAfterEnd_ = true;
        }
    }
    view.SeenRunning = view.SeenRunning || IsRunning(game);
    RefreshClockLabels(services_, view, fonts_);
}

void GameWindow::ShowStatus(GameView& view) {
    const tavlora::Game& game = *view.Game;
    view.ShownAbsent = IsRunning(game) ? AbsentPlayer(state_, game) : -1;
    SetStatus(view, view.ShownAbsent >= 0 ? AwayText(state_, view.ShownAbsent)
                                          : StatusText(state_, game));
}

void GameWindow::RefreshWaitingCount() {
    if (waitingLine_ < 0) {
        return;
    }
    if (ownGamesFrom_ != state_.Games.size()) {
        // Games are only ever appended and never change their players.
        for (size_t i = ownGamesFrom_; i < state_.Games.size(); ++i) {
            if (LocalUserPlays(state_.Games[i])) {
                ownGames_.push_back(&state_.Games[i]);
            }
        }
        ownGamesFrom_ = state_.Games.size();
    }
    const int waiting = CountGamesToMove(ownGames_, state_.OwnPlayerIndex);
    if (waiting != shownWaiting_) {
        services_.SetText(waitingLine_, "Am Zug in " + std::to_string(waiting) +
                                            (waiting == 1 ? " Spiel" : " Spielen"));
        shownWaiting_ = waiting;
    }
}

void GameWindow::ShowTypedText() {
    const std::string text = typed_.empty() ? "" : "Zug: " + typed_;
    if (text != shownTyped_) {
        services_.SetText(typedLine_, text);
        shownTyped_ = text;
    }
}

void GameWindow::SetStatus(GameView& view, const std::string& text) {
    if (text != view.ShownStatus) {
        services_.SetText(view.StatusLine, text);
        view.ShownStatus = text;
    }
    view.ShownEndState = Running;
}

void GameWindow::RestoreOfferButton(GameView& view) {
    services_.SetVisible(view.AcceptDrawButton, false);
    services_.SetVisible(view.OfferDrawButton, true);
    services_.SetGeometry(view.StatusLine, StatusRect);
}

GameView* GameWindow::FindView(const tavlora::Game& game) {
    const auto it = viewOf_.find(&game);
    return it != viewOf_.end() ? it->second : nullptr;
}

bool GameWindow::LocalUserPlays(const tavlora::Game& game) const {
    return game.PlayerIndex[White] == state_.OwnPlayerIndex ||
           game.PlayerIndex[Black] == state_.OwnPlayerIndex;
}

}  // namespace tavlora
