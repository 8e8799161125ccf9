#pragma once
// Fonts of the window. It is laid out for Japanese Windows fonts; each family list ends in a Noto
// CJK face so that the Japanese captions render where those fonts are missing.

#include <QFont>

#include "control_layout.h"

namespace quorvel {

// The window's default font: the platform's own face at 9 pt with a CJK fallback.
QFont WindowDefaultFont(const QFont& platformFont);

QFont ControlFontFor(ControlFont which, const QFont& windowFont);

}  // namespace quorvel
