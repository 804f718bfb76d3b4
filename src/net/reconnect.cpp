// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/reconnect.h"

#include "net/client.h"
#include "net/game_catch_up.h"
#include "net/game_play.h"
#include "net/return_desk.h"

namespace tavlora {

namespace {

// Whether tick count a has reached b, across the wrap of the counter.
bool Reached(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) >= 0;
}

Player& OwnEntry(ProgramState& state) {
    return state.Players[static_cast<size_t>(state.OwnPlayerIndex)];
}

void EndAttempt(ProgramState& state) {
    state.Network.Close(state.ServerConnection);
    state.ServerConnection = NoConnection;
    state.Reconnect.ReturnSent = false;
}

// The way back is over without a return: no ticket any more, and the loss is reported.
void GiveUpReturn(ProgramState& state, NetView& view) {
    EndAttempt(state);
    state.Reconnect.Active = false;
    OwnEntry(state).CanReturn = false;
    view.ShowReconnecting(false);
    view.ShowNetworkError(ConnectionLostText);
}

// The welcome fits this program: its index, limits the table can hold, and, for a copy that
// holds games, the same table and every game under the key its pair's colour gives.
bool Fits(const ProgramState& state, const MsgWelcomeBack& m) {
    if (!LobbyFits(m.MaxPlayer, m.PlayerCount, 2, m.TimeByPlayer, m.TimeByMove) ||
        m.Index != state.OwnPlayerIndex || m.Index >= m.PlayerCount || m.RejoinSeconds <= 0 ||
        m.RejoinSeconds > MaxRejoinSeconds) {
        return false;
    }
    for (int32_t colour : m.Colours) {
        if (colour != 0 && colour != 1) {
            return false;
        }
    }
    if (state.PlayPhase != GamesStartedPhase) {
        return true;
    }
    if (m.MaxPlayer != state.MaxPlayer || m.PlayerCount != state.PlayerCount ||
        m.TimeByPlayer != state.TimeByPlayer || m.TimeByMove != state.TimeByMove) {
        return false;
    }
    // A copy holds every game or, a bot, its own; each in the pairs' order.
    size_t pair = 0;
    auto game = state.Games.begin();
    for (int32_t i = 0; i + 1 < m.PlayerCount; ++i) {
        for (int32_t j = i + 1; j < m.PlayerCount && game != state.Games.end(); ++j) {
            const bool jIsWhite = m.Colours[pair++] != 0;
            if (SideOf(*game, i) >= 0 && SideOf(*game, j) >= 0) {
                if (game->PlayerIndex[White] != (jIsWhite ? j : i)) {
                    return false;
                }
                ++game;
            }
        }
    }
    return game == state.Games.end();
}

}  // namespace

void AnnounceReturn(ProgramState& state) {
    state.Network.Send(state.ServerConnection, EncodeFrame(MsgCanReturn{}));
}

void TakeReturnTicket(ProgramState& state, const MsgReturnTicket& ticket) {
    if (state.PlayPhase != GamesStartedPhase || ticket.RejoinSeconds <= 0 ||
        ticket.RejoinSeconds > MaxRejoinSeconds || !state.TickCount) {
        return;
    }
    Player& own = OwnEntry(state);
    own.CanReturn = true;
    own.Secret = ticket.Secret;
    state.RejoinSeconds = ticket.RejoinSeconds;
}

bool HoldsTicket(const ProgramState& state) {
    const Player* own = FindPlayer(state, state.OwnPlayerIndex);
    return state.IsClient() && own != nullptr && own->CanReturn;
}

bool BeginReconnect(ProgramState& state, NetView& view) {
    if (!HoldsTicket(state)) {
        return false;
    }
    const uint32_t now = state.TickCount();
    state.ServerConnection = NoConnection;
    state.Reconnect = {.Active = true,
                       .GiveUpAt = now + static_cast<uint32_t>(state.RejoinSeconds) * 1000u,
                       .NextAttemptAt = now};
    view.ShowReconnecting(true);
    return true;
}

void AdvanceReconnect(ProgramState& state, NetView& view) {
    Reconnection& way = state.Reconnect;
    if (!way.Active) {
        return;
    }
    const uint32_t now = state.TickCount();
    if (state.ServerConnection != NoConnection) {
        if (!way.ReturnSent || !Reached(now, way.AnswerDueAt)) {
            return;  // connecting, or the answer may still come
        }
        EndAttempt(state);
    }
    if (Reached(now, way.GiveUpAt)) {
        GiveUpReturn(state, view);
        return;
    }
    if (!Reached(now, way.NextAttemptAt)) {
        return;
    }
    way.NextAttemptAt = now + ReconnectIntervalMilliseconds;
    // An attempt that fails at once (no route while the link is down) is tried again when due.
    state.ServerConnection =
        state.Network.StartConnect(DottedServerAddress(state.ServerAddress), state.NetworkPort,
                                   static_cast<int>(ReconnectIntervalMilliseconds));
}

void ReturnConnected(ProgramState& state) {
    const Player& own = OwnEntry(state);
    state.Network.Send(state.ServerConnection, EncodeFrame(MsgReturn{.Index = state.OwnPlayerIndex,
                                                                     .Secret = own.Secret,
                                                                     .Held = HeldGames(state)}));
    state.Reconnect.ReturnSent = true;
    state.Reconnect.AnswerDueAt = state.TickCount() + ReturnAnswerMilliseconds;
}

void ReturnAttemptEnded(ProgramState& state) {
    state.ServerConnection = NoConnection;
    state.Reconnect.ReturnSent = false;
}

void TakeReturnAnswer(ProgramState& state, NetView& view, const Message& message) {
    if (std::holds_alternative<MsgReturnRefused>(message)) {
        GiveUpReturn(state, view);
    } else if (const auto* welcome = std::get_if<MsgWelcomeBack>(&message)) {
        TakeWelcomeBack(state, view, *welcome);
    }
}

bool TakeWelcomeBack(ProgramState& state, NetView& view, const MsgWelcomeBack& m) {
    if (!Fits(state, m)) {
        GiveUpReturn(state, view);
        return false;
    }
    if (state.PlayPhase != GamesStartedPhase) {
        // Started again: the tournament is set up as the start message would have done.
        Player own = OwnEntry(state);
        state.MaxPlayer = m.MaxPlayer;
        state.PlayerCount = m.PlayerCount;
        state.TimeByPlayer = m.TimeByPlayer;
        state.TimeByMove = m.TimeByMove;
        state.Players.assign(static_cast<size_t>(m.MaxPlayer) + 1, Player{});
        OwnEntry(state) = own;
        BeginGames(state, view, m.Colours);
    }
    for (int32_t i = 0; i < m.PlayerCount; ++i) {
        Player& player = state.Players[static_cast<size_t>(i)];
        player.PlayerName = m.Players[static_cast<size_t>(i)].PlayerName;
        player.PlayerReady = 1;  // the games start only when everyone is ready
        player.Left = (m.Players[static_cast<size_t>(i)].Flags & ParticipantLeftFlag) != 0;
        const bool away = i != state.OwnPlayerIndex &&
                          (m.Players[static_cast<size_t>(i)].Flags & ParticipantAwayFlag) != 0;
        if (away != player.Away) {
            player.Away = away;
            PresenceChanged(state, i);
        }
    }
    state.RejoinSeconds = m.RejoinSeconds;
    state.Reconnect = {};
    view.ShowReconnecting(false);
    view.ShowReturned();
    view.AppendChatLine(CameBackLine(OwnEntry(state).PlayerName));
    return true;
}

}  // namespace tavlora
