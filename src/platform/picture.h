// A 32-bit picture in memory, and the drawing operations that need no window system:
// boxes, outlines, pictures drawn with their alpha channel, and PNG loading.
#pragma once

#include <cstdint>
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

}  // namespace tavlora
