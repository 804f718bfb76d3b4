// SPDX-License-Identifier: GPL-3.0-or-later
// The search for open lobbies on the settings window's "Client" tab: a label, the list of the
// lobbies found and the button "Suchen". A press sends one query (docs/DISCOVERY.md) to every
// broadcast address of the computer; the answers of the next second fill the list as they
// arrive, and choosing an entry puts its address into the IP-address field. Nothing is ever
// sent but on a press.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/discovery.h"
#include "net/transport.h"
#include "platform/datagrams.h"
#include "platform/sockets.h"
#include "platform/system.h"
#include "platform/window_services.h"
#include "rules/game.h"

namespace tavlora {

// 255.255.255.255 and the broadcast address of every interface that has one, each once.
std::vector<uint32_t> BroadcastTargets(const std::vector<Ipv4Interface>& interfaces);

// An entry of the list: "Sam (3/8, 10 + 1 Min.)"; with one limit "Sam (3/8, 10 Min. pro
// Spieler)" or "Sam (3/8, 1 Min. pro Zug)"; without any "Sam (3/8, ohne Zeitlimit)".
std::string LobbyEntryText(const LobbyAnswer& answer);

// The value of an IPv4 address field (first number in the lowest byte) for an address.
int32_t AddressFieldValue(uint32_t address);

struct SearchSetup {
    uint16_t Port = DefaultPort;  // UDP, where the servers answer
    // Where the query goes; tests name 127.0.0.1 alone, so nothing leaves the machine.
    std::function<std::vector<uint32_t>()> Targets = [] {
        return BroadcastTargets(Ipv4Interfaces());
    };
    uint32_t DurationMs = 1000;  // answers are taken this long after the press
    TickSource Clock = TickCount;
};

class ServerSearch {
public:
    // The controls go on the page of the tab panel in window; addressField is the IPv4 field
    // that a chosen entry fills.
    ServerSearch(WindowServices& services, int window, int panel, int page, int addressField,
                 SearchSetup setup = {});
    ServerSearch(const ServerSearch&) = delete;
    ServerSearch& operator=(const ServerSearch&) = delete;
    // A search still running ends without a word; the window may be gone already.
    ~ServerSearch();

    // Creates the label, the list and "Suchen".
    void Build();
    // A control event of the window: "Suchen" starts a search, a choice in the list fills the
    // address field. True when the control was one of the search's.
    bool HandleControl(int control);
    // Every pass of the window's loop: lists the answers that have arrived, and ends the
    // search once its time is over.
    void Poll();

    bool Searching() const { return socket_.IsOpen(); }
    int List() const { return list_; }
    int SearchButton() const { return button_; }

private:
    void Start();
    void Finish();
    void TakeAnswers();
    void Choose();

    WindowServices& services_;
    const int window_;
    const int panel_;
    const int page_;
    const int addressField_;
    SearchSetup setup_;
    int list_ = -1;
    int button_ = -1;
    std::vector<uint32_t> found_;  // the address of each entry, in list order
    OwnedSocket socket_;           // open while a search runs
    uint32_t token_ = 0;
    uint32_t started_ = 0;
    RandomSource random_;
};

}  // namespace tavlora
