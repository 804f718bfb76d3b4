// SPDX-License-Identifier: GPL-3.0-or-later
// The search for lobbies on the "Client" tab, against the recording double. Every search here
// sends its query to 127.0.0.1 alone (the setup names that one target), so nothing leaves the
// machine: no test broadcasts in the machine's own network. The servers are a real responder
// and hand-made ones that answer as the test tells them.
#include "shell/server_search.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <thread>

#include "net/discovery_responder.h"
#include "platform/recording_window_services.h"

namespace tavlora {
namespace {

using testing::ElementsAre;

constexpr int Window = 0;
constexpr int Panel = 1;
constexpr int ClientPage = 1;
constexpr int AddressField = 6;
constexpr int32_t Localhost = 16777343;  // 127.0.0.1 in the field: first number lowest

// A server of the test's own: a socket bound to one loopback address and the search port,
// which reads queries and sends whatever answers the test makes.
class HandMadeServer {
public:
    HandMadeServer(uint32_t address, uint16_t port) : address_(address) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        socket_ = OwnedSocket(fd);
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(address);
        local.sin_port = htons(port);
        bound_ = bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    }

    bool Bound() const { return bound_; }
    uint16_t Port() const { return LocalPort(socket_.Get()); }

    // The next query, waiting at most a second.
    std::optional<std::pair<LobbyQuery, ReceivedDatagram>> TakeQuery(int waitMs = 1000) {
        pollfd entry{socket_.Get(), POLLIN, 0};
        poll(&entry, 1, waitMs);
        uint8_t buffer[64];
        const std::optional<ReceivedDatagram> got = ReceiveDatagram(socket_.Get(), buffer);
        if (!got) {
            return std::nullopt;
        }
        const std::optional<LobbyQuery> query =
            DecodeQuery(std::span<const uint8_t>(buffer, got->Count));
        EXPECT_TRUE(query) << "the search sends nothing but queries";
        if (!query) {
            return std::nullopt;
        }
        return std::make_pair(*query, *got);
    }

    void Send(const ReceivedDatagram& to, const Bytes& bytes) {
        EXPECT_TRUE(SendDatagram(socket_.Get(), to.Address, to.Port, bytes));
    }

private:
    uint32_t address_;
    OwnedSocket socket_;
    bool bound_ = false;
};

class ServerSearchTest : public testing::Test {
protected:
    void SetUp() override {
        services_.OpenWindow({.Id = Window, .Centred = true, .ClientW = 260, .ClientH = 400});
        ControlSpec panel;
        panel.Window = Window;
        panel.Kind = ControlKind::TabPanel;
        panel.Id = Panel;
        panel.Geometry = {10, 40, 240, 350};
        services_.CreateControl(panel);
        for (const char* title : {"Server", "Client", "Einzelspieler"}) {
            services_.AddTabPage(Panel, title);
        }
        services_.SetState(Panel, ClientPage);
        ControlSpec field;
        field.Window = Window;
        field.Parent = Panel;
        field.Page = ClientPage;
        field.Kind = ControlKind::IPv4Field;
        field.Id = AddressField;
        field.Geometry = {18, 40, 200, 20};
        services_.CreateControl(field);
    }

    // A search whose query goes to 127.0.0.1 and port alone, on the test's clock.
    void MakeSearch(uint16_t port) {
        SearchSetup setup;
        setup.Port = port;
        setup.Targets = [this] {
            ++targetsAsked_;
            return std::vector<uint32_t>{LoopbackAddress};
        };
        setup.Clock = [this] { return now_; };
        search_.emplace(services_, Window, Panel, ClientPage, AddressField, setup);
        search_->Build();
    }

    // One pass of the settings window's loop, with the servers' passes beside it.
    void Pass(const std::function<void()>& servers = {}) {
        const Event event = services_.WaitEvent(10);
        if (event.Kind == EventKind::Control) {
            search_->HandleControl(event.Control);
        }
        search_->Poll();
        if (servers) {
            servers();
        }
    }

    // Passes until the list holds count entries, for two seconds at most.
    bool PassUntilListed(int count, const std::function<void()>& servers = {}) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            Pass(servers);
            if (services_.ItemCount(search_->List()) >= count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    std::vector<std::string> Entries() const { return services_.Control(search_->List())->Items; }

    RecordingWindowServices services_;
    std::optional<ServerSearch> search_;
    uint32_t now_ = 10'000;
    int targetsAsked_ = 0;
};

TEST_F(ServerSearchTest, LabelListAndButtonFillTheFreeSpaceOfTheClientTab) {
    MakeSearch(DefaultPort);
    const std::vector<const ControlRecord*> controls = services_.Controls(Window);
    ASSERT_EQ(controls.size(), 5u);
    const ControlRecord& label = *controls[2];
    const ControlRecord& button = *controls[3];
    const ControlRecord& list = *controls[4];
    EXPECT_EQ(label.Kind, ControlKind::Text);
    EXPECT_EQ(label.Text, "Gefundene Server:");
    EXPECT_EQ(button.Kind, ControlKind::Button);
    EXPECT_EQ(button.Text, "Suchen");
    EXPECT_EQ(button.Id, search_->SearchButton());
    EXPECT_EQ(list.Kind, ControlKind::ListBox);
    EXPECT_EQ(list.Id, search_->List());
    for (const ControlRecord* control : {&label, &button, &list}) {
        SCOPED_TRACE(control->Text);
        EXPECT_GE(control->Id, FirstAssignedId);
        EXPECT_EQ(control->Parent, Panel);
        EXPECT_EQ(control->Page, ClientPage);
        // Below the address field (40 + 20), above the connect status (270), inside the page.
        EXPECT_GE(control->Geometry.Y, 70);
        EXPECT_LE(control->Geometry.Y + control->Geometry.H, 262);
        EXPECT_GE(control->Geometry.X, 18);
        EXPECT_LE(control->Geometry.X + control->Geometry.W, 218);
    }
    EXPECT_LE(label.Geometry.X + label.Geometry.W, button.Geometry.X) << "side by side";
    EXPECT_LE(button.Geometry.Y + button.Geometry.H, list.Geometry.Y);
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(services_.State(search_->List()), -1);
}

TEST_F(ServerSearchTest, NothingIsSentWithoutAPress) {
    HandMadeServer server(LoopbackAddress, 0);
    ASSERT_TRUE(server.Bound());
    MakeSearch(server.Port());
    for (int i = 0; i < 50; ++i) {
        Pass();
        now_ += 100;
    }
    EXPECT_FALSE(server.TakeQuery(50));
    EXPECT_EQ(targetsAsked_, 0);
    EXPECT_FALSE(search_->Searching());
    EXPECT_TRUE(services_.WatchedSockets().empty());
}

TEST_F(ServerSearchTest, ARealServerIsListedAndChoosingItFillsTheAddressField) {
    ProgramState lobby;
    SetUpServer(lobby, "Sam", 8, 10, 1);
    lobby.PlayPhase = LobbyPhase;
    lobby.PlayerCount = 3;
    DiscoveryResponder responder;
    ASSERT_TRUE(responder.Open(0));
    MakeSearch(responder.Port());
    services_.SetState(AddressField, 0);

    ASSERT_TRUE(services_.Click(search_->SearchButton()));
    Pass();
    EXPECT_TRUE(search_->Searching());
    EXPECT_FALSE(services_.Control(search_->SearchButton())->Enabled) << "while it searches";
    EXPECT_EQ(services_.WatchedSockets().size(), 1u) << "an answer ends the wait at once";
    ASSERT_TRUE(PassUntilListed(1, [&] { responder.Poll(lobby, 0); }));
    EXPECT_THAT(Entries(), ElementsAre("Sam (3/8, 10 + 1 Min.)"));
    EXPECT_EQ(targetsAsked_, 1);

    now_ += 999;
    Pass();
    EXPECT_TRUE(search_->Searching()) << "about a second";
    now_ += 1;
    Pass();
    EXPECT_FALSE(search_->Searching());
    EXPECT_TRUE(services_.Control(search_->SearchButton())->Enabled);
    EXPECT_TRUE(services_.WatchedSockets().empty());
    EXPECT_EQ(services_.State(AddressField), 0) << "listing chooses nothing";

    ASSERT_TRUE(services_.PickItem(search_->List(), 0));
    Pass();
    EXPECT_EQ(services_.State(AddressField), Localhost);
    EXPECT_THAT(Entries(), ElementsAre("Sam (3/8, 10 + 1 Min.)")) << "the list stays";
}

TEST_F(ServerSearchTest, AnswersFromOneAddressReplaceEachOtherAndOnlyThisSearchsCount) {
    HandMadeServer first(LoopbackAddress, 0);
    ASSERT_TRUE(first.Bound());
    HandMadeServer second(0x7F000002, first.Port());  // 127.0.0.2, the same port
    HandMadeServer elsewhere(0x7F000003, 0);          // 127.0.0.3, another port
    ASSERT_TRUE(second.Bound());
    ASSERT_TRUE(elsewhere.Bound());
    MakeSearch(first.Port());

    ASSERT_TRUE(services_.Click(search_->SearchButton()));
    Pass();
    const auto query = first.TakeQuery();
    ASSERT_TRUE(query);
    const uint32_t token = query->first.Token;
    const ReceivedDatagram& client = query->second;
    EXPECT_EQ(client.Address, LoopbackAddress);

    first.Send(client, EncodeAnswer({token, "Sam", 1, 8, 10, 1}));
    ASSERT_TRUE(PassUntilListed(1));
    first.Send(client, EncodeAnswer({token, "Sam", 2, 8, 10, 1}));
    second.Send(client, EncodeAnswer({token, "Eva", 1, 4, 0, 0}));
    ASSERT_TRUE(PassUntilListed(2));
    EXPECT_THAT(Entries(), ElementsAre("Sam (2/8, 10 + 1 Min.)", "Eva (1/4, ohne Zeitlimit)"));

    // Ignored without a word: another token, another port, and what does not parse.
    first.Send(client, EncodeAnswer({token + 1, "Alt", 1, 2, 0, 0}));
    elsewhere.Send(client, EncodeAnswer({token, "Fremd", 1, 2, 0, 0}));
    first.Send(client, EncodeQuery({token}));
    first.Send(client, Bytes{'T', 'V', 'L', 'R'});
    Bytes broken = EncodeAnswer({token, "Kaputt", 1, 2, 0, 0});
    broken.pop_back();
    first.Send(client, broken);
    second.Send(client, EncodeAnswer({token, "Eva", 2, 4, 0, 3}));  // the marker: comes last
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (Entries()[1] != "Eva (2/4, 3 Min. pro Zug)" &&
           std::chrono::steady_clock::now() < deadline) {
        Pass();
    }
    EXPECT_THAT(Entries(), ElementsAre("Sam (2/8, 10 + 1 Min.)", "Eva (2/4, 3 Min. pro Zug)"));

    // Choosing the second entry names 127.0.0.2.
    ASSERT_TRUE(services_.PickItem(search_->List(), 1));
    Pass();
    EXPECT_EQ(services_.State(AddressField), AddressFieldValue(0x7F000002));

    // A new search empties the list at once; an answer to the old query counts no more.
    now_ += 300;
    search_->Poll();
    ASSERT_TRUE(search_->Searching());
    now_ += 1000;
    Pass();
    ASSERT_FALSE(search_->Searching());
    ASSERT_TRUE(services_.Click(search_->SearchButton()));
    Pass();
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(services_.State(AddressField), AddressFieldValue(0x7F000002)) << "kept";
    const auto again = first.TakeQuery();
    ASSERT_TRUE(again);
    EXPECT_NE(again->first.Token, token);
    first.Send(again->second, EncodeAnswer({token, "Sam", 2, 8, 10, 1}));
    second.Send(again->second, EncodeAnswer({again->first.Token, "Eva", 3, 4, 0, 0}));
    ASSERT_TRUE(PassUntilListed(1));
    for (int i = 0; i < 20; ++i) {
        Pass();
    }
    EXPECT_THAT(Entries(), ElementsAre("Eva (3/4, ohne Zeitlimit)"));
}

TEST(ServerSearchTextTest, EntriesNameTheHostTheirPlacesAndTheirLimits) {
    EXPECT_EQ(LobbyEntryText({0, "Sam", 3, 8, 10, 1}), "Sam (3/8, 10 + 1 Min.)");
    EXPECT_EQ(LobbyEntryText({0, "Sam", 3, 8, 10, 0}), "Sam (3/8, 10 Min. pro Spieler)");
    EXPECT_EQ(LobbyEntryText({0, "Sam", 3, 8, 0, 2}), "Sam (3/8, 2 Min. pro Zug)");
    EXPECT_EQ(LobbyEntryText({0, "Jürgen", 1, 127, 0, 0}), "Jürgen (1/127, ohne Zeitlimit)");
}

TEST(ServerSearchTextTest, AddressesBecomeTheFieldsValue) {
    EXPECT_EQ(AddressFieldValue(LoopbackAddress), Localhost);
    EXPECT_EQ(static_cast<uint32_t>(AddressFieldValue(0xC0A801C8)), 0xC801A8C0u);
    EXPECT_EQ(AddressFieldValue(0x0AE70701), 0x0107E70A);
}

TEST(ServerSearchTextTest, TheQueryGoesToEveryBroadcastAddressOnce) {
    const std::vector<Ipv4Interface> interfaces = {
        {"lo", LoopbackAddress, std::nullopt, true},
        {"eth0", 0xC0A80105, 0xC0A801FF, false},
        {"eth0", 0xC0A80106, 0xC0A801FF, false},  // a second address on the same network
        {"wlan0", 0x0A000002, 0x0AFFFFFF, false},
        {"tun0", 0x0A080001, std::nullopt, false},  // point to point: no broadcast
    };
    EXPECT_THAT(BroadcastTargets(interfaces),
                ElementsAre(LimitedBroadcastAddress, 0xC0A801FFu, 0x0AFFFFFFu));
    EXPECT_THAT(BroadcastTargets({}), ElementsAre(LimitedBroadcastAddress));
}

}  // namespace
}  // namespace tavlora
