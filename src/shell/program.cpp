// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/program.h"

#include <ctime>
#include <memory>

#include "gamewindow/board_drawing.h"
#include "gamewindow/game_window.h"
#include "net/discovery_responder.h"
#include "net/play_step.h"
#include "net/program_state.h"
#include "platform/datagrams.h"
#include "platform/system.h"
#include "shell/lobby.h"
#include "shell/settings_window.h"
#include "shell/tournament_outcome.h"

namespace tavlora {

namespace {

constexpr int MainLoopWaitMs = 10;

// Everything the program creates at start-up and keeps until its end.
class Program {
public:
    Program(WindowServices& services, const SettingsEnvironment& environment)
        : services_(services), environment_(environment) {}

    int Main();

private:
    void RunMainLoop();
    SocketWatcher WatchSockets();
    void StartSinglePlayer();
    // Play has begun: from now on every game is saved as it ends, and counted.
    void BeginOutcome();
    int EndProgram();

    WindowServices& services_;
    const SettingsEnvironment& environment_;
    ProgramState state_;
    int largeFont_ = DefaultFont;
    int smallFont_ = DefaultFont;
    std::unique_ptr<GameWindow> gameWindow_;
    std::unique_ptr<Lobby> lobby_;
    NoNetworkView noNetwork_;          // single player's stand-in for the lobby
    DiscoveryResponder lobbyAnswers_;  // the server's answers to clients that search
    std::unique_ptr<TournamentOutcome> outcome_;
};

int Program::Main() {
    state_.TickCount = TickCount;
    // The event wait wakes as soon as any connection has something to read.
    state_.Network.SetSocketWatcher(WatchSockets());

    largeFont_ = services_.CreateFont("MS Sans Serif", 14, true);
    smallFont_ = services_.CreateFont("MS Sans Serif", 10, true);
    if (!LoadPieceImages(services_)) {
        return EndProgram();
    }
    if (RunSettingsWindow(services_, state_, environment_) == SettingsOutcome::EndProgram) {
        return EndProgram();
    }
    gameWindow_ = std::make_unique<GameWindow>(services_, state_, largeFont_, smallFont_);
    RunMainLoop();
    return EndProgram();
}

void Program::RunMainLoop() {
    state_.PlayPhase = LobbyPhase;
    if (state_.IsSinglePlayer()) {
        StartSinglePlayer();
    } else {
        lobby_ = std::make_unique<Lobby>(services_, state_, *gameWindow_);
        lobby_->ShowStandings = [this] {
            if (outcome_) {
                outcome_->ShowStandings();
            }
        };
        // Before the pass takes another message, which might end a game.
        lobby_->GamesStarted = [this] { BeginOutcome(); };
        // The lobby's choice of the next game is kept as the user changes it.
        lobby_->SetNextGameAfterMove(LoadSettings(environment_).NextGameAfterMove != 0);
        lobby_->NextGameAfterMoveChanged = [this](bool on) {
            SaveNextGameAfterMove(environment_, on);
        };
        lobby_->BuildLobbyWindow();
        if (state_.IsServer()) {
            lobby_->ShowServerAddresses(Ipv4Interfaces());
            // Without the port the lobby runs all the same; it is only not found by a search.
            lobbyAnswers_.Open(state_.NetworkPort, WatchSockets());
        }
    }

    NetView& view = lobby_ ? static_cast<NetView&>(*lobby_) : noNetwork_;
    for (;;) {
        // A message already buffered is handled now rather than after the wait.
        const int wait = state_.Network.HasPendingEvent() ? 0 : MainLoopWaitMs;
        const Event event = services_.WaitEvent(wait);

        // Network first: every message that waits is read, refereed and relayed, and the games'
        // clocks and time-outs are brought up to date, before any window work.
        RunPlayStep(state_, view);
        if (state_.IsServer()) {
            lobbyAnswers_.Poll(state_, TickCount());
        }

        // The window event.
        if (lobby_ && event.Kind == EventKind::Control) {
            lobby_->HandleLobbyControl(event.Control);
        }
        if (gameWindow_->HandleGameWindowEvent(event) == GameWindowOutcome::EndProgram) {
            return;
        }
        if (outcome_) {
            outcome_->HandleEvent(event);
        }
        if (lobby_ && event.Kind == EventKind::Shortcut) {
            lobby_->HandleLobbyShortcut(event.Shortcut);
        }

        // What changed in this pass, shown where it is seen.
        gameWindow_->ShowChanges();
        if (lobby_) {
            lobby_->ShowChanges();
        }
        if (outcome_) {
            outcome_->RefreshStandings();
        }
        if (lobby_ && event.Kind == EventKind::Close && event.Window == LobbyWindowId) {
            return;
        }
    }
}

SocketWatcher Program::WatchSockets() {
    return [this](int socket, bool watch) {
        if (watch) {
            services_.WatchSocket(socket);
        } else {
            services_.UnwatchSocket(socket);
        }
    };
}

// Either name may get White, by chance.
void Program::StartSinglePlayer() {
    services_.CloseWindow(SettingsWindowId);
    const int first = state_.Random.RandomBelow(2);
    Game& game = CreateGame(state_.Games, first, 1 - first, White, state_);
    BeginOutcome();
    gameWindow_->OpenGameView(game);
}

void Program::BeginOutcome() {
    outcome_ = std::make_unique<TournamentOutcome>(
        services_, state_, MakeSettingsFolder(environment_), std::time(nullptr));
    state_.GameEnded = [this](const Game& game) { outcome_->GameEnded(game); };
}

// Connections are closed without a word: a server sees its clients leave, a client is
// never told.
int Program::EndProgram() {
    if (outcome_) {
        outcome_->SaveUnfinishedGames();
    }
    lobbyAnswers_.Close();
    state_.Network.CloseAll();
    lobby_.reset();
    gameWindow_.reset();
    return 0;
}

}  // namespace

int Main(WindowServices& services, const SettingsEnvironment& environment) {
    Program program(services, environment);
    return program.Main();
}

}  // namespace tavlora
