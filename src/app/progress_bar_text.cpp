#include "progress_bar_text.h"

#include <QFontMetrics>

namespace quorvel {

namespace {

constexpr qreal kSmallestPoints = 6.0;
constexpr qreal kPointStep = 0.5;
constexpr int kSideMargin = 4;  // pixels kept free at each end of the bar

}  // namespace

void MakeBarTextReadable(QProgressBar* bar) {
    QPalette palette = bar->palette();
    // The fill a third of the way from the base colour to the highlight: the plain text colour
    // reads on it as it does on the empty part.
    const QColor base = palette.color(QPalette::Base);
    const QColor highlight = palette.color(QPalette::Highlight);
    const auto blend = [](int from, int to) { return from + (to - from) / 3; };
    palette.setColor(QPalette::Highlight, QColor(blend(base.red(), highlight.red()),
                                                 blend(base.green(), highlight.green()),
                                                 blend(base.blue(), highlight.blue())));
    palette.setColor(QPalette::HighlightedText, palette.color(QPalette::Text));
    bar->setPalette(palette);
}

void ShowBarText(QProgressBar* bar, const QString& text) {
    QFont font = bar->parentWidget() != nullptr ? bar->parentWidget()->font() : bar->font();
    const int room = bar->width() - 2 * kSideMargin;
    while (font.pointSizeF() > kSmallestPoints &&
           QFontMetrics(font).horizontalAdvance(text) > room) {
        font.setPointSizeF(font.pointSizeF() - kPointStep);
    }
    bar->setFont(font);
    bar->setFormat(text);
    bar->setTextVisible(!text.isEmpty());
}

}  // namespace quorvel
