#pragma once
// Label stocks the printing tests share.

#include "core/data/Globals.h"

// The US Letter 30-per-sheet stock: margins 36 top and bottom, 13.5 left and right, labels
// 189 x 72 points, 9 points between columns, none between rows, 3 across.
inline TLabelRecord ThirtyPerSheet() {
    TLabelRecord s;
    s.Name = "US Letter 1 x 2-5/8 in, 30 per sheet";
    s.TopM = 36;
    s.LeftM = 13.5;
    s.BottomM = 36;
    s.RightM = 13.5;
    s.Width = 189;
    s.Height = 72;
    s.HGap = 9;
    s.VGap = 0;
    s.nAcross = 3;
    return s;
}
