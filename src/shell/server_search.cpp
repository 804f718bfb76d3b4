// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/server_search.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tavlora {

namespace {

const char* const FoundLabel = "Gefundene Server:";
const char* const SearchText = "Suchen";

// Page coordinates, between the address field (ending at y 60) and the connect status
// (beginning at y 270).
constexpr Rect LabelPlace{18, 73, 115, 15};
constexpr Rect ButtonPlace{138, 70, 80, 20};
constexpr Rect ListPlace{18, 95, 200, 160};

// A list that no flood of answers can grow without bound; no LAN holds more open lobbies.
constexpr size_t MostEntries = 64;
constexpr int AnswersPerPoll = 64;

}  // namespace

std::vector<uint32_t> BroadcastTargets(const std::vector<Ipv4Interface>& interfaces) {
    std::vector<uint32_t> targets = {LimitedBroadcastAddress};
    for (const Ipv4Interface& entry : interfaces) {
        if (!entry.Loopback && entry.Broadcast &&
            std::find(targets.begin(), targets.end(), *entry.Broadcast) == targets.end()) {
            targets.push_back(*entry.Broadcast);
        }
    }
    return targets;
}

std::string LobbyEntryText(const LobbyAnswer& answer) {
    std::string limits;
    if (answer.TimeByPlayer > 0 && answer.TimeByMove > 0) {
        limits = std::to_string(answer.TimeByPlayer) + " + " + std::to_string(answer.TimeByMove) +
                 " Min.";
    } else if (answer.TimeByPlayer > 0) {
        limits = std::to_string(answer.TimeByPlayer) + " Min. pro Spieler";
    } else if (answer.TimeByMove > 0) {
        limits = std::to_string(answer.TimeByMove) + " Min. pro Zug";
    } else {
        limits = "ohne Zeitlimit";
    }
    return answer.HostName + " (" + std::to_string(answer.PlayerCount) + "/" +
           std::to_string(answer.MaxPlayer) + ", " + limits + ")";
}

int32_t AddressFieldValue(uint32_t address) {
    const uint32_t value =
        (address >> 24) | (address >> 8 & 0xFF00) | (address << 8 & 0xFF0000) | (address << 24);
    return static_cast<int32_t>(value);
}

ServerSearch::ServerSearch(WindowServices& services, int window, int panel, int page,
                           int addressField, SearchSetup setup)
    : services_(services),
      window_(window),
      panel_(panel),
      page_(page),
      addressField_(addressField),
      setup_(std::move(setup)) {}

ServerSearch::~ServerSearch() {
    if (socket_.IsOpen()) {
        services_.UnwatchSocket(socket_.Get());
    }
}

void ServerSearch::Build() {
    auto create = [this](ControlKind kind, Rect geometry, const char* text) {
        return services_.CreateControl({.Window = window_,
                                        .Parent = panel_,
                                        .Page = page_,
                                        .Kind = kind,
                                        .Geometry = geometry,
                                        .Text = text});
    };
    create(ControlKind::Text, LabelPlace, FoundLabel);
    button_ = create(ControlKind::Button, ButtonPlace, SearchText);
    list_ = create(ControlKind::ListBox, ListPlace, "");
}

bool ServerSearch::HandleControl(int control) {
    if (control == button_ && button_ >= 0) {
        Start();
        return true;
    }
    if (control == list_ && list_ >= 0) {
        Choose();
        return true;
    }
    return false;
}

void ServerSearch::Poll() {
    if (!Searching()) {
        return;
    }
    TakeAnswers();
    // Differences modulo 2^32: the tick count wraps.
    if (setup_.Clock() - started_ >= setup_.DurationMs) {
        Finish();
    }
}

// The list empties at once; the field keeps whatever address it holds.
void ServerSearch::Start() {
    Finish();
    found_.clear();
    services_.ClearItems(list_);
    const int socket = OpenDatagramSocket(0, true);
    if (socket == NoSocket) {
        return;
    }
    socket_ = OwnedSocket(socket);
    services_.WatchSocket(socket);
    // 32 random bits: an answer to somebody else's query, or to an earlier search, is no
    // answer to this one.
    token_ = static_cast<uint32_t>(random_.RandomBelow(1 << 16)) << 16 |
             static_cast<uint32_t>(random_.RandomBelow(1 << 16));
    started_ = setup_.Clock();
    const Bytes query = EncodeQuery(LobbyQuery{token_});
    for (uint32_t target : setup_.Targets()) {
        // A target without a route (255.255.255.255 on a network without a default route)
        // refuses; the others still go.
        SendDatagram(socket, target, setup_.Port, query);
    }
    services_.SetEnabled(button_, false);
}

void ServerSearch::Finish() {
    if (!socket_.IsOpen()) {
        return;
    }
    services_.UnwatchSocket(socket_.Get());
    socket_.Close();
    services_.SetEnabled(button_, true);
}

void ServerSearch::TakeAnswers() {
    uint8_t buffer[MaxDiscoveryDatagram + 1];
    for (int i = 0; i < AnswersPerPoll; ++i) {
        const std::optional<ReceivedDatagram> received = ReceiveDatagram(socket_.Get(), buffer);
        if (!received) {
            return;
        }
        if (received->Truncated || received->Port != setup_.Port) {
            continue;
        }
        const std::optional<LobbyAnswer> answer =
            DecodeAnswer(std::span<const uint8_t>(buffer, received->Count));
        if (!answer || answer->Token != token_) {
            continue;
        }
        const std::string text = LobbyEntryText(*answer);
        const auto known = std::find(found_.begin(), found_.end(), received->Address);
        if (known != found_.end()) {
            services_.SetItemText(list_, static_cast<int>(known - found_.begin()), text);
        } else if (found_.size() < MostEntries) {
            found_.push_back(received->Address);
            services_.AppendItem(list_, text);
        }
    }
}

void ServerSearch::Choose() {
    const int32_t item = services_.State(list_);
    if (item >= 0 && static_cast<size_t>(item) < found_.size()) {
        services_.SetState(addressField_, AddressFieldValue(found_[static_cast<size_t>(item)]));
    }
}

}  // namespace tavlora
