// SPDX-License-Identifier: GPL-3.0-or-later
// A connection that goes silent without closing: the server and a client in two network
// namespaces of the test's own making, joined by a veth pair, play a tournament; then the
// client's link is taken down (no FIN, no RST: a Wi-Fi gone, a laptop shut). Both sides must
// notice on their own, the client must come back by itself once the link is up again. Needs
// root to make the namespaces and is skipped without; nothing leaves the two namespaces.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "net/client.h"
#include "net/play_step.h"
#include "net/reconnect.h"
#include "net/senders.h"
#include "net/server.h"

namespace tavlora {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Short, so the test is quick; the program's own limit is checked in the transport's tests.
constexpr int SilenceSeconds = 2;
// 10.231.9.1, the server's address, as the settings window hands it over.
constexpr int32_t ServerAddress = 10 | 231 << 8 | 9 << 16 | 1 << 24;

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Two namespaces, "<prefix>-s" with 10.231.9.1 and "<prefix>-c" with 10.231.9.2, on the two
// ends of one veth pair; deleted, links and all, when the object goes.
class TwoNamespaces {
public:
    TwoNamespaces() : prefix_("tavlora-silence-" + std::to_string(getpid())) {
        made_ = Run("ip netns add " + Server()) && Run("ip netns add " + Client()) &&
                Run("ip -n " + Server() + " link add eth0 type veth peer name eth0 netns " +
                    Client()) &&
                Run("ip -n " + Server() + " addr add 10.231.9.1/24 dev eth0") &&
                Run("ip -n " + Client() + " addr add 10.231.9.2/24 dev eth0") &&
                Run("ip -n " + Server() + " link set eth0 up") && SetClientLink(true);
    }
    ~TwoNamespaces() {
        Run("ip netns del " + Server());
        Run("ip netns del " + Client());
    }
    bool Made() const { return made_; }
    std::string Server() const { return prefix_ + "-s"; }
    std::string Client() const { return prefix_ + "-c"; }
    bool SetClientLink(bool up) {
        return Run("ip -n " + Client() + " link set eth0 " + (up ? "up" : "down"));
    }

private:
    std::string prefix_;
    bool made_ = false;
};

// Runs what follows in a network namespace, on this thread only, and comes back after it:
// every socket the program opens meanwhile belongs to that namespace.
class NamespaceSwitch {
public:
    NamespaceSwitch() : home_(open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC)) {}
    ~NamespaceSwitch() {
        setns(home_, CLONE_NEWNET);
        close(home_);
    }
    void In(const std::string& name, const std::function<void()>& work) {
        const int target = open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(target, 0);
        ASSERT_EQ(setns(target, CLONE_NEWNET), 0);
        close(target);
        work();
        ASSERT_EQ(setns(home_, CLONE_NEWNET), 0);
    }

private:
    int home_;
};

class NullView final : public NetView {
public:
    void ShowReconnecting(bool reconnecting) override { Reconnecting = reconnecting; }
    void ShowReturned() override { ++Returns; }
    void ShowNetworkError(const std::string& text) override { Errors += text; }
    bool Reconnecting = false;
    int Returns = 0;
    std::string Errors;
};

TEST(Silence, ASilentDropIsNoticedOnBothSidesAndTheClientComesBackByItself) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "network namespaces need root";
    }
    TwoNamespaces lan;
    if (!lan.Made()) {
        GTEST_SKIP() << "network namespaces cannot be made here";
    }
    NamespaceSwitch net;
    ProgramState server;
    ProgramState client;
    NullView serverView;
    NullView clientView;
    for (ProgramState* state : {&server, &client}) {
        state->TickCount = [] { return TickCount(); };
        state->Network.SetSilenceLimit(SilenceSeconds);
    }
    SetUpServer(server, "Max", 2, 0, 0);
    server.RejoinSeconds = 60;
    server.NetworkPort = 0;
    net.In(lan.Server(), [&] { ASSERT_TRUE(OpenServer(server)); });
    server.PlayPhase = LobbyPhase;
    SetUpJoiningClient(client, "Anna");
    client.NetworkPort = server.Network.ListeningPort();

    // Both programs' passes, each in its own namespace, until done holds or the time is up.
    const auto pumpUntil = [&](const std::function<bool()>& done, Clock::duration limit) {
        const Clock::time_point deadline = Clock::now() + limit;
        while (!done() && Clock::now() < deadline) {
            net.In(lan.Server(), [&] { RunPlayStep(server, serverView); });
            net.In(lan.Client(), [&] {
                if (client.PlayPhase != SettingsPhase) {
                    RunPlayStep(client, clientView);
                } else if (PollClient(client, clientView)) {
                    AnnounceReturn(client);
                    client.PlayPhase = LobbyPhase;
                    SendReady(client, 1);
                }
            });
            std::this_thread::sleep_for(1ms);
        }
        return done();
    };
    net.In(lan.Client(), [&] { ASSERT_TRUE(StartConnectToServer(client, ServerAddress)); });
    ASSERT_TRUE(pumpUntil([&] { return server.Players[1].PlayerReady != 0; }, 10s));
    StartGames(server, serverView);
    ASSERT_TRUE(pumpUntil([&] { return HoldsTicket(client); }, 10s));

    // The link goes; the server has something to say, which waits unacknowledged.
    ASSERT_TRUE(lan.SetClientLink(false));
    SendChat(server, serverView, "Hallo?");
    EXPECT_TRUE(pumpUntil([&] { return server.Players[1].Away && clientView.Reconnecting; },
                          10 * SilenceSeconds * 1s))
        << "server noticed: " << server.Players[1].Away
        << ", client noticed: " << clientView.Reconnecting;

    // The link comes back, and with it the client.
    ASSERT_TRUE(lan.SetClientLink(true));
    EXPECT_TRUE(pumpUntil([&] { return clientView.Returns == 1; }, 20s));
    EXPECT_FALSE(server.Players[1].Away);
    EXPECT_EQ(clientView.Errors, "");
    for (const Game& game : server.Games) {
        EXPECT_TRUE(IsRunning(game));
    }
}

}  // namespace
}  // namespace tavlora
