// Writes the application icon as PNG files for the desktop entry: write_icon_png DIR
// produces DIR/16x16/quorvel-writer.png and DIR/32x32/quorvel-writer.png.

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>

#include "app_icon.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_icon_png DIR\n");
        return 64;
    }
    const QIcon icon = quorvel::QuorvelIcon();
    for (int size : {16, 32}) {
        const QString dir =
            QStringLiteral("%1/%2x%2").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(dir) ||
            !icon.pixmap(size, size).save(dir + QStringLiteral("/quorvel-writer.png"))) {
            std::fprintf(stderr, "write_icon_png: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
