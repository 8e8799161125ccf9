// The window's commands against the simulated loader on a pseudo-terminal: the rewrite, the
// bench buttons, the port panel, file open and checksum, the exchange lock, and closing the
// window while an exchange waits.

#include <signal.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include "app_test_support.h"
#include "block_walk.h"
#include "service_history.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QString kConfirm =
    "Rewriting of software/Please never turn off power while rewriting.\r\n"
    "Click the OK button to begin rewriting.";

// The first 12 digits of the SHA-256 of the file at `path`, as the confirmation shows them.
QString sha256Prefix(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex().left(12);
}

// What the device's flash holds after a rewrite of `image`.
QByteArray expectedFlash(const MemoryImage& image) {
    QByteArray flash(int(kImageSize), char(0xFF));
    for (int start : programBlockStarts()) {
        if (!blockHasData(image, start)) continue;
        for (int row = start; row < start + kBlockRows; ++row) {
            for (int col = 0; col < kRowBytes; ++col) {
                flash[(row - kFirstRow) * kRowBytes + col] = char(image.value(row, col));
            }
        }
    }
    return flash;
}

int countLines(const QStringList& transcript, const QString& start) {
    int n = 0;
    for (const QString& line : transcript) n += line.startsWith(start) ? 1 : 0;
    return n;
}

}  // namespace

class WindowCommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void fullRewrite();
    void cancelSendsNothing();
    void barTellsProgressAndRetries_data();
    void barTellsProgressAndRetries();
    void rewriteFailures_data();
    void rewriteFailures();
    void benchButtons_data();
    void benchButtons();
    void refusedWhileAStationHolds_data();
    void refusedWhileAStationHolds();
    void keyboardReachesOnlyTheVisibleControls_data();
    void keyboardReachesOnlyTheVisibleControls();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void portPanel_data();
    void portPanel();
    void fileOpenAndTavik();
    void checksumBox();
    void controlsHeldOffDuringAnExchange_data();
    void controlsHeldOffDuringAnExchange();
    void closingMidExchange_data();
    void closingMidExchange();
    void closingQuitsTheApplication();
    void closeQuestionAnsweredByKeys_data();
    void closeQuestionAnsweredByKeys();

  private:
    QString writeFile(const QString& name, const QByteArray& text);
    QTemporaryDir dir_;
};

QString WindowCommandsTest::writeFile(const QString& name, const QByteArray& text) {
    QFile file(dir_.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(text);
    return file.fileName();
}

void WindowCommandsTest::fullRewrite() {
    // The service history goes to the user's data folder, here a fresh one.
    QTemporaryDir dataHome;
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", oldDataHome); });
    const QString history = QString::fromStdString(DefaultHistoryPath());
    QVERIFY2(history.startsWith(dataHome.path() + "/"), qPrintable(history));
    Simulator sim;
    QVERIFY(sim.started());
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    prompt.window = &window;
    QList<int> values;
    connect(window.controls().ProgressBar1, &QProgressBar::valueChanged,
            [&](int v) { values << v; });

    window.controls().cmdMacro[0]->click();

    QCOMPARE(prompt.boxes(), kConfirm + "|Finished/Rewriting success!");
    // The default image's facts too: the file, its CHECK SUM and identity, the blocks.
    QVERIFY(QString::fromStdString(prompt.shown[0].text)
                .contains("\r\nFile: QUORVEL_140428_01_02.mot\r\nCHECK SUM C000-FFFF: "));
    // The outcome says what went where, in how long.
    QVERIFY(QString::fromStdString(prompt.shown[1].text)
                .contains(QRegularExpression("^Rewriting success!\r\n\r\nFile: "
                                             "QUORVEL_140428_01_02.mot\r\nPort: COM1 = " +
                                             QRegularExpression::escape(sim.path()) +
                                             "\r\nTime taken: \\d+\\.\\d s$")));
    QVERIFY(prompt.seen[1].progressVisible);
    QCOMPARE(prompt.seen[1].progressValue, 128);
    QCOMPARE(prompt.seen[1].progressText, QString());
    QVERIFY(values.contains(120));
    QCOMPARE(*std::max_element(values.begin(), values.end()), 128);
    QVERIFY(window.controls().ProgressBar1->isHidden());
    QVERIFY(window.controls().cmdMacro[0]->isEnabled());
    QVERIFY(window.controls().Frame3->isEnabled());
    QCOMPARE(window.controls().Text1->text(), QString("023C0"));  // the last block position
    QCOMPARE(sim.stopAndDump(), expectedFlash(window.image()));

    // Its started and final lines are in the history, which quorvel-flash records reads.
    QProcess records;
    records.start(QUORVEL_BUILD_DIR "/bin/quorvel-flash", {"records", "--check", history});
    QVERIFY(records.waitForFinished(30000));
    const QByteArray summary = records.readAllStandardOutput();
    QCOMPARE(records.exitCode(), 0);
    QVERIFY2(summary.contains("Devices: 1 (1 success, 0 failure, 0 interrupted)") &&
                 summary.contains("  COM1  "),
             summary.constData());
}

void WindowCommandsTest::cancelSendsNothing() {
    Simulator sim;
    RecordingPrompt prompt;
    prompt.answers = {PromptAnswer::Cancel};
    frmMain window(testOptions(&prompt));
    prompt.window = &window;
    window.controls().cmdMacro[0]->click();
    QCOMPARE(prompt.boxes(), kConfirm);
    QVERIFY(!prompt.seen[0].progressVisible);
    QVERIFY(window.controls().cmdMacro[0]->isEnabled());
    sim.stopAndDump();
    QCOMPARE(countLines(sim.transcript(), "rx "), 0);
}

void WindowCommandsTest::barTellsProgressAndRetries_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("shown");  // a pattern of a text the bar showed
    QTest::newRow("healthy") << ""
                             << "^\\d+%, \\d+:\\d\\d left$";
    QTest::newRow("a block without an answer, retried")
        << "program@0x10000=silent,count=1"
        << "^block 0x10000: no answer, trying again$";
}

void WindowCommandsTest::barTellsProgressAndRetries() {
    QFETCH(QString, fault);
    QFETCH(QString, shown);
    Simulator sim(fault.isEmpty() ? QStringList{} : QStringList{"--fault", fault});
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    QProgressBar* bar = window.controls().ProgressBar1;
    QStringList texts;
    const auto take = [&] {
        if (bar->isVisibleTo(window.clientArea()) && bar->isTextVisible()) texts << bar->format();
    };
    connect(bar, &QProgressBar::valueChanged, take);  // the text of the step before
    QTimer sample;                                    // and what a long wait shows
    connect(&sample, &QTimer::timeout, take);
    sample.start(20);
    window.controls().cmdMacro[0]->click();
    QCOMPARE(prompt.boxes().section('|', -1), QString("Finished/Rewriting success!"));
    QVERIFY2(!texts.filter(QRegularExpression(shown)).isEmpty(), qPrintable(texts.join('|')));
    QVERIFY(!bar->isTextVisible());
}

void WindowCommandsTest::rewriteFailures_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");  // the first line, then the cause
    QTest::addColumn<bool>("barShown");
    QTest::addColumn<int>("bar");
    // The Part's text first, then the cause, then what the failure leaves on the device.
    const QString untouched =
        "\r\nthe device is untouched: nothing was sent after the connect command; press the "
        "button again";
    const QString again = "; it stays in flash mode; press the button again";
    QTest::newRow("a port with no device")  // refused before the confirmation: nothing goes out
        << "no device"
        << "ERROR/Connection failure\r\nCOM1 = /dev/quorvel-no-such-device (no device there): "
           "nothing was sent.\r\n"
           "Plug the adapter in, or pick the port it is on, then press the button again"
        << false << 0;
    QTest::newRow("connect answered E")
        << "connect=status:E"
        << "ERROR/Connection failure\r\nthe device did not enter flash mode (it answered 'E' "
           "where a loader answers 'C')" +
               untouched
        << false << 0;
    // Bytes no loader answers a connect with, as from a loader still taking a cut-off frame.
    QTest::newRow("connect answered with garbage")
        << "connect=garbage"
        << "ERROR/Connection failure\r\nthe device's answer did not repeat the connect command, "
           "as a loader's answer does: it may be the answer to a frame that an interrupted write "
           "left unfinished\r\nthe device's state is unknown: it may hold an interrupted write; "
           "power-cycle it, then write again"
        << false << 0;
    QTest::newRow("connect silent")
        << "connect=silent"
        << "ERROR/Connection failure\r\nno answer within 2.5 s: check the cable, the power, "
           "and that the loader is in flash mode" +
               untouched
        << true << 0;  // the bar comes up to say so
    QTest::newRow("erase refused")
        << "erase=status:E"
        << "ERROR/Deletion failure\r\nthe device refused the erase (it answered 'E')\r\nthe "
           "device may be partly erased" +
               again
        << true << 0;
    QTest::newRow("block refused")
        << "program@0x10000=status:E"
        << "ERROR/Writing failure\r\nthe device refused block 0x010000 (it answered 'E')\r\nthe "
           "device is erased, with 30 of 88 blocks written" +
               again
        << true << 41;  // 40 positions below the gap, then 0x10000
}

void WindowCommandsTest::rewriteFailures() {
    QFETCH(QString, fault);
    QFETCH(QString, box);
    QFETCH(bool, barShown);
    QFETCH(int, bar);
    const bool noDevice = fault == "no device";
    Simulator sim(noDevice ? QStringList{} : QStringList{"--fault", fault});
    if (noDevice) qputenv("QUORVEL_COM1", "/dev/quorvel-no-such-device");
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    prompt.window = &window;
    window.controls().cmdMacro[0]->click();
    QCOMPARE(prompt.boxes(), noDevice ? box : kConfirm + "|" + box);
    QCOMPARE(prompt.shown.back().icon, PromptIcon::Exclamation);
    QCOMPARE(prompt.seen.back().progressVisible, barShown);
    if (barShown) QCOMPARE(prompt.seen.back().progressValue, bar);
    // What the bar said of the write (the time left, a wait) is gone before the box.
    QCOMPARE(prompt.seen.back().progressText, QString());
    QVERIFY(window.controls().ProgressBar1->isHidden());
    QVERIFY(window.controls().cmdMacro[0]->isEnabled());
    sim.stopAndDump();
    QCOMPARE(countLines(sim.transcript(), "rx kind=disconnect"), 0);
}

void WindowCommandsTest::benchButtons_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");
    // A step the device took with an answer that did not confirm it: the lines under the
    // step's own text, with the warning icon. Empty: none (the cause of a failure is not
    // compared here).
    QTest::addColumn<QString>("doubt");
    const QString connectOk = "OK/接続しました", connectNg = "NG/接続に失敗しました";
    const QString eraseOk = "OK/消去しました", eraseNg = "NG/消去に失敗しました";
    const QString writeOk = "OK/書込成功", writeNg = "NG/書込失敗";
    const QString endOk = "OK/切断しました", endNg = "NG/切断に失敗しました";
    const QString eraseB =
        "the device's answer did not confirm the erase: the flash may not be "
        "erased\r\nthe erase frame answered 'B' (0x42)";
    const QString blockB =
        "the device's answers did not confirm 1 block: the firmware may not "
        "be stored\r\nblock 0x004000 answered 'B' (0x42)";
    const QString endE =
        "the device's answer did not confirm the end of the write: it may "
        "still be in flash mode\r\nthe disconnect frame answered 'E' (0x45)";
    struct Row {
        const char* name;
        const char* control;
        const char* fault;
        QString box;
        QString doubt;
    };
    const Row rows[] = {
        {"Command1, C", "Command1", "", connectOk, ""},
        {"Command11, C", "Command11", "", connectOk, ""},
        {"Command4, C", "Command4", "", connectNg, ""},
        {"Command4, 0", "Command4", "connect=status:0", connectOk, ""},
        {"Command1, 0", "Command1", "connect=status:0", connectNg, ""},
        {"Command11, 0", "Command11", "connect=status:0", connectNg, ""},
        {"cmbErase", "cmbErase", "", eraseOk, ""},
        {"cmbErase, B", "cmbErase", "erase=status:B", eraseOk, eraseB},
        {"Command8, B", "Command8", "erase=status:B", eraseOk, eraseB},
        {"Command8, E", "Command8", "erase=status:E", eraseNg, ""},
        {"Command7", "Command7", "", eraseOk, ""},
        {"Command7, B", "Command7", "text=status:B", eraseNg, ""},
        {"cmbWrite", "cmbWrite", "", writeOk, ""},
        {"cmbWrite, B", "cmbWrite", "program@0x4000=status:B", writeOk, blockB},
        {"mnuWrite", "mnuWrite", "", writeOk, ""},
        {"mnuWrite, B", "mnuWrite", "program@0x4000=status:B", writeOk, blockB},
        {"mnuWrite, E", "mnuWrite", "program@0x4000=status:E", writeNg, ""},
        {"Command9, B", "Command9", "program@0x4000=status:B", writeOk, blockB},
        {"Command9, E", "Command9", "program=status:E", writeNg, ""},
        {"Command6, rows above 0xFFFF", "Command6", "", writeNg, ""},
        {"cmbEnd", "cmbEnd", "", endOk, ""},
        {"cmbEnd, E", "cmbEnd", "disconnect=status:E", endOk, endE},
        {"Command10, E", "Command10", "disconnect=status:E", endOk, endE},
        {"Command10, silent", "Command10", "disconnect=silent", endNg, ""},
        {"Command5", "Command5", "", endOk, ""},
        {"Command5, 1", "Command5", "text=status:1", endNg, ""},
    };
    for (const Row& r : rows) {
        QTest::newRow(r.name) << r.control << r.fault << r.box << r.doubt;
    }
}

void WindowCommandsTest::benchButtons() {
    QFETCH(QString, control);
    QFETCH(QString, fault);
    QFETCH(QString, box);
    QFETCH(QString, doubt);
    Simulator sim(fault.isEmpty() ? QStringList{} : QStringList{"--fault", fault});
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    prompt.window = &window;
    if (control == "mnuWrite") {
        window.menu().mnuWrite->trigger();
        // The menu's write asks the rewrite's confirmation, then writes with the bar in view.
        QCOMPARE(prompt.boxes().section('|', 0, 0), kConfirm);
        QVERIFY(prompt.seen.at(1).progressVisible);
        prompt.shown.erase(prompt.shown.begin());
        prompt.seen.erase(prompt.seen.begin());
    } else {
        auto* button = window.clientArea()->findChild<QPushButton*>(control);
        QVERIFY(button);
        button->click();
        QVERIFY(button->isEnabled());
    }
    // The step's text first; a failure says why on the lines under it, a doubtful success what
    // is in doubt.
    const bool ok = box.startsWith("OK/");
    QCOMPARE(prompt.boxes().section("\r\n", 0, 0), box);
    if (ok) QCOMPARE(prompt.boxes(), doubt.isEmpty() ? box : box + "\r\n" + doubt);
    QVERIFY(ok || prompt.boxes().contains("\r\n"));
    QCOMPARE(prompt.shown[0].icon,
             ok && doubt.isEmpty() ? PromptIcon::None : PromptIcon::Exclamation);
    const bool write = box.contains("書込");
    QCOMPARE(prompt.seen[0].busyPointer, write);  // the write buttons show the hourglass
    QVERIFY(!snapshot(window).busyPointer);
    QVERIFY(window.controls().ProgressBar1->value() <= 128);
}

void WindowCommandsTest::refusedWhileAStationHolds_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("box");
    QTest::newRow("cmdMacro") << "cmdMacro"
                              << "ERROR/Connection failure";
    QTest::newRow("mnuWrite") << "mnuWrite"
                              << "NG/書込失敗";
    QTest::newRow("Command1") << "Command1"
                              << "NG/接続に失敗しました";
    QTest::newRow("cmbErase") << "cmbErase"
                              << "NG/消去に失敗しました";
    QTest::newRow("Command7") << "Command7"
                              << "NG/消去に失敗しました";
    QTest::newRow("cmbEnd") << "cmbEnd"
                            << "NG/切断に失敗しました";
}

// A station in another process wrote the board and holds it until it is removed: no button
// of the window reaches it, and each box names the station.
void WindowCommandsTest::refusedWhileAStationHolds() {
    QFETCH(QString, control);
    QFETCH(QString, box);
    Simulator sim;
    QProcess station;
    station.start(QUORVEL_BUILD_DIR "/bin/quorvel-flash",
                  {"write", "--station", "--yes", "--port", sim.path(),
                   QUORVEL_BUILD_DIR "/bin/QUORVEL_140428_01_02.mot"});
    QDeadlineTimer deadline(30000);
    while (countLines(sim.transcript(), "rx kind=disconnect") == 0 && !deadline.hasExpired())
        QTest::qWait(50);
    const int received = countLines(sim.transcript(), "rx ");
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    prompt.window = &window;
    if (control == "mnuWrite") {
        window.menu().mnuWrite->trigger();
    } else if (control == "cmdMacro") {
        window.controls().cmdMacro[0]->click();
    } else {
        auto* button = window.clientArea()->findChild<QPushButton*>(control);
        QVERIFY(button);
        button->click();
    }
    const qint64 pid = station.processId();
    ::kill(pid_t(pid), SIGINT);
    QVERIFY(station.waitForFinished(30000));
    QCOMPARE(countLines(sim.transcript(), "rx "), received);
    const QString last = prompt.boxes().section('|', -1);
    QCOMPARE(last.section("\r\n", 0, 0), box);
    const QString busy = "busy: " + sim.path() + " is being written by quorvel-flash (pid " +
                         QString::number(pid) + ", user root); nothing was sent";
    QVERIFY2(last.contains(busy), qPrintable(last));
}

void WindowCommandsTest::keyboardReachesOnlyTheVisibleControls_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Tab") << int(Qt::Key_Tab);
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab);
}

void WindowCommandsTest::keyboardReachesOnlyTheVisibleControls() {
    QFETCH(int, key);
    Simulator sim;
    QVERIFY(sim.started());
    RecordingPrompt prompt;
    prompt.answers.assign(100, PromptAnswer::Cancel);  // every box that appears is cancelled
    frmMain window(testOptions(&prompt));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const WindowControls& c = window.controls();
    const Qt::KeyboardModifiers shift = key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier;

    QSet<QWidget*> reached;
    QStringList strays;  // controls beyond the client area that the keyboard reached
    for (int i = 0; i < 20; ++i) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window, Qt::Key(key), shift);
        focus = QApplication::focusWidget();
        if (focus == c.cmdMacro[0] || focus == c.cmbCOM) {
            reached.insert(focus);
        } else {
            strays << (focus ? focus->objectName() : "no focus");
        }
        QTest::keyClick(focus ? focus : &window, Qt::Key_Space);
        if (QWidget* list = QApplication::activePopupWidget()) {  // Space opened the COM list
            QTest::keyClick(list, Qt::Key_Escape);
        }
        QVERIFY(!QApplication::activePopupWidget());
    }
    sim.stopAndDump();
    QCOMPARE(countLines(sim.transcript(), "rx "), 0);
    QCOMPARE(strays, QStringList());
    QCOMPARE(reached.size(), 2);
    QVERIFY(!prompt.shown.empty());
    for (const PromptBox& box : prompt.shown) {
        QCOMPARE(QString::fromStdString(box.title + "/" + box.text).section("\r\n\r\n", 0, 0),
                 kConfirm);
    }
}

void WindowCommandsTest::enterPressesTheFocusedButton_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void WindowCommandsTest::enterPressesTheFocusedButton() {
    QFETCH(int, key);
    RecordingPrompt prompt;
    prompt.answers = {PromptAnswer::Cancel};
    frmMain window(testOptions(&prompt));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // The big button has the focus from the start, and the focus is drawn from the start.
    QCOMPARE(QApplication::focusWidget(), window.controls().cmdMacro[0]);
    QVERIFY(window.testAttribute(Qt::WA_KeyboardFocusChange));
    QTest::keyClick(window.controls().cmdMacro[0], Qt::Key(key));
    QCOMPARE(prompt.boxes(), kConfirm);
}

void WindowCommandsTest::portPanel_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("read an input") << ""
                                   << "1" << 3 << "H入力";
    QTest::newRow("drive low") << ""
                               << "1" << 0 << "OK";
    QTest::newRow("no such pin") << ""
                                 << "99" << 3 << "NG";
    QTest::newRow("answered 02") << "pin=status:02"
                                 << "1" << 3 << "L入力";
    QTest::newRow("answered 01") << "pin=status:01"
                                 << "1" << 3 << "H出力";
    QTest::newRow("answered 00") << "pin=status:00"
                                 << "1" << 3 << "L出力";
    QTest::newRow("garbage") << "pin=garbage"
                             << "1" << 3 << "???";
}

void WindowCommandsTest::portPanel() {
    QFETCH(QString, fault);
    QFETCH(QString, pin);
    QFETCH(int, mode);
    QFETCH(QString, text);
    Simulator sim(fault.isEmpty() ? QStringList{} : QStringList{"--fault", fault});
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    const WindowControls& c = window.controls();
    QCOMPARE(c.Text2->text(), QString("Text2"));
    c.txtPinNumber->setText(pin);
    c.port[size_t(mode)]->setChecked(true);
    c.Command2->click();
    QCOMPARE(c.Text2->text(), text);
    QVERIFY(c.Command2->isEnabled());
    QCOMPARE(prompt.boxes(), QString());
}

void WindowCommandsTest::fileOpenAndTavik() {
    Simulator sim;
    RecordingPrompt prompt;
    ScriptedChooser chooser;
    frmMain window(testOptions(&prompt, &chooser));
    const MemoryImage original = window.image();

    window.menu().mnuOpen->trigger();  // cancelled
    QVERIFY(window.image() == original);
    QCOMPARE(prompt.boxes(), QString());

    chooser.path = writeFile("bad.HEX", ":0440000001020304B3\r\n");
    window.menu().mnuOpen->trigger();
    QCOMPARE(prompt.boxes(), "Error/Error Code = 8 ; 行番号 = 1\r\n" + chooser.path +
                                 " line 1: checksum does not match (code 8)\r\n"
                                 "The image loaded before stays in use: QUORVEL_140428_01_02.mot.");
    QVERIFY(window.image() == original);
    QCOMPARE(window.windowTitle(), QString("Quorvel Software Writer (Version 01.02)"));

    // A named .HEX file is read as Intel HEX whatever the filter; Tavik goes on to the rewrite.
    chooser.path = writeFile("small.HEX", ":0440000001020304B2\r\n:00000001FF\r\n");
    prompt.shown.clear();
    window.controls().cmdTavik->click();
    // The caption and the confirmation name the file that goes in.
    QCOMPARE(window.windowTitle(), QString("Quorvel Software Writer (Version 01.02) - small.HEX"));
    QCOMPARE(prompt.boxes(), kConfirm + "|Finished/Rewriting success!");
    QCOMPARE(QString::fromStdString(prompt.shown[0].text),
             kConfirm.section('/', 1) + "\r\n\r\nPort: COM1 = " + sim.path() +
                 "\r\nFile: small.HEX\r\nCHECK SUM C000-FFFF: 3FC000  SHA-256 " +
                 sha256Prefix(chooser.path) + "\r\nBlocks to send: 1 of 120");
    QCOMPARE(int(window.image().value(1024, 3)), 4);
    QVERIFY(window.controls().cmdTavik->isEnabled());
    QCOMPARE(sim.stopAndDump(), expectedFlash(window.image()));

    chooser.path.clear();  // cancelled from Tavik: no rewrite
    prompt.shown.clear();
    window.controls().cmdTavik->click();
    QCOMPARE(prompt.boxes(), QString());
    QVERIFY(window.controls().cmdTavik->isEnabled());
}

void WindowCommandsTest::checksumBox() {
    RecordingPrompt prompt;
    ScriptedChooser chooser;
    frmMain window(testOptions(&prompt, &chooser));
    // 01 02 03 04 at 0xC000, the rest of 0xC000-0xFFFF FF: 0x3FC000 - 4 * 0xFF + 10.
    chooser.path = writeFile("c000.mot", "S107C000010203042E\r\nS9030000FC\r\n");
    window.menu().mnuOpen->trigger();
    QCOMPARE(prompt.boxes(), QString());
    window.controls().cmdCheckSum->click();
    window.controls().txtCsStt->setText("3FFF");
    window.controls().cmdCheckSum->click();
    QCOMPARE(prompt.boxes(), QString("CHECK SUM/3FBC0E|"
                                     "CHECK SUM/The range must lie within 4000 to 23FFF."));
    QCOMPARE(prompt.shown[0].icon, PromptIcon::None);
    QCOMPARE(prompt.shown[1].icon, PromptIcon::Exclamation);
}

void WindowCommandsTest::controlsHeldOffDuringAnExchange_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("fault");
    QTest::newRow("rewrite") << "cmdMacro(0)"
                             << "connect=slow:100";
    QTest::newRow("connect button") << "Command1"
                                    << "connect=slow:100";
    QTest::newRow("write button") << "cmbWrite"
                                  << "program=slow:100,count=1";
    QTest::newRow("GO") << "Command2"
                        << "pin=slow:100";
}

void WindowCommandsTest::controlsHeldOffDuringAnExchange() {
    QFETCH(QString, control);
    QFETCH(QString, fault);
    Simulator sim({"--fault", fault});
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    const WindowControls& c = window.controls();
    const MainMenu& m = window.menu();
    const QList<QWidget*> starters{
        c.cmdMacro[0], c.cmdMacro[1], c.cmdMacro[2], c.Command1, c.cmbErase,  c.cmbWrite,
        c.cmbEnd,      c.Command11,   c.Command8,    c.Command9, c.Command10, c.Command4,
        c.Command7,    c.Command6,    c.Command5,    c.Command2, c.cmdTavik,  c.cmbCOM};
    const QList<QAction*> items{m.mnuOpen, m.mnuEnd, m.mnuWrite, m.mnuPort->menuAction()};
    int sampled = 0;
    QTimer::singleShot(150, [&] {
        QVERIFY(window.exchangeRunning());
        for (QWidget* w : starters) QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        for (QAction* a : items) QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QCOMPARE(snapshot(window).busyPointer, control == "cmbWrite");
        ++sampled;
    });
    window.clientArea()->findChild<QPushButton*>(control)->click();
    QCOMPARE(sampled, 1);
    QVERIFY(!window.exchangeRunning());
    for (QWidget* w : starters) QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    for (QAction* a : items) QVERIFY(a->isEnabled());
    QVERIFY(c.optVersion[0]->isEnabled() && c.Frame3->isEnabled());
}

void WindowCommandsTest::closingMidExchange_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("answer");  // to "Close anyway?": yes, no, or none at all
    // What the bar must show while the question is open before it is answered: how many steps
    // it goes on, and the text it ends on (empty: any).
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("barText");
    QTest::addColumn<QString>("lastReceived");
    QTest::newRow("rewrite, silent connect") << "connect=silent"
                                             << "cmdMacro(0)"
                                             << "yes" << 0 << "no answer yet, still waiting"
                                             << "connect";
    QTest::newRow("rewrite, slow block") << "program=slow:200"
                                         << "cmdMacro(0)"
                                         << "yes" << 1 << ""
                                         << "program";
    QTest::newRow("GO, silent") << "pin=silent"
                                << "Command2"
                                << "yes" << 0 << ""
                                << "pin";
    QTest::newRow("rewrite, No: the write finishes") << "connect=slow:100"
                                                     << "cmdMacro(0)"
                                                     << "no" << 2 << ""
                                                     << "disconnect";
    QTest::newRow("rewrite, the write ends before an answer") << "connect=slow:100"
                                                              << "cmdMacro(0)"
                                                              << "none" << 0 << ""
                                                              << "disconnect";
}

void WindowCommandsTest::closingMidExchange() {
    QFETCH(QString, fault);
    QFETCH(QString, control);
    QFETCH(QString, answer);
    QFETCH(int, steps);
    QFETCH(QString, barText);
    QFETCH(QString, lastReceived);
    const bool yes = answer == "yes";
    Simulator sim({"--fault", fault});
    RecordingPrompt prompt;
    const bool rewrite = control == "cmdMacro(0)";  // asks its confirmation first
    frmMain window(testOptions(&prompt));
    prompt.window = &window;
    window.show();
    QTimer::singleShot(300, &window, &QWidget::close);
    // The exchange goes on while the question is open: the operator answers once the bar has
    // moved on. A write held up by the question would never get there.
    QProgressBar* bar = window.controls().ProgressBar1;
    bool wentOn = false;
    QElapsedTimer asked;
    QTimer operatorAnswers;
    connect(&operatorAnswers, &QTimer::timeout, [&] {
        if (!prompt.question || answer == "none") return;
        if (!asked.isValid()) asked.start();
        wentOn = bar->value() >= prompt.seen.back().progressValue + steps &&
                 (barText.isEmpty() || snapshot(window).progressText == barText);
        if (wentOn || asked.elapsed() > 20000) {
            prompt.answerQuestion(yes ? PromptAnswer::Yes : PromptAnswer::No);
        }
    });
    operatorAnswers.start(20);
    QElapsedTimer clock;
    clock.start();
    window.clientArea()->findChild<QPushButton*>(control)->click();
    // The message on the line keeps its wait (2.5 s, then up to 2.5 s for late bytes); after
    // it nothing is sent, and the window closes once the command has returned.
    QTRY_VERIFY(!window.isVisible() || !yes);
    QVERIFY2(clock.elapsed() < 7000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(wentOn, answer != "none");
    QCOMPARE(window.isVisible(), !yes);
    QVERIFY(!window.exchangeRunning());
    const QString question =
        "Rewriting of software/A write is in progress. Closing now leaves the device erased and "
        "partly written. Close anyway?";
    QCOMPARE(prompt.boxes(), (rewrite ? kConfirm + "|" : QString()) + question +
                                 (yes ? QString() : QString("|Finished/Rewriting success!")));
    QCOMPARE(prompt.shown[rewrite ? 1 : 0].defaultButton, PromptAnswer::No);
    if (!yes) {
        // The outcome's box, with the bar full and nothing left on it from the write.
        QCOMPARE(prompt.seen.back().progressValue, 128);
        QCOMPARE(prompt.seen.back().progressText, QString());
        // A question the write outlived goes away; closing now asks nothing.
        QCOMPARE(prompt.withdrawn, answer == "none" ? 1 : 0);
        QVERIFY(!prompt.question);
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(prompt.shown.size(), size_t(3));
    }
    sim.stopAndDump();
    const QStringList transcript = sim.transcript();
    QStringList received;
    for (const QString& line : transcript) {
        if (line.startsWith("rx kind=")) received << line.section(' ', 1, 1).mid(5);
    }
    QVERIFY(!received.isEmpty());
    QCOMPARE(received.last(), lastReceived);  // nothing was sent after the close
}

void WindowCommandsTest::closingQuitsTheApplication() {
    Simulator sim({"--fault", "connect=silent"});
    RecordingPrompt prompt;
    frmMain window(testOptions(&prompt));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(0, window.controls().cmdMacro[0], &QPushButton::click);
    QTimer::singleShot(300, [&] {
        window.close();
        prompt.answerQuestion(PromptAnswer::Yes);
    });
    QTimer hang;  // a hang fails the test
    hang.setSingleShot(true);
    connect(&hang, &QTimer::timeout, [] { QApplication::exit(1); });
    hang.start(15000);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY2(clock.elapsed() < 7000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(prompt.boxes().section('|', 0, 0), kConfirm);
    QVERIFY(!window.exchangeRunning());
}

void WindowCommandsTest::closeQuestionAnsweredByKeys_data() {
    QTest::addColumn<QString>("answer");  // how the operator answers "Close anyway?"
    QTest::addColumn<int>("after");       // ms after the question opened
    QTest::newRow("Escape at once") << "Escape" << 0;
    QTest::newRow("Escape after 1.5 s") << "Escape" << 1500;
    QTest::newRow("Enter at once") << "Enter" << 0;
    QTest::newRow("Enter after 1.5 s") << "Enter" << 1500;
    QTest::newRow("click on No after 1.5 s") << "No" << 1500;
    QTest::newRow("the box's close button") << "close" << 500;
}

// The real window with its real message boxes: every answer to the close question but Yes lets
// the write finish and show its outcome, whenever it comes.
void WindowCommandsTest::closeQuestionAnsweredByKeys() {
    QFETCH(QString, answer);
    QFETCH(int, after);
    // Twelve blocks, each answered late: the write lasts long enough to be asked about.
    QByteArray file;
    for (int block = 0; block < 12; ++block) {
        const int address = 0x4000 + block * 0x400;
        QByteArray record = QByteArray::fromHex(
            QByteArray::number(0x13, 16) + QByteArray::number(address, 16).rightJustified(4, '0'));
        record += QByteArray(16, char(block));
        int sum = 0;
        for (char c : record) sum += uint8_t(c);
        record += char(~sum & 0xFF);
        file += "S1" + record.toHex().toUpper() + "\r\n";
    }
    Simulator sim({"--fault", "program=slow:40"});
    ScriptedChooser chooser;
    chooser.path = writeFile("twelve.mot", file + "S9030000FC\r\n");
    frmMain window(testOptions(nullptr, &chooser));
    window.menu().mnuOpen->trigger();
    QCOMPARE(countBlocksToSend(window.image()), 12);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList boxes;  // "title/first line" of every box, in order
    QPointer<QMessageBox> question;
    QElapsedTimer asked;
    bool answered = false;  // the keys went to the question while the write ran
    bool outcome = false;
    QTimer operatorAtTheWindow;
    connect(&operatorAtTheWindow, &QTimer::timeout, [&] {
        for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
            if (!box->isVisible()) continue;
            const QString seen = box->windowTitle() + "/" + box->text().section('\n', 0, 0);
            if (box == question) {
                if (asked.elapsed() < after) continue;
                QWidget* focus = QApplication::focusWidget();
                if (!focus || (focus != box && !box->isAncestorOf(focus))) focus = box;
                if (answer == "Escape") {
                    QTest::keyClick(focus, Qt::Key_Escape);
                } else if (answer == "Enter") {
                    QTest::keyClick(focus, Qt::Key_Return);
                } else if (answer == "No") {
                    QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
                } else {
                    box->close();
                }
                question = nullptr;
                answered = true;
            } else if (seen.contains("A write is in progress")) {
                if (boxes.contains(seen)) continue;  // answered, on its way out
                boxes << seen;
                question = box;
                asked.start();
            } else {
                boxes << seen;
                if (seen.startsWith(kConfirm.section("\r\n", 0, 0))) {
                    // The close button of the window once the write has begun.
                    QTimer::singleShot(300, &window, &QWidget::close);
                } else {
                    outcome = true;
                }
                QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
            }
        }
    });
    operatorAtTheWindow.start(20);
    QTimer::singleShot(0, window.controls().cmdMacro[0], &QPushButton::click);
    QTRY_VERIFY_WITH_TIMEOUT(outcome, 60000);
    QTRY_VERIFY(!window.exchangeRunning());
    QVERIFY(answered);
    QCOMPARE(boxes.size(), 3);
    QCOMPARE(boxes[1].section('/', 0, 0), QString("Rewriting of software"));
    QCOMPARE(boxes[2], QString("Finished/Rewriting success!"));
    QVERIFY(window.isVisible());
    QCOMPARE(sim.stopAndDump(), expectedFlash(window.image()));
}

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
