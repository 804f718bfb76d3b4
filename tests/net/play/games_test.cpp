// SPDX-License-Identifier: GPL-3.0-or-later
// The games end to end: the start with the same games in the same order and colours on
// every side, moves and promotions replayed everywhere, draw offers and acceptances,
// resignations and time-outs seen alike by all, a participant who leaves after the start,
// and a client that loses its server.
#include <gtest/gtest.h>

#include <chrono>

#include "net/client.h"
#include "net/game_play.h"
#include "net/game_tick.h"
#include "net/senders.h"
#include "net/server.h"
#include "rules/execute.h"
#include "tournament.h"

namespace tavlora {
namespace {

TEST(Games, StartCreatesTheSameGamesEverywhere) {
    Tournament t("Max");
    StartWith(t, {"Anna", "Bert", "Cleo", "Dora"});
    const GamesList& games = t.Server().State.Games;
    ASSERT_EQ(games.size(), 10u);
    size_t k = 0;
    for (int32_t i = 0; i < 5; ++i) {
        for (int32_t j = i + 1; j < 5; ++j, ++k) {
            EXPECT_TRUE(SideOf(games[k], i) >= 0 && SideOf(games[k], j) >= 0) << "game " << k;
            EXPECT_EQ(games[k].BottomColour, White);
            EXPECT_EQ(games[k].State, Running);
        }
    }
    for (Side* side : t.Sides()) {
        EXPECT_EQ(side->State.PlayPhase, GamesStartedPhase);
        EXPECT_EQ(side->State.PlayerCount, 5);
        EXPECT_TRUE(side->View.GamesStarted);
        EXPECT_EQ(side->View.Rows.size(), 5u);  // the free rows are gone
    }
    ExpectSameGames(t);
}

TEST(Games, MoveReachesEveryOtherParticipantAndSpectator) {
    Tournament t("Max");
    StartWith(t, {"Anna", "Bert", "Cleo"});
    const Game& game = PairGame(t.Server(), 1, 2);
    const int32_t white = game.PlayerIndex[0];
    const int32_t black = game.PlayerIndex[1];
    t.Play(white, black, 4, 1, 4, 3);  // e2-e4
    t.Play(white, black, 4, 6, 4, 4);  // e7-e5
    ExpectSameGames(t);
    EXPECT_EQ(GameOf(t.Server(), white, black).History.size(), 2u);
    for (Side* side : t.Sides()) {
        // Each side refreshes the game once per move it received, never for its own.
        const auto& moved = side->View.Moved;
        const int32_t own = side->State.OwnPlayerIndex;
        const size_t expected = own == white || own == black ? 1u : 2u;
        EXPECT_EQ(moved.size(), expected) << "participant " << own;
    }

    // One of these two moves is the server's own, which goes to every client.
    const Game& serverGame = PairGame(t.Server(), 0, 3);
    t.Play(serverGame.PlayerIndex[0], serverGame.PlayerIndex[1], 3, 1, 3, 3);
    t.Play(serverGame.PlayerIndex[0], serverGame.PlayerIndex[1], 3, 6, 3, 4);
    ExpectSameGames(t);
}

TEST(Games, PromotionArrivesWithItsPiece) {
    Tournament t("Max");
    StartWith(t, {"Anna", "Bert"});
    const Game& game = PairGame(t.Server(), 1, 2);
    const int32_t w = game.PlayerIndex[0];
    const int32_t b = game.PlayerIndex[1];
    t.Play(w, b, 7, 1, 7, 3);          // h4
    t.Play(w, b, 6, 6, 6, 4);          // g5
    t.Play(w, b, 7, 3, 6, 4);          // hxg5
    t.Play(w, b, 7, 6, 7, 5);          // h6
    t.Play(w, b, 6, 4, 7, 5);          // gxh6
    t.Play(w, b, 5, 7, 6, 6);          // Bg7
    t.Play(w, b, 7, 5, 6, 6);          // hxg7
    t.Play(w, b, 0, 6, 0, 5);          // a6
    t.Play(w, b, 6, 6, 7, 7, Knight);  // gxh8=N
    for (Side* side : t.Sides()) {
        const Game& copy = GameOf(*side, w, b);
        EXPECT_EQ(copy.Board[7][7].Piece, Knight) << "participant " << side->State.OwnPlayerIndex;
        EXPECT_EQ(copy.Board[7][7].Colour, White);
        EXPECT_EQ(copy.History.back().Promotion, Knight);
    }
    ExpectSameGames(t);
}

TEST(Games, DrawOfferGoesToTheOpponentAloneAndItsAcceptanceToAll) {
    Tournament t("Max");
    StartWith(t, {"Anna", "Bert", "Cleo"});

    // Between two clients: the server passes the offer on.
    Game& onAnna = PairGame(t.Participant(1), 1, 2);
    SendGameCommand(t.Participant(1).State, onAnna, GameCommand::OfferDraw);
    t.Pump();
    Game& onBert = PairGame(t.Participant(2), 1, 2);
    EXPECT_EQ(t.Participant(2).View.Offers, (std::vector<const Game*>{&onBert}));
    EXPECT_TRUE(t.Server().View.Offers.empty());
    EXPECT_TRUE(t.Participant(3).View.Offers.empty());
    EXPECT_TRUE(t.Participant(1).View.Offers.empty());
    SendGameCommand(t.Participant(2).State, onBert, GameCommand::AcceptDraw);
    EXPECT_EQ(onBert.State, Running);  // a client waits for the server's copy
    t.Pump();
    EXPECT_EQ(onBert.State, DrawAgreed);
    ExpectSameGames(t);

    // A client's offer to the server, accepted there: it takes effect on the server at once.
    Game& onCleo = PairGame(t.Participant(3), 0, 3);
    SendGameCommand(t.Participant(3).State, onCleo, GameCommand::OfferDraw);
    t.Pump();
    Game& onServer = PairGame(t.Server(), 0, 3);
    EXPECT_EQ(t.Server().View.Offers, (std::vector<const Game*>{&onServer}));
    SendGameCommand(t.Server().State, onServer, GameCommand::AcceptDraw);
    EXPECT_EQ(onServer.State, DrawAgreed);
    t.Pump();
    EXPECT_EQ(onCleo.State, DrawAgreed);

    // The server's offer, accepted by a client.
    SendGameCommand(t.Server().State, PairGame(t.Server(), 0, 1), GameCommand::OfferDraw);
    t.Pump();
    Game& anna01 = PairGame(t.Participant(1), 0, 1);
    EXPECT_EQ(t.Participant(1).View.Offers, (std::vector<const Game*>{&anna01}));
    SendGameCommand(t.Participant(1).State, anna01, GameCommand::AcceptDraw);
    t.Pump();
    EXPECT_EQ(anna01.State, DrawAgreed);
    ExpectSameGames(t);
}

TEST(Games, OfferLapsesWithTheNextMove) {
    Tournament t("Max");
    StartWith(t, {"Anna", "Bert"});
    const Game& game = PairGame(t.Server(), 1, 2);
    const int32_t w = game.PlayerIndex[0];
    const int32_t b = game.PlayerIndex[1];
    SendGameCommand(t.Participant(w).State, GameOf(t.Participant(w), w, b), GameCommand::OfferDraw);
    t.Pump();
    t.Play(w, b, 4, 1, 4, 3);
    // Black accepts an offer its screen no longer shows: nothing happens anywhere.
    SendGameCommand(t.Participant(b).State, GameOf(t.Participant(b), w, b),
                    GameCommand::AcceptDraw);
    t.Pump();
    EXPECT_EQ(GameOf(t.Server(), w, b).State, Running);
    // Nor can the one who offered accept its own offer.
    SendGameCommand(t.Participant(w).State, GameOf(t.Participant(w), w, b), GameCommand::OfferDraw);
    SendGameCommand(t.Participant(w).State, GameOf(t.Participant(w), w, b),
                    GameCommand::AcceptDraw);
    t.Pump();
    EXPECT_EQ(GameOf(t.Server(), w, b).State, Running);
    ExpectSameGames(t);
}

TEST(Games, ResignationIsSeenAlikeByAll) {
    Tournament t("Max");
    StartWith(t, {"Anna", "Bert"});
    Side& anna = t.Participant(1);
    Game& game = PairGame(anna, 1, 2);
    SendGameCommand(anna.State, game, GameCommand::Resign);
    EXPECT_EQ(game.State, Running);  // until the server's copy comes back
    t.Pump();
    EXPECT_EQ(game.State, Resigned);
    EXPECT_EQ(game.SideToMove, SideOf(game, 1));

    Game& serverGame = PairGame(t.Server(), 0, 2);
    SendGameCommand(t.Server().State, serverGame, GameCommand::Resign);
    EXPECT_EQ(serverGame.State, Resigned);
    EXPECT_EQ(serverGame.SideToMove, SideOf(serverGame, 0));
    t.Pump();
    ExpectSameGames(t);
}

TEST(Games, TimeOutIsSeenAlikeByAll) {
    Tournament t("Max", 8, 1, 0);
    StartWith(t, {"Anna", "Bert"});
    const Game& reference = PairGame(t.Server(), 1, 2);
    Side& mover = t.Participant(reference.PlayerIndex[reference.SideToMove]);
    Game& game = PairGame(mover, 1, 2);
    // As the game tick does when the own clock has run out.
    game.PlayerTimeLeft[game.SideToMove] = 0;
    game.State = TimeOut;
    SendTimeout(mover.State, game);
    GameChanged(mover.State, game);
    t.Pump();
    for (Side* side : t.Sides()) {
        const Game& copy = PairGame(*side, 1, 2);
        EXPECT_EQ(copy.State, TimeOut);
        EXPECT_EQ(copy.PlayerTimeLeft[copy.SideToMove], 0);
    }
    ExpectSameGames(t);
}

TEST(Games, LeaverLosesEveryRunningGameAfterTheStart) {
    Tournament t("Max");
    StartWith(t, {"Anna", "Bert", "Cleo"});
    // Bert resigns against Anna and the game window sets its Result: a win for Anna, which
    // her departure must leave as it is.
    Side& bert = t.Participant(2);
    SendGameCommand(bert.State, PairGame(bert, 1, 2), GameCommand::Resign);
    t.Pump();
    for (Side* side : t.Sides()) {
        Game& finished = PairGame(*side, 1, 2);
        finished.Result = 1 - finished.SideToMove;
    }
    const Game ended = PairGame(t.Server(), 1, 2);
    ASSERT_EQ(ended.PlayerIndex[ended.SideToMove], 2);

    t.Leave(t.Participant(1));
    t.Pump();
    for (Side* side : t.Sides()) {
        SCOPED_TRACE(testing::Message() << "participant " << side->State.OwnPlayerIndex);
        for (const Game& game : side->State.Games) {
            const int32_t annaSide = SideOf(game, 1);
            if (SideOf(game, 2) >= 0 && annaSide >= 0) {
                EXPECT_EQ(game.State, Resigned);
                EXPECT_EQ(game.SideToMove, ended.SideToMove)
                    << "Bert is still the one who resigned";
                EXPECT_EQ(game.Result, ended.Result);
            } else if (annaSide >= 0) {
                EXPECT_EQ(game.State, Resigned);
                EXPECT_EQ(game.SideToMove, annaSide);
            } else {
                EXPECT_EQ(game.State, Running);
            }
        }
        EXPECT_EQ(side->State.PlayerCount, 4);
        EXPECT_EQ(side->State.Players[1].PlayerName, "Anna");
    }
    EXPECT_EQ(t.Server().State.Players[1].PlayerConnection, NoConnection);

    // The others play on.
    SendChat(t.Participant(3).State, t.Participant(3).View, "weiter");
    t.Pump();
    EXPECT_EQ(bert.View.Chat.back(), "<Cleo> weiter");
    ExpectSameGames(t);
}

TEST(Games, LostServerIsReportedOnceAndChangesNothing) {
    Tournament t("Max");
    StartWith(t, {"Anna", "Bert"});
    Side& anna = t.Participant(1);
    const size_t games = anna.State.Games.size();
    t.Leave(t.Server());
    t.Pump();
    t.Pump();
    EXPECT_EQ(anna.View.Errors, (std::vector<std::string>{"Verbindung zum Server unterbrochen."}));
    EXPECT_EQ(anna.State.Games.size(), games);
    EXPECT_EQ(anna.State.PlayPhase, GamesStartedPhase);
    EXPECT_EQ(anna.State.OwnPlayerIndex, 1);
    // Sending afterwards goes nowhere, harmlessly.
    SendChat(anna.State, anna.View, "Hallo?");
    SendGameCommand(anna.State, PairGame(anna, 1, 2), GameCommand::Resign);
    t.Pump();
    EXPECT_EQ(anna.View.Errors.size(), 1u);
}

TEST(Games, ServerGoneBeforeTheWelcomeFailsTheJoin) {
    auto silentServer = RawPeer::Listen();
    Side side;
    SetUpJoiningClient(side.State, "Eva");
    side.State.NetworkPort = silentServer->Network.ListeningPort();
    ASSERT_TRUE(StartConnectToServer(side.State, LoopbackAddress));
    ASSERT_EQ(silentServer->Next().Kind, NetEventKind::NewConnection);
    silentServer->Network.Close(silentServer->Connection);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (side.State.ServerConnection != NoConnection &&
           std::chrono::steady_clock::now() < deadline) {
        EXPECT_FALSE(PollClient(side.State, side.View));
    }
    EXPECT_EQ(side.State.ServerConnection, NoConnection);
    EXPECT_EQ(side.View.Errors,
              (std::vector<std::string>{"Verbindung zum Server fehlgeschlagen."}));
}

TEST(Games, SinglePlayerSendsNothingAndLeavesTheGameAlone) {
    ProgramState state;
    SetUpSinglePlayer(state, "Anna", "Bert", 0, 0);
    Game& game = CreateGame(state.Games, 0, 1, White, state);
    for (GameCommand command :
         {GameCommand::OfferDraw, GameCommand::AcceptDraw, GameCommand::Resign}) {
        SendGameCommand(state, game, command);
    }
    SendMove(state, game, game.Moves.front());
    EXPECT_EQ(game.State, Running);
    EXPECT_TRUE(game.History.empty());
}

// A position built by hand: White king e1, pawn a7; Black king h8; White to move.
Game PromotionPosition() {
    ProgramState state;
    Game game = CreateGame(state.Games, 1, 2, White, state);
    for (auto& file : game.Board) {
        for (Square& square : file) {
            square = Square{Empty, White, 0};
        }
    }
    game.Board[4][0] = {King, White, 1};
    game.Board[0][6] = {Pawn, White, 1};
    game.Board[7][7] = {King, Black, 1};
    game.SideToMove = Black;  // the side that has just moved
    PassTurn(game, state.Scratch);
    return game;
}

TEST(Games, OnlyLegalMovesWithARealPromotionPieceMatch) {
    const Game game = PromotionPosition();
    struct Case {
        Move Received;
        bool Matches;
    };
    const Case cases[] = {
        {{0, 6, 0, 7, Quiet, Queen, Pawn}, true},
        {{0, 6, 0, 7, Quiet, Knight, 0}, true},  // the piece field is not the peer's to set
        {{0, 6, 0, 7, Quiet, Bishop, Pawn}, true},
        {{0, 6, 0, 7, Quiet, Empty, Pawn}, false},
        {{0, 6, 0, 7, Quiet, King, Pawn}, false},
        {{0, 6, 0, 7, Quiet, Pawn, Pawn}, false},
        {{0, 6, 0, 7, Quiet, PromotionPending, Pawn}, false},
        {{0, 6, 0, 7, Capture, Queen, Pawn}, false},
        {{4, 0, 4, 1, Quiet, NoPromotion, King}, true},
        {{4, 0, 4, 1, Quiet, Queen, King}, true},  // no promotion to carry: ignored
        {{4, 0, 6, 0, Castling, NoPromotion, King}, false},
        {{4, 0, 4, 2, Quiet, NoPromotion, King}, false},
        {{-1, 0, 4, 1, Quiet, NoPromotion, King}, false},
        {{7, 7, 7, 6, Quiet, NoPromotion, King}, false},  // the opponent's king
    };
    for (const Case& c : cases) {
        const Move& r = c.Received;
        SCOPED_TRACE(testing::Message() << r.FromX << r.FromY << "-" << r.ToX << r.ToY << " kind "
                                        << r.Kind << " promotion " << r.Promotion);
        const std::optional<Move> match = MatchLegalMove(game, r);
        ASSERT_EQ(match.has_value(), c.Matches);
        if (match) {
            EXPECT_EQ(match->Piece, game.Board[r.FromX][r.FromY].Piece);
            const bool promotes = r.ToY == 7 && match->Piece == Pawn;
            EXPECT_EQ(match->Promotion, promotes ? r.Promotion : NoPromotion);
        }
    }
}

}  // namespace
}  // namespace tavlora
