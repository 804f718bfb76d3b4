// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures in memory: clipped boxes, alpha blending and PNG decoding through libpng's
// simplified API.
#include "platform/picture.h"

#include <png.h>

#include <algorithm>
#include <bit>
#include <cstddef>

namespace tavlora {

namespace {

// A larger image cannot be a piece or board picture; refusing it keeps a damaged or hostile
// header from asking for gigabytes.
constexpr uint64_t MaxPngPixels = uint64_t{1} << 26;

// The part of a box that lies inside the picture, as half-open ranges. Computed in 64 bits
// so that boxes near INT_MAX cannot overflow.
struct Span {
    int Left, Top, Right, Bottom;
    bool Empty() const { return Left >= Right || Top >= Bottom; }
};

Span ClipBox(const Picture& picture, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) {
        return {0, 0, 0, 0};
    }
    auto clamp = [](int64_t v, int limit) {
        return static_cast<int>(std::clamp<int64_t>(v, 0, limit));
    };
    return {clamp(x, picture.Width), clamp(y, picture.Height), clamp(int64_t{x} + w, picture.Width),
            clamp(int64_t{y} + h, picture.Height)};
}

uint32_t& PixelAt(Picture& picture, int x, int y) {
    return picture.Pixels[static_cast<size_t>(y) * picture.Width + x];
}

// Porter-Duff "source over" on non-premultiplied pixels, rounded to the nearest value.
uint32_t Blend(uint32_t source, uint32_t target) {
    const uint32_t sa = source >> 24;
    if (sa == 255) {
        return source;
    }
    if (sa == 0) {
        return target;
    }
    const uint32_t ta = target >> 24;
    // Both weights scaled by 255, so the division happens once per channel.
    const uint32_t sw = sa * 255;
    const uint32_t tw = ta * (255 - sa);
    const uint32_t total = sw + tw;
    uint32_t result = ((total + 127) / 255) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t sc = (source >> shift) & 0xFF;
        const uint32_t tc = (target >> shift) & 0xFF;
        result |= ((sc * sw + tc * tw + total / 2) / total) << shift;
    }
    return result;
}

}  // namespace

Picture MakePicture(int width, int height) {
    Picture picture;
    picture.Width = std::max(width, 0);
    picture.Height = std::max(height, 0);
    picture.Pixels.assign(static_cast<size_t>(picture.Width) * picture.Height, 0);
    return picture;
}

void FillBox(Picture& picture, int x, int y, int w, int h, uint32_t argb) {
    const Span span = ClipBox(picture, x, y, w, h);
    if (span.Empty()) {
        return;
    }
    for (int row = span.Top; row < span.Bottom; ++row) {
        uint32_t* line = &PixelAt(picture, 0, row);
        std::fill(line + span.Left, line + span.Right, argb);
    }
}

void OutlineBox(Picture& picture, int x, int y, int w, int h, uint32_t argb) {
    if (w <= 0 || h <= 0) {
        return;
    }
    const int right = static_cast<int>(std::min<int64_t>(int64_t{x} + w - 1, INT32_MAX));
    const int bottom = static_cast<int>(std::min<int64_t>(int64_t{y} + h - 1, INT32_MAX));
    FillBox(picture, x, y, w, 1, argb);
    FillBox(picture, x, bottom, w, 1, argb);
    FillBox(picture, x, y, 1, h, argb);
    FillBox(picture, right, y, 1, h, argb);
}

void DrawPictureOver(Picture& target, const Picture& source, int x, int y) {
    const Span span = ClipBox(target, x, y, source.Width, source.Height);
    if (span.Empty()) {
        return;
    }
    for (int row = span.Top; row < span.Bottom; ++row) {
        for (int column = span.Left; column < span.Right; ++column) {
            uint32_t& pixel = PixelAt(target, column, row);
            pixel = Blend(source.At(column - x, row - y), pixel);
        }
    }
}

std::optional<Picture> LoadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        png_image_free(&image);
        return std::nullopt;
    }
    if (image.width == 0 || image.height == 0 ||
        uint64_t{image.width} * image.height > MaxPngPixels) {
        png_image_free(&image);
        return std::nullopt;
    }
    // The byte order that makes each pixel read as 0xAARRGGBB in a uint32_t.
    image.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    Picture picture = MakePicture(static_cast<int>(image.width), static_cast<int>(image.height));
    // finish_read frees the image's resources whether it succeeds or not.
    if (!png_image_finish_read(&image, nullptr, picture.Pixels.data(), 0, nullptr)) {
        return std::nullopt;
    }
    return picture;
}

}  // namespace tavlora
