// SPDX-License-Identifier: GPL-3.0-or-later
#include "bot/bot.h"

#include <cassert>
#include <utility>
#include <variant>

#include "net/client.h"
#include "net/game_catch_up.h"
#include "net/game_play.h"
#include "net/game_tick.h"
#include "net/reconnect.h"
#include "net/senders.h"
#include "rules/execute.h"

namespace tavlora {

namespace {

constexpr int ChanceScale = 1 << 30;

}  // namespace

Bot::Bot(std::string name, const BotChances& chances, BotEvents& events, TickSource ticks)
    : name_(std::move(name)), chances_(chances), events_(events) {
    state_.TickCount = std::move(ticks);
    SetUpJoiningClient(state_, name_);
}

bool Bot::Connect(const std::string& dottedAddress, uint16_t port) {
    address_ = dottedAddress;
    state_.NetworkPort = port;
    state_.ServerConnection = state_.Network.Connect(dottedAddress, port);
    if (state_.ServerConnection == NoConnection) {
        GiveUp("no connection to " + dottedAddress + ":" + std::to_string(port));
        return false;
    }
    return true;
}

void Bot::Service() {
    // The join runs through the client's own handshake, refusals and name check included.
    while (phase_ == BotPhase::Joining) {
        if (PollClient(state_, view_)) {
            phase_ = BotPhase::Lobby;
            state_.PlayPhase = LobbyPhase;
            if (announceOnJoin_) {
                AnnounceReturn();  // as the program does, right after the join
            }
            state_.Players[static_cast<size_t>(Index())].PlayerReady = 1;
            SendReady(state_, 1);
        } else if (!state_.Network.HasPendingEvent()) {
            return;
        }
    }
    while (phase_ == BotPhase::Lobby || phase_ == BotPhase::Playing ||
           phase_ == BotPhase::Returning) {
        const NetEvent event = state_.Network.Poll();
        switch (event.Kind) {
            case NetEventKind::None:
                return;
            case NetEventKind::Closed:
                // With a ticket it is away and tries to come back at once, as the program's
                // reconnect does on its first attempt; a host that is down yet finds it away,
                // for the next Return.
                if (phase_ != BotPhase::Playing || !HoldsTicket(state_)) {
                    GiveUp("the server ended the connection");
                    return;
                }
                Drop();
                Return();
                break;
            case NetEventKind::MessageArrived:
                ++messagesReceived_;
                if (phase_ == BotPhase::Returning) {
                    HandleReturnAnswer(event.Received);
                    break;
                }
                Handle(event.Received);
                break;
            case NetEventKind::NewConnection:
            case NetEventKind::Connected:
                break;
        }
    }
}

// After the join. A bot keeps only its own games, so moves of the others are only counted;
// names and readiness mean nothing to it, and of the chat only its own lines coming back.
void Bot::Handle(const Message& message) {
    if (const auto* move = std::get_if<MsgMove>(&message)) {
        Moved(*move);
    } else if (const auto* start = std::get_if<MsgStartGames>(&message)) {
        StartGames(*start);
    } else if (const auto* offer = std::get_if<MsgDrawOffer>(&message)) {
        DrawOffered(*offer);
    } else if (const auto* accept = std::get_if<MsgDrawAccept>(&message)) {
        if (Game* game = OwnRunningGame(accept->PlayerIndex)) {
            AgreeDraw(state_, *game);
        }
    } else if (const auto* resign = std::get_if<MsgResign>(&message)) {
        if (Game* game = OwnRunningGame(resign->PlayerIndex)) {
            Resign(state_, *game, resign->Sender == game->PlayerIndex[White] ? White : Black);
        }
    } else if (const auto* timeout = std::get_if<MsgTimeout>(&message)) {
        if (Game* game = OwnRunningGame(timeout->PlayerIndex)) {
            EndOnTime(state_, *game, SideOf(*game, timeout->Sender), timeout->PlayerTimeLeft,
                      timeout->MoveTimeLeft);
        }
    } else if (const auto* left = std::get_if<MsgPlayerLeft>(&message)) {
        PlayerLeft(*left);
    } else if (const auto* ticket = std::get_if<MsgReturnTicket>(&message)) {
        TakeReturnTicket(state_, *ticket);
    } else if (const auto* caughtUp = std::get_if<MsgGameState>(&message)) {
        // Its own games only: the others' are not in its list and are passed over.
        if (TakeGameState(state_, view_, *caughtUp)) {
            Game& game =
                *state_.KeyedGames.Find(caughtUp->PlayerIndex[White], caughtUp->PlayerIndex[Black])
                     ->Record;
            if (IsRunning(game) && ToMove(game)) {
                events_.TurnStarted(*this, game);
            }
        }
    } else if (const auto* chat = std::get_if<MsgChat>(&message)) {
        if (chat->Index >= 0 && chat->Index < MostParticipants) {
            chatsFrom_.resize(MostParticipants);
            ++chatsFrom_[static_cast<size_t>(chat->Index)];
        }
        if (chat->Index == Index()) {
            events_.LineReturned(*this, chat->Text);
        }
    }
}

void Bot::HandleReturnAnswer(const Message& message) {
    if (std::holds_alternative<MsgReturnRefused>(message)) {
        GiveUp("the return was refused");
    } else if (const auto* welcome = std::get_if<MsgWelcomeBack>(&message)) {
        if (TakeWelcomeBack(state_, view_, *welcome) && phase_ == BotPhase::Returning) {
            phase_ = BotPhase::Playing;
        }
    }
}

void Bot::AnnounceReturn() {
    tavlora::AnnounceReturn(state_);
}

void Bot::Drop() {
    state_.Network.Close(state_.ServerConnection);
    state_.ServerConnection = NoConnection;
    phase_ = BotPhase::Away;
}

bool Bot::Return() {
    if (phase_ != BotPhase::Away || !HoldsTicket(state_)) {
        return false;
    }
    state_.ServerConnection = state_.Network.Connect(address_, state_.NetworkPort);
    if (state_.ServerConnection == NoConnection) {
        return false;
    }
    const Player& own = state_.Players[static_cast<size_t>(Index())];
    SendFrame(
        EncodeFrame(MsgReturn{.Index = Index(), .Secret = own.Secret, .Held = HeldGames(state_)}));
    phase_ = BotPhase::Returning;
    return true;
}

void Bot::StartGames(const MsgStartGames& start) {
    const int32_t own = Index();
    if (phase_ != BotPhase::Lobby || start.PlayerCount < 2 ||
        start.PlayerCount > state_.MaxPlayer || start.PlayerCount <= own) {
        return;
    }
    state_.PlayerCount = start.PlayerCount;
    size_t pair = 0;
    for (int32_t i = 0; i + 1 < start.PlayerCount; ++i) {
        for (int32_t j = i + 1; j < start.PlayerCount; ++j) {
            const bool jIsWhite = start.Colours[pair++] != 0;
            if (i == own || j == own) {
                Game& game =
                    CreateGame(state_.Games, jIsWhite ? j : i, jIsWhite ? i : j, White, state_);
                state_.KeyedGames.Add(game);
            }
        }
    }
    state_.PlayPhase = GamesStartedPhase;
    phase_ = BotPhase::Playing;
    for (Game& game : state_.Games) {
        if (ToMove(game)) {
            events_.TurnStarted(*this, game);
        }
    }
}

void Bot::Moved(const MsgMove& m) {
    events_.MoveReceived(*this, m.PlayerIndex[White], m.PlayerIndex[Black]);
    Game* game = OwnRunningGame(m.PlayerIndex);
    if (game == nullptr) {
        return;
    }
    const std::optional<Move> move = MatchLegalMove(*game, m.Played);
    if (!move) {
        return;
    }
    PlayReceivedMove(state_, view_, *game, m.PlayerTimeLeft, m.MoveTimeLeft, *move);
    state_.KeyedGames.Find(*game)->WithdrawDrawOffers();
    if (IsRunning(*game) && ToMove(*game)) {
        events_.TurnStarted(*this, *game);
    }
}

void Bot::DrawOffered(const MsgDrawOffer& offer) {
    Game* game = OwnRunningGame(offer.PlayerIndex);
    if (game != nullptr && offer.Sender != Index() && Chance(chances_.DrawAccept)) {
        SendGameCommand(state_, *game, GameCommand::AcceptDraw);
    }
}

void Bot::PlayerLeft(const MsgPlayerLeft& left) {
    if (phase_ == BotPhase::Playing) {
        if (left.PlayerCount == state_.PlayerCount && left.Index >= 1 &&
            left.Index < state_.PlayerCount) {
            ParticipantLeft(state_, left.Index);
        }
        return;
    }
    // In the lobby everyone above the leaver moves down one place.
    const int32_t own = Index();
    if (left.Index < 1 || left.Index > left.PlayerCount || left.PlayerCount >= state_.MaxPlayer ||
        left.Index == own || own > left.PlayerCount) {
        return;
    }
    state_.PlayerCount = left.PlayerCount;
    if (left.Index < own) {
        state_.OwnPlayerIndex = own - 1;
    }
}

BotAction Bot::Act(Game& game) {
    Tick();  // the mover's clocks as they stand now, and a time-out if they have run out
    if (conduct_ != BotConduct::Honest || phase_ != BotPhase::Playing || !IsRunning(game) ||
        !ToMove(game)) {
        return BotAction::Nothing;
    }
    KeyedGame* keyed = state_.KeyedGames.Find(game);
    assert(keyed != nullptr);
    if (Chance(chances_.Resign)) {
        // Takes effect when the server's copy comes back.
        SendGameCommand(state_, game, GameCommand::Resign);
        return BotAction::Resigned;
    }
    const int32_t side = game.SideToMove;
    if (!keyed->DrawOffered[side] && Chance(chances_.DrawOffer)) {
        SendGameCommand(state_, game, GameCommand::OfferDraw);
        keyed->DrawOffered[side] = true;
        return BotAction::OfferedDraw;
    }
    PlayMove(game);
    return BotAction::Moved;
}

void Bot::PlayMove(Game& game) {
    assert(phase_ == BotPhase::Playing && IsRunning(game) && ToMove(game));
    assert(!game.Moves.empty());
    Move move = game.Moves[static_cast<size_t>(
        state_.Random.RandomBelow(static_cast<int>(game.Moves.size())))];
    if (move.Promotion == PromotionPending) {
        move.Promotion = Bishop + state_.Random.RandomBelow(Queen - Bishop + 1);
    }
    // As the board input does: sent with the clocks before the move, then executed.
    if (claim_) {
        SendFrame(EncodeFrame(MsgMove{Index(),
                                      {game.PlayerIndex[White], game.PlayerIndex[Black]},
                                      claim_->PlayerTimeLeft,
                                      claim_->MoveTimeLeft,
                                      move}));
        ExecuteMove(game, move, state_);
        GameChanged(state_, game);
    } else {
        PlayOwnMove(state_, game, move);
    }
    state_.KeyedGames.Find(game)->WithdrawDrawOffers();
    events_.MoveSent(*this, game.PlayerIndex[White], game.PlayerIndex[Black]);
}

void Bot::Say(const std::string& line) {
    SendChat(state_, view_, line);
}

void Bot::Tick() {
    if (phase_ != BotPhase::Playing || conduct_ == BotConduct::Hung) {
        return;
    }
    if (conduct_ == BotConduct::Honest) {
        RunGameTick(state_);
        return;
    }
    // A silent program counts on, but never sees that it is itself to move.
    const int32_t own = state_.OwnPlayerIndex;
    state_.OwnPlayerIndex = -1;
    RunGameTick(state_);
    state_.OwnPlayerIndex = own;
}

void Bot::SetConduct(BotConduct conduct) {
    const bool resumed = conduct_ != BotConduct::Honest && conduct == BotConduct::Honest;
    conduct_ = conduct;
    if (!resumed || phase_ != BotPhase::Playing) {
        return;
    }
    for (Game& game : state_.Games) {
        if (IsRunning(game) && ToMove(game)) {
            // Its own time-outs, which it kept quiet about, are declared by the next tick.
            GameChanged(state_, game);
            events_.TurnStarted(*this, game);
        }
    }
}

void Bot::SendFrame(const Frame& frame) {
    if (state_.ServerConnection != NoConnection) {
        state_.Network.Send(state_.ServerConnection, frame);
    }
}

uint64_t Bot::ChatsFrom(int32_t index) const {
    return static_cast<size_t>(index) < chatsFrom_.size() ? chatsFrom_[static_cast<size_t>(index)]
                                                          : 0;
}

Game* Bot::OwnRunningGame(const int32_t (&key)[2]) {
    KeyedGame* keyed = state_.KeyedGames.Find(key[White], key[Black]);
    return keyed != nullptr && IsRunning(*keyed->Record) ? keyed->Record : nullptr;
}

bool Bot::ToMove(const Game& game) const {
    return game.PlayerIndex[game.SideToMove] == Index();
}

bool Bot::Chance(double p) {
    return p > 0 && state_.Random.RandomBelow(ChanceScale) < p * ChanceScale;
}

void Bot::GiveUp(const std::string& reason) {
    if (state_.ServerConnection != NoConnection) {
        state_.Network.Close(state_.ServerConnection);
        state_.ServerConnection = NoConnection;
    }
    phase_ = BotPhase::Gone;
    error_ = reason;
}

}  // namespace tavlora
