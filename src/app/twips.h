#pragma once
// The window's layout is kept in twips (1/1440 inch); the screen wants device-independent
// pixels, which at the screen's logical DPI gives 15 twips per pixel at 96 dpi.

#include <QRect>
#include <cmath>

namespace quorvel {

constexpr int kTwipsPerInch = 1440;

inline int twipsToPixels(int twips, qreal logicalDpi) {
    return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

inline QRect twipsRect(int left, int top, int width, int height, qreal logicalDpi) {
    return {twipsToPixels(left, logicalDpi), twipsToPixels(top, logicalDpi),
            twipsToPixels(width, logicalDpi), twipsToPixels(height, logicalDpi)};
}

}  // namespace quorvel
