// SPDX-License-Identifier: GPL-3.0-or-later
// The server's answers to searching clients, over real UDP on 127.0.0.1 (unicast only: no
// test sends a broadcast in the machine's own network): what an answer says and to whom it
// goes, when none is given, what is ignored, and the rate limit under a flood.
#include "net/discovery_responder.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <utility>
#include <vector>

#include "net/discovery.h"
#include "platform/datagrams.h"

namespace tavlora {
namespace {

using Clock = std::chrono::steady_clock;

// A lobby of Sam's for 8 with 3 participants, 10 + 1 minutes, seen by the server.
ProgramState OpenLobby() {
    ProgramState state;
    SetUpServer(state, "Sam", 8, 10, 1);
    state.PlayPhase = LobbyPhase;
    state.PlayerCount = 3;
    state.Players[1].PlayerName = "Cleo";
    state.Players[2].PlayerName = "Dirk";
    return state;
}

struct Arrival {
    LobbyAnswer Answer;
    uint32_t Address = 0;
    uint16_t Port = 0;
};

class DiscoveryResponderTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(responder_.Open(0, [this](int socket, bool watch) {
            watched_.push_back({socket, watch});
        }));
        port_ = responder_.Port();
        ASSERT_NE(port_, 0);
        client_ = OwnedSocket(OpenDatagramSocket(0, false));
        ASSERT_TRUE(client_.IsOpen());
    }

    void Ask(uint32_t token, int socket = -1) { SendBytes(EncodeQuery({token}), socket); }
    void SendBytes(const Bytes& bytes, int socket = -1) {
        ASSERT_TRUE(
            SendDatagram(socket < 0 ? client_.Get() : socket, LoopbackAddress, port_, bytes));
    }

    // Polls the responder at the tick count now, and gathers what reaches the client, until
    // `expected` answers have come or, for fewer, until nothing more has come for 200 ms.
    std::vector<Arrival> PollAndCollect(const ProgramState& state, uint32_t now,
                                        size_t expected = SIZE_MAX, int socket = -1) {
        const int from = socket < 0 ? client_.Get() : socket;
        std::vector<Arrival> arrivals;
        auto quietSince = Clock::now();
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (arrivals.size() < expected && Clock::now() < deadline &&
               Clock::now() - quietSince < std::chrono::milliseconds(200)) {
            responder_.Poll(state, now);
            pollfd entry{from, POLLIN, 0};
            poll(&entry, 1, 5);
            uint8_t buffer[MaxDiscoveryDatagram + 1];
            while (const std::optional<ReceivedDatagram> got = ReceiveDatagram(from, buffer)) {
                const std::optional<LobbyAnswer> answer =
                    DecodeAnswer(std::span<const uint8_t>(buffer, got->Count));
                EXPECT_TRUE(answer) << "the server sends nothing but answers";
                if (answer) {
                    arrivals.push_back({*answer, got->Address, got->Port});
                }
                quietSince = Clock::now();
            }
        }
        return arrivals;
    }

    std::vector<std::pair<int, bool>> watched_;  // outlives the responder, which tells it last
    DiscoveryResponder responder_;
    uint16_t port_ = 0;
    OwnedSocket client_;
};

TEST_F(DiscoveryResponderTest, AnswersTheAskerAloneWithTheLobby) {
    const ProgramState state = OpenLobby();
    Ask(0xBEEF);
    const std::vector<Arrival> arrivals = PollAndCollect(state, 1000, 1);
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].Answer, (LobbyAnswer{0xBEEF, "Sam", 3, 8, 10, 1}));
    EXPECT_EQ(arrivals[0].Address, LoopbackAddress);
    EXPECT_EQ(arrivals[0].Port, port_) << "from the port the query went to";

    // A second client hears nothing of the first one's answer.
    OwnedSocket other(OpenDatagramSocket(0, false));
    ASSERT_TRUE(other.IsOpen());
    EXPECT_TRUE(PollAndCollect(state, 1000, SIZE_MAX, other.Get()).empty());
}

TEST_F(DiscoveryResponderTest, TheSocketIsWatchedWhileOpen) {
    ASSERT_EQ(watched_.size(), 1u);
    EXPECT_TRUE(watched_[0].second);
    const int socket = watched_[0].first;
    responder_.Close();
    ASSERT_EQ(watched_.size(), 2u);
    EXPECT_EQ(watched_[1], std::make_pair(socket, false));
    EXPECT_FALSE(responder_.IsOpen());
    EXPECT_EQ(responder_.Port(), 0);
    responder_.Close();
    EXPECT_EQ(watched_.size(), 2u) << "closing twice tells nothing more";
}

TEST_F(DiscoveryResponderTest, OnlyAnOpenLobbyOfTheServerAnswers) {
    ProgramState state = OpenLobby();
    state.PlayPhase = SettingsPhase;
    Ask(1);
    EXPECT_TRUE(PollAndCollect(state, 1000).empty()) << "before the lobby opens";

    state = OpenLobby();
    state.Role = PlayRole::Client;
    Ask(2);
    EXPECT_TRUE(PollAndCollect(state, 1000).empty()) << "a client's lobby";

    state = OpenLobby();
    state.PlayerCount = 8;
    Ask(3);
    std::vector<Arrival> arrivals = PollAndCollect(state, 1000, 1);
    ASSERT_EQ(arrivals.size(), 1u) << "a full lobby is still open";
    EXPECT_EQ(arrivals[0].Answer.PlayerCount, 8);

    state.PlayPhase = GamesStartedPhase;
    Ask(4);
    EXPECT_TRUE(PollAndCollect(state, 1000).empty()) << "a started lobby";
    EXPECT_FALSE(responder_.IsOpen()) << "and it is found no more";
    EXPECT_EQ(watched_.back().second, false);
}

TEST_F(DiscoveryResponderTest, WhatIsNoQueryIsIgnoredWithoutAWord) {
    const ProgramState state = OpenLobby();
    const Bytes query = EncodeQuery({9});
    SendBytes(Bytes(query.begin(), query.end() - 1));  // truncated
    SendBytes([&] {                                    // padded
        Bytes padded = query;
        padded.push_back(0);
        return padded;
    }());
    SendBytes(EncodeAnswer({9, "Mallory", 1, 2, 0, 0}));     // an answer
    SendBytes(Bytes(MaxDiscoveryDatagram + 100, 'T'));       // oversize
    SendBytes(Bytes{'T', 'V', 'L', 'R', 2, 1, 9, 0, 0, 0});  // another version
    Bytes oversizeQuery = query;
    oversizeQuery.resize(MaxDiscoveryDatagram + 1);
    SendBytes(oversizeQuery);  // cut off by the buffer
    EXPECT_TRUE(PollAndCollect(state, 1000).empty());

    Ask(10);
    const std::vector<Arrival> arrivals = PollAndCollect(state, 1000, 1);
    ASSERT_EQ(arrivals.size(), 1u) << "the socket still answers";
    EXPECT_EQ(arrivals[0].Answer.Token, 10u);
}

TEST_F(DiscoveryResponderTest, AQueryThatArrivesTwiceIsAnsweredOnce) {
    const ProgramState state = OpenLobby();
    Ask(5);
    Ask(5);  // the same query, through a second broadcast address
    Ask(6);
    std::vector<Arrival> arrivals = PollAndCollect(state, 1000);
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[0].Answer.Token, 5u);
    EXPECT_EQ(arrivals[1].Answer.Token, 6u);
}

TEST_F(DiscoveryResponderTest, AFloodGetsNoMoreAnswersThanTheLimitAllows) {
    const ProgramState state = OpenLobby();
    // From several senders at once: the limit holds for all of them together.
    std::vector<OwnedSocket> senders;
    for (int i = 0; i < 4; ++i) {
        senders.emplace_back(OpenDatagramSocket(0, false));
        ASSERT_TRUE(senders.back().IsOpen());
    }
    uint32_t token = 100;
    auto flood = [&] {
        for (int i = 0; i < 40; ++i) {
            for (const OwnedSocket& sender : senders) {
                Ask(token++, sender.Get());
            }
        }
    };
    auto collect = [&](uint32_t now) {
        size_t count = 0;
        for (const OwnedSocket& sender : senders) {
            count += PollAndCollect(state, now, SIZE_MAX, sender.Get()).size();
        }
        return count;
    };

    flood();
    EXPECT_EQ(collect(50'000), static_cast<size_t>(AnswersPerSecond));
    flood();
    EXPECT_EQ(collect(50'999), 0u) << "within the same second";
    flood();
    EXPECT_EQ(collect(51'000), static_cast<size_t>(AnswersPerSecond)) << "a second later";
}

TEST_F(DiscoveryResponderTest, AnOccupiedPortLeavesItClosedAndHarmless) {
    // A socket without SO_REUSEADDR keeps the port to itself.
    DiscoveryResponder second;
    const int exclusive = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(exclusive, 0);
    OwnedSocket holder(exclusive);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ASSERT_EQ(bind(exclusive, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_FALSE(second.Open(LocalPort(exclusive)));
    EXPECT_FALSE(second.IsOpen());
    second.Poll(OpenLobby(), 0);
}

TEST(AnswerBudgetTest, AtMostTheLimitInAnySecondAlsoAcrossTheWrap) {
    for (uint32_t start : {0u, 0xFFFFFE00u}) {
        SCOPED_TRACE(start);
        AnswerBudget budget;
        int given = 0;
        // One request every 10 ms for 5 seconds: every window of 1000 ms holds at most the
        // limit, and the budget is used to the full.
        std::vector<uint32_t> times;
        for (uint32_t t = 0; t < 5000; t += 10) {
            if (budget.Take(start + t)) {
                times.push_back(t);
                ++given;
            }
        }
        EXPECT_EQ(given, 5 * AnswersPerSecond);
        for (size_t i = AnswersPerSecond; i < times.size(); ++i) {
            EXPECT_GE(times[i] - times[i - AnswersPerSecond], 1000u) << i;
        }
    }
}

}  // namespace
}  // namespace tavlora
