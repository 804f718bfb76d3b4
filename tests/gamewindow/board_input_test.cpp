// SPDX-License-Identifier: GPL-3.0-or-later
// Board input against the recording double: squares from window pixels, the selection and
// its highlight, castling, en passant, and the promotion pop-up with its own event loop.
#include <algorithm>
#include <initializer_list>

#include "game_window_fixture.h"

namespace tavlora {
namespace {

struct Placed {
    const char* Square;
    int32_t Piece;
    int32_t Colour;
};

class BoardInputTest : public GameWindowTest {
protected:
    // White to move in a position of only the given pieces.
    Game& OpenPosition(std::initializer_list<Placed> pieces) {
        Game& game = CreateGame(state_.Games, 0, 1, White, state_);
        for (auto& file : game.Board) {
            std::fill(std::begin(file), std::end(file), Square{});
        }
        for (const Placed& p : pieces) {
            game.Board[p.Square[0] - 'a'][p.Square[1] - '1'] = Square{p.Piece, p.Colour, 1};
        }
        game.SideToMove = Black;  // as if Black had just moved
        PassTurn(game, state_.Scratch);
        BeginTurn(game, state_);
        window_.OpenGameView(game);
        return game;
    }

    bool Highlighted() {
        const Picture& board = *services_.FindPicture(View().BoardImage);
        return std::ranges::count(board.Pixels, 0xFF0000FFu) > 0;
    }
};

TEST_F(BoardInputTest, WindowPixelsNameTheirSquares) {
    OpenNewGame();
    // An own piece selects its square; any other square is a destination for the selection
    // on d4, which finds no move there and leaves the selection as it was.
    struct Case {
        int X, Y;
        bool Selects;
        int SelectedX, SelectedY;
    };
    const Case cases[] = {{10, 409, true, 0, 0},  {59, 409, true, 0, 0},  {60, 409, true, 1, 0},
                          {60, 359, true, 1, 1},  {409, 360, true, 7, 0}, {409, 409, true, 7, 0},
                          {235, 335, true, 4, 1}, {10, 10, false, 3, 3},  {409, 10, false, 3, 3},
                          {235, 285, false, 3, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.X << "," << c.Y);
        GameView& view = View();
        view.SelectedX = view.SelectedY = 3;
        ClickAt(c.X, c.Y);
        EXPECT_EQ(std::pair(view.SelectedX, view.SelectedY), std::pair(c.SelectedX, c.SelectedY));
        EXPECT_EQ(Highlighted(), c.Selects);
    }
}

TEST_F(BoardInputTest, CoordinateStripsAndTheWorldOutsideSelectNothing) {
    const Game& game = OpenNewGame();
    ClickSquare("e2");
    const int board = View().BoardImage;
    for (auto [x, y] : {std::pair(415, 200), std::pair(200, 415), std::pair(419, 419)}) {
        ClickAt(x, y);
    }
    // A click handled after the mouse has left the window, and another control's event
    // while the mouse rests on the board.
    services_.SetMouseInWindow(window_.Window(), {-1, -1});
    services_.InjectEvent({EventKind::Control, window_.Window(), View().BoardPicture});
    Pass();
    services_.SetMouseInWindow(window_.Window(), {235, 235});  // e4
    services_.InjectEvent({EventKind::Control, window_.Window(), View().MoveList});
    Pass();

    EXPECT_EQ(View().BoardImage, board);
    EXPECT_TRUE(game.History.empty());
}

TEST_F(BoardInputTest, RefusedDestinationRemovesOnlyTheHighlight) {
    const Game& game = OpenNewGame();
    ClickSquare("e2");
    EXPECT_TRUE(Highlighted());
    ClickSquare("e5");
    EXPECT_FALSE(Highlighted());
    EXPECT_TRUE(game.History.empty());
    ClickSquare("e4");  // still from e2
    EXPECT_EQ(MoveLines(), std::vector<std::string>{"1. e2-e4"});
    EXPECT_FALSE(Highlighted());
    EXPECT_EQ(std::pair(View().SelectedX, View().SelectedY), std::pair(4, 1));
}

TEST_F(BoardInputTest, CastlingIsEnteredAsTheKingsMove) {
    const Game& game = OpenNewGame();
    for (auto [from, to] : {std::pair("e2", "e4"),
                            {"e7", "e5"},
                            {"g1", "f3"},
                            {"b8", "c6"},
                            {"f1", "c4"},
                            {"f8", "c5"}}) {
        Play(from, to);
    }
    Play("e1", "h1");  // the own rook takes over the selection
    EXPECT_EQ(std::pair(View().SelectedX, View().SelectedY), std::pair(7, 0));
    EXPECT_EQ(game.History.size(), 6u);
    Play("e1", "g1");
    EXPECT_EQ(MoveLines().back(), "4. 0-0");
    EXPECT_EQ(game.Board[6][0].Piece, King);
    EXPECT_EQ(game.Board[5][0].Piece, Rook);
}

TEST_F(BoardInputTest, EnPassantCaptureByClicks) {
    const Game& game = OpenNewGame();
    for (auto [from, to] :
         {std::pair("e2", "e4"), {"a7", "a6"}, {"e4", "e5"}, {"d7", "d5"}, {"e5", "d6"}}) {
        Play(from, to);
    }
    EXPECT_EQ(MoveLines().back(), "3. e5xd6 e.p.");
    EXPECT_EQ(game.Board[3][4].Piece, Empty);
    EXPECT_EQ(game.Board[3][5].Piece, Pawn);
}

TEST_F(BoardInputTest, PromotionPopupStaysOpenUntilAPieceIsChosen) {
    const Game& game = OpenPosition(
        {{"b7", Pawn, White}, {"a8", Rook, Black}, {"h1", King, White}, {"h6", King, Black}});
    services_.SetMouseOnDesktop({300, 200});
    int popup = 0;
    const int picks[] = {0, 4};  // the prompt changes nothing; then "Springer"
    int idle = 0;
    services_.OnIdle = [&] {
        GameView& view = View();
        if (idle == 0) {
            popup = view.PromotionPopup;
            const WindowRecord& record = *services_.Window(popup);
            EXPECT_TRUE(record.Popup);
            EXPECT_EQ(record.Owner, window_.Window());
            EXPECT_EQ(std::tuple(record.X, record.Y, record.ClientW, record.ClientH),
                      std::tuple(290, 190, 100, 20));
            const ControlRecord& list = Control(view.PromotionList);
            EXPECT_EQ(list.Kind, ControlKind::DropDown);
            EXPECT_EQ(list.Items, (std::vector<std::string>{"Wähle Figur...", "Dame", "Läufer",
                                                            "Turm", "Springer"}));
            EXPECT_EQ(list.State, 0);
            // Dropped while the choice is open, like every other event.
            services_.InjectEvent({EventKind::Control, window_.Window(), view.ResignButton});
        }
        ASSERT_LT(idle, 2) << "the pop-up did not close";
        services_.PickItem(view.PromotionList, picks[idle++]);
    };
    Play("b7", "b8");
    services_.OnIdle = nullptr;

    EXPECT_EQ(idle, 2);
    EXPECT_EQ(services_.Window(popup), nullptr);
    EXPECT_EQ(View().PromotionPopup, 0);
    EXPECT_EQ(game.History.back().Promotion, Knight);
    EXPECT_EQ(game.Board[1][7].Piece, Knight);
    EXPECT_EQ(game.State, Running);
    EXPECT_EQ(MoveLines(), std::vector<std::string>{"1. b7-b8"});
}

TEST_F(BoardInputTest, PromotionByCaptureTakesEachChosenPiece) {
    const std::pair<int, int32_t> choices[] = {{1, Queen}, {2, Bishop}, {3, Rook}, {4, Knight}};
    for (auto [item, piece] : choices) {
        const Game& game = OpenPosition(
            {{"b7", Pawn, White}, {"a8", Rook, Black}, {"h1", King, White}, {"h6", King, Black}});
        services_.OnIdle = [&, item = item] { services_.PickItem(View().PromotionList, item); };
        Play("b7", "a8");
        services_.OnIdle = nullptr;
        EXPECT_EQ(game.Board[0][7].Piece, piece) << item;
        EXPECT_EQ(game.History.back().Kind, Capture);
    }
}

TEST_F(BoardInputTest, NoInputWhileTheOpponentIsToMove) {
    BecomeParticipant(1);
    const Game& game = OpenNewGame(0, 1);
    const int board = View().BoardImage;
    Play("e2", "e4");
    Play("e7", "e5");
    EXPECT_EQ(View().BoardImage, board);
    EXPECT_TRUE(game.History.empty());
}

}  // namespace
}  // namespace tavlora
