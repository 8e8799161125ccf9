#pragma once
// The controls of the main window, created from the layout table, by name.

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <array>

namespace quorvel {

struct WindowControls {
    std::array<QPushButton*, 3> cmdMacro{};
    QProgressBar* ProgressBar1 = nullptr;
    QComboBox* cmbCOM = nullptr;

    QGroupBox* Frame3 = nullptr;
    std::array<QRadioButton*, 2> optVersion{};
    std::array<QRadioButton*, 3> optBPS{};
    std::array<QRadioButton*, 4> port{};
    QLineEdit* txtPinNumber = nullptr;
    QPushButton* Command2 = nullptr;

    QPushButton* Command1 = nullptr;
    QPushButton* cmbErase = nullptr;
    QPushButton* cmbWrite = nullptr;
    QPushButton* cmbEnd = nullptr;
    QPushButton* Command11 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* Command10 = nullptr;
    QPushButton* cmdTavik = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command5 = nullptr;

    QPushButton* cmdCheckSum = nullptr;
    QLineEdit* txtCsStt = nullptr;
    QLineEdit* txtCsStp = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QFrame* txtMemory = nullptr;
};

// Creates every control of the layout table inside `client`, placed at the screen's logical
// DPI. Each control's object name is its name on the window ("cmdMacro(0)", "optBPS(2)").
WindowControls BuildControls(QWidget* client, qreal logicalDpi);

}  // namespace quorvel
