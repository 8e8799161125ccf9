// The main window without a device: controls and their places, menus, start-up, the caption
// switch, the COM menu, the list's tooltip, and how boxes and the file dialog are set up.

#include <QComboBox>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QtTest>

#include "app_test_support.h"
#include "com_port_list.h"
#include "image_file_dialog.h"
#include "message_box_prompt.h"
#include "twips.h"

using namespace quorvel;
using namespace quorvel::test;

Q_DECLARE_METATYPE(quorvel::PromptBox)

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void layout_data();
    void layout();
    void initialState();
    void menus_data();
    void menus();
    void startUpWithTheDefaultImage();
    void startUpWithoutTheDefaultImage();
    void captionSwitch_data();
    void captionSwitch();
    void comMenuAndListAreOneChoice_data();
    void comMenuAndListAreOneChoice();
    void listToolTipNamesTheDevice();
    void messageBoxes_data();
    void messageBoxes();
    void questionLeavesTheWindowRunning_data();
    void questionLeavesTheWindowRunning();
    void fileDialog();
};

void WindowTest::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");  // left, top, width, height
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("hidden");
    struct Row {
        const char* name;
        int l, t, w, h;
        const char* caption;
        bool hidden;
    };
    const Row rows[] = {
        {"cmdMacro(0)", 360, 480, 3255, 975, "Write Ver.01.02", false},
        {"ProgressBar1", 360, 1680, 3255, 255, "", true},
        {"Label1", 3960, 900, 975, 255, "COM Port", false},
        {"cmbCOM", 4920, 840, 975, 300, "", false},
        {"Frame3", 6720, 480, 2895, 975, "The original version", true},
        {"optVersion(0)", 240, 240, 2415, 255, "Previous version 1.05\r\n", false},
        {"optVersion(1)", 240, 600, 2415, 255, "Version 1.06 or later\r\n", false},
        {"Frame1", 10440, 3360, 1455, 1335, "通信速度", false},
        {"optBPS(2)", 360, 240, 855, 255, "4800", false},
        {"optBPS(0)", 360, 600, 855, 255, "9600", true},
        {"optBPS(1)", 360, 960, 855, 255, "38400", true},
        {"Frame2", 6360, 10320, 2535, 1335, "ポートの制御", true},
        {"port(0)", 240, 240, 855, 255, "L出力", false},
        {"port(1)", 240, 480, 855, 255, "H出力", false},
        {"port(2)", 240, 720, 855, 255, "入力", false},
        {"port(3)", 240, 960, 855, 255, "読む", false},
        {"txtPinNumber", 1200, 240, 1095, 375, "", false},
        {"Command2", 1200, 720, 1095, 495, "GO", false},
        {"Command1", 3720, 3480, 975, 375, "接続", false},
        {"cmbErase", 3720, 3960, 975, 375, "消去", false},
        {"cmbWrite", 3720, 4440, 975, 375, "書き込み", false},
        {"cmbEnd", 3720, 4920, 975, 375, "切断", false},
        {"cmdMacro(2)", 3720, 6480, 615, 615, "マ", true},
        {"Command11", 3720, 7320, 615, 375, "接続", true},
        {"Command8", 3720, 7680, 615, 375, "消去", true},
        {"Command9", 3720, 8040, 615, 375, "書込", true},
        {"Command10", 3720, 8400, 615, 375, "切断", true},
        {"cmdTavik", 3600, 9000, 1335, 735, "Tavik", true},
        {"Command4", 3600, 9720, 975, 375, "接続", true},
        {"Command7", 3600, 10080, 975, 375, "消去", true},
        {"Command6", 3600, 10440, 975, 375, "書き込み", true},
        {"Command5", 3600, 10800, 975, 375, "切断", true},
        {"cmdMacro(1)", 11400, 9720, 615, 1455, "マ", true},
        {"cmdCheckSum", 6360, 3480, 1215, 495, "CHECK SUM", false},
        {"txtCsStt", 7680, 3480, 1215, 495, "C000", false},
        {"txtCsStp", 9000, 3480, 1215, 495, "FFFF", false},
        {"Text2", 7560, 4080, 2775, 270, "Text2", true},
        {"Label4", 6360, 5040, 735, 255, "アドレス", false},
        {"Text1", 7080, 4920, 735, 270, "", false},
        {"txtCFG0", 10800, 5400, 1095, 495, "Text3", true},
        {"txtCFG1", 10800, 6000, 1095, 495, "Text3", true},
        {"txtMemory", 4440, 5520, 6975, 5175, "", false},
    };
    for (const Row& r : rows) {
        QTest::newRow(r.name) << QString(r.name) << QRect(r.l, r.t, r.w, r.h)
                              << QString::fromUtf8(r.caption) << r.hidden;
    }
}

static QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return {};
}

void WindowTest::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    QFETCH(bool, hidden);
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    QWidget* w = window.clientArea()->findChild<QWidget*>(name);
    QVERIFY(w);
    const qreal dpi = window.clientArea()->logicalDpiX();
    QCOMPARE(w->geometry(), twipsRect(twips.x(), twips.y(), twips.width(), twips.height(), dpi));
    QCOMPARE(captionOf(w), caption);
    QCOMPARE(w->isHidden(), hidden);
    // Only the end user's button and list take the keyboard, hidden controls included, and no
    // control answers an Alt shortcut.
    QCOMPARE(w->focusPolicy() != Qt::NoFocus, name == "cmdMacro(0)" || name == "cmbCOM");
    if (auto* button = qobject_cast<QAbstractButton*>(w)) QVERIFY(button->shortcut().isEmpty());
}

void WindowTest::initialState() {
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    const WindowControls& c = window.controls();
    QCOMPARE(window.windowTitle(), QString("Quorvel Software Writer (Version 01.02)"));
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
    const qreal dpi = window.clientArea()->logicalDpiX();
    QCOMPARE(window.clientArea()->size(),
             QSize(twipsToPixels(6240, dpi), twipsToPixels(2130, dpi)));

    QCOMPARE(c.ProgressBar1->minimum(), 0);
    QCOMPARE(c.ProgressBar1->maximum(), 128);
    QVERIFY(c.optVersion[1]->isChecked() && !c.optVersion[0]->isChecked());
    QVERIFY(c.optBPS[0]->isChecked() && !c.optBPS[1]->isChecked() && !c.optBPS[2]->isChecked());
    QVERIFY(c.port[3]->isChecked() && !c.port[0]->isChecked());
    QVERIFY(!c.cmbCOM->isEditable());

    const QFont macro = c.cmdMacro[0]->font();
    QVERIFY(macro.bold());
    QCOMPARE(macro.pointSizeF(), 15.75);
    QVERIFY(macro.families().contains("Noto Sans CJK JP"));
    QCOMPARE(c.cmdTavik->font().pointSizeF(), 24.0);
    QCOMPARE(c.cmbCOM->font().pointSizeF(), 9.0);
    QCOMPARE(c.txtMemory->font().pointSizeF(), 9.75);
    QVERIFY(window.font().families().contains("Noto Sans CJK JP"));

    const QList<QSize> sizes = window.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)));
    QVERIFY(sizes.contains(QSize(16, 16)));
}

void WindowTest::menus_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("mnuFile") << "mnuFile"
                             << "ファイル";
    QTest::newRow("mnuOpen") << "mnuOpen"
                             << "開く";
    QTest::newRow("mnuEnd") << "mnuEnd"
                            << "終了";
    QTest::newRow("mnuEdit") << "mnuEdit"
                             << "編集";
    QTest::newRow("mnuWrite") << "mnuWrite"
                              << "書き込み";
    QTest::newRow("mnuSetting") << "mnuSetting"
                                << "設定";
    QTest::newRow("mnuPort") << "mnuPort"
                             << "COMポート";
    QTest::newRow("mnuCom(1)") << "mnuCom(1)"
                               << "COM1";
    QTest::newRow("mnuCom(10)") << "mnuCom(10)"
                                << "COM10";
}

void WindowTest::menus() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    if (auto* menu = window.findChild<QMenu*>(name)) {
        QCOMPARE(menu->title(), caption);
    } else {
        QAction* action = window.findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->isCheckable(), name.startsWith("mnuCom"));
    }
}

static QStringList checkedComItems(const frmMain& window) {
    QStringList checked;
    for (int i = 1; i <= kComMenuItems; ++i) {
        if (window.menu().mnuCom[size_t(i)]->isChecked()) checked << QString("COM%1").arg(i);
    }
    return checked;
}

void WindowTest::startUpWithTheDefaultImage() {
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));  // the default image sits beside the test
    const WindowControls& c = window.controls();
    QCOMPARE(prompt.boxes(), QString());
    QCOMPARE(c.cmbCOM->count(), 16);
    QCOMPARE(c.cmbCOM->itemText(0), QString("COM  1"));
    QCOMPARE(c.cmbCOM->itemText(8), QString("COM  9"));
    QCOMPARE(c.cmbCOM->itemText(9), QString("COM 10"));
    QCOMPARE(c.cmbCOM->itemText(15), QString("COM 16"));
    QCOMPARE(c.cmbCOM->currentIndex(), 0);
    QCOMPARE(window.GetCOM(), int16_t(1));
    QCOMPARE(checkedComItems(window), QStringList{"COM1"});
    QCOMPARE(c.cmdMacro[0]->text(), QString("Write Ver.01.02"));
    QVERIFY(c.ProgressBar1->isHidden());
    QVERIFY(!snapshot(window).busyPointer);
    QVERIFY(window.image().anyRowFlagged());
}

void WindowTest::startUpWithoutTheDefaultImage() {
    QTemporaryDir empty;
    RecordingPrompt prompt;
    ScriptedChooser chooser;
    frmMain window(testOptions(&prompt, &chooser, empty.path()));
    QCOMPARE(prompt.boxes(), "ERROR/File Open Error\r\ncannot read " + empty.path() +
                                 "/QUORVEL_140428_01_02.mot: no such file\r\n"
                                 "No firmware image is loaded: open one with ファイル → 開く.");
    QCOMPARE(prompt.shown[0].icon, PromptIcon::Critical);
    QCOMPARE(window.controls().cmbCOM->count(), 0);
    QCOMPARE(window.GetCOM(), int16_t(0));
    QCOMPARE(checkedComItems(window), QStringList{"COM3"});
    QVERIFY(!snapshot(window).busyPointer);
    QVERIFY(window.image() == MemoryImage());

    // A file opened afterwards fills the list; the menu's tick follows it to the same port.
    QTemporaryDir files;
    QFile file(files.filePath("fw.mot"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("S107400001020304AE\r\n");
    file.close();
    chooser.path = file.fileName();
    window.menu().mnuOpen->trigger();
    QCOMPARE(window.controls().cmbCOM->count(), 16);
    QCOMPARE(window.GetCOM(), int16_t(1));
    QCOMPARE(checkedComItems(window), QStringList{"COM1"});
    QCOMPARE(window.windowTitle(), QString("Quorvel Software Writer (Version 01.02) - fw.mot"));
}

void WindowTest::captionSwitch_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("last");  // caption after the last key
    QTest::newRow("first letter") << "V"
                                  << "Orrin・Dalve";
    QTest::newRow("six letters") << "VESPER"
                                 << "Orrin・Dalve";
    QTest::newRow("access word") << "VESPERA"
                                 << "Kemla";
    QTest::newRow("one letter more") << "VESPERAX"
                                     << "Orrin・Dalve";
    QTest::newRow("other case") << "vespera"
                                << "Orrin・Dalve";
}

void WindowTest::captionSwitch() {
    QFETCH(QString, typed);
    QFETCH(QString, last);
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    QLineEdit* pin = window.controls().txtPinNumber;
    QPushButton* macro = window.controls().cmdMacro[0];
    for (int i = 0; i < typed.size(); ++i) {
        QTest::keyClick(pin, typed.at(i).toLatin1());
        const bool word = typed.left(i + 1) == "VESPERA";
        QCOMPARE(macro->text(), word ? QString("Kemla") : QString("Orrin・Dalve"));
    }
    QCOMPARE(macro->text(), last);
    pin->clear();
    QCOMPARE(macro->text(), QString("Orrin・Dalve"));
    QCOMPARE(window.controls().cmdMacro[1]->text(), QString("マ"));  // only element 0 changes
}

void WindowTest::comMenuAndListAreOneChoice_data() {
    QTest::addColumn<QString>("picks");  // "m5": COM5 in the menu, "l7": list entry COM 7
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<int>("port");  // GetCOM
    QTest::newRow("menu") << "m5" << QStringList{"COM5"} << 5;
    QTest::newRow("list") << "l7" << QStringList{"COM7"} << 7;
    QTest::newRow("list, then menu") << "l7 m2" << QStringList{"COM2"} << 2;
    QTest::newRow("menu, then list") << "m2 l9" << QStringList{"COM9"} << 9;
    QTest::newRow("same item twice") << "m5 m5" << QStringList{"COM5"} << 5;
    QTest::newRow("a port with no menu item") << "m5 l12" << QStringList{} << 12;
}

void WindowTest::comMenuAndListAreOneChoice() {
    QFETCH(QString, picks);
    QFETCH(QStringList, checked);
    QFETCH(int, port);
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    for (const QString& pick : picks.split(' ')) {
        const int n = pick.mid(1).toInt();
        if (pick.startsWith('m')) {
            window.menu().mnuCom[size_t(n)]->trigger();
        } else {
            window.controls().cmbCOM->setCurrentIndex(n - 1);
        }
    }
    QCOMPARE(checkedComItems(window), checked);
    QCOMPARE(window.GetCOM(), int16_t(port));
}

void WindowTest::listToolTipNamesTheDevice() {
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    QComboBox* list = window.controls().cmbCOM;
    qputenv("QUORVEL_COM2", "/dev/quorvel-test");
    list->setCurrentIndex(1);
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), list->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(list, &hover);
    QCOMPARE(list->toolTip(), QString("COM2: /dev/quorvel-test"));
    // Opened, the list names the device beside each number; closed, it shows "COM  2".
    auto* ports = dynamic_cast<ComPortList*>(list);
    QVERIFY(ports);
    ports->refreshDevices();
    QCOMPARE(ports->popupText(1), QString("COM  2   /dev/quorvel-test"));
    QVERIFY(ports->popupText(15).startsWith("COM 16   "));
    QCOMPARE(list->currentText(), QString("COM  2"));
    qunsetenv("QUORVEL_COM2");

    QTemporaryDir empty;
    frmMain failed(testOptions(&prompt, nullptr, empty.path()));
    QComboBox* emptyList = failed.controls().cmbCOM;
    QApplication::sendEvent(emptyList, &hover);
    QCOMPARE(emptyList->toolTip(), QString("No COM port selected"));
}

void WindowTest::messageBoxes_data() {
    QTest::addColumn<PromptBox>("box");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("escapeButton");
    const int ok = QMessageBox::Ok, cancel = QMessageBox::Cancel;
    QTest::newRow("confirmation") << PromptBox{"Rewriting of software",
                                               "Please never turn off power while rewriting.\r\n"
                                               "Click the OK button to begin rewriting.",
                                               PromptButtons::OkCancel, PromptIcon::Exclamation,
                                               PromptAnswer::Cancel}
                                  << int(QMessageBox::Warning) << (ok | cancel) << cancel << cancel;
    QTest::newRow("failure") << PromptBox{"ERROR", "Connection failure", PromptButtons::Ok,
                                          PromptIcon::Exclamation, PromptAnswer::Ok}
                             << int(QMessageBox::Warning) << ok << ok << ok;
    QTest::newRow("success") << PromptBox{"Finished", "Rewriting success!", PromptButtons::Ok,
                                          PromptIcon::Information, PromptAnswer::Ok}
                             << int(QMessageBox::Information) << ok << ok << ok;
    QTest::newRow("file error") << PromptBox{"ERROR", "File Open Error", PromptButtons::Ok,
                                             PromptIcon::Critical, PromptAnswer::Ok}
                                << int(QMessageBox::Critical) << ok << ok << ok;
    const int yes = QMessageBox::Yes, no = QMessageBox::No;
    QTest::newRow("closing mid-write")
        << PromptBox{"Rewriting of software", "Close anyway?", PromptButtons::YesNo,
                     PromptIcon::Exclamation, PromptAnswer::No}
        << int(QMessageBox::Warning) << (yes | no) << no << no;
    QTest::newRow("bench") << PromptBox{"OK", "接続しました", PromptButtons::Ok, PromptIcon::None,
                                        PromptAnswer::Ok}
                           << int(QMessageBox::NoIcon) << ok << ok << ok;
}

void WindowTest::messageBoxes() {
    QFETCH(PromptBox, box);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);
    QFETCH(int, escapeButton);
    QMessageBox message;
    ConfigureMessageBox(message, box);
    QCOMPARE(message.windowTitle(), QString::fromStdString(box.title));
    QCOMPARE(message.text(), QString::fromStdString(box.text).replace("\r\n", "\n"));
    QCOMPARE(int(message.icon()), icon);
    QCOMPARE(int(message.standardButtons()), buttons);
    QCOMPARE(message.defaultButton(), message.button(QMessageBox::StandardButton(defaultButton)));
    QCOMPARE(message.escapeButton(), message.button(QMessageBox::StandardButton(escapeButton)));
}

void WindowTest::questionLeavesTheWindowRunning_data() {
    QTest::addColumn<QString>("operatorDoes");
    QTest::addColumn<QString>("answers");
    QTest::newRow("Yes") << "Yes"
                         << "yes";
    QTest::newRow("No") << "No"
                        << "no";
    QTest::newRow("Escape") << "Escape"
                            << "no";
    QTest::newRow("withdrawn before an answer") << "nothing"
                                                << "";
}

void WindowTest::questionLeavesTheWindowRunning() {
    QFETCH(QString, operatorDoes);
    QFETCH(QString, answers);
    QWidget window;
    window.show();
    MessageBoxPrompt prompt(&window);
    QString given;
    // Returns at once, the box open over the window alone; the answer comes later.
    prompt.open({"Rewriting of software", "Close anyway?", PromptButtons::YesNo,
                 PromptIcon::Exclamation, PromptAnswer::No},
                [&](PromptAnswer answer) { given += answer == PromptAnswer::Yes ? "yes" : "no"; });
    auto* box = window.findChild<QMessageBox*>();
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QCOMPARE(given, QString());
    if (operatorDoes == "Escape") {
        QTest::keyClick(box, Qt::Key_Escape);
    } else if (operatorDoes == "nothing") {
        prompt.withdraw();
    } else {
        box->button(operatorDoes == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
    }
    QTRY_VERIFY(!window.findChild<QMessageBox*>());
    QCOMPARE(given, answers);
}

void WindowTest::fileDialog() {
    QFileDialog dialog;
    ConfigureImageDialog(dialog);
    QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(types);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
    QCOMPARE(shown, (QStringList{"MOT & HEX", "Mot Files (*.mot)", "Hex Files (*.hex)",
                                 "All Files (*.*)"}));
    QCOMPARE(types->currentIndex(), 0);
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
