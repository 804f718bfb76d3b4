// SPDX-License-Identifier: GPL-3.0-or-later
// Keys in the Game window against the recording double: the typed text as it is edited and
// shown, moves typed for either side of a single-player game, a refused text in the status
// line until the next key, the promotion pop-up for a piece left out, and keys that play
// nothing where the board input would not.
#include "game_window_fixture.h"
#include "gamewindow/panel_texts.h"

namespace tavlora {
namespace {

class TypedMoveTest : public GameWindowTest {
protected:
    void Type(const std::string& text) {
        services_.TypeKeys(window_.Window(), text);
        Drain();
    }
    void Key(int key) {
        services_.PressKey(window_.Window(), key);
        Drain();
    }
    void Drain() {
        while (services_.PendingEvents() > 0) {
            Pass();
        }
    }
    // The strip's text of the move being typed ("" while nothing is typed).
    std::string Typed() const {
        for (const ControlRecord* control : services_.Controls(window_.Window())) {
            if (control->Parent == -1 && control->Kind == ControlKind::Text) {
                return control->Text;
            }
        }
        return "-";
    }
};

TEST_F(TypedMoveTest, TypedMovesPlayForWhicheverSideIsToMove) {
    const Game& game = OpenNewGame();
    Type("e4");
    EXPECT_EQ(Typed(), "Zug: e4");
    EXPECT_TRUE(game.History.empty()) << "nothing is played before Return";
    Key(ReturnKey);
    Type("e7e5");
    Key(ReturnKey);
    Type("Qh5");
    Key(ReturnKey);
    EXPECT_EQ(MoveLines(), (std::vector<std::string>{"1. e2-e4", "  e7-e5", "2. Qd1-h5"}));
    EXPECT_EQ(Typed(), "");
    EXPECT_EQ(Text(View().StatusLine), "Bernd(Schwarz) am Zug");
}

TEST_F(TypedMoveTest, BackspaceEscapeAndSpaceEditOrPlayNothing) {
    const Game& game = OpenNewGame();
    Type("Nf3x");
    Key(BackspaceKey);
    EXPECT_EQ(Typed(), "Zug: Nf3");
    Key(EscapeKey);
    EXPECT_EQ(Typed(), "");
    Key(ReturnKey);
    EXPECT_TRUE(game.History.empty());
    EXPECT_EQ(Text(View().StatusLine), "Anna(Weiß) am Zug") << "Return on nothing refuses nothing";
    // Single-player mode has one game: Space shows no other and types nothing.
    Type("e4 ");
    Key(ReturnKey);
    EXPECT_EQ(MoveLines(), std::vector<std::string>{"1. e2-e4"});
    EXPECT_EQ(services_.FindControlByText("Am Zug in 1 Spiel"), nullptr) << "no count line";
}

TEST_F(TypedMoveTest, ARefusedTextStaysInTheStatusLineUntilTheNextKey) {
    const Game& game = OpenNewGame();
    Type("Nf4");
    Key(ReturnKey);
    EXPECT_TRUE(game.History.empty());
    EXPECT_EQ(Text(View().StatusLine), "Unzulässiger Zug: Nf4");
    EXPECT_EQ(Typed(), "");
    Wait(50);
    EXPECT_EQ(Text(View().StatusLine), "Unzulässiger Zug: Nf4");
    Type("N");
    EXPECT_EQ(Text(View().StatusLine), "Anna(Weiß) am Zug");

    // Also over the end text of a finished game, which comes back with the next key.
    Key(EscapeKey);
    Press(View().ResignButton);
    Wait(20);
    ASSERT_EQ(Text(View().StatusLine), "Anna hat aufgegeben");
    Type("e4");
    Key(ReturnKey);
    EXPECT_EQ(Text(View().StatusLine), "Unzulässiger Zug: e4");
    EXPECT_TRUE(game.History.empty());
    Wait(20);
    EXPECT_EQ(Text(View().StatusLine), "Unzulässiger Zug: e4");
    Key(EscapeKey);
    EXPECT_EQ(Text(View().StatusLine), "Anna hat aufgegeben");
}

TEST_F(TypedMoveTest, APromotionWithoutItsPieceAsksAsAClickDoes) {
    const struct {
        const char* Typed;
        int Asked;
        int32_t Piece;  // on g8 or h8
    } cases[] = {{"g8", 1, Rook}, {"g7g8", 1, Rook}, {"gxh8=N", 0, Knight}, {"g7h8q", 0, Queen}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Typed);
        // 1. h4 g5 2. hxg5 h5 3. g6 Nf6 4. g7 Ne4: g8 is free and h8 holds Black's rook.
        const Game& game = OpenNewGame();
        for (const char* move : {"h4", "g5", "hxg5", "h5", "g6", "Nf6", "g7", "Ne4"}) {
            Type(move);
            Key(ReturnKey);
        }
        ASSERT_EQ(game.History.size(), 8u);
        int asked = 0;
        services_.OnIdle = [&] {
            ++asked;
            services_.PickItem(View().PromotionList, 3);  // "Turm"
        };
        Type(c.Typed);
        Key(ReturnKey);
        services_.OnIdle = nullptr;
        EXPECT_EQ(asked, c.Asked);
        ASSERT_EQ(game.History.size(), 9u);
        EXPECT_EQ(game.History.back().Promotion, c.Piece);
        EXPECT_EQ(game.Board[game.History.back().ToX][7].Piece, c.Piece);
    }
}

TEST_F(TypedMoveTest, NoTypedMoveForTheOpponentOrAWatchedGame) {
    BecomeParticipant(1);
    const Game& own = OpenNewGame(0, 1);  // White is the opponent's
    Type("e4");
    Key(ReturnKey);
    EXPECT_TRUE(own.History.empty());
    EXPECT_EQ(Text(View().StatusLine), "Unzulässiger Zug: e4");

    const Game& watched = OpenNewGame(0, 2);
    Type("e4");
    Key(ReturnKey);
    EXPECT_TRUE(watched.History.empty());
}

}  // namespace
}  // namespace tavlora
