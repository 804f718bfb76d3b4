// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/program.h"

#include <ctime>
#include <memory>
#include <optional>

#include "gamewindow/board_drawing.h"
#include "gamewindow/game_window.h"
#include "net/client.h"
#include "net/discovery_responder.h"
#include "net/play_step.h"
#include "net/program_state.h"
#include "net/reconnect.h"
#include "net/server.h"
#include "platform/datagrams.h"
#include "platform/system.h"
#include "shell/host_journal.h"
#include "shell/host_resume.h"
#include "shell/lobby.h"
#include "shell/resume_file.h"
#include "shell/resume_question.h"
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
    // A client closed or crashed while its tournament ran: asks whether to go back into it,
    // and sets the return up on "Ja"; on "Nein" the way back is forgotten. True on "Ja".
    bool ResumeTournament();
    // The host's program ended while its journal kept a running tournament: asks whether to
    // take it up again, and does on "Ja". True on "Ja".
    bool ResumeHostedTournament();
    // The lobby of a tournament taken up from the journal: the journal goes on, everyone else
    // is away, and the games go on in the file they were saved in.
    void ContinueHostedTournament();
    void RunMainLoop();
    SocketWatcher WatchSockets();
    void StartSinglePlayer();
    // Play has begun: from now on every game is saved as it ends, and counted.
    void BeginOutcome();
    // Once per pass: the resume file is there while the client holds a ticket and its
    // tournament has games to play, and gone otherwise.
    void KeepResumeFile();
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
    std::unique_ptr<HostJournal> journal_;     // the server's, from the start of its games
    std::optional<ResumeTicket> resumed_;      // what a program started again returns with
    std::optional<ResumedTournament> hosted_;  // what a host's program started again resumes
    bool resumeKept_ = false;                  // the resume file is there
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
    if (!ResumeHostedTournament() && !ResumeTournament()) {
        if (RunSettingsWindow(services_, state_, environment_) == SettingsOutcome::EndProgram) {
            return EndProgram();
        }
        if (state_.IsClient()) {
            AnnounceReturn(state_);  // the join has just sent the name, nothing since
        }
    }
    gameWindow_ = std::make_unique<GameWindow>(services_, state_, largeFont_, smallFont_);
    RunMainLoop();
    return EndProgram();
}

bool Program::ResumeTournament() {
    resumed_ = ReadResumeFile(environment_);
    if (!resumed_ || !AskToContinueTournament(services_, DottedServerAddress(resumed_->ServerIP))) {
        RemoveResumeFile(environment_);
        resumed_.reset();
        return false;
    }
    SetUpReturningClient(state_, resumed_->ServerIP, resumed_->Participant, resumed_->Secret,
                         resumed_->RejoinSeconds);
    resumeKept_ = true;
    return true;
}

bool Program::ResumeHostedTournament() {
    const auto ask = [this] {
        const std::string own = ServerAddresses(Ipv4Interfaces());
        // The first of the host's addresses, as the lobby lists them.
        return AskToContinueTournament(services_,
                                       own.empty() ? "127.0.0.1" : own.substr(0, own.find(',')));
    };
    hosted_ = OfferToResume(services_, JournalPath(environment_), ask, state_);
    if (hosted_) {
        // The server's state is the replayed one: its sockets wake the event wait too.
        state_.Network.SetSocketWatcher(WatchSockets());
    }
    return hosted_.has_value();
}

void Program::ContinueHostedTournament() {
    journal_->Resume(*hosted_);
    lobby_->ShowGamesStarted();  // play begins: BeginOutcome
    ResumeServer(state_, *lobby_);
}

void Program::RunMainLoop() {
    if (!hosted_) {
        state_.PlayPhase = LobbyPhase;
    }
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
            journal_ = std::make_unique<HostJournal>(JournalPath(environment_), state_);
            lobby_->ShowServerAddresses(Ipv4Interfaces());
            // Without the port the lobby runs all the same; it is only not found by a search.
            lobbyAnswers_.Open(state_.NetworkPort, WatchSockets());
        }
        if (hosted_) {
            ContinueHostedTournament();
        }
        if (resumed_) {
            BeginReconnect(state_, *lobby_);
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
        // The resume file follows the ticket that the network work gave or took.
        if (lobby_) {
            KeepResumeFile();
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
        if (journal_) {
            journal_->Keep(*lobby_, outcome_ && outcome_->AllEnded());
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
    // A tournament taken up again goes on in its file, under the date it began.
    const std::optional<JournalGamesFile> journaled =
        hosted_ ? hosted_->Replay.GamesFile : std::nullopt;
    const std::time_t start = journaled ? journaled->StartTime : std::time(nullptr);
    const std::string continued = journaled  ? journaled->Path
                                  : resumed_ ? resumed_->GamesFile
                                             : std::string();
    outcome_ = std::make_unique<TournamentOutcome>(
        services_, state_, MakeSettingsFolder(environment_), start, continued);
    state_.GameEnded = [this](const Game& game) { outcome_->GameEnded(game); };
    if (journal_ && !journaled) {
        journal_->GamesFile(start, outcome_->ArchivePath());
    }
}

void Program::KeepResumeFile() {
    const bool wanted = HoldsTicket(state_) && !(outcome_ && outcome_->AllEnded());
    if (wanted && !resumeKept_ && outcome_) {
        const Player& own = state_.Players[static_cast<size_t>(state_.OwnPlayerIndex)];
        resumeKept_ =
            WriteResumeFile(environment_, {state_.ServerAddress, state_.OwnPlayerIndex, own.Secret,
                                           state_.RejoinSeconds, outcome_->ArchivePath()});
    } else if (!wanted && resumeKept_) {
        RemoveResumeFile(environment_);
        resumeKept_ = false;
    }
}

// Connections are closed without a word: a server sees its clients leave, a client is
// never told.
int Program::EndProgram() {
    // While the way back stands, or the journal keeps the tournament for a resume, the running
    // games are saved when they end after it.
    if (outcome_ && !resumeKept_ && !(journal_ && journal_->KeepsTournament())) {
        outcome_->SaveUnfinishedGames();
    }
    journal_.reset();
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
