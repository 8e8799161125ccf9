// Writes the application icon as PNG files for the desktop entry: write_icon_png DIR
// produces DIR/16x16/quorvel-writer.png and DIR/32x32/quorvel-writer.png.
// write_icon_png --ico FILE writes the same two sizes as a Windows icon file (the one that
// packaging/windows/quorvel-writer.ico holds for the .exe's icon resource).

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app_icon.h"

namespace {

constexpr int kSizes[] = {16, 32};

void addLittleEndian(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// An ICO file whose images are PNG data, as Windows reads them since Vista: a 6-byte header,
// one 16-byte directory entry per image (width, height, colours, reserved, planes, bits per
// pixel, data size, data offset), then the PNG files one after another.
bool writeIco(const QIcon& icon, const QString& path) {
    std::vector<QByteArray> images;
    for (int size : kSizes) {
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !icon.pixmap(size, size).save(&buffer, "PNG")) {
            return false;
        }
        images.push_back(png);
    }
    QByteArray ico;
    addLittleEndian(ico, 0, 2);  // reserved
    addLittleEndian(ico, 1, 2);  // type: icon
    addLittleEndian(ico, static_cast<quint32>(images.size()), 2);
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        addLittleEndian(ico, static_cast<quint32>(kSizes[i]), 1);  // width
        addLittleEndian(ico, static_cast<quint32>(kSizes[i]), 1);  // height
        addLittleEndian(ico, 0, 1);                                // no palette
        addLittleEndian(ico, 0, 1);                                // reserved
        addLittleEndian(ico, 1, 2);                                // colour planes
        addLittleEndian(ico, 32, 2);                               // bits per pixel
        addLittleEndian(ico, static_cast<quint32>(images[i].size()), 4);
        addLittleEndian(ico, offset, 4);
        offset += static_cast<quint32>(images[i].size());
    }
    for (const QByteArray& png : images) ico.append(png);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(ico) == ico.size() && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QIcon icon = quorvel::QuorvelIcon();
    if (argc == 3 && std::strcmp(argv[1], "--ico") == 0) {
        if (writeIco(icon, QString::fromLocal8Bit(argv[2]))) return 0;
        std::fprintf(stderr, "write_icon_png: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_icon_png DIR | write_icon_png --ico FILE\n");
        return 64;
    }
    for (int size : kSizes) {
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
