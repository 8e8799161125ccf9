#pragma once
// The menu bar: ファイル (開く, 終了), 編集 (書き込み), 設定 (COMポート with COM1 to COM10).

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <array>

namespace quorvel {

constexpr int kComMenuItems = 10;

struct MainMenu {
    QAction* mnuOpen = nullptr;
    QAction* mnuEnd = nullptr;
    QAction* mnuWrite = nullptr;
    QMenu* mnuPort = nullptr;
    std::array<QAction*, kComMenuItems + 1> mnuCom{};  // elements 1 to 10; 0 is unused
};

// Fills the bar. Every COM item is checkable; "COM3" carries the check mark as designed.
// Object names are the menu names ("mnuOpen", "mnuCom(3)").
MainMenu BuildMainMenu(QMenuBar* bar);

}  // namespace quorvel
