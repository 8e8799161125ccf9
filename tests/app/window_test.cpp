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
#include "progress_bar_text.h"
#include "progress_display.h"
#include "twips.h"

using namespace quorvel;
using namespace quorvel::test;

Q_DECLARE_METATYPE(quorvel::PromptBox)

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void layout_data();
    void layout();
    void benchPanelLiesBeyondTheClientArea();
    void barTextsFitTheBar_data();
    void barTextsFitTheBar();
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

// What the end user sees: the write button, the bar the rewrite shows, and the COM list with
// its label. Each lies wholly inside the client area, clear of the others; only the button and
// the list take the keyboard.
void WindowTest::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("shownAtStart");
    QTest::addColumn<bool>("takesFocus");
    QTest::newRow("write button") << "cmdMacro(0)"
                                  << "Write Ver.01.02" << true << true;
    QTest::newRow("progress bar") << "ProgressBar1" << QString() << false << false;
    QTest::newRow("COM list label") << "Label1"
                                    << "COM Port" << true << false;
    QTest::newRow("COM list") << "cmbCOM" << QString() << true << true;
}

static QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return {};
}

// Where `w` lies on the client area, whatever frame holds it.
static QRect placeOf(QWidget* w, QWidget* client) {
    return {w->mapTo(client, QPoint(0, 0)), w->size()};
}

static const QStringList kEndUserControls = {"cmdMacro(0)", "ProgressBar1", "Label1", "cmbCOM"};

void WindowTest::layout() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, shownAtStart);
    QFETCH(bool, takesFocus);
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    QWidget* client = window.clientArea();
    QWidget* w = client->findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(captionOf(w), caption);
    QCOMPARE(w->isHidden(), !shownAtStart);
    const QRect place = placeOf(w, client);
    QVERIFY2(client->rect().contains(place), qPrintable(name));
    QCOMPARE(w->focusPolicy() != Qt::NoFocus, takesFocus);
    for (const QString& other : kEndUserControls) {
        if (other == name) continue;
        const QRect otherPlace = placeOf(client->findChild<QWidget*>(other), client);
        if (name == "Label1" && other == "cmbCOM") {
            // The label's box reaches 15 twips into the list's by design; its text stands
            // clear of the list, on its left, at its height.
            auto* label = qobject_cast<QLabel*>(w);
            QVERIFY(place.left() + label->fontMetrics().horizontalAdvance(label->text()) <
                    otherPlace.left());
            QVERIFY(otherPlace.top() <= place.center().y() &&
                    place.center().y() <= otherPlace.bottom());
        } else if (name != "cmbCOM" || other != "Label1") {
            QVERIFY2(!place.intersects(otherPlace), qPrintable(name + " over " + other));
        }
    }
}

// Everything else is the bench panel: beyond the right or bottom edge of the client area, out
// of the keyboard's reach, and no control anywhere answers an Alt shortcut.
void WindowTest::benchPanelLiesBeyondTheClientArea() {
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    QWidget* client = window.clientArea();
    QStringList bench;
    for (QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (kEndUserControls.contains(w->objectName())) continue;
        bench << w->objectName();
        QVERIFY2(!client->rect().intersects(placeOf(w, client)), qPrintable(w->objectName()));
        QVERIFY2(w->focusPolicy() == Qt::NoFocus, qPrintable(w->objectName()));
        for (QWidget* inner : w->findChildren<QWidget*>()) {
            QVERIFY2(inner->focusPolicy() == Qt::NoFocus, qPrintable(inner->objectName()));
        }
    }
    for (const char* name : {"Command1", "cmbWrite", "Frame1", "Frame2", "Frame3", "cmdCheckSum"}) {
        QVERIFY2(bench.contains(name), name);
    }
    for (auto* button : client->findChildren<QAbstractButton*>()) {
        QVERIFY2(button->shortcut().isEmpty(), qPrintable(button->objectName()));
    }
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

void WindowTest::barTextsFitTheBar_data() {
    QTest::addColumn<QString>("text");
    // The longest of each kind the bar shows.
    QTest::newRow("time left") << QString::fromStdString(
        ProgressText(127, std::chrono::seconds(3599)));
    QTest::newRow("block retried") << QString::fromStdString(AttemptText({1, 2, 9152}));
    QTest::newRow("block, last wait") << QString::fromStdString(AttemptText({2, 2, 9152}));
    QTest::newRow("silent connect") << QString::fromStdString(AttemptText({1, 1, -1}));
}

// Whole at the window's size, in one colour on both sides of the fill's edge.
void WindowTest::barTextsFitTheBar() {
    QFETCH(QString, text);
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    QProgressBar* bar = window.controls().ProgressBar1;
    bar->setValue(64);
    ShowBarText(bar, text);
    QCOMPARE(bar->format(), text);
    QVERIFY(bar->isTextVisible());
    const int width = QFontMetrics(bar->font()).horizontalAdvance(text);
    QVERIFY2(width <= bar->width() - 8,
             qPrintable(QString("%1 of %2").arg(width).arg(bar->width())));
    QVERIFY(bar->font().pointSizeF() >= 6.0);
    QCOMPARE(bar->palette().color(QPalette::HighlightedText), bar->palette().color(QPalette::Text));
    QVERIFY(bar->palette().color(QPalette::Highlight) != bar->palette().color(QPalette::Base));
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
    // A device that goes away (an adapter unplugged) reads "no device" the next time the list
    // opens, though its mapping stays.
    QTemporaryDir devices;
    QFile device(devices.filePath("ttyQ"));
    QVERIFY(device.open(QIODevice::WriteOnly));
    qputenv("QUORVEL_COM2", device.fileName().toLocal8Bit());
    ports->refreshDevices();
    QCOMPARE(ports->popupText(1), "COM  2   " + device.fileName());
    QVERIFY(ports->popupText(15).startsWith("COM 16   "));
    QVERIFY(device.remove());
    ports->showPopup();
    ports->hidePopup();
    QCOMPARE(ports->popupText(1), QString("COM  2   no device"));
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
