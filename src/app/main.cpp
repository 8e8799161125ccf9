// Quorvel Software Writer: rewrites a Quorvel device's firmware over a serial line.

#include <QApplication>

#include "frm_main.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel Software Writer"));
    quorvel::frmMain window;
    window.show();
    return QApplication::exec();
}
