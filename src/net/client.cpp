// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/client.h"

#include <string>
#include <utility>

#include "net/game_catch_up.h"
#include "net/game_play.h"
#include "net/latin1.h"
#include "net/reconnect.h"
#include "net/return_desk.h"

namespace tavlora {

namespace {

const char* const RefusedRunningText =
    "Verbindung zum Server fehlgeschlagen.\nSpiel auf dem Server läuft bereits.";
const char* const RefusedFullText = "Verbindung zum Server fehlgeschlagen.\nServer ist voll.";
const char* const NameTakenText = "Verbindung zum Server fehlgeschlagen.\nName existiert bereits.";
const char* const JoinFailedText = "Verbindung zum Server fehlgeschlagen.";

// Messages a pass takes at most while the states of a return's games stream in.
constexpr int CatchUpMessagesPerPass = 256;

// Back to the settings window: no connection, and the reason in an error box.
void GiveUp(ProgramState& state, NetView& view, const char* text) {
    state.Network.Close(state.ServerConnection);
    state.ServerConnection = NoConnection;
    view.ShowNetworkError(text);
}

// The join handshake: the only messages that mean something before the welcome.
class JoinHandler {
public:
    JoinHandler(ProgramState& state, NetView& view) : state_(state), view_(view) {}

    bool operator()(const MsgRefusedRunning&) {
        GiveUp(state_, view_, RefusedRunningText);
        return false;
    }
    bool operator()(const MsgRefusedFull&) {
        GiveUp(state_, view_, RefusedFullText);
        return false;
    }

    bool operator()(const MsgWelcome& m) {
        // The count holds the server's own participant and the newcomer: two at least.
        if (!LobbyFits(m.MaxPlayer, m.PlayerCount, 2, m.TimeByPlayer, m.TimeByMove)) {
            // Not a server this program can join; waiting on would wait for ever.
            GiveUp(state_, view_, JoinFailedText);
            return false;
        }
        // The name as it travels, compared byte for byte with those already there. Two
        // newcomers with one name can both pass, since neither is listed yet.
        const std::string ownName = state_.Players[1].PlayerName;
        const std::string sentName = Latin1ToUtf8(Utf8ToLatin1(ownName));
        for (const WelcomeEntry& entry : m.Players) {
            if (entry.PlayerName == sentName) {
                GiveUp(state_, view_, NameTakenText);
                return false;
            }
        }

        SetUpWelcomedClient(state_, m);
        state_.Network.Send(state_.ServerConnection,
                            EncodeFrame(MsgName{state_.OwnPlayerIndex, ownName}));
        return true;
    }

    template <typename T>
    bool operator()(const T&) {
        return false;
    }

private:
    ProgramState& state_;
    NetView& view_;
};

// After the join: the lobby's table, rows and chat, the start, and every game message,
// replayed on the client's copies. A message that does not fit the table is dropped.
class PlayHandler {
public:
    PlayHandler(ProgramState& state, NetView& view) : state_(state), view_(view) {}

    // Lobby
    void operator()(const MsgPlayerNamed& m) {
        if (!IsRow(m.Index) || m.Index == state_.OwnPlayerIndex) {
            return;  // the own row was filled when the lobby opened
        }
        Entry(m.Index).PlayerName = m.PlayerName;
        view_.ShowPlayerRow(m.Index);
    }

    void operator()(const MsgReady& m) {
        if (!IsRow(m.Index)) {
            return;
        }
        Entry(m.Index).PlayerReady = m.PlayerReady != 0 ? 1 : 0;
        view_.ShowPlayerRow(m.Index);
    }

    void operator()(const MsgChat& m) {
        if (m.Index < 0 || m.Index >= state_.MaxPlayer) {
            return;
        }
        view_.AppendChatLine(ChatLine(Entry(m.Index).PlayerName, m.Text));
    }

    void operator()(const MsgPlayerLeft& m) {
        if (state_.PlayPhase == GamesStartedPhase) {
            // After the start nobody moves; the leaver loses every game still running.
            if (m.PlayerCount == state_.PlayerCount && m.Index >= 1 &&
                m.Index < state_.PlayerCount) {
                const bool wasAway = Entry(m.Index).Away;
                Entry(m.Index).Away = false;
                ParticipantLeft(state_, m.Index);
                if (wasAway) {
                    view_.ShowPlayerRow(m.Index);
                }
            }
            return;
        }
        const int32_t own = state_.OwnPlayerIndex;
        const int32_t count = m.PlayerCount;
        if (m.Index < 1 || m.Index > count || count >= state_.MaxPlayer || m.Index == own ||
            own > count) {
            return;
        }
        state_.PlayerCount = count;
        if (m.Index < own) {
            view_.MoveOwnRow(own, own - 1);
            state_.OwnPlayerIndex = own - 1;
        }
        for (int32_t i = m.Index; i < count; ++i) {
            Entry(i) = std::move(Entry(i + 1));
            view_.ShowPlayerRow(i);
        }
        // Cleared, so a later newcomer in this place does not inherit the leaver's data.
        Entry(count) = Player{};
        view_.ShowFreeRow(count);
    }

    void operator()(const MsgStartGames& m) {
        if (state_.PlayPhase == GamesStartedPhase || m.PlayerCount < 2 ||
            m.PlayerCount > state_.MaxPlayer || m.PlayerCount <= state_.OwnPlayerIndex) {
            return;
        }
        for (int32_t colour : m.Colours) {
            if (colour != 0 && colour != 1) {
                return;
            }
        }
        state_.PlayerCount = m.PlayerCount;
        BeginGames(state_, view_, m.Colours);
    }

    // Games: the server has refereed them; the tests here only keep the copies sound.
    void operator()(const MsgMove& m) {
        if (Game* game = RunningGame(m.PlayerIndex)) {
            if (const std::optional<Move> move = MatchLegalMove(*game, m.Played)) {
                PlayReceivedMove(state_, view_, *game, m.PlayerTimeLeft, m.MoveTimeLeft, *move);
            }
        }
    }

    void operator()(const MsgTimeout& m) {
        if (Game* game = RunningGame(m.PlayerIndex)) {
            // The sender is the one who ran out. Our own move may have crossed the referee's
            // time-out on the way, leaving the opponent to move here; the loser is still us.
            EndOnTime(state_, *game, SideOf(*game, m.Sender), m.PlayerTimeLeft, m.MoveTimeLeft);
        }
    }

    void operator()(const MsgDrawOffer& m) {
        if (KeyedGame* keyed = state_.KeyedGames.Find(m.PlayerIndex[0], m.PlayerIndex[1])) {
            view_.DrawOffered(*keyed->Record);
        }
    }

    void operator()(const MsgDrawAccept& m) {
        if (Game* game = RunningGame(m.PlayerIndex)) {
            AgreeDraw(state_, *game);
        }
    }

    void operator()(const MsgResign& m) {
        if (Game* game = RunningGame(m.PlayerIndex)) {
            Resign(state_, *game, m.Sender == game->PlayerIndex[White] ? White : Black);
        }
    }

    // The way back
    void operator()(const MsgReturnTicket& m) { TakeReturnTicket(state_, m); }

    void operator()(const MsgGameState& m) { TakeGameState(state_, view_, m); }

    void operator()(const MsgAway& m) { Absence(m.Index, true); }
    void operator()(const MsgBack& m) { Absence(m.Index, false); }

    // The handshake is over; what only a client sends means nothing here.
    template <typename T>
    void operator()(const T&) {}

private:
    Player& Entry(int32_t index) { return state_.Players[static_cast<size_t>(index)]; }

    // Another participant went away or came back: his row and a line of its own.
    void Absence(int32_t index, bool away) {
        if (state_.PlayPhase != GamesStartedPhase || index < 0 || index >= state_.PlayerCount ||
            index == state_.OwnPlayerIndex || Entry(index).Left || Entry(index).Away == away) {
            return;
        }
        Entry(index).Away = away;
        PresenceChanged(state_, index);
        view_.ShowPlayerRow(index);
        const std::string& name = Entry(index).PlayerName;
        view_.AppendChatLine(away ? WentAwayLine(name) : CameBackLine(name));
    }

    // A row of the players list: every place while the lobby is open, only the
    // participants once the free rows are gone. A newcomer's index may lie above the
    // client's own PlayerCount, which no message brings up to date.
    bool IsRow(int32_t index) const {
        const int32_t rows =
            state_.PlayPhase == GamesStartedPhase ? state_.PlayerCount : state_.MaxPlayer;
        return index >= 0 && index < rows;
    }

    Game* RunningGame(const int32_t (&key)[2]) {
        KeyedGame* keyed = state_.KeyedGames.Find(key[0], key[1]);
        return keyed != nullptr && IsRunning(*keyed->Record) ? keyed->Record : nullptr;
    }

    ProgramState& state_;
    NetView& view_;
};

// One event of the connection to the server; true when it completed the join.
bool TakeEvent(ProgramState& state, NetView& view, const NetEvent& event) {
    if (event.Connection != state.ServerConnection || state.ServerConnection == NoConnection) {
        return false;
    }
    const bool joined = state.OwnPlayerIndex >= 0;
    const bool returning = state.Reconnect.Active;
    switch (event.Kind) {
        case NetEventKind::Connected:
            if (returning) {
                ReturnConnected(state);
            } else {
                view.ShowConnected();
            }
            return false;
        case NetEventKind::Closed:
            // Reported once by the transport. Windows and games stay as they are, also while
            // the way back is tried.
            if (returning) {
                ReturnAttemptEnded(state);
            } else if (!joined || state.PlayPhase != GamesStartedPhase ||
                       !BeginReconnect(state, view)) {
                state.ServerConnection = NoConnection;
                view.ShowNetworkError(joined ? ConnectionLostText : JoinFailedText);
            }
            return false;
        case NetEventKind::MessageArrived:
            if (!joined) {
                return std::visit(JoinHandler(state, view), event.Received);
            }
            if (returning) {
                TakeReturnAnswer(state, view, event.Received);
            } else {
                std::visit(PlayHandler(state, view), event.Received);
            }
            return false;
        case NetEventKind::None:
        case NetEventKind::NewConnection:
            return false;
    }
    return false;
}

}  // namespace

std::string DottedServerAddress(int32_t address) {
    const auto byte = [address](int shift) {
        return std::to_string((static_cast<uint32_t>(address) >> shift) & 0xFF);
    };
    return byte(0) + "." + byte(8) + "." + byte(16) + "." + byte(24);
}

bool StartConnectToServer(ProgramState& state, int32_t address) {
    state.ServerAddress = address;
    state.ServerConnection = state.Network.StartConnect(DottedServerAddress(address),
                                                        state.NetworkPort, state.ConnectLimitMs);
    return state.ServerConnection != NoConnection;
}

bool PollClient(ProgramState& state, NetView& view) {
    NetEvent event = state.Network.Poll();
    const bool joined = TakeEvent(state, view, event);
    // A return brings the state of every game, thousands of them: a pass takes them in a
    // batch, with whatever comes between them, instead of one per pass.
    for (int taken = 1; std::holds_alternative<MsgGameState>(event.Received) &&
                        taken < CatchUpMessagesPerPass && state.Network.HasPendingEvent();
         ++taken) {
        event = state.Network.Poll();
        TakeEvent(state, view, event);
    }
    return joined;
}

}  // namespace tavlora
