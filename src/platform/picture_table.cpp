// SPDX-License-Identifier: GPL-3.0-or-later
// The numbered picture table over the plain drawing functions of picture.h.
#include "platform/picture_table.h"

#include <utility>

namespace tavlora {

void PictureTable::Create(int number, int width, int height) {
    Pictures_[number] = MakePicture(width, height);
}

bool PictureTable::Load(int number, const std::string& path) {
    std::optional<Picture> loaded = LoadPng(path);
    if (!loaded) {
        return false;
    }
    Pictures_[number] = std::move(*loaded);
    return true;
}

void PictureTable::Free(int number) {
    Pictures_.erase(number);
}

Picture* PictureTable::Find(int number) {
    auto it = Pictures_.find(number);
    return it == Pictures_.end() ? nullptr : &it->second;
}

const Picture* PictureTable::Find(int number) const {
    auto it = Pictures_.find(number);
    return it == Pictures_.end() ? nullptr : &it->second;
}

void PictureTable::FillBox(int number, Rect box, int32_t rgb) {
    if (Picture* picture = Find(number)) {
        tavlora::FillBox(*picture, box.X, box.Y, box.W, box.H, OpaqueArgb(rgb));
    }
}

void PictureTable::OutlineBox(int number, Rect box, int32_t rgb) {
    if (Picture* picture = Find(number)) {
        tavlora::OutlineBox(*picture, box.X, box.Y, box.W, box.H, OpaqueArgb(rgb));
    }
}

void PictureTable::DrawPicture(int target, int source, int x, int y) {
    Picture* to = Find(target);
    const Picture* from = Find(source);
    if (to && from && to != from) {
        DrawPictureOver(*to, *from, x, y);
    }
}

}  // namespace tavlora
