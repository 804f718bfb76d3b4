// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing layer's table of numbered pictures, shared by both implementations of the
// window services: creation, PNG loading, freeing, look-up, and the box and picture drawing
// that needs no window system. Colours come in as 0xRRGGBB and are drawn opaque.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/picture.h"
#include "platform/window_services.h"

namespace tavlora {

class PictureTable {
public:
    // Creating or loading under a number that is in use replaces that picture.
    void Create(int number, int width, int height);
    bool Load(int number, const std::string& path);  // false leaves the table unchanged
    void Free(int number);                           // an unknown number is ignored

    Picture* Find(int number);  // nullptr when unknown
    const Picture* Find(int number) const;

    // Unknown picture numbers draw nothing.
    void FillBox(int number, Rect box, int32_t rgb);
    void OutlineBox(int number, Rect box, int32_t rgb);
    void DrawPicture(int target, int source, int x, int y);

private:
    std::map<int, Picture> Pictures_;
};

// The opaque pixel of an interface colour.
constexpr uint32_t OpaqueArgb(int32_t rgb) {
    return 0xFF000000u | (static_cast<uint32_t>(rgb) & 0xFFFFFFu);
}

}  // namespace tavlora
