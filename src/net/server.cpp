#include "net/server.h"

#include <cassert>
#include <utility>

#include "net/game_play.h"
#include "net/routing.h"

namespace tavlora {

namespace {

// An index that can name a participant at all; anything else from a peer is a breach.
bool IsParticipantIndex(const ProgramState& state, int32_t index) {
    return index >= 0 && index < state.MaxPlayer;
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
    if (state.PlayPhase == GamesStartedPhase || state.PlayerCount >= state.MaxPlayer) {
        const Message refusal = state.PlayPhase == GamesStartedPhase ? Message(MsgRefusedRunning{})
                                                                     : Message(MsgRefusedFull{});
        state.Network.Send(connection, EncodeFrame(refusal));
        // The refusal is on its way; a peer that never closes must not hold the socket.
        state.Network.Close(connection);
        return;
    }
    const int32_t index = state.PlayerCount;
    state.Players[static_cast<size_t>(index)] = Player{"", connection, 0};
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

// Before the start the table closes the gap; after it the leaver stays and loses every game.
void RemoveParticipant(ProgramState& state, NetView& view, int32_t index) {
    if (state.PlayPhase == GamesStartedPhase) {
        ParticipantLeft(state, index);
        state.Players[static_cast<size_t>(index)].PlayerConnection = NoConnection;
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

// One message from a registered participant. The sender is the participant on the
// connection, whatever index the body names; relays carry that index. Each handler answers
// false when the message breaks the limits, and the connection is then cut.
class MessageHandler {
public:
    MessageHandler(ProgramState& state, NetView& view, int32_t sender, Bytes& body)
        : state_(state), view_(view), sender_(sender), body_(body) {}

    // Lobby
    bool operator()(const MsgName& m) {
        if (!IsParticipantIndex(state_, m.Index)) {
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

    bool operator()(const MsgChat& m) {
        if (!IsParticipantIndex(state_, m.Index)) {
            return false;
        }
        if (Sender().PlayerName.empty()) {
            return true;  // the others could not tell who speaks
        }
        view_.AppendChatLine(ChatLine(Sender().PlayerName, m.Text));
        SendToClients(state_, Relayed());
        return true;
    }

    // Games: the referee passes on only what the sender may do in a game it plays.
    bool operator()(const MsgMove& m) {
        if (!InRange(m)) {
            return false;
        }
        KeyedGame* keyed = OwnRunningGame(m.PlayerIndex);
        if (keyed == nullptr || keyed->Record->SideToMove != side_) {
            return true;
        }
        const std::optional<Move> move = MatchLegalMove(*keyed->Record, m.Played);
        if (!move) {
            return true;
        }
        PlayReceivedMove(state_, view_, *keyed->Record, m.PlayerTimeLeft, m.MoveTimeLeft, *move);
        keyed->WithdrawDrawOffers();
        SendToClients(state_, Relayed(), sender_);
        return true;
    }

    bool operator()(const MsgTimeout& m) {
        if (!InRange(m)) {
            return false;
        }
        KeyedGame* keyed = OwnRunningGame(m.PlayerIndex);
        if (keyed == nullptr || keyed->Record->SideToMove != side_) {
            return true;
        }
        EndOnTime(*keyed->Record, m.PlayerTimeLeft, m.MoveTimeLeft);
        SendToClients(state_, Relayed(), sender_);
        return true;
    }

    bool operator()(const MsgDrawOffer& m) {
        if (!InRange(m)) {
            return false;
        }
        KeyedGame* keyed = OwnRunningGame(m.PlayerIndex);
        if (keyed == nullptr) {
            return true;
        }
        keyed->DrawOffered[side_] = true;
        Game& game = *keyed->Record;
        if (SideOf(game, 0) >= 0) {
            view_.DrawOffered(game);  // the offer is for the server's own user
        } else {
            SendToParticipant(state_, game.PlayerIndex[1 - side_], Relayed());
        }
        return true;
    }

    bool operator()(const MsgDrawAccept& m) {
        if (!InRange(m)) {
            return false;
        }
        KeyedGame* keyed = OwnRunningGame(m.PlayerIndex);
        if (keyed == nullptr || !keyed->DrawOffered[1 - side_]) {
            return true;
        }
        keyed->Record->State = DrawAgreed;
        keyed->WithdrawDrawOffers();
        SendToClients(state_, Relayed());
        return true;
    }

    bool operator()(const MsgResign& m) {
        if (!InRange(m)) {
            return false;
        }
        KeyedGame* keyed = OwnRunningGame(m.PlayerIndex);
        if (keyed == nullptr) {
            return true;
        }
        Resign(*keyed->Record, side_);
        SendToClients(state_, Relayed());
        return true;
    }

    // What only the server sends: not for a client to say, dropped.
    template <typename T>
    bool operator()(const T&) {
        return true;
    }

private:
    Player& Sender() { return state_.Players[static_cast<size_t>(sender_)]; }

    template <typename T>
    bool InRange(const T& m) const {
        return IsParticipantIndex(state_, m.Sender) &&
               IsParticipantIndex(state_, m.PlayerIndex[0]) &&
               IsParticipantIndex(state_, m.PlayerIndex[1]);
    }

    // The running game with the key in which the sender plays, its side in side_; or nullptr.
    KeyedGame* OwnRunningGame(const int32_t (&key)[2]) {
        KeyedGame* keyed = state_.KeyedGames.Find(key[0], key[1]);
        if (keyed == nullptr || !IsRunning(*keyed->Record)) {
            return nullptr;
        }
        side_ = SideOf(*keyed->Record, sender_);
        return side_ < 0 ? nullptr : keyed;
    }

    // The body as it came, with the sender's true index; one frame for every recipient.
    Frame Relayed() {
        body_[1] = static_cast<uint8_t>(sender_);
        return MakeFrame(body_);
    }

    ProgramState& state_;
    NetView& view_;
    const int32_t sender_;
    Bytes& body_;
    int32_t side_ = -1;
};

}  // namespace

bool OpenServer(ProgramState& state) {
    assert(state.Players.size() > static_cast<size_t>(state.MaxPlayer));
    return state.Network.Listen(state.NetworkPort);
}

void PollServer(ProgramState& state, NetView& view) {
    NetEvent event = state.Network.Poll();
    switch (event.Kind) {
        case NetEventKind::None:
            return;
        case NetEventKind::NewConnection:
            AcceptNewConnection(state, view, event.Connection);
            return;
        case NetEventKind::Closed: {
            // A refused connection was never registered and changes nothing.
            const int32_t index = ParticipantOn(state, event.Connection);
            if (index != NoParticipant) {
                RemoveParticipant(state, view, index);
            }
            return;
        }
        case NetEventKind::MessageArrived: {
            const int32_t index = ParticipantOn(state, event.Connection);
            if (index == NoParticipant) {
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

void StartGames(ProgramState& state, NetView& view) {
    assert(state.PlayPhase != GamesStartedPhase);
    state.PlayPhase = GamesStartedPhase;
    if (state.IsServer()) {
        MsgStartGames start{state.PlayerCount, {}};
        for (int32_t pair = 0; pair < PairCount(state.PlayerCount); ++pair) {
            start.Colours.push_back(state.Random.RandomBelow(2));
        }
        CreatePairGames(state, start.Colours);
        SendToClients(state, EncodeFrame(start));
    }
    view.ShowGamesStarted();
}

}  // namespace tavlora
