#pragma once
// The text on the progress bar: readable wherever the fill has got to, and whole at the bar's
// size.

#include <QProgressBar>
#include <QString>

namespace quorvel {

// Gives `bar` one text colour for both sides of the fill's edge (styles otherwise switch colour
// there, cutting a word in two) over a fill light enough for it.
void MakeBarTextReadable(QProgressBar* bar);

// Shows `text` on `bar` (empty: none), in the bar's own font, or a smaller one where the text
// would not fit.
void ShowBarText(QProgressBar* bar, const QString& text);

}  // namespace quorvel
