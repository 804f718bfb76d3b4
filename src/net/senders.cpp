// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/senders.h"

#include <concepts>

#include "net/game_play.h"
#include "net/latin1.h"
#include "net/routing.h"

namespace tavlora {

namespace {

void SendToServer(ProgramState& state, const Message& message) {
    // While the way back is tried, the connection being tried must bring the return first:
    // what the user does meanwhile stays on this program.
    if (!state.Reconnect.Active) {
        state.Network.Send(state.ServerConnection, EncodeFrame(message));
    }
}

// What the server's own participant does to a game, told to the journal before it leaves.
void Record(ProgramState& state, const Message& message) {
    TournamentRecorder* recorder = state.Recorder;
    if (recorder == nullptr) {
        return;
    }
    std::visit(
        [recorder]<typename M>(const M& m) {
            if constexpr (std::same_as<M, MsgMove>) {
                recorder->Moved(m);
            } else if constexpr (std::same_as<M, MsgTimeout>) {
                recorder->TimedOut(m);
            } else if constexpr (std::same_as<M, MsgDrawOffer>) {
                recorder->DrawOffered(m);
            } else if constexpr (std::same_as<M, MsgDrawAccept>) {
                recorder->DrawAgreed(m);
            } else if constexpr (std::same_as<M, MsgResign>) {
                recorder->Resigned(m);
            }
        },
        message);
}

// A move, or a time-out when move is nullptr, of the local participant, with the clocks of
// the side to move as they are now: a client tells the server, the server every client.
void SendMoveOrTimeout(ProgramState& state, const Game& game, const Move* move) {
    if (state.IsSinglePlayer()) {
        return;
    }
    const int32_t side = game.SideToMove;
    // A time-out goes in the name of the one who ran out, also when the server declares it for
    // him as the referee: a move of his that crosses it on the way must not make his opponent
    // the loser.
    const int32_t sender = move != nullptr ? state.OwnPlayerIndex : game.PlayerIndex[side];
    const Message message = move != nullptr
                                ? Message(MsgMove{sender,
                                                  {game.PlayerIndex[0], game.PlayerIndex[1]},
                                                  game.PlayerTimeLeft[side],
                                                  game.MoveTimeLeft[side],
                                                  *move})
                                : Message(MsgTimeout{sender,
                                                     {game.PlayerIndex[0], game.PlayerIndex[1]},
                                                     game.PlayerTimeLeft[side],
                                                     game.MoveTimeLeft[side]});
    if (!state.IsServer()) {
        SendToServer(state, message);
        return;
    }
    // A move answers every draw offer standing in its game, as the screens show.
    if (KeyedGame* keyed = state.KeyedGames.Find(game)) {
        keyed->WithdrawDrawOffers();
    }
    Record(state, message);
    SendToClients(state, EncodeFrame(message));
}

}  // namespace

void SendMove(ProgramState& state, const Game& game, const Move& move) {
    SendMoveOrTimeout(state, game, &move);
}

void SendTimeout(ProgramState& state, const Game& game) {
    SendMoveOrTimeout(state, game, nullptr);
}

void SendGameCommand(ProgramState& state, Game& game, GameCommand command) {
    const int32_t side = SideOf(game, state.OwnPlayerIndex);
    if (state.IsSinglePlayer() || side < 0 || !IsRunning(game)) {
        return;
    }
    const int32_t sender = state.OwnPlayerIndex;
    const int32_t white = game.PlayerIndex[0];
    const int32_t black = game.PlayerIndex[1];
    Message message;
    switch (command) {
        case GameCommand::OfferDraw:
            message = MsgDrawOffer{sender, {white, black}};
            break;
        case GameCommand::AcceptDraw:
            message = MsgDrawAccept{sender, {white, black}};
            break;
        case GameCommand::Resign:
            message = MsgResign{sender, {white, black}};
            break;
    }
    if (!state.IsServer()) {
        SendToServer(state, message);  // takes effect here when the server's copy comes back
        return;
    }
    // On the server no copy comes back: the command takes effect at once.
    KeyedGame* keyed = state.KeyedGames.Find(game);
    switch (command) {
        case GameCommand::OfferDraw:
            if (keyed != nullptr) {
                keyed->DrawOffered[side] = true;
            }
            break;
        case GameCommand::AcceptDraw:
            AgreeDraw(state, game);
            break;
        case GameCommand::Resign:
            Resign(state, game, side);
            break;
    }
    Record(state, message);
    const Frame frame = EncodeFrame(message);
    if (command == GameCommand::OfferDraw) {
        SendToParticipant(state, game.PlayerIndex[1 - side], frame);
    } else {
        SendToClients(state, frame);
    }
}

void SendChat(ProgramState& state, NetView& view, const std::string& text) {
    const Message message = MsgChat{state.OwnPlayerIndex, text};
    if (!state.IsServer()) {
        SendToServer(state, message);
        return;
    }
    SendToClients(state, EncodeFrame(message));
    // Shown as the others will see it, with what Latin-1 cannot carry replaced.
    const std::string& name = state.Players[0].PlayerName;
    view.AppendChatLine(ChatLine(name, Latin1ToUtf8(Utf8ToLatin1(text))));
}

void SendReady(ProgramState& state, int32_t ready) {
    // Only a client has a ready button; on the server there is no connection to the server.
    SendToServer(state, MsgReady{state.OwnPlayerIndex, ready});
}

}  // namespace tavlora
