// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The dialogs are laid out in twips (1/1440 inch, 15 to the pixel at 96 dpi); pixels follow the
// screen's logical dpi.
namespace qob {

inline constexpr int kTwipsPerInch = 1440;

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

inline int twipsToPixels(int twips, int dpi) {
    return qRound(twips * dpi / static_cast<double>(kTwipsPerInch));
}

} // namespace qob
