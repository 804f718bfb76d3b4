// SPDX-License-Identifier: GPL-3.0-or-later
// Peers that break the protocol: a client that speaks for others, plays out of turn or
// illegally, accepts a draw nobody offered, or sends garbage, and a server whose messages
// do not fit the client's table. None of them changes anything for the honest sides, and
// the server cuts off a client that goes beyond the limits, as if it had left.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "net/client.h"
#include "net/game_play.h"
#include "net/senders.h"
#include "net/server.h"
#include "tournament.h"

namespace tavlora {
namespace {

// What an honest side holds, to compare before and after a hostile message.
struct Snapshot {
    std::vector<RowText> Rows;
    std::vector<std::string> Names;
    std::vector<int32_t> Ready;
    std::vector<std::vector<Move>> Histories;
    std::vector<int32_t> States;
    std::vector<std::string> Chat;
    size_t Offers = 0;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

Snapshot Take(const Side& side) {
    Snapshot snapshot{side.View.Rows, {}, {}, {}, {}, side.View.Chat, side.View.Offers.size()};
    for (const Player& player : side.State.Players) {
        snapshot.Names.push_back(player.PlayerName);
        snapshot.Ready.push_back(player.PlayerReady);
    }
    for (const Game& game : side.State.Games) {
        snapshot.Histories.push_back(game.History);
        snapshot.States.push_back(game.State);
    }
    return snapshot;
}

// A server with Anna (1), a hand-driven client named Hacker (2) and Bert (3), all ready.
class HostileClient : public ::testing::Test {
protected:
    void SetUp() override {
        anna = &t.Join("Anna");
        hacker = RawPeer::ConnectTo(t.Port());
        t.Pump();
        const std::optional<Message> welcome = hacker->NextMessage();
        ASSERT_TRUE(welcome && std::holds_alternative<MsgWelcome>(*welcome));
        hacker->Send(MsgName{2, "Hacker"});
        hacker->Send(MsgReady{2, 1});
        t.Pump();
        bert = &t.Join("Bert");
        for (Side* side : {anna, bert}) {
            SendReady(side->State, 1);
        }
        t.Pump();
        ASSERT_EQ(t.Server().State.PlayerCount, 4);
        ASSERT_TRUE(t.Server().View.StartEnabled);
    }

    void Start() {
        StartGames(t.Server().State, t.Server().View);
        t.Pump();
    }

    std::vector<Snapshot> TakeAll() {
        std::vector<Snapshot> all;
        for (Side* side : t.Sides()) {
            all.push_back(Take(*side));
        }
        return all;
    }

    // True when the hacker's connection has been cut; messages before the end are skipped.
    bool CutOff() {
        for (;;) {
            const NetEvent event = hacker->Next();
            if (event.Kind != NetEventKind::MessageArrived) {
                return event.Kind == NetEventKind::Closed;
            }
        }
    }

    // The key of the game between i and j, White first.
    std::pair<int32_t, int32_t> Key(int32_t i, int32_t j) {
        for (const Game& game : t.Server().State.Games) {
            if (SideOf(game, i) >= 0 && SideOf(game, j) >= 0) {
                return {game.PlayerIndex[0], game.PlayerIndex[1]};
            }
        }
        ADD_FAILURE() << "no game between " << i << " and " << j;
        return {-1, -1};
    }

    Tournament t{"Max"};
    Side* anna = nullptr;
    Side* bert = nullptr;
    std::unique_ptr<RawPeer> hacker;
};

TEST_F(HostileClient, SpeaksOnlyForItself) {
    // Claiming Anna's index readies the hacker's own entry, never Anna's; its name was given
    // once already and stays.
    hacker->Send(MsgReady{1, 0});
    hacker->Send(MsgName{1, "Anna2"});
    hacker->Send(MsgChat{1, "Ich bin Anna"});
    t.Pump();
    for (Side* side : t.Sides()) {
        EXPECT_EQ(side->State.Players[1].PlayerName, "Anna");
        EXPECT_EQ(side->State.Players[1].PlayerReady, 1);
        EXPECT_EQ(side->State.Players[2].PlayerName, "Hacker");
        EXPECT_EQ(side->State.Players[2].PlayerReady, 0);
        EXPECT_EQ(side->View.Chat.back(), "<Hacker> Ich bin Anna");
    }
    EXPECT_FALSE(t.Server().View.StartEnabled);
}

TEST_F(HostileClient, CannotChangeAGameItMayNotChange) {
    Start();
    const auto [w12, b12] = Key(1, 2);
    const auto [w13, b13] = Key(1, 3);
    const auto [w23, b23] = Key(2, 3);
    const int32_t hackerSide = w23 == 2 ? White : Black;
    const Move whiteOpening{4, 1, 4, 3, Quiet, NoPromotion, Pawn};
    const Move blackOpening{4, 6, 4, 4, Quiet, NoPromotion, Pawn};
    const auto expectNothingChanges = [this](const std::vector<Message>& attempts) {
        for (const Message& attempt : attempts) {
            SCOPED_TRACE(testing::Message() << "code " << attempt.index());
            const std::vector<Snapshot> before = TakeAll();
            hacker->Send(attempt);
            t.Pump();
            EXPECT_EQ(TakeAll(), before);
        }
    };

    // Someone else's game, under another's index and under its own; a draw nobody offered;
    // games that do not exist.
    expectNothingChanges({
        MsgMove{w13, {w13, b13}, 0, 0, whiteOpening},
        MsgMove{2, {w13, b13}, 0, 0, whiteOpening},
        MsgResign{1, {w13, b13}},
        MsgDrawOffer{w13, {w13, b13}},
        MsgTimeout{w13, {w13, b13}, 0, 0},
        MsgDrawAccept{2, {w12, b12}},
        MsgDrawAccept{2, {w23, b23}},
        MsgMove{2, {2, 2}, 0, 0, whiteOpening},
        MsgResign{2, {5, 6}},
    });

    // Its own game on its turn, illegally: a square too far, the wrong kind of move.
    if (hackerSide == Black) {
        t.Play(w23, b23, 4, 1, 4, 3);
    }
    const Move opening = hackerSide == White ? whiteOpening : blackOpening;
    Move tooFar = opening;
    tooFar.ToY += hackerSide == White ? 2 : -2;
    Move wrongKind = opening;
    wrongKind.Kind = Capture;
    expectNothingChanges(
        {MsgMove{2, {w23, b23}, 0, 0, tooFar}, MsgMove{2, {w23, b23}, 0, 0, wrongKind}});

    // A legal move counts; then it is Bert's turn, not the hacker's.
    hacker->Send(MsgMove{2, {w23, b23}, 0, 0, opening});
    t.Pump();
    EXPECT_EQ(GameOf(*bert, w23, b23).History.size(), hackerSide == White ? 1u : 2u);
    const Move bertsMove = GameOf(t.Server(), w23, b23).Moves.front();
    expectNothingChanges(
        {MsgMove{2, {w23, b23}, 0, 0, bertsMove}, MsgTimeout{2, {w23, b23}, 0, 0}});

    // Still a participant in good standing: its resignation counts.
    hacker->Send(MsgResign{2, {w23, b23}});
    t.Pump();
    for (Side* side : t.Sides()) {
        const Game& game = GameOf(*side, w23, b23);
        EXPECT_EQ(game.State, Resigned);
        EXPECT_EQ(game.SideToMove, hackerSide);
    }
}

TEST_F(HostileClient, RelaysCarryAnHonestMoveAsSent) {
    Start();
    const auto [w, b] = Key(1, 3);
    Side& mover = w == 1 ? *anna : *bert;
    Game& game = GameOf(mover, w, b);
    const Move move = *FindMove(game, 6, 0, 5, 2);  // Ng1-f3
    const MsgMove sent{
        mover.State.OwnPlayerIndex, {w, b}, game.PlayerTimeLeft[0], game.MoveTimeLeft[0], move};
    SendMove(mover.State, game, move);
    t.Pump();
    NetEvent event;
    do {
        event = hacker->Next();
    } while (event.Kind == NetEventKind::MessageArrived &&
             !std::holds_alternative<MsgMove>(event.Received));
    ASSERT_EQ(event.Kind, NetEventKind::MessageArrived);
    EXPECT_EQ(event.Body, EncodeBody(sent));
}

// Streams beyond the limits, each cutting the sender off as if it had left the lobby.
TEST(HostileLobby, SenderIsCutOffBeyondTheLimits) {
    struct Case {
        const char* What;
        std::function<void(RawPeer&)> Send;
    };
    const Case cases[] = {
        {"sender index beyond the table",
         [](RawPeer& p) {
             p.Send(MsgChat{100, "x"});
         }},
        {"negative sender index",
         [](RawPeer& p) {
             p.Send(MsgReady{-1, 1});
         }},
        {"sender index MaxPlayer",
         [](RawPeer& p) {
             p.Send(MsgName{8, "x"});
         }},
        {"game key beyond the table",
         [](RawPeer& p) {
             p.Send(MsgResign{2, {2, 90}});
         }},
        {"text without its end",
         [](RawPeer& p) {
             p.SendRaw({3, 0, 0, 0, 8, 2, 'x'});
         }},
        {"bytes left over",
         [](RawPeer& p) {
             p.SendRaw({4, 0, 0, 0, 6, 2, 1, 1});
         }},
        {"chat line longer than any program sends",
         [](RawPeer& p) {
             Bytes body(MaxTextLength + 4, 'x');  // code, sender, text, zero
             body[0] = MsgChat::Code;
             body[1] = 2;
             body.back() = 0;
             p.Network.Send(p.Connection, MakeFrame(body));
         }},
        {"huge length",
         [](RawPeer& p) {
             p.SendRaw({0xFF, 0xFF, 0xFF, 0x7F, 9});
         }},
        {"length zero",
         [](RawPeer& p) {
             p.SendRaw({0, 0, 0, 0});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Tournament t("Max");
        Side& anna = t.Join("Anna");
        auto peer = RawPeer::ConnectTo(t.Port());
        t.Pump();
        peer->Send(MsgName{2, "Hacker"});
        t.Pump();
        Side& bert = t.Join("Bert");
        ASSERT_EQ(bert.State.OwnPlayerIndex, 3);

        c.Send(*peer);
        t.Pump();
        NetEvent event;
        do {
            event = peer->Next();
        } while (event.Kind == NetEventKind::MessageArrived);
        EXPECT_EQ(event.Kind, NetEventKind::Closed);
        EXPECT_EQ(t.Server().State.PlayerCount, 3);
        EXPECT_EQ(bert.State.OwnPlayerIndex, 2);
        EXPECT_EQ(bert.View.Rows, t.Server().View.Rows);
        EXPECT_EQ(anna.View.Rows, t.Server().View.Rows);
    }
}

TEST_F(HostileClient, CutOffAfterTheStartLosesItsGames) {
    Start();
    hacker->Send(MsgMove{2, {120, 2}, 0, 0, {}});
    t.Pump();
    EXPECT_TRUE(CutOff());
    for (Side* side : t.Sides()) {
        for (const Game& game : side->State.Games) {
            EXPECT_EQ(game.State, SideOf(game, 2) >= 0 ? Resigned : Running);
        }
    }
}

// A client facing a server whose messages do not fit its table: each is dropped.
class HostileServer : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpJoiningClient(client.State, "Eva");
        client.State.NetworkPort = server->Network.ListeningPort();
        ASSERT_TRUE(StartConnectToServer(client.State, LoopbackAddress));
        ASSERT_EQ(server->Next().Kind, NetEventKind::NewConnection);
    }

    // Sends message and lets the client handle it; answers what PollClient said.
    bool Deliver(const Message& message) {
        server->Send(message);
        bool joined = false;
        for (int i = 0; i < 50; ++i) {
            joined = PollClient(client.State, client.View) || joined;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return joined;
    }

    void Join() {
        ASSERT_TRUE(Deliver(MsgWelcome{4, 3, 0, 0, {{"Max", 1}, {"Udo", 0}}}));
        client.State.PlayPhase = LobbyPhase;
        client.View.BuildLobby();
    }

    std::unique_ptr<RawPeer> server = RawPeer::Listen();
    Side client;
};

// Connects client, named Eva, to a raw server that accepts it.
void ConnectAsEva(RawPeer& server, Side& client) {
    SetUpJoiningClient(client.State, "Eva");
    client.State.NetworkPort = server.Network.ListeningPort();
    ASSERT_TRUE(StartConnectToServer(client.State, LoopbackAddress));
    ASSERT_EQ(server.Next().Kind, NetEventKind::NewConnection);
}

TEST(HostileWelcome, OutsideTheLimitsEndsTheJoinInsteadOfWaitingForEver) {
    const MsgWelcome bad[] = {
        {1, 2, 0, 0, {{"Max", 1}}},                              // MaxPlayer below 2
        {200, 2, 0, 0, {{"Max", 1}}},                            // arrives as -56
        {4, 5, 0, 0, {{"A", 1}, {"B", 1}, {"C", 1}, {"D", 1}}},  // more than MaxPlayer
        {4, 2, 100000000, 0, {{"Max", 1}}},                      // a limit whose seconds overflow
    };
    for (const MsgWelcome& welcome : bad) {
        const auto server = RawPeer::Listen();
        Side client;
        ConnectAsEva(*server, client);
        server->Send(welcome);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (client.State.ServerConnection != NoConnection &&
               std::chrono::steady_clock::now() < deadline) {
            EXPECT_FALSE(PollClient(client.State, client.View));
        }
        EXPECT_EQ(client.State.OwnPlayerIndex, -1) << welcome.MaxPlayer;
        EXPECT_EQ(client.View.Errors,
                  (std::vector<std::string>{"Verbindung zum Server fehlgeschlagen."}));
        EXPECT_EQ(server->Next().Kind, NetEventKind::Closed);
    }
}

TEST_F(HostileServer, UnknownCodesAreDroppedAndTheConnectionStays) {
    Join();
    server->SendRaw({1, 0, 0, 0, 0x7E});
    server->SendRaw({3, 0, 0, 0, 0x63, 1, 2});
    Deliver(MsgChat{0, "Hallo"});
    EXPECT_EQ(client.View.Chat.back(), "<Max> Hallo");
    EXPECT_NE(client.State.ServerConnection, NoConnection);
    EXPECT_TRUE(client.View.Errors.empty());
}

TEST(HostileServerStream, EveryEndAfterTheJoinIsReportedOnce) {
    struct Case {
        const char* What;
        std::function<void(RawPeer&)> End;
    };
    const Case cases[] = {
        {"closed", [](RawPeer& p) { p.Network.Close(p.Connection); }},
        {"negative length",
         [](RawPeer& p) {
             p.SendRaw({0xFB, 0xFF, 0xFF, 0xFF, 8});
         }},
        {"length beyond the limit",
         [](RawPeer& p) {
             p.SendRaw({0xFF, 0xFF, 0xFF, 0x7F, 8});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const auto server = RawPeer::Listen();
        Side client;
        ConnectAsEva(*server, client);
        server->Send(MsgWelcome{4, 2, 0, 0, {{"Max", 1}}});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!PollClient(client.State, client.View)) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        }
        c.End(*server);
        for (int i = 0; i < 200; ++i) {
            PollClient(client.State, client.View);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        EXPECT_EQ(client.View.Errors,
                  (std::vector<std::string>{"Verbindung zum Server unterbrochen."}));
    }
}

TEST_F(HostileServer, MessagesBeyondTheTableAreDropped) {
    Join();
    const auto unchanged = [this](const Message& message) {
        const Snapshot before = Take(client);
        const int32_t own = client.State.OwnPlayerIndex;
        const int32_t count = client.State.PlayerCount;
        Deliver(message);
        EXPECT_EQ(Take(client), before) << "code " << message.index();
        EXPECT_EQ(client.State.OwnPlayerIndex, own);
        EXPECT_EQ(client.State.PlayerCount, count);
    };
    unchanged(MsgPlayerNamed{4, "Fremd"});
    unchanged(MsgPlayerNamed{-3, "Fremd"});
    unchanged(MsgReady{90, 1});
    unchanged(MsgChat{4, "wer?"});
    unchanged(MsgPlayerLeft{1, 4});  // a count that leaves no free place
    unchanged(MsgPlayerLeft{2, 2});  // the client itself
    unchanged(MsgPlayerLeft{0, 2});  // the server
    unchanged(MsgPlayerLeft{3, 2});  // beyond the count
    unchanged(MsgStartGames{5, std::vector<int32_t>(10, 0)});
    unchanged(MsgStartGames{2, {0}});  // without the client
    unchanged(MsgStartGames{3, {0, 2, 1}});
    unchanged(MsgRefusedFull{});
    unchanged(MsgWelcome{4, 2, 0, 0, {{"Eva", 0}}});
    EXPECT_TRUE(client.View.Errors.empty());

    // A newly named participant above the client's own count is accepted.
    Deliver(MsgPlayerNamed{3, "Zoe"});
    EXPECT_EQ(client.View.Rows[3], (RowText{"", "Zoe"}));

    ASSERT_FALSE(Deliver(MsgStartGames{3, {0, 1, 0}}));
    ASSERT_EQ(client.State.Games.size(), 3u);
    const Game& game = client.State.Games[2];  // (1, 2): 1 White
    unchanged(MsgStartGames{3, {1, 1, 1}});
    unchanged(MsgMove{1, {1, 2}, 0, 0, {4, 1, 4, 4, Quiet, NoPromotion, Pawn}});
    unchanged(MsgMove{1, {2, 1}, 0, 0, {4, 1, 4, 3, Quiet, NoPromotion, Pawn}});
    unchanged(MsgMove{2, {1, 2}, 0, 0, {4, 6, 4, 4, Quiet, NoPromotion, Pawn}});
    unchanged(MsgPlayerLeft{1, 2});       // the count does not change after the start
    unchanged(MsgPlayerNamed{3, "Zoe"});  // the free rows are gone
    EXPECT_EQ(game.State, Running);

    Deliver(MsgMove{1, {1, 2}, 0, 0, {4, 1, 4, 3, Quiet, NoPromotion, Pawn}});
    EXPECT_EQ(game.History.size(), 1u);
}

}  // namespace
}  // namespace tavlora
