// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/return_desk.h"

#include <algorithm>
#include <utility>

#include "net/game_catch_up.h"
#include "net/game_play.h"
#include "net/routing.h"
#include "platform/system.h"

namespace tavlora {

namespace {

constexpr uint32_t FailureWindowMilliseconds = 1000;

// A game's key as one value, to order what a returning program holds.
std::pair<int32_t, int32_t> KeyOf(const int32_t (&playerIndex)[2]) {
    return {playerIndex[White], playerIndex[Black]};
}

uint32_t Now(const ProgramState& state) {
    return state.TickCount ? state.TickCount() : 0;
}

Player& Entry(ProgramState& state, int32_t participant) {
    return state.Players[static_cast<size_t>(participant)];
}

// Compared in a time that does not depend on where the first difference lies.
bool SameSecret(const ReturnSecret& a, const ReturnSecret& b) {
    uint8_t difference = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        difference |= a[i] ^ b[i];
    }
    return difference == 0;
}

// Whether another failed return may be checked now; the window of a second starts anew.
bool MayCheckReturn(ProgramState& state) {
    ReturnDesk& desk = state.Desk;
    const uint32_t now = Now(state);
    if (now - desk.FailuresSince >= FailureWindowMilliseconds) {
        desk.FailuresSince = now;
        desk.Failures = 0;
    }
    return desk.Failures < MostFailedReturnsPerSecond;
}

bool IsValidReturn(const ProgramState& state, const MsgReturn& m) {
    if (m.Index < 1 || m.Index >= state.PlayerCount) {
        return false;
    }
    const Player& player = state.Players[static_cast<size_t>(m.Index)];
    return player.CanReturn && !player.Left && SameSecret(player.Secret, m.Secret);
}

// The tournament as it stands, for the program of participant.
MsgWelcomeBack WelcomeBackOf(const ProgramState& state, int32_t participant) {
    MsgWelcomeBack welcome{state.MaxPlayer,
                           state.PlayerCount,
                           state.TimeByPlayer,
                           state.TimeByMove,
                           participant,
                           state.RejoinSeconds,
                           {},
                           {}};
    // The colours of the pairs, read back from the games, which are in the pairs' order.
    for (const Game& game : state.Games) {
        welcome.Colours.push_back(game.PlayerIndex[White] > game.PlayerIndex[Black] ? 1 : 0);
    }
    for (int32_t i = 0; i < state.PlayerCount; ++i) {
        const Player& player = state.Players[static_cast<size_t>(i)];
        welcome.Players.push_back({player.PlayerName, (player.Left ? ParticipantLeftFlag : 0) |
                                                          (player.Away ? ParticipantAwayFlag : 0)});
    }
    return welcome;
}

void WelcomeBack(ProgramState& state, NetView& view, int32_t participant, ConnectionId connection,
                 std::vector<HeldGame> held) {
    Player& player = Entry(state, participant);
    // The old connection may not have been noticed dead yet; it goes without the away path.
    state.Network.Close(player.PlayerConnection);
    player.PlayerConnection = connection;
    const bool wasAway = player.Away;
    if (wasAway) {
        EndAbsence(state, participant);
        if (state.Recorder != nullptr) {
            state.Recorder->CameBack(participant);
        }
    }
    state.Network.Send(connection, EncodeFrame(WelcomeBackOf(state, participant)));
    std::ranges::sort(held, {}, [](const HeldGame& game) { return KeyOf(game.PlayerIndex); });
    // A catch-up still running for an earlier connection of his is over.
    std::erase_if(state.Desk.CatchUps,
                  [participant](const CatchUp& c) { return c.Participant == participant; });
    state.Desk.CatchUps.push_back({participant, connection, 0, std::move(held)});
    ContinueCatchUps(state);
    if (wasAway) {
        view.ShowPlayerRow(participant);
        view.AppendChatLine(CameBackLine(player.PlayerName));
        SendToAnnounced(state, EncodeFrame(MsgBack{participant}), participant);
    }
}

}  // namespace

std::string WentAwayLine(const std::string& name) {
    return name + " hat die Verbindung verloren.";
}

std::string CameBackLine(const std::string& name) {
    return name + " ist wieder da.";
}

void TakeReturnAnnouncement(ProgramState& state, int32_t participant, const MsgCanReturn& m) {
    if (state.PlayPhase != GamesStartedPhase && m.Tag == TavloraMagic &&
        m.Version == WayBackVersion) {
        Entry(state, participant).CanReturn = true;
    }
}

void IssueReturnTickets(ProgramState& state) {
    const bool granted = state.RejoinSeconds > 0 && state.TickCount;
    for (int32_t i = 1; i < state.PlayerCount; ++i) {
        Player& player = Entry(state, i);
        // Without a secret from the system there is no ticket: the Parts' rule holds for him.
        player.CanReturn = granted && player.CanReturn && SystemRandomBytes(player.Secret);
    }
}

void SendReturnTickets(ProgramState& state) {
    for (int32_t i = 1; i < state.PlayerCount; ++i) {
        const Player& player = Entry(state, i);
        if (player.CanReturn) {
            SendToParticipant(state, i,
                              EncodeFrame(MsgReturnTicket{state.RejoinSeconds, player.Secret}));
        }
    }
}

bool GoAway(ProgramState& state, NetView& view, int32_t participant) {
    Player& player = Entry(state, participant);
    if (!player.CanReturn || player.Left || player.Away) {
        return false;
    }
    player.Away = true;
    PresenceChanged(state, participant);
    player.AwaySince = Now(state);
    player.PlayerConnection = NoConnection;
    ++state.Desk.AwayCount;
    std::erase_if(state.Desk.CatchUps,
                  [participant](const CatchUp& c) { return c.Participant == participant; });
    if (state.Recorder != nullptr) {
        state.Recorder->WentAway(participant);
    }
    view.ShowPlayerRow(participant);
    view.AppendChatLine(WentAwayLine(player.PlayerName));
    SendToAnnounced(state, EncodeFrame(MsgAway{participant}), participant);
    return true;
}

bool AwaitAfterResume(ProgramState& state, NetView& view, int32_t participant) {
    Player& player = Entry(state, participant);
    // The journal may have him away since before the crash; his grace time starts anew now.
    player.Away = false;
    player.PlayerConnection = NoConnection;
    return GoAway(state, view, participant);
}

void EndAbsence(ProgramState& state, int32_t participant) {
    Player& player = Entry(state, participant);
    if (player.Away) {
        player.Away = false;
        --state.Desk.AwayCount;
        PresenceChanged(state, participant);
    }
}

std::vector<int32_t> OverdueAbsences(ProgramState& state) {
    ReturnDesk& desk = state.Desk;
    std::vector<int32_t> overdue;
    if (desk.AwayCount == 0 && desk.Candidates.empty()) {
        return overdue;
    }
    const uint32_t now = Now(state);
    std::erase_if(desk.Candidates, [&state, now](const ReturnCandidate& candidate) {
        if (now - candidate.Since < ReturnWaitMilliseconds) {
            return false;
        }
        state.Network.Close(candidate.Connection);
        return true;
    });
    const auto grace = static_cast<uint32_t>(std::max(state.RejoinSeconds, 0)) * 1000u;
    for (int32_t i = 1; i < state.PlayerCount && desk.AwayCount > 0; ++i) {
        const Player& player = Entry(state, i);
        if (player.Away && now - player.AwaySince > grace) {
            overdue.push_back(i);
        }
    }
    return overdue;
}

void AwaitReturn(ProgramState& state, ConnectionId connection) {
    if (state.Desk.Candidates.size() >= MostReturnCandidates) {
        // The refusal is on its way; a peer that never closes must not hold the socket.
        state.Network.Close(connection);
        return;
    }
    state.Desk.Candidates.push_back({connection, Now(state)});
}

bool IsReturnCandidate(const ProgramState& state, ConnectionId connection) {
    return std::ranges::any_of(state.Desk.Candidates, [connection](const ReturnCandidate& c) {
        return c.Connection == connection;
    });
}

void TakeReturn(ProgramState& state, NetView& view, ConnectionId connection,
                const Message& message) {
    ForgetReturnCandidate(state, connection);
    const auto* m = std::get_if<MsgReturn>(&message);
    if (m == nullptr || m->Tag != TavloraMagic || m->Version != WayBackVersion ||
        !MayCheckReturn(state)) {
        state.Network.Close(connection);
        return;
    }
    if (!IsValidReturn(state, *m)) {
        ++state.Desk.Failures;
        state.Network.Send(connection, EncodeFrame(MsgReturnRefused{}));
        state.Network.Close(connection);
        return;
    }
    WelcomeBack(state, view, m->Index, connection, m->Held);
}

void ForgetReturnCandidate(ProgramState& state, ConnectionId connection) {
    std::erase_if(state.Desk.Candidates,
                  [connection](const ReturnCandidate& c) { return c.Connection == connection; });
}

void ContinueCatchUps(ProgramState& state) {
    Bytes piece;
    const auto handOver = [&state, &piece](ConnectionId connection) {
        if (!piece.empty()) {
            state.Network.Send(connection, std::make_shared<const Bytes>(std::move(piece)));
            piece = {};
        }
    };
    std::erase_if(state.Desk.CatchUps, [&state, &piece, &handOver](CatchUp& c) {
        if (Entry(state, c.Participant).PlayerConnection != c.Connection) {
            return true;  // gone again, or back over yet another connection
        }
        while (c.NextGame < state.Games.size() &&
               state.Network.QueuedBytes(c.Connection) + piece.size() < CatchUpQueueBytes) {
            Game& game = state.Games[c.NextGame++];
            const auto key = KeyOf(game.PlayerIndex);
            const auto held = std::ranges::lower_bound(
                c.Held, key, {}, [](const HeldGame& h) { return KeyOf(h.PlayerIndex); });
            const bool holds = held != c.Held.end() && KeyOf(held->PlayerIndex) == key;
            for (const MsgGameState& message :
                 GameStateMessages(state, *state.KeyedGames.Find(game), holds ? &*held : nullptr)) {
                AppendFrame(piece, EncodeBody(message));
            }
            if (piece.size() >= CatchUpPieceBytes) {
                handOver(c.Connection);
            }
        }
        handOver(c.Connection);
        return c.NextGame >= state.Games.size();
    });
}

}  // namespace tavlora
