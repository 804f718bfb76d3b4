// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures in memory: clipping of boxes and drawn pictures, alpha blending, PNG loading.
#include "platform/picture.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tavlora {
namespace {

constexpr uint32_t Red = 0xFFFF0000;
constexpr uint32_t Blue = 0xFF0000FF;

int CountPixels(const Picture& picture, uint32_t argb) {
    int count = 0;
    for (uint32_t pixel : picture.Pixels) {
        count += pixel == argb;
    }
    return count;
}

TEST(PictureTest, MakePictureIsAllZero) {
    const Picture picture = MakePicture(7, 3);
    EXPECT_EQ(picture.Width, 7);
    EXPECT_EQ(picture.Height, 3);
    EXPECT_EQ(CountPixels(picture, 0), 21);
    EXPECT_TRUE(MakePicture(-4, 5).Pixels.empty());
}

struct BoxCase {
    int X, Y, W, H;
    int Expected;  // red pixels inside a 10 x 10 picture afterwards
};

TEST(PictureTest, FillBoxClipsAtEveryEdge) {
    const BoxCase cases[] = {
        {2, 3, 4, 5, 20},
        {-3, -3, 5, 5, 4},
        {8, 8, 5, 5, 4},
        {-5, 2, 30, 1, 10},
        {10, 0, 3, 3, 0},
        {0, -3, 3, 3, 0},
        {0, 0, 0, 5, 0},
        {0, 0, 5, -1, 0},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0},
        {5, 5, INT_MAX, INT_MAX, 25},
    };
    for (const BoxCase& c : cases) {
        Picture picture = MakePicture(10, 10);
        FillBox(picture, c.X, c.Y, c.W, c.H, Red);
        EXPECT_EQ(CountPixels(picture, Red), c.Expected)
            << c.X << "," << c.Y << " " << c.W << "x" << c.H;
    }
}

TEST(PictureTest, FillBoxCoversExactlyItsBox) {
    Picture picture = MakePicture(10, 10);
    FillBox(picture, 2, 3, 4, 5, Red);
    EXPECT_EQ(picture.At(2, 3), Red);
    EXPECT_EQ(picture.At(5, 7), Red);
    EXPECT_EQ(picture.At(6, 7), 0u);
    EXPECT_EQ(picture.At(5, 8), 0u);
    EXPECT_EQ(picture.At(1, 3), 0u);
}

TEST(PictureTest, OutlineBoxDrawsOnlyTheEdge) {
    Picture picture = MakePicture(10, 10);
    OutlineBox(picture, 1, 2, 5, 4, Blue);
    EXPECT_EQ(CountPixels(picture, Blue), 2 * 5 + 2 * 2);
    EXPECT_EQ(picture.At(1, 2), Blue);
    EXPECT_EQ(picture.At(5, 5), Blue);
    EXPECT_EQ(picture.At(3, 3), 0u);  // inside
    EXPECT_EQ(picture.At(6, 2), 0u);  // one past the right edge
    EXPECT_EQ(picture.At(1, 6), 0u);  // one past the bottom edge
}

TEST(PictureTest, OutlineBoxClipsAndHandlesThinBoxes) {
    const BoxCase cases[] = {
        {-2, -2, 5, 5, 5},    // only the right and bottom edges reach in
        {7, 7, 10, 10, 5},    // only the left and top edges reach in
        {-1, -1, 12, 12, 0},  // every edge lies outside
        {3, 3, 1, 1, 1},     {3, 3, 4, 1, 4}, {0, 0, 0, 0, 0}, {INT_MAX - 2, 0, INT_MAX, 5, 0},
    };
    for (const BoxCase& c : cases) {
        Picture picture = MakePicture(10, 10);
        OutlineBox(picture, c.X, c.Y, c.W, c.H, Blue);
        EXPECT_EQ(CountPixels(picture, Blue), c.Expected)
            << c.X << "," << c.Y << " " << c.W << "x" << c.H;
    }
}

struct BlendCase {
    uint32_t Source;
    uint32_t Target;
    uint32_t Expected;
};

TEST(PictureTest, DrawPictureOverBlendsBySourceAlpha) {
    const BlendCase cases[] = {
        {0xFF123456, 0xFF000000, 0xFF123456},  // opaque source replaces
        {0x00FFFFFF, 0xFF102030, 0xFF102030},  // transparent source leaves the target
        {0x80FFFFFF, 0xFF000000, 0xFF808080},  // half white over black
        {0x80000000, 0xFFFFFFFF, 0xFF7F7F7F},  // half black over white
        {0x80FF0000, 0x00000000, 0x80FF0000},  // over nothing keeps the source's colour
        {0x80FF0000, 0x800000FF, 0xC0AA0055},  // both half transparent
    };
    for (const BlendCase& c : cases) {
        Picture target = MakePicture(1, 1);
        target.Pixels[0] = c.Target;
        Picture source = MakePicture(1, 1);
        source.Pixels[0] = c.Source;
        DrawPictureOver(target, source, 0, 0);
        EXPECT_EQ(target.Pixels[0], c.Expected) << std::hex << c.Source << " over " << c.Target;
    }
}

// A 4 x 3 source whose pixel (x, y) is opaque with the value x + 10 y.
Picture NumberedSource() {
    Picture source = MakePicture(4, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            source.Pixels[y * 4 + x] = 0xFF000000u | static_cast<uint32_t>(x + 10 * y);
        }
    }
    return source;
}

TEST(PictureTest, DrawPictureOverClipsWithNegativeOffsets) {
    Picture target = MakePicture(5, 5);
    DrawPictureOver(target, NumberedSource(), -2, -1);
    EXPECT_EQ(target.At(0, 0), 0xFF000000u | 12);  // source (2, 1)
    EXPECT_EQ(target.At(1, 1), 0xFF000000u | 23);  // source (3, 2)
    EXPECT_EQ(target.At(2, 0), 0u);
    EXPECT_EQ(target.At(0, 2), 0u);
    EXPECT_EQ(CountPixels(target, 0), 25 - 4);
}

TEST(PictureTest, DrawPictureOverClipsPastTheFarEdges) {
    struct Case {
        int X, Y;
        int Covered;
    };
    const Case cases[] = {{3, 4, 2},
                          {5, 0, 0},
                          {0, 5, 0},
                          {-4, 0, 0},
                          {0, -3, 0},
                          {INT_MAX, INT_MAX, 0},
                          {INT_MIN, INT_MIN, 0},
                          {1, 1, 12}};
    for (const Case& c : cases) {
        Picture target = MakePicture(5, 5);
        DrawPictureOver(target, NumberedSource(), c.X, c.Y);
        EXPECT_EQ(25 - CountPixels(target, 0), c.Covered) << c.X << "," << c.Y;
    }
}

// Loading works on files in a fresh temporary folder.
class PngTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavlora_png_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    // Writes a 3 x 2 PNG in the given libpng format from RGBA bytes.
    bool WritePng(const std::string& path, uint32_t format, const std::vector<uint8_t>& bytes) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = 3;
        image.height = 2;
        image.format = format;
        return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
    }

    std::filesystem::path folder_;
};

TEST_F(PngTest, LoadsRgbaAsArgbPixels) {
    const std::vector<uint8_t> rgba = {
        255, 0,  0,  255, 0,  255, 0,  128, 0,  0,  255, 0,
        10,  20, 30, 255, 40, 50,  60, 200, 70, 80, 90,  1,
    };
    const std::string path = PathOf("rgba.png");
    ASSERT_TRUE(WritePng(path, PNG_FORMAT_RGBA, rgba));
    const std::optional<Picture> picture = LoadPng(path);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->Width, 3);
    EXPECT_EQ(picture->Height, 2);
    EXPECT_EQ(picture->At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(picture->At(1, 0), 0x8000FF00u);
    EXPECT_EQ(picture->At(2, 0) >> 24, 0u);
    EXPECT_EQ(picture->At(0, 1), 0xFF0A141Eu);
    EXPECT_EQ(picture->At(1, 1), 0xC828323Cu);
}

TEST_F(PngTest, LoadsGreyWithoutAlphaAsOpaque) {
    const std::vector<uint8_t> grey = {0, 96, 192, 255, 1, 2};
    const std::string path = PathOf("grey.png");
    ASSERT_TRUE(WritePng(path, PNG_FORMAT_GRAY, grey));
    const std::optional<Picture> picture = LoadPng(path);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->At(0, 0), 0xFF000000u);
    EXPECT_EQ(picture->At(1, 0), 0xFF606060u);
    EXPECT_EQ(picture->At(0, 1), 0xFFFFFFFFu);
}

TEST_F(PngTest, MissingDamagedOrForeignFilesGiveNothing) {
    EXPECT_FALSE(LoadPng(PathOf("missing.png")));
    EXPECT_FALSE(LoadPng(folder_.string()));  // a folder

    std::ofstream(PathOf("text.png")) << "not a picture at all";
    EXPECT_FALSE(LoadPng(PathOf("text.png")));

    std::ofstream(PathOf("empty.png")).close();
    EXPECT_FALSE(LoadPng(PathOf("empty.png")));

    // A valid file cut off in the middle of its image data.
    const std::vector<uint8_t> rgba(3 * 2 * 4, 77);
    ASSERT_TRUE(WritePng(PathOf("whole.png"), PNG_FORMAT_RGBA, rgba));
    const auto size = std::filesystem::file_size(PathOf("whole.png"));
    std::filesystem::copy_file(PathOf("whole.png"), PathOf("cut.png"));
    std::filesystem::resize_file(PathOf("cut.png"), size - 20);
    EXPECT_FALSE(LoadPng(PathOf("cut.png")));
}

TEST_F(PngTest, RefusesAnImplausiblySizedHeader) {
    // A well-formed signature and IHDR chunk claiming 100000 x 100000 RGBA, which must not
    // lead to an allocation of 40 GB.
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    const std::vector<uint8_t> chunk = {'I',  'H',  'D',  'R', 0x00, 0x01, 0x86, 0xA0, 0x00,
                                        0x01, 0x86, 0xA0, 8,   6,    0,    0,    0};
    file.insert(file.end(), chunk.begin(), chunk.end());
    const uLong crc = crc32(0, chunk.data(), static_cast<uInt>(chunk.size()));
    for (int shift = 24; shift >= 0; shift -= 8) {
        file.push_back(static_cast<uint8_t>(crc >> shift));
    }
    std::ofstream out(PathOf("huge.png"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    EXPECT_FALSE(LoadPng(PathOf("huge.png")));
}

}  // namespace
}  // namespace tavlora
