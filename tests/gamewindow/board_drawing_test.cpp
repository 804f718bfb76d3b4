// SPDX-License-Identifier: GPL-3.0-or-later
// The board picture by its pixels and recorded texts, and the loading of the piece images
// with its error box, against the recording window services.
#include "gamewindow/board_drawing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/recording_window_services.h"

namespace tavlora {
namespace {

constexpr uint32_t BlackPixel = 0xFF000000;
constexpr uint32_t Dark = 0xFF606060;
constexpr uint32_t Light = 0xFFC0C0C0;
constexpr uint32_t Blue = 0xFF0000FF;
constexpr uint32_t Red = 0xFFFF0000;
constexpr uint32_t Green = 0xFF00FF00;

// An empty board: every square Empty.
GameValue EmptyGame() {
    GameValue game{};
    game.EnPassantFile = -1;
    return game;
}

void Place(GameValue& game, int x, int y, int32_t piece, int32_t colour) {
    game.Board[x][y] = Square{piece, colour, 0};
}

class DrawBoardTest : public testing::Test {
protected:
    const Picture& Draw(const GameValue& game, int selectedX = -1, int selectedY = -1) {
        board_ = DrawBoard(services_, game, selectedX, selectedY);
        const Picture* picture = services_.FindPicture(board_);
        EXPECT_NE(picture, nullptr);
        return *picture;
    }

    // A piece image of the given size, transparent but for an opaque inner box.
    void MakePieceImage(int number, int width, int height, Rect opaque, int32_t rgb) {
        services_.CreatePicture(width, height, number);
        services_.FillBox(number, opaque, rgb);
    }

    static int Count(const Picture& picture, uint32_t argb) {
        return static_cast<int>(std::count(picture.Pixels.begin(), picture.Pixels.end(), argb));
    }

    static bool Uniform(const Picture& picture, Rect box, uint32_t argb) {
        for (int y = box.Y; y < box.Y + box.H; ++y) {
            for (int x = box.X; x < box.X + box.W; ++x) {
                if (picture.At(x, y) != argb) {
                    return false;
                }
            }
        }
        return true;
    }

    RecordingWindowServices services_;
    int board_ = -1;
};

TEST_F(DrawBoardTest, SquaresSitRankOneAtTheBottomInAlternatingGreys) {
    const Picture& board = Draw(EmptyGame());
    EXPECT_EQ(board.Width, 420);
    EXPECT_EQ(board.Height, 420);
    EXPECT_TRUE(board_ < 1 || board_ > 16) << "a board picture took a piece image's number";

    struct Case {
        int X, Y;
        uint32_t Colour;
    };
    const Case cases[] = {{0, 0, Dark},  {1, 0, Light}, {0, 1, Light}, {7, 0, Light},
                          {0, 7, Light}, {7, 7, Dark},  {4, 3, Light}, {3, 3, Dark}};
    for (const Case& c : cases) {
        EXPECT_TRUE(Uniform(board, {50 * c.X, 50 * (7 - c.Y), 50, 50}, c.Colour))
            << "square " << c.X << "," << c.Y;
    }
    EXPECT_TRUE(Uniform(board, {0, 350, 50, 50}, Dark));  // a1 at the bottom left
    EXPECT_EQ(Count(board, Dark), 32 * 2500);
    EXPECT_EQ(Count(board, Light), 32 * 2500);
    // The coordinate strips are black: the text itself is recorded, not painted.
    EXPECT_TRUE(Uniform(board, {400, 0, 20, 420}, BlackPixel));
    EXPECT_TRUE(Uniform(board, {0, 400, 420, 20}, BlackPixel));
}

TEST_F(DrawBoardTest, EveryCallMakesANewPicture) {
    const int first = DrawBoard(services_, EmptyGame(), -1, -1);
    const int second = DrawBoard(services_, EmptyGame(), -1, -1);
    EXPECT_NE(first, second);
    EXPECT_NE(services_.FindPicture(first), nullptr);
}

TEST_F(DrawBoardTest, SelectionFrameIsA40PixelOutlineInsideTheSquare) {
    struct Case {
        int SelectedX, SelectedY;
        bool Framed;
    };
    const Case cases[] = {{-1, -1, false}, {0, 0, true},   {7, 7, true},  {2, 5, true},
                          {8, 0, false},   {0, -1, false}, {-1, 3, false}};
    for (const Case& c : cases) {
        const Picture& board = Draw(EmptyGame(), c.SelectedX, c.SelectedY);
        if (!c.Framed) {
            EXPECT_EQ(Count(board, Blue), 0) << c.SelectedX << "," << c.SelectedY;
            continue;
        }
        const int left = 50 * c.SelectedX + 5;
        const int top = 50 * (7 - c.SelectedY) + 5;
        const uint32_t square = (c.SelectedX + c.SelectedY) % 2 == 0 ? Dark : Light;
        EXPECT_EQ(Count(board, Blue), 4 * 39);
        EXPECT_EQ(board.At(left, top), Blue);
        EXPECT_EQ(board.At(left + 39, top + 39), Blue);
        EXPECT_EQ(board.At(left + 39, top), Blue);
        EXPECT_EQ(board.At(left - 1, top), square);
        EXPECT_EQ(board.At(left + 40, top + 39), square);
        EXPECT_EQ(board.At(left + 1, top + 1), square);  // only the outline
    }
}

TEST_F(DrawBoardTest, SelectionFrameIsDrawnOverThePiece) {
    MakePieceImage(3, 50, 50, {0, 0, 50, 50}, 0xFF0000);
    GameValue game = EmptyGame();
    Place(game, 1, 1, Rook, White);
    const Picture& board = Draw(game, 1, 1);
    EXPECT_EQ(board.At(55, 305), Blue);
    EXPECT_EQ(board.At(56, 306), Red);
    EXPECT_EQ(Count(board, Blue), 4 * 39);
}

TEST_F(DrawBoardTest, SmallImageIsCentredWithItsTransparencyKept) {
    // 11 x 7 with a transparent one-pixel rim: it lands at 19, 21 inside its square.
    MakePieceImage(2, 11, 7, {1, 1, 9, 5}, 0xFF0000);
    MakePieceImage(12, 11, 7, {1, 1, 9, 5}, 0x00FF00);
    GameValue game = EmptyGame();
    Place(game, 3, 5, Knight, White);  // d6, dark; its box starts at 150, 100
    Place(game, 4, 5, Knight, Black);  // e6, light; its box starts at 200, 100
    const Picture& board = Draw(game);

    EXPECT_EQ(board.At(169, 121), Dark);  // the transparent rim
    EXPECT_EQ(board.At(170, 122), Red);
    EXPECT_EQ(board.At(178, 126), Red);
    EXPECT_EQ(board.At(179, 127), Dark);
    EXPECT_EQ(Count(board, Red), 45);
    EXPECT_EQ(board.At(220, 122), Green);
    EXPECT_EQ(Count(board, Green), 45);
}

TEST_F(DrawBoardTest, LargeImageReachesBackButIsPaintedOverByLaterSquares) {
    // 70 x 70 on d4 (3, 3), whose square box is 150..199 x 200..249: drawn at 140, 190.
    MakePieceImage(14, 70, 70, {0, 0, 70, 70}, 0xFF0000);
    GameValue game = EmptyGame();
    Place(game, 3, 3, Queen, Black);
    const Picture& board = Draw(game);

    struct Case {
        int X, Y;
        uint32_t Colour;
        const char* Where;
    };
    const Case cases[] = {
        {175, 225, Red, "d4 itself"},
        {140, 225, Red, "c4, drawn before it in the same rank"},
        {175, 259, Red, "d3, in the rank drawn before"},
        {145, 255, Red, "c3, in the rank drawn before"},
        {209, 255, Red, "e3, in the rank drawn before"},
        {139, 225, Light, "c4 beyond the image"},
        {175, 260, Light, "d3 beyond the image"},
        {205, 225, Light, "e4, drawn after it in the same rank"},
        {175, 195, Light, "d5, in the rank drawn after"},
        {145, 195, Dark, "c5, in the rank drawn after"},
        {205, 195, Dark, "e5, in the rank drawn after"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(board.At(c.X, c.Y), c.Colour) << c.Where;
    }
    // Its own square, a 10-pixel strip of c4 and a 10-pixel strip across c3, d3 and e3.
    EXPECT_EQ(Count(board, Red), 2500 + 10 * 50 + 70 * 10);
}

TEST_F(DrawBoardTest, LargeImageInTheCornerIsClipped) {
    // On a8 the 70 x 70 image starts at -10, -10, outside the picture.
    MakePieceImage(5, 70, 70, {0, 0, 70, 70}, 0xFF0000);
    GameValue game = EmptyGame();
    Place(game, 0, 7, King, White);
    const Picture& board = Draw(game);
    EXPECT_EQ(board.At(0, 0), Red);
    EXPECT_EQ(board.At(55, 55), Red);  // b7, drawn before
    EXPECT_EQ(board.At(55, 5), Dark);  // b8, drawn after
    EXPECT_EQ(Count(board, Red), 2500 + 60 * 10);
}

TEST_F(DrawBoardTest, CoordinatesAreWhiteOnBlackInTheStrips) {
    Draw(EmptyGame());
    const std::vector<TextDrawingRecord>& texts = services_.TextDrawings();
    ASSERT_EQ(texts.size(), 16u);
    for (int k = 0; k < 8; ++k) {
        const TextDrawingRecord& file = texts[2 * k];
        const TextDrawingRecord& rank = texts[2 * k + 1];
        // The double's text is 6 pixels per character, so a letter sits at 22 in its file.
        EXPECT_EQ(file.Text, std::string(1, static_cast<char>('a' + k)));
        EXPECT_EQ(file.X, 50 * k + 22);
        EXPECT_EQ(file.Y, 403);
        EXPECT_EQ(rank.Text, std::to_string(k + 1));
        EXPECT_EQ(rank.X, 408);
        EXPECT_EQ(rank.Y, 50 * (7 - k) + 18);
        for (const TextDrawingRecord* text : {&file, &rank}) {
            EXPECT_EQ(text->Target, board_);
            EXPECT_EQ(text->Front, 0xFFFFFF);
            EXPECT_EQ(text->Back, 0x000000);
        }
    }
}

// Loading runs in a temporary working folder holding a copy of the project's Image folder,
// so single images can be removed or damaged.
class LoadPieceImagesTest : public testing::Test {
protected:
    void SetUp() override {
        original_ = std::filesystem::current_path();
        source_ = original_ / "Image";
        char pattern[] = "/tmp/tavlora_images_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        std::filesystem::current_path(original_);
        std::filesystem::remove_all(folder_);
    }

    void CopyImages() { std::filesystem::copy(source_, folder_ / "Image"); }

    static std::vector<int> LoadedNumbers(const RecordingWindowServices& services) {
        std::vector<int> numbers;
        for (int number = 0; number <= 20; ++number) {
            if (services.FindPicture(number)) {
                numbers.push_back(number);
            }
        }
        return numbers;
    }

    std::filesystem::path original_;
    std::filesystem::path source_;
    std::filesystem::path folder_;
    RecordingWindowServices services_;
};

TEST_F(LoadPieceImagesTest, LoadsTheTwelveProjectImages) {
    CopyImages();
    EXPECT_TRUE(LoadPieceImages(services_));
    EXPECT_TRUE(services_.MessageBoxes().empty());
    EXPECT_EQ(LoadedNumbers(services_),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 11, 12, 13, 14, 15, 16}));
    for (int number : LoadedNumbers(services_)) {
        const Picture& image = *services_.FindPicture(number);
        // Small enough for a square, and transparent in the corner.
        EXPECT_LE(image.Width, 50);
        EXPECT_LE(image.Height, 50);
        EXPECT_EQ(image.At(0, 0) >> 24, 0u) << number;
    }
}

TEST_F(LoadPieceImagesTest, StopsAtTheFirstImageThatFails) {
    struct Case {
        const char* Damaged;
        bool Remove;  // otherwise overwritten with text
        std::vector<int> Loaded;
    };
    const Case cases[] = {
        {"Queen1.png", true, {1, 2, 3, 4, 5, 6, 11, 12, 13}},
        {"Bishop0.png", false, {}},
        {"Pawn1.png", false, {1, 2, 3, 4, 5, 6, 11, 12, 13, 14, 15}},
        {"King0.png", true, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Damaged);
        std::filesystem::remove_all(folder_ / "Image");
        CopyImages();
        const std::filesystem::path damaged = folder_ / "Image" / c.Damaged;
        if (c.Remove) {
            std::filesystem::remove(damaged);
        } else {
            std::ofstream(damaged, std::ios::trunc) << "no picture";
        }
        RecordingWindowServices services;
        EXPECT_FALSE(LoadPieceImages(services));
        ASSERT_EQ(services.MessageBoxes().size(), 1u);
        EXPECT_EQ(services.MessageBoxes()[0].Title, "Tavlora - Fehler");
        EXPECT_EQ(services.MessageBoxes()[0].Text,
                  std::string("Bild kann nicht geladen werden.\n") + c.Damaged);
        EXPECT_EQ(LoadedNumbers(services), c.Loaded);
    }
}

TEST_F(LoadPieceImagesTest, WithoutAnImageFolderTheFirstFileIsNamed) {
    EXPECT_FALSE(LoadPieceImages(services_));
    ASSERT_EQ(services_.MessageBoxes().size(), 1u);
    EXPECT_EQ(services_.MessageBoxes()[0].Text, "Bild kann nicht geladen werden.\nBishop0.png");
    EXPECT_TRUE(LoadedNumbers(services_).empty());
}

TEST_F(LoadPieceImagesTest, OneImageLoadsUnderItsNumber) {
    CopyImages();
    EXPECT_TRUE(LoadPieceImage(services_, 14, "Queen1.png"));
    EXPECT_EQ(LoadedNumbers(services_), std::vector<int>{14});
    EXPECT_FALSE(LoadPieceImage(services_, 7, "Queen2.png"));
    EXPECT_EQ(services_.MessageBoxes().size(), 1u);
}

}  // namespace
}  // namespace tavlora
