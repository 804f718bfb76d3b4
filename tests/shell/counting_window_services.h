// SPDX-License-Identifier: GPL-3.0-or-later
// The recording double, counting the writes to list cells, cell colours and row references,
// and the rows moved, so tests can tell a refresh that rewrites what is already shown from
// one that leaves it or moves it.
#pragma once

#include "platform/recording_window_services.h"

namespace tavlora {

class CountingWindowServices : public RecordingWindowServices {
public:
    void SetCellText(int list, int row, int column, const std::string& text) override {
        ++CellWrites;
        RecordingWindowServices::SetCellText(list, row, column, text);
    }
    void SetCellColour(int list, int row, int column, int32_t rgb) override {
        ++ColourWrites;
        RecordingWindowServices::SetCellColour(list, row, column, rgb);
    }
    void SetRowRef(int list, int row, void* ref) override {
        ++RefWrites;
        RecordingWindowServices::SetRowRef(list, row, ref);
    }

    void MoveRow(int list, int from, int to) override {
        ++RowMoves;
        RecordingWindowServices::MoveRow(list, from, to);
    }

    void ResetCounts() { CellWrites = ColourWrites = RefWrites = RowMoves = 0; }
    int Writes() const { return CellWrites + ColourWrites + RefWrites; }

    int CellWrites = 0;
    int ColourWrites = 0;
    int RefWrites = 0;
    int RowMoves = 0;
};

}  // namespace tavlora
