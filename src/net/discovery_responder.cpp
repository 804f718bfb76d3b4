// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/discovery_responder.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "net/discovery.h"
#include "platform/datagrams.h"

namespace tavlora {

namespace {

constexpr uint32_t BudgetWindowMs = 1000;

bool LobbyOpen(const ProgramState& state) {
    return state.PlayPhase == LobbyPhase && state.IsServer() && !state.Players.empty();
}

// A sender address that no single client can have: an answer there would reach many
// machines or none.
bool CanAnswer(uint32_t address, uint16_t port) {
    const bool multicastOrAbove = address >= 0xE0000000;  // 224.0.0.0 and up, broadcast included
    return address != 0 && !multicastOrAbove && port != 0;
}

}  // namespace

bool AnswerBudget::Take(uint32_t now) {
    if (used_ == sent_.size()) {
        // Differences modulo 2^32: the tick count wraps.
        if (now - sent_[next_] < BudgetWindowMs) {
            return false;
        }
    } else {
        ++used_;
    }
    sent_[next_] = now;
    next_ = (next_ + 1) % sent_.size();
    return true;
}

bool DiscoveryResponder::Open(uint16_t port, SocketWatcher watcher) {
    Close();
    socket_ = OwnedSocket(OpenDatagramSocket(port, false));
    if (!socket_.IsOpen()) {
        return false;
    }
    watcher_ = std::move(watcher);
    if (watcher_) {
        watcher_(socket_.Get(), true);
    }
    return true;
}

uint16_t DiscoveryResponder::Port() const {
    return socket_.IsOpen() ? LocalPort(socket_.Get()) : 0;
}

void DiscoveryResponder::Close() {
    if (!socket_.IsOpen()) {
        return;
    }
    if (watcher_) {
        watcher_(socket_.Get(), false);
    }
    socket_.Close();
}

bool DiscoveryResponder::AnsweredAlready(const Asker& asker) const {
    return std::find(answered_.begin(), answered_.end(), asker) != answered_.end();
}

void DiscoveryResponder::Poll(const ProgramState& state, uint32_t now) {
    if (!socket_.IsOpen()) {
        return;
    }
    if (state.PlayPhase == GamesStartedPhase) {
        Close();
        return;
    }
    // One byte more than the longest valid datagram, so a longer one shows as cut off.
    uint8_t buffer[MaxDiscoveryDatagram + 1];
    for (int i = 0; i < QueriesPerPoll; ++i) {
        const std::optional<ReceivedDatagram> received = ReceiveDatagram(socket_.Get(), buffer);
        if (!received) {
            return;
        }
        if (received->Truncated || !LobbyOpen(state) ||
            !CanAnswer(received->Address, received->Port)) {
            continue;
        }
        const std::optional<LobbyQuery> query =
            DecodeQuery(std::span<const uint8_t>(buffer, received->Count));
        if (!query) {
            continue;
        }
        const Asker asker{received->Address, received->Port, query->Token};
        if (AnsweredAlready(asker) || !budget_.Take(now)) {
            continue;
        }
        answered_[nextAnswered_] = asker;
        nextAnswered_ = (nextAnswered_ + 1) % answered_.size();
        LobbyAnswer answer;
        answer.Token = query->Token;
        answer.HostName = state.Players[0].PlayerName;
        answer.PlayerCount = state.PlayerCount;
        answer.MaxPlayer = state.MaxPlayer;
        answer.TimeByPlayer = state.TimeByPlayer;
        answer.TimeByMove = state.TimeByMove;
        SendDatagram(socket_.Get(), asker.Address, asker.Port, EncodeAnswer(answer));
    }
}

}  // namespace tavlora
