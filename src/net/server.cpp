// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/server.h"

#include <cassert>
#include <utility>

#include "net/game_play.h"
#include "net/latin1.h"
#include "net/referee.h"
#include "net/return_desk.h"
#include "net/routing.h"

namespace tavlora {

namespace {

// How long a new connection may take to name itself.
constexpr int32_t NameWaitMilliseconds = 10000;

// An index that can name a participant at all; anything else from a peer is a breach.
bool IsParticipantIndex(const ProgramState& state, int32_t index) {
    return index >= 0 && index < state.MaxPlayer;
}

// A name or a chat line no program sends is a breach too: passed on, one line of a mebibyte
// would cost every participant as much, and could get those who read slowly cut off.
bool IsSentText(const std::string& text) {
    return Utf8ToLatin1(text).size() <= MaxTextLength;
}

// "Spiel starten" is enabled when at least one client is there and every client is ready.
void UpdateStartButton(ProgramState& state, NetView& view) {
    bool allReady = state.PlayerCount >= 2;
    for (int32_t i = 1; i < state.PlayerCount && allReady; ++i) {
        allReady = state.Players[static_cast<size_t>(i)].PlayerReady != 0;
    }
    view.SetStartButtonEnabled(allReady);
}

void AcceptNewConnection(ProgramState& state, NetView& view, ConnectionId connection) {
    if (state.PlayPhase == GamesStartedPhase) {
        // Refused as ever; a program that comes back ignores this and proves who it is.
        state.Network.Send(connection, EncodeFrame(MsgRefusedRunning{}));
        AwaitReturn(state, connection);
        return;
    }
    if (state.PlayerCount >= state.MaxPlayer) {
        state.Network.Send(connection, EncodeFrame(MsgRefusedFull{}));
        // The refusal is on its way; a peer that never closes must not hold the socket.
        state.Network.Close(connection);
        return;
    }
    const int32_t index = state.PlayerCount;
    state.Players[static_cast<size_t>(index)] = Player{
        .PlayerConnection = connection, .WelcomedAt = state.TickCount ? state.TickCount() : 0};
    view.ShowPlayerRow(index);
    view.SetStartButtonEnabled(false);
    state.PlayerCount += 1;

    MsgWelcome welcome{
        state.MaxPlayer, state.PlayerCount, state.TimeByPlayer, state.TimeByMove, {}};
    for (int32_t i = 0; i < index; ++i) {
        const Player& player = state.Players[static_cast<size_t>(i)];
        welcome.Players.push_back({player.PlayerName, player.PlayerReady});
    }
    state.Network.Send(connection, EncodeFrame(welcome));
}

// Before the start the table closes the gap; after it the leaver stays and loses every game
// still running.
void RemoveParticipant(ProgramState& state, NetView& view, int32_t index) {
    if (state.PlayPhase == GamesStartedPhase) {
        const bool wasAway = state.Players[static_cast<size_t>(index)].Away;
        EndAbsence(state, index);
        ParticipantLeft(state, index);
        state.Players[static_cast<size_t>(index)].PlayerConnection = NoConnection;
        if (state.Recorder != nullptr) {
            state.Recorder->Left(index);
        }
        if (wasAway) {
            view.ShowPlayerRow(index);  // no longer "(abwesend)"
        }
        SendToClients(state, EncodeFrame(MsgPlayerLeft{index, state.PlayerCount}));
        return;
    }
    const bool wasLast = index == state.PlayerCount - 1;
    const bool wasNamed = !state.Players[static_cast<size_t>(index)].PlayerName.empty();
    state.PlayerCount -= 1;
    for (int32_t i = index; i < state.PlayerCount; ++i) {
        state.Players[static_cast<size_t>(i)] =
            std::move(state.Players[static_cast<size_t>(i) + 1]);
        view.ShowPlayerRow(i);
    }
    state.Players[static_cast<size_t>(state.PlayerCount)] = Player{};
    view.ShowFreeRow(state.PlayerCount);
    UpdateStartButton(state, view);
    // Everyone who moved down must learn its new index, named or not. Only an unnamed last
    // entry, whom the others have never heard of, leaves without a word.
    if (!wasLast || wasNamed) {
        SendToClients(state, EncodeFrame(MsgPlayerLeft{index, state.PlayerCount}));
    }
}

// Whether name is one another participant already has, compared as the names travel.
bool NameTaken(const ProgramState& state, int32_t index, const std::string& name) {
    for (int32_t i = 0; i < state.PlayerCount; ++i) {
        if (i != index && state.Players[static_cast<size_t>(i)].PlayerName == name) {
            return true;
        }
    }
    return false;
}

// The messages that name a game: the sender and the game's two players.
template <typename T>
concept GameMessage = requires(const T& m) {
    m.Sender;
    m.PlayerIndex[1];
};

// One message from a registered participant. The sender is the participant on the
// connection, whatever index the body names; relays carry that index. Each handler answers
// false when the message breaks the limits, and the connection is then cut.
class MessageHandler {
public:
    MessageHandler(ProgramState& state, NetView& view, int32_t sender, Bytes& body)
        : state_(state), view_(view), sender_(sender), body_(body) {}

    // Lobby
    bool operator()(const MsgName& m) {
        if (!IsParticipantIndex(state_, m.Index) || !IsSentText(m.PlayerName)) {
            return false;
        }
        // One name per participant, given before the start; a second is not listened to.
        if (state_.PlayPhase == GamesStartedPhase || !Sender().PlayerName.empty()) {
            return true;
        }
        // Refused like a taken name on the client: without a name, or with another's, nobody
        // could tell the participants apart, and two newcomers with one name both got in.
        if (m.PlayerName.empty() || NameTaken(state_, sender_, m.PlayerName)) {
            return false;
        }
        Sender().PlayerName = m.PlayerName;
        view_.ShowPlayerRow(sender_);
        body_[0] = MsgPlayerNamed::Code;
        SendToClients(state_, Relayed());
        return true;
    }

    bool operator()(const MsgReady& m) {
        if (!IsParticipantIndex(state_, m.Index)) {
            return false;
        }
        // Readiness counts only in the lobby, and only from someone the others know by name.
        if (state_.PlayPhase == GamesStartedPhase || Sender().PlayerName.empty()) {
            return true;
        }
        Sender().PlayerReady = m.PlayerReady != 0 ? 1 : 0;
        view_.ShowPlayerRow(sender_);
        UpdateStartButton(state_, view_);
        SendToClients(state_, Relayed());
        return true;
    }

    bool operator()(const MsgCanReturn& m) {
        TakeReturnAnnouncement(state_, sender_, m);
        return true;
    }

    bool operator()(const MsgChat& m) {
        if (!IsParticipantIndex(state_, m.Index) || !IsSentText(m.Text)) {
            return false;
        }
        if (Sender().PlayerName.empty()) {
            return true;  // the others could not tell who speaks
        }
        view_.AppendChatLine(ChatLine(Sender().PlayerName, m.Text));
        SendToClients(state_, Relayed());
        return true;
    }

    // Games: the referee passes on only what the sender may do in a running game it plays.
    template <GameMessage T>
    bool operator()(const T& m) {
        if (!IsParticipantIndex(state_, m.Sender) ||
            !IsParticipantIndex(state_, m.PlayerIndex[0]) ||
            !IsParticipantIndex(state_, m.PlayerIndex[1])) {
            return false;
        }
        KeyedGame* keyed = state_.KeyedGames.Find(m.PlayerIndex[0], m.PlayerIndex[1]);
        if (keyed != nullptr && IsRunning(*keyed->Record)) {
            const int32_t side = SideOf(*keyed->Record, sender_);
            if (side >= 0) {
                Play(m, *keyed, side);
            }
        }
        return true;
    }

    // What only the server sends: not for a client to say, dropped.
    template <typename T>
    bool operator()(const T&) {
        return true;
    }

private:
    // A move or a time-out counts only from the side to move, and only with the clocks the
    // referee's own count allows. The relay is built from what the server stored.
    void Play(const MsgMove& m, KeyedGame& keyed, int32_t side) {
        Game& game = *keyed.Record;
        const std::optional<Move> move = MatchLegalMove(game, m.Played);
        if (game.SideToMove != side || !move) {
            return;
        }
        const std::optional<ClockClaim> clocks =
            RefereeClocks(state_, game, {m.PlayerTimeLeft, m.MoveTimeLeft});
        if (!clocks) {
            return;
        }
        const MsgMove taken{sender_,
                            {game.PlayerIndex[White], game.PlayerIndex[Black]},
                            clocks->PlayerTimeLeft,
                            clocks->MoveTimeLeft,
                            *move};
        if (state_.Recorder != nullptr) {
            state_.Recorder->Moved(taken);
        }
        // Passed on before the server plays it on its own copy: the others need nothing of that.
        SendToClients(state_, EncodeFrame(taken), sender_);
        PlayReceivedMove(state_, view_, game, clocks->PlayerTimeLeft, clocks->MoveTimeLeft, *move);
        keyed.WithdrawDrawOffers();
    }

    void Play(const MsgTimeout& m, KeyedGame& keyed, int32_t side) {
        Game& game = *keyed.Record;
        if (game.SideToMove != side) {
            return;
        }
        const std::optional<ClockClaim> clocks =
            RefereeClocks(state_, game, {m.PlayerTimeLeft, m.MoveTimeLeft});
        if (!clocks) {
            return;
        }
        EndOnTime(state_, game, side, clocks->PlayerTimeLeft, clocks->MoveTimeLeft);
        const MsgTimeout taken{sender_,
                               {game.PlayerIndex[White], game.PlayerIndex[Black]},
                               clocks->PlayerTimeLeft,
                               clocks->MoveTimeLeft};
        if (state_.Recorder != nullptr) {
            state_.Recorder->TimedOut(taken);
        }
        SendToClients(state_, EncodeFrame(taken), sender_);
    }

    void Play(const MsgDrawOffer& m, KeyedGame& keyed, int32_t side) {
        keyed.DrawOffered[side] = true;
        if (state_.Recorder != nullptr) {
            state_.Recorder->DrawOffered(Taken(m));
        }
        Game& game = *keyed.Record;
        if (SideOf(game, 0) >= 0) {
            view_.DrawOffered(game);  // the offer is for the server's own user
        } else {
            SendToParticipant(state_, game.PlayerIndex[1 - side], Relayed());
        }
    }

    void Play(const MsgDrawAccept& m, KeyedGame& keyed, int32_t side) {
        if (!keyed.DrawOffered[1 - side]) {
            return;
        }
        AgreeDraw(state_, *keyed.Record);
        keyed.WithdrawDrawOffers();
        if (state_.Recorder != nullptr) {
            state_.Recorder->DrawAgreed(Taken(m));
        }
        SendToClients(state_, Relayed());
    }

    void Play(const MsgResign& m, KeyedGame& keyed, int32_t side) {
        Resign(state_, *keyed.Record, side);
        if (state_.Recorder != nullptr) {
            state_.Recorder->Resigned(Taken(m));
        }
        SendToClients(state_, Relayed());
    }

    // A game command as the server takes it: in the name of the participant on the connection.
    template <typename T>
    T Taken(T m) const {
        m.Sender = sender_;
        return m;
    }

    Player& Sender() { return state_.Players[static_cast<size_t>(sender_)]; }

    // The body as it came, with the sender's true index; one frame for every recipient.
    Frame Relayed() {
        body_[1] = static_cast<uint8_t>(sender_);
        return MakeFrame(body_);
    }

    ProgramState& state_;
    NetView& view_;
    const int32_t sender_;
    Bytes& body_;
};

// A connection that has not named itself this long after its welcome holds a place that
// nobody else can take, and keeps "Spiel starten" disabled: it is let go.
void FreeUnnamedPlaces(ProgramState& state, NetView& view) {
    if (state.PlayPhase != LobbyPhase || !state.TickCount) {
        return;
    }
    const uint32_t now = state.TickCount();
    for (int32_t i = state.PlayerCount - 1; i >= 1; --i) {
        const Player& player = state.Players[static_cast<size_t>(i)];
        if (player.PlayerName.empty() &&
            static_cast<int32_t>(now - player.WelcomedAt) > NameWaitMilliseconds) {
            state.Network.Close(player.PlayerConnection);
            RemoveParticipant(state, view, i);
        }
    }
}

}  // namespace

bool OpenServer(ProgramState& state) {
    assert(state.Players.size() > static_cast<size_t>(state.MaxPlayer));
    return state.Network.Listen(state.NetworkPort);
}

void PollServer(ProgramState& state, NetView& view) {
    NetEvent event = state.Network.Poll();
    switch (event.Kind) {
        case NetEventKind::None:
        case NetEventKind::Connected:  // a server begins no connections
            return;
        case NetEventKind::NewConnection:
            AcceptNewConnection(state, view, event.Connection);
            return;
        case NetEventKind::Closed: {
            // A refused connection was never registered and changes nothing.
            const int32_t index = ParticipantOn(state, event.Connection);
            if (index == NoParticipant) {
                ForgetReturnCandidate(state, event.Connection);
            } else if (state.PlayPhase != GamesStartedPhase || !GoAway(state, view, index)) {
                RemoveParticipant(state, view, index);
            }
            return;
        }
        case NetEventKind::MessageArrived: {
            const int32_t index = ParticipantOn(state, event.Connection);
            if (index == NoParticipant) {
                if (IsReturnCandidate(state, event.Connection)) {
                    TakeReturn(state, view, event.Connection, event.Received);
                }
                return;
            }
            if (!std::visit(MessageHandler(state, view, index, event.Body), event.Received)) {
                state.Network.Close(event.Connection);
                RemoveParticipant(state, view, index);
            }
            return;
        }
    }
}

void RunServerUpkeep(ProgramState& state, NetView& view) {
    FreeUnnamedPlaces(state, view);
    // After the messages, so a return that came in this pass is taken before its grace ends.
    for (int32_t index : OverdueAbsences(state)) {
        RemoveParticipant(state, view, index);
    }
    ContinueCatchUps(state);
}

void StartGames(ProgramState& state, NetView& view) {
    assert(state.IsServer());
    MsgStartGames start{state.PlayerCount, {}};
    for (int32_t pair = 0; pair < PairCount(state.PlayerCount); ++pair) {
        start.Colours.push_back(state.Random.RandomBelow(2));
    }
    BeginGames(state, view, start.Colours);
    IssueReturnTickets(state);
    // The journal holds the secrets before any program has seen its own.
    if (state.Recorder != nullptr) {
        state.Recorder->Started(state);
    }
    SendToClients(state, EncodeFrame(start));
    SendReturnTickets(state);
}

void ResumeServer(ProgramState& state, NetView& view) {
    for (int32_t i = 1; i < state.PlayerCount; ++i) {
        if (!state.Players[static_cast<size_t>(i)].Left && !AwaitAfterResume(state, view, i)) {
            RemoveParticipant(state, view, i);
        }
    }
}

}  // namespace tavlora
