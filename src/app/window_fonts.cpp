#include "window_fonts.h"

#include <QStringList>

namespace quorvel {

namespace {

const QString kCjkSans = QStringLiteral("Noto Sans CJK JP");
const QString kCjkMono = QStringLiteral("Noto Sans Mono CJK JP");

QFont font(const QStringList& families, qreal points, bool bold) {
    QFont f;
    f.setFamilies(families);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

}  // namespace

QFont WindowDefaultFont(const QFont& platformFont) {
    QFont f = platformFont;
    f.setFamilies({platformFont.family(), kCjkSans});
    f.setPointSizeF(9);
    return f;
}

QFont ControlFontFor(ControlFont which, const QFont& windowFont) {
    const QStringList pGothic{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                              kCjkSans};
    switch (which) {
        case ControlFont::MacroButton:
            return font(pGothic, 15.75, true);
        case ControlFont::TavikButton:
            return font(pGothic, 24, false);
        case ControlFont::ComList:
            return font({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), kCjkMono}, 9,
                        false);
        case ControlFont::Memory:
            return font({QStringLiteral("Courier"), QStringLiteral("Courier New"),
                         QStringLiteral("DejaVu Sans Mono"), kCjkMono},
                        9.75, false);
        case ControlFont::Default:
            break;
    }
    return windowFont;
}

}  // namespace quorvel
