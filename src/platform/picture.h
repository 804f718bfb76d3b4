// SPDX-License-Identifier: GPL-3.0-or-later
// A 32-bit picture in memory, and the drawing operations that need no window system:
// boxes, outlines, pictures drawn with their alpha channel, and PNG loading.
// Every operation clips at the picture's edges; nothing reads or writes outside the buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlora {

// Pixels are 0xAARRGGBB, row by row from the top left, not premultiplied.
struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;

    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

// A width x height picture with every pixel 0 (black, fully transparent). Negative sizes
// count as 0.
Picture MakePicture(int width, int height);

// Boxes cover x..x+w-1, y..y+h-1; the colour is written as it stands, alpha included.
// A box with w or h of 0 or less draws nothing.
void FillBox(Picture& picture, int x, int y, int w, int h, uint32_t argb);
// The 1-pixel outline of that box; its inside is left alone.
void OutlineBox(Picture& picture, int x, int y, int w, int h, uint32_t argb);

// Draws source with its top left at (x, y) over target, blending each pixel by the
// source's alpha; offsets may be negative or reach past the target's edges.
void DrawPictureOver(Picture& target, const Picture& source, int x, int y);

// Decodes a PNG file of any colour type into a picture with alpha; nothing when the file
// is missing, unreadable, not a PNG, damaged or implausibly large.
std::optional<Picture> LoadPng(const std::string& path);

}  // namespace tavlora
