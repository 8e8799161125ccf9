#include "main_menu.h"

namespace quorvel {

namespace {

QAction* item(QMenu* menu, const QString& caption, const QString& name) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

template <typename Owner>
QMenu* menu(Owner* owner, const QString& caption, const QString& name) {
    QMenu* m = owner->addMenu(caption);
    m->setObjectName(name);
    return m;
}

}  // namespace

MainMenu BuildMainMenu(QMenuBar* bar) {
    MainMenu m;
    QMenu* file = menu(bar, QStringLiteral("ファイル"), QStringLiteral("mnuFile"));
    m.mnuOpen = item(file, QStringLiteral("開く"), QStringLiteral("mnuOpen"));
    m.mnuEnd = item(file, QStringLiteral("終了"), QStringLiteral("mnuEnd"));

    QMenu* edit = menu(bar, QStringLiteral("編集"), QStringLiteral("mnuEdit"));
    m.mnuWrite = item(edit, QStringLiteral("書き込み"), QStringLiteral("mnuWrite"));

    QMenu* setting = menu(bar, QStringLiteral("設定"), QStringLiteral("mnuSetting"));
    m.mnuPort = menu(setting, QStringLiteral("COMポート"), QStringLiteral("mnuPort"));
    for (int i = 1; i <= kComMenuItems; ++i) {
        QAction* com =
            item(m.mnuPort, QStringLiteral("COM%1").arg(i), QStringLiteral("mnuCom(%1)").arg(i));
        com->setCheckable(true);
        com->setChecked(i == 3);
        m.mnuCom[static_cast<size_t>(i)] = com;
    }
    return m;
}

}  // namespace quorvel
