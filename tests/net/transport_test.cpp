// SPDX-License-Identifier: GPL-3.0-or-later
// The transport over real loopback sockets: messages taken whole and one per poll, in
// order, however they arrive; ends reported once; peers that break the limits, stop
// reading or vanish cut off without harm to the program or to the other connections.
#include "net/transport.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "net/full_listener.h"
#include "net/program_state.h"

namespace tavlora {
namespace {

using namespace std::chrono_literals;

const char* const Loopback = "127.0.0.1";

// Polls until an event comes or two seconds have passed (a safety net, not a measurement).
NetEvent PollFor(Transport& transport) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
        NetEvent event = transport.Poll();
        if (event.Kind != NetEventKind::None) {
            return event;
        }
        std::this_thread::sleep_for(1ms);
    }
    return {};
}

// Polls for a while and expects nothing to happen.
void ExpectQuiet(Transport& transport) {
    for (int i = 0; i < 20; ++i) {
        const NetEvent event = transport.Poll();
        ASSERT_EQ(event.Kind, NetEventKind::None) << "event on " << event.Connection;
        std::this_thread::sleep_for(1ms);
    }
}

// A peer that writes raw bytes, for streams the program itself would never send.
class RawPeer {
public:
    explicit RawPeer(uint16_t port) : socket_(ConnectTo(Loopback, port, 2000)) {
        EXPECT_TRUE(socket_.IsOpen());
    }
    void Write(std::span<const uint8_t> bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const IoResult result = SendSome(socket_.Get(), bytes.subspan(sent));
            ASSERT_FALSE(result.Ended);
            sent += result.Count;
        }
    }
    void Close() { socket_.Close(); }
    // Ends the connection with a reset instead of an orderly close.
    void Reset() {
        const linger abort{1, 0};
        setsockopt(socket_.Get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        socket_.Close();
    }

private:
    OwnedSocket socket_;
};

// A listening transport on a free port.
class TransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Listen(0));
        port = server.ListeningPort();
        ASSERT_NE(port, 0);
    }

    // Waits until the server has accepted the peer that just connected.
    ConnectionId Accept() {
        const NetEvent event = PollFor(server);
        EXPECT_EQ(event.Kind, NetEventKind::NewConnection);
        return event.Connection;
    }

    // A client transport connected and accepted: the client's id and the server's id.
    std::pair<ConnectionId, ConnectionId> Join(Transport& client) {
        const ConnectionId toServer = client.Connect(Loopback, port);
        EXPECT_NE(toServer, NoConnection);
        return {toServer, Accept()};
    }

    Transport server;
    uint16_t port = 0;
};

Bytes Concat(std::initializer_list<Frame> frames) {
    Bytes stream;
    for (const Frame& frame : frames) {
        stream.insert(stream.end(), frame->begin(), frame->end());
    }
    return stream;
}

// Every socket, accepted or begun, has the kernel end it when its peer falls silent: no
// answer to keep-alive probes of an idle connection, or sent data left unacknowledged.
TEST_F(TransportTest, EverySocketEndsWithinTheSilenceLimitWhenItsPeerFallsSilent) {
    std::vector<int> sockets;
    const auto watch = [&sockets](int socket, bool open) {
        if (open) {
            sockets.push_back(socket);
        }
    };
    server.SetSocketWatcher(watch);
    Transport client;
    client.SetSocketWatcher(watch);
    Join(client);
    ASSERT_EQ(sockets.size(), 3u);  // the listening socket, the accepted one, the client's
    for (const int socket : {sockets[1], sockets[2]}) {
        const auto option = [socket](int level, int name) {
            int value = 0;
            socklen_t length = sizeof value;
            EXPECT_EQ(getsockopt(socket, level, name, &value, &length), 0);
            return value;
        };
        EXPECT_EQ(option(SOL_SOCKET, SO_KEEPALIVE), 1);
        const int silent = option(IPPROTO_TCP, TCP_KEEPIDLE) +
                           option(IPPROTO_TCP, TCP_KEEPINTVL) * option(IPPROTO_TCP, TCP_KEEPCNT);
        EXPECT_LE(silent, SilenceLimitSeconds);
        EXPECT_GE(silent, SilenceLimitSeconds - 2);
        EXPECT_EQ(option(IPPROTO_TCP, TCP_USER_TIMEOUT), SilenceLimitSeconds * 1000);
    }
}

TEST_F(TransportTest, ClientAndServerExchangeMessages) {
    Transport client;
    const auto [toServer, fromClient] = Join(client);

    client.Send(toServer, EncodeFrame(MsgName{1, "Jürgen"}));
    const NetEvent named = PollFor(server);
    ASSERT_EQ(named.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(named.Connection, fromClient);
    EXPECT_EQ(named.Received, Message(MsgName{1, "Jürgen"}));
    EXPECT_EQ(named.Body, EncodeBody(MsgName{1, "Jürgen"}));

    server.Send(fromClient, MakeFrame(named.Body));
    const NetEvent relayed = PollFor(client);
    ASSERT_EQ(relayed.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(relayed.Connection, toServer);
    EXPECT_EQ(relayed.Received, named.Received);
}

TEST_F(TransportTest, ServerAndClientsLiveInProgramStatesOfOneProcess) {
    ProgramState host;
    ASSERT_TRUE(host.Network.Listen(0));
    std::vector<ProgramState> guests(3);
    for (ProgramState& guest : guests) {
        guest.ServerConnection = guest.Network.Connect(Loopback, host.Network.ListeningPort());
        ASSERT_NE(guest.ServerConnection, NoConnection);
        ASSERT_EQ(PollFor(host.Network).Kind, NetEventKind::NewConnection);
    }
    guests[1].Network.Send(guests[1].ServerConnection, EncodeFrame(MsgReady{2, 1}));
    const NetEvent ready = PollFor(host.Network);
    ASSERT_EQ(ready.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(ready.Received, Message(MsgReady{2, 1}));
}

TEST_F(TransportTest, TwoMessagesInOneSegmentAreTakenOnTwoPolls) {
    RawPeer peer(port);
    const ConnectionId id = Accept();
    peer.Write(Concat({EncodeFrame(MsgReady{1, 1}), EncodeFrame(MsgChat{1, "hallo"})}));

    const NetEvent first = PollFor(server);
    ASSERT_EQ(first.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(first.Received, Message(MsgReady{1, 1}));
    EXPECT_TRUE(server.HasPendingEvent());

    const NetEvent second = server.Poll();  // already buffered: no waiting needed
    ASSERT_EQ(second.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(second.Connection, id);
    EXPECT_EQ(second.Received, Message(MsgChat{1, "hallo"}));
    EXPECT_FALSE(server.HasPendingEvent());
    ExpectQuiet(server);
}

TEST_F(TransportTest, MessageArrivingOneByteAtATime) {
    RawPeer peer(port);
    Accept();
    const Frame frame = EncodeFrame(MsgMove{1, {1, 0}, 600, 0, Move{4, 1, 4, 3, 0, -2, 6}});
    for (size_t i = 0; i + 1 < frame->size(); ++i) {
        peer.Write(std::span(*frame).subspan(i, 1));
        std::this_thread::sleep_for(1ms);
        ASSERT_EQ(server.Poll().Kind, NetEventKind::None) << "after byte " << i;
    }
    peer.Write(std::span(*frame).last(1));
    const NetEvent event = PollFor(server);
    ASSERT_EQ(event.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(*EncodeFrame(event.Received), *frame);
}

TEST_F(TransportTest, PeerClosingHalfwayThroughAMessageIsReportedOnce) {
    RawPeer peer(port);
    const ConnectionId id = Accept();
    const Frame frame = EncodeFrame(MsgChat{1, "unvollständig"});
    peer.Write(std::span(*frame).first(7));
    peer.Close();

    const NetEvent closed = PollFor(server);
    EXPECT_EQ(closed.Kind, NetEventKind::Closed);
    EXPECT_EQ(closed.Connection, id);
    EXPECT_FALSE(server.HasPendingEvent());
    server.Send(id, frame);  // a departed participant is skipped
    ExpectQuiet(server);
}

TEST_F(TransportTest, MessagesSentBeforeTheEndComeBeforeIt) {
    RawPeer peer(port);
    const ConnectionId id = Accept();
    peer.Write(Concat({EncodeFrame(MsgChat{1, "tschüss"}), EncodeFrame(MsgReady{1, 0})}));
    peer.Close();
    EXPECT_EQ(PollFor(server).Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(PollFor(server).Kind, NetEventKind::MessageArrived);
    const NetEvent closed = PollFor(server);
    EXPECT_EQ(closed.Kind, NetEventKind::Closed);
    EXPECT_EQ(closed.Connection, id);
}

TEST_F(TransportTest, ResetConnectionIsReportedOnce) {
    RawPeer peer(port);
    const ConnectionId id = Accept();
    peer.Reset();
    const NetEvent closed = PollFor(server);
    EXPECT_EQ(closed.Kind, NetEventKind::Closed);
    EXPECT_EQ(closed.Connection, id);
    ExpectQuiet(server);
}

// Every stream that breaks the limits closes the connection that sent it, and only that one.
TEST_F(TransportTest, MalformedInputClosesTheSendersConnectionOnTheServer) {
    struct Case {
        const char* What;
        Bytes Stream;
    };
    const Case cases[] = {
        {"length 0", {0, 0, 0, 0}},
        {"negative length", {0xFF, 0xFF, 0xFF, 0xFF, 6, 1, 1}},
        {"length above 1 MiB", {0x01, 0x00, 0x10, 0x00}},
        {"body shorter than its fields", {2, 0, 0, 0, 6, 1}},
        {"text without zero byte", {6, 0, 0, 0, 4, 1, 'A', 'n', 'n', 'a'}},
        {"bytes left over", {4, 0, 0, 0, 6, 1, 1, 0}},
    };
    Transport bystander;
    const auto [bystanderToServer, bystanderId] = Join(bystander);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        RawPeer peer(port);
        const ConnectionId id = Accept();
        peer.Write(c.Stream);
        const NetEvent closed = PollFor(server);
        EXPECT_EQ(closed.Kind, NetEventKind::Closed);
        EXPECT_EQ(closed.Connection, id);
    }
    bystander.Send(bystanderToServer, EncodeFrame(MsgReady{1, 1}));
    const NetEvent ready = PollFor(server);
    ASSERT_EQ(ready.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(ready.Connection, bystanderId);
}

TEST_F(TransportTest, UnknownCodesAreDroppedAndTheSenderStays) {
    RawPeer peer(port);
    const ConnectionId id = Accept();
    peer.Write(Bytes{3, 0, 0, 0, 0x7E, 1, 1, 1, 0, 0, 0, 99});
    peer.Write(*EncodeFrame(MsgReady{1, 1}));
    const NetEvent ready = PollFor(server);
    ASSERT_EQ(ready.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(ready.Connection, id);
    EXPECT_EQ(ready.Received, Message(MsgReady{1, 1}));
}

TEST_F(TransportTest, ClientDropsMalformedBodiesButNotBrokenFraming) {
    Transport client;
    const auto [toServer, fromClient] = Join(client);
    server.Send(fromClient, MakeFrame(Bytes{0x7E, 1, 1}));  // unknown code
    server.Send(fromClient, MakeFrame(Bytes{4, 1, 'x'}));   // text without zero byte
    server.Send(fromClient, EncodeFrame(MsgPlayerLeft{1, 2}));
    const NetEvent left = PollFor(client);
    ASSERT_EQ(left.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(left.Received, Message(MsgPlayerLeft{1, 2}));

    server.Send(fromClient, std::make_shared<const Bytes>(Bytes{0, 0, 0, 0}));
    const NetEvent lost = PollFor(client);
    EXPECT_EQ(lost.Kind, NetEventKind::Closed);
    EXPECT_EQ(lost.Connection, toServer);
}

TEST_F(TransportTest, ClientLearnsOnceThatTheServerIsGone) {
    Transport client;
    const auto [toServer, fromClient] = Join(client);
    server.CloseAll();
    const NetEvent lost = PollFor(client);
    EXPECT_EQ(lost.Kind, NetEventKind::Closed);
    EXPECT_EQ(lost.Connection, toServer);
    client.Send(toServer, EncodeFrame(MsgChat{1, "hallo?"}));
    ExpectQuiet(client);
}

// Writing to a peer that has gone would raise SIGPIPE, whose default is to end the process.
TEST_F(TransportTest, SendingToAVanishedPeerNeverEndsTheProgram) {
    RawPeer peer(port);
    const ConnectionId id = Accept();
    peer.Reset();
    const Frame chat = EncodeFrame(MsgChat{0, std::string(1000, 'x')});
    bool closed = false;
    for (int i = 0; i < 200 && !closed; ++i) {
        server.Send(id, chat);
        const NetEvent event = server.Poll();
        closed = event.Kind == NetEventKind::Closed && event.Connection == id;
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(closed);
}

TEST_F(TransportTest, PeerThatStopsReadingIsDisconnected) {
    Transport client;  // never polled, so it never reads
    const auto [toServer, fromClient] = Join(client);
    Bytes large(MaxBodyLength, 'x');
    large[0] = MsgChat::Code;
    const Frame frame = MakeFrame(large);
    NetEvent event;
    // The kernel's buffers take some megabytes first; then the queue passes its bound.
    for (int i = 0; i < 256 && event.Kind == NetEventKind::None; ++i) {
        server.Send(fromClient, frame);
        event = server.Poll();
    }
    EXPECT_EQ(event.Kind, NetEventKind::Closed);
    EXPECT_EQ(event.Connection, fromClient);
}

TEST_F(TransportTest, RelayQueuesOneFrameForEveryRecipient) {
    std::vector<Transport> clients(5);
    std::vector<ConnectionId> ids;
    for (Transport& client : clients) {
        ids.push_back(Join(client).second);
    }
    const Frame move = EncodeFrame(MsgMove{0, {0, 1}, 60, 30, Move{6, 0, 5, 2, 0, -2, 2}});
    for (ConnectionId id : ids) {
        server.Send(id, move);
    }
    for (Transport& client : clients) {
        const NetEvent event = PollFor(client);
        ASSERT_EQ(event.Kind, NetEventKind::MessageArrived);
        EXPECT_EQ(*MakeFrame(event.Body), *move);
    }
}

TEST_F(TransportTest, RelaysWhileBehindAreGatheredAndAllArriveInOrder) {
    RawPeer sender(port);
    Accept();
    Transport receiver;
    const ConnectionId toReceiver = Join(receiver).second;
    const auto chat = [](int i) { return EncodeFrame(MsgChat{1, "Zug " + std::to_string(i)}); };
    Bytes burst;
    for (int i = 0; i < 5; ++i) {
        const Frame frame = chat(i);
        burst.insert(burst.end(), frame->begin(), frame->end());
    }
    sender.Write(burst);

    // The first of five is taken while four wait: its relay is held back.
    NetEvent first = PollFor(server);
    ASSERT_EQ(first.Kind, NetEventKind::MessageArrived);
    ASSERT_TRUE(server.HasPendingEvent());
    server.Send(toReceiver, MakeFrame(first.Body));
    ExpectQuiet(receiver);

    // Held back no longer than GatherDelay, even while the server stays behind.
    std::this_thread::sleep_for(GatherDelay + 1ms);
    NetEvent second = server.Poll();
    ASSERT_EQ(second.Kind, NetEventKind::MessageArrived);
    NetEvent relayed = PollFor(receiver);
    ASSERT_EQ(relayed.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(relayed.Received, Message(MsgChat{1, "Zug 0"}));
    server.Send(toReceiver, MakeFrame(second.Body));

    // Caught up with the last one: everything goes, in order, without another poll.
    for (int i = 2; i < 5; ++i) {
        const NetEvent event = server.Poll();
        ASSERT_EQ(event.Kind, NetEventKind::MessageArrived) << i;
        server.Send(toReceiver, MakeFrame(event.Body));
    }
    EXPECT_FALSE(server.HasPendingEvent());
    for (int i = 1; i < 5; ++i) {
        const NetEvent event = PollFor(receiver);
        ASSERT_EQ(event.Kind, NetEventKind::MessageArrived) << i;
        EXPECT_EQ(event.Received, Message(MsgChat{1, "Zug " + std::to_string(i)}));
    }
}

TEST_F(TransportTest, BusyPeerCannotCrowdOutTheOthers) {
    RawPeer busy(port);
    const ConnectionId busyId = Accept();
    RawPeer quiet(port);
    const ConnectionId quietId = Accept();
    Bytes flood;
    for (int i = 0; i < 20; ++i) {
        const Frame frame = EncodeFrame(MsgChat{1, "spam"});
        flood.insert(flood.end(), frame->begin(), frame->end());
    }
    busy.Write(flood);
    quiet.Write(*EncodeFrame(MsgReady{2, 1}));
    std::this_thread::sleep_for(20ms);  // both have arrived before the first poll
    std::vector<ConnectionId> order;
    for (int i = 0; i < 4; ++i) {
        order.push_back(PollFor(server).Connection);
    }
    EXPECT_NE(std::find(order.begin(), order.end(), quietId), order.end());
    EXPECT_NE(std::find(order.begin(), order.end(), busyId), order.end());
}

TEST_F(TransportTest, ClosingOnPurposeDeliversWhatWasQueuedAndReportsNothing) {
    Transport client;
    const auto [toServer, fromClient] = Join(client);
    server.Send(fromClient, EncodeFrame(MsgRefusedFull{}));
    server.Close(fromClient);
    EXPECT_FALSE(server.HasPendingEvent());
    ExpectQuiet(server);

    const NetEvent refused = PollFor(client);
    ASSERT_EQ(refused.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(refused.Received, Message(MsgRefusedFull{}));
    const NetEvent lost = PollFor(client);
    EXPECT_EQ(lost.Kind, NetEventKind::Closed);
    EXPECT_EQ(lost.Connection, toServer);
}

TEST_F(TransportTest, WatcherFollowsEverySocket) {
    std::vector<int> watched;
    auto watcher = [&](int socket, bool watch) {
        if (watch) {
            watched.push_back(socket);
        } else {
            std::erase(watched, socket);
        }
    };
    server.SetSocketWatcher(watcher);
    ASSERT_EQ(watched.size(), 1u);  // the listening socket

    Transport client;
    client.SetSocketWatcher(watcher);
    const auto [toServer, fromClient] = Join(client);
    EXPECT_EQ(watched.size(), 3u);

    client.Close(toServer);
    EXPECT_EQ(watched.size(), 2u);
    EXPECT_EQ(PollFor(server).Kind, NetEventKind::Closed);
    EXPECT_EQ(watched.size(), 1u);
    server.CloseAll();
    EXPECT_TRUE(watched.empty());
}

TEST(TransportConnectTest, FailedConnectsReturnNoConnection) {
    Transport client;
    EXPECT_EQ(client.Connect("kein.server", DefaultPort), NoConnection);
    EXPECT_EQ(client.Connect("1.2.3", DefaultPort), NoConnection);

    // A port that was free a moment ago: nobody listens there.
    uint16_t port = 0;
    {
        Transport probe;
        ASSERT_TRUE(probe.Listen(0));
        port = probe.ListeningPort();
    }
    EXPECT_EQ(client.Connect(Loopback, port), NoConnection);
    EXPECT_FALSE(client.HasPendingEvent());
}

TEST(TransportConnectTest, ConnectGivesUpWhenThePeerNeverAnswers) {
    const FullListener silent;
    Transport client;
    EXPECT_EQ(client.Connect(Loopback, silent.Port(), 300), NoConnection);
}

// A begun connect returns at once and is reported exactly once: Connected, and usable, when
// the peer answers; Closed when the peer refuses (which may also show at once) or is still
// silent when the limit is up.
TEST_F(TransportTest, ABegunConnectIsReportedOnceWhenAnsweredRefusedOrTooLate) {
    const FullListener silent;
    uint16_t unused = 0;
    {
        Transport probe;
        ASSERT_TRUE(probe.Listen(0));
        unused = probe.ListeningPort();
    }
    struct Case {
        const char* Peer;
        uint16_t Port;
        NetEventKind Outcome;
    };
    for (const Case& c : {Case{"listening", port, NetEventKind::Connected},
                          Case{"nobody there", unused, NetEventKind::Closed},
                          Case{"backlog full", silent.Port(), NetEventKind::Closed}}) {
        SCOPED_TRACE(c.Peer);
        Transport client;
        const ConnectionId id = client.StartConnect(Loopback, c.Port, 300);
        if (id == NoConnection) {
            EXPECT_EQ(c.Outcome, NetEventKind::Closed);
            continue;
        }
        const NetEvent event = PollFor(client);
        EXPECT_EQ(event.Kind, c.Outcome);
        EXPECT_EQ(event.Connection, id);
        ExpectQuiet(client);
        if (c.Outcome == NetEventKind::Connected) {
            const ConnectionId fromClient = Accept();
            client.Send(id, EncodeFrame(MsgReady{1, 1}));
            const NetEvent ready = PollFor(server);
            EXPECT_EQ(ready.Connection, fromClient);
            EXPECT_EQ(ready.Received, Message(MsgReady{1, 1}));
        }
    }
}

TEST(TransportListenTest, PortInUseFails) {
    Transport first;
    ASSERT_TRUE(first.Listen(0));
    Transport second;
    EXPECT_FALSE(second.Listen(first.ListeningPort()));
    EXPECT_EQ(second.ListeningPort(), 0);
}

}  // namespace
}  // namespace tavlora
