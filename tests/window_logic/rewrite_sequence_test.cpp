// The one-button rewrite against scripted exchanges: the order of the exchanges, the status each
// step accepts, the boxes, the progress bar and the controls on every path.

#include "rewrite_sequence.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <cstdlib>
#include <thread>

#include "command_fakes.h"
#include "device_hold.h"
#include "port_mapping.h"
#include "progress_display.h"
#include "step_buttons.h"

using namespace quorvel;
using namespace quorvel::test;

Q_DECLARE_METATYPE(quorvel::PromptAnswer)

namespace {
const QString kConfirm =
    "Rewriting of software/Please never turn off power while rewriting.\r\n"
    "Click the OK button to begin rewriting.";
}

class RewriteSequenceTest : public QObject {
    Q_OBJECT
  private slots:
    void outcomes_data();
    void outcomes();
    void boxStyles();
    void onlyTheStartingButtonIsDisabled_data();
    void onlyTheStartingButtonIsDisabled();
    void imageWithoutDataSendsNothing_data();
    void imageWithoutDataSendsNothing();
    void secondRunStartsTheBarAtZero();
    void barTexts_data();
    void barTexts();
    void closingMidExchangeEndsQuietly_data();
    void closingMidExchangeEndsQuietly();
    void serviceHistory_data();
    void serviceHistory();
};

void RewriteSequenceTest::outcomes_data() {
    QTest::addColumn<PromptAnswer>("answer");
    QTest::addColumn<int>("connect");
    QTest::addColumn<int>("erase");
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("disconnect");
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("lastBox");
    QTest::addColumn<bool>("barShownAtBox");
    QTest::addColumn<int>("barAtBox");
    QTest::addColumn<bool>("held");  // another writer holds the device (${HELD} in lastBox)

    const auto ok = PromptAnswer::Ok;
    QTest::newRow("cancel") << PromptAnswer::Cancel << 3 << 4 << 0 << 0 << "" << kConfirm << false
                            << 0 << false;
    const QString untouched =
        "\r\nthe device is untouched: nothing was sent after the connect command; press the "
        "button again";
    QTest::newRow("connect answered 0")
        << ok << 0 << 4 << 0 << 0 << "connect"
        << "ERROR/Connection failure" + untouched << false << 0 << false;
    QTest::newRow("connect silent")
        << ok << 8 << 4 << 0 << 0 << "connect"
        << "ERROR/Connection failure" + untouched << false << 0 << false;
    QTest::newRow("device held by another writer")
        << ok << 3 << 4 << 0 << 0 << ""
        << "ERROR/Connection failure\r\nbusy: ${HELD} is being written on another port of this "
           "run; nothing was sent; press the button again"
        << false << 0 << true;
    QTest::newRow("erase fails")
        << ok << 3 << 1 << 0 << 0 << "connect,erase"
        << "ERROR/Deletion failure\r\nthe device may be partly erased; it stays in flash mode; "
           "press the button again"
        << true << 0 << false;
    QTest::newRow("program fails")
        << ok << 3 << 4 << 1 << 0 << "connect,erase,program"
        << "ERROR/Writing failure\r\nthe device is erased, with 1 of 1 blocks written; it stays "
           "in flash mode; press the button again"
        << true << 57 << false;
    QTest::newRow("success") << ok << 3 << 4 << 0 << 0 << "connect,erase,program,disconnect"
                             << "Finished/Rewriting success!" << true << 128 << false;
    QTest::newRow("disconnect fails, still success")
        << ok << 3 << 4 << 0 << 1 << "connect,erase,program,disconnect"
        << "Finished/Rewriting success!\r\nthe device did not answer the end of the write and may "
           "still be in flash mode: power-cycle it"
        << true << 128 << false;
}

void RewriteSequenceTest::outcomes() {
    QFETCH(PromptAnswer, answer);
    QFETCH(int, connect);
    QFETCH(int, erase);
    QFETCH(int, program);
    QFETCH(int, disconnect);
    QFETCH(QString, calls);
    QFETCH(QString, lastBox);
    QFETCH(bool, barShownAtBox);
    QFETCH(int, barAtBox);
    QFETCH(bool, held);

    CommandRig rig;
    // The device held by a writer on another thread, as a station or a second window would.
    DeviceHold other;
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    const auto closeTerminal = qScopeGuard([&] { ::close(terminal); });
    if (held) {
        QVERIFY(terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
        rig.panel.settings.devicePath = ::ptsname(terminal);
        bool taken = false;
        std::thread([&] { taken = other.take(rig.panel.settings); }).join();
        QVERIFY(taken);
        lastBox.replace("${HELD}", QString::fromStdString(rig.panel.settings.devicePath));
    }
    rig.panel.progress = 77;  // left over from an earlier run
    rig.link.status = {{"connect", int16_t(connect)},
                       {"erase", int16_t(erase)},
                       {"program", int16_t(program)},
                       {"disconnect", int16_t(disconnect)}};
    rig.link.programSteps = program == 0 ? 120 : 57;
    rig.prompt.answers = {answer};
    RewriteSequence(rig.context).cmdMacro_Click(0);

    QCOMPARE(rig.link.callNames(), calls);
    QVERIFY(rig.prompt.shown.size() >= 1);
    QCOMPARE(rig.boxes().section('|', 0, 0), kConfirm);
    QCOMPARE(rig.boxes().section('|', -1), lastBox);
    QCOMPARE(rig.prompt.shown.size(), size_t(answer == PromptAnswer::Cancel ? 1 : 2));
    // Under the confirmation, the port; under every outcome, where it went and how long it took.
    QVERIFY(rig.prompt.shown.front().box.text.ends_with("\r\n\r\nPort: scripted device"));
    const ShownBox& last = rig.prompt.shown.back();
    if (answer != PromptAnswer::Cancel) {
        QVERIFY2(QString::fromStdString(last.box.text)
                     .contains(QRegularExpression("\r\n\r\nPort: scripted device\r\n"
                                                  "Time taken: \\d+\\.\\d s$")),
                 last.box.text.c_str());
    }
    QCOMPARE(last.progressVisible, barShownAtBox);
    if (barShownAtBox) QCOMPARE(last.progressValue, barAtBox);
    QVERIFY(rig.panel.restored());
}

void RewriteSequenceTest::boxStyles() {
    CommandRig rig;
    rig.link.status = {{"connect", int16_t(3)}, {"erase", int16_t(4)}};
    RewriteSequence(rig.context).cmdMacro_Click(0);
    QCOMPARE(rig.prompt.shown.size(), size_t(2));
    const PromptBox& confirm = rig.prompt.shown[0].box;
    QCOMPARE(confirm.buttons, PromptButtons::OkCancel);
    QCOMPARE(confirm.icon, PromptIcon::Exclamation);
    QCOMPARE(confirm.defaultButton, PromptAnswer::Cancel);
    const PromptBox& done = rig.prompt.shown[1].box;
    QCOMPARE(done.buttons, PromptButtons::Ok);
    QCOMPARE(done.icon, PromptIcon::Information);

    // Blocks the device's answers did not confirm: the success text, a warning and its icon.
    CommandRig doubtful;
    doubtful.link.status = {{"connect", int16_t(3)}, {"erase", int16_t(4)}};
    doubtful.link.unconfirmed = {{-1, false, '0'}};  // an erase answer that did not repeat it
    doubtful.link.unconfirmedCall = "erase";
    RewriteSequence(doubtful.context).cmdMacro_Click(0);
    QCOMPARE(doubtful.prompt.shown.back().box.icon, PromptIcon::Exclamation);
    QCOMPARE(
        QString::fromStdString(doubtful.prompt.shown.back().box.text).section("\r\n\r\n", 0, 0),
        "Rewriting success!\r\nthe device's answers did not confirm the erase: the firmware "
        "may not be stored\r\nthe erase frame answered '0' (0x30), without repeating the frame");

    CommandRig failing;
    failing.link.status = {{"connect", int16_t(8)}};
    RewriteSequence(failing.context).cmdMacro_Click(0);
    QCOMPARE(failing.prompt.shown.back().box.icon, PromptIcon::Exclamation);
    QCOMPARE(failing.prompt.shown.back().box.buttons, PromptButtons::Ok);
}

void RewriteSequenceTest::onlyTheStartingButtonIsDisabled_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("cmdMacro(0)") << 0;
    QTest::newRow("cmdMacro(1)") << 1;
    QTest::newRow("cmdMacro(2)") << 2;
}

void RewriteSequenceTest::onlyTheStartingButtonIsDisabled() {
    QFETCH(int, index);
    const ControlId buttons[] = {ControlId::cmdMacro0, ControlId::cmdMacro1, ControlId::cmdMacro2};
    CommandRig rig;
    rig.link.status = {{"connect", int16_t(3)}, {"erase", int16_t(4)}};
    int checked = 0;
    rig.link.during = [&](const std::string&) {
        for (int i = 0; i < 3; ++i) QCOMPARE(rig.panel.isEnabled(buttons[i]), i != index);
        QVERIFY(!rig.panel.isEnabled(ControlId::Frame3));
        QVERIFY(!rig.panel.isEnabled(ControlId::optVersion0));
        QVERIFY(!rig.panel.isEnabled(ControlId::optVersion1));
        // Everything else that could start an exchange is held off by the lock.
        QVERIFY(rig.panel.locked);
        QVERIFY(rig.context.running());
        ++checked;
    };
    RewriteSequence(rig.context).cmdMacro_Click(int16_t(index));
    QCOMPARE(checked, 4);
    QVERIFY(rig.panel.restored());
}

void RewriteSequenceTest::imageWithoutDataSendsNothing_data() {
    QTest::addColumn<int>("dataRow");   // 0: nothing loaded at all
    QTest::addColumn<QString>("file");  // the file the image came from; empty: none loaded
    QTest::addColumn<QString>("box");
    const QString none = "ERROR/No firmware image is loaded.";
    QTest::newRow("before any load") << 0 << "" << none;
    QTest::newRow("cleared image") << -1 << "" << none;
    QTest::newRow("data only in 0xE000-0xFFFF") << 3600 << "" << none;
    QTest::newRow("a file with data only in 0xE000-0xFFFF")
        << 3600 << "/tmp/fw.mot"
        << "ERROR/fw.mot: nothing to write outside 0xE000–0xFFFF";
}

void RewriteSequenceTest::imageWithoutDataSendsNothing() {
    QFETCH(int, dataRow);
    QFETCH(QString, file);
    QFETCH(QString, box);
    CommandRig rig;
    rig.context.imageFacts.path = file.toStdString();
    rig.image = MemoryImage();
    if (dataRow != 0) rig.image.ClearImage();
    if (dataRow > 0) {
        rig.image.setValue(dataRow, 0, 0);
        rig.image.flagRow(dataRow);
    }
    RewriteSequence(rig.context).cmdMacro_Click(0);
    QCOMPARE(rig.link.callNames(), QString());
    QCOMPARE(rig.boxes(), box);
    QCOMPARE(rig.prompt.shown[0].box.icon, PromptIcon::Exclamation);
    QCOMPARE(rig.prompt.shown[0].progressVisible, false);
    QVERIFY(rig.panel.restored());
}

void RewriteSequenceTest::secondRunStartsTheBarAtZero() {
    CommandRig rig;
    rig.link.status = {{"connect", int16_t(3)}, {"erase", int16_t(4)}};
    RewriteSequence rewrite(rig.context);
    rewrite.cmdMacro_Click(0);
    QCOMPARE(rig.panel.progress, 128);
    int atProgram = -1;
    rig.link.during = [&](const std::string& name) {
        if (name == "program") atProgram = rig.panel.progress;
    };
    rewrite.cmdMacro_Click(0);
    QCOMPARE(atProgram, 120);
    QCOMPARE(rig.panel.text1, std::string("021C0"));  // the fake's last position, 1024 + 64 * 119
    QVERIFY(!rig.panel.progressOutOfRange);
}

void RewriteSequenceTest::closingMidExchangeEndsQuietly_data() {
    QTest::addColumn<QString>("closeDuring");
    QTest::addColumn<QString>("calls");
    QTest::newRow("connect") << "connect"
                             << "connect";
    QTest::newRow("erase") << "erase"
                           << "connect,erase";
    QTest::newRow("program") << "program"
                             << "connect,erase,program";
    QTest::newRow("disconnect") << "disconnect"
                                << "connect,erase,program,disconnect";
}

void RewriteSequenceTest::closingMidExchangeEndsQuietly() {
    QFETCH(QString, closeDuring);
    QFETCH(QString, calls);
    CommandRig rig;
    // A cancelled exchange takes its error path; only the disconnect's status is not looked at.
    rig.link.status = {{"connect", int16_t(3)}, {"erase", int16_t(4)}};
    rig.link.during = [&](const std::string& name) {
        if (q(name) != closeDuring) return;
        rig.context.close();
        rig.link.status[name] = name == "connect" ? 8 : 1;
    };
    RewriteSequence(rig.context).cmdMacro_Click(0);
    QCOMPARE(rig.link.callNames(), calls);
    QVERIFY(rig.link.stopSource && rig.link.stopSource());  // nothing more goes out
    QCOMPARE(rig.boxes(), kConfirm);                        // nothing after the close
    QVERIFY(rig.panel.restored());
}

void RewriteSequenceTest::barTexts_data() {
    QTest::addColumn<int>("kind");  // 0: progress, 1: an attempt without its answer, 2: Text1
    QTest::addColumn<int>("a");     // bar value, or the attempt
    QTest::addColumn<int>("b");     // seconds left (-1: no estimate yet), or the attempt limit
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::newRow("first block") << 0 << 1 << -1 << 0 << "0%";
    QTest::newRow("estimate") << 0 << 64 << 95 << 0 << "50%, 1:35 left";
    QTest::newRow("block retried")
        << 1 << 1 << 2 << 0x4C0 << "block 0x4C00: no answer, trying again";
    QTest::newRow("block, last attempt")
        << 1 << 2 << 2 << 0x1000 << "block 0x10000: no answer, still waiting";
    QTest::newRow("silent connect") << 1 << 1 << 1 << -1 << "no answer yet, still waiting";
    QTest::newRow("box, first block") << 2 << 0 << 0 << 1024 << "0400";
    QTest::newRow("box, first block past the gap") << 2 << 0 << 0 << 4096 << "01000";
    QTest::newRow("box, last block") << 2 << 0 << 0 << 9152 << "023C0";
    QTest::newRow("box, last row") << 2 << 0 << 0 << 9215 << "023FF";
}

void RewriteSequenceTest::barTexts() {
    QFETCH(int, kind);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, row);
    QFETCH(QString, text);
    if (kind == 0) {
        const auto left = b < 0 ? std::nullopt : std::optional(std::chrono::seconds(b));
        QCOMPARE(q(ProgressText(a, left)), text);
    } else if (kind == 1) {
        QCOMPARE(q(AttemptText({a, b, row})), text);
    } else {
        QCOMPARE(q(PositionText(row)), text);
    }
}

void RewriteSequenceTest::serviceHistory_data() {
    QTest::addColumn<bool>("editMenu");  // the Edit menu's write, else the big button
    QTest::addColumn<int>("status");     // of the connect (big button) or the program walk
    QTest::addColumn<bool>("writable");  // the history's path names a folder when not
    QTest::addColumn<bool>("planted");   // another user's link to a folder of root's on the way
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("box");
    const QString lost =
        "\r\nwarning: the service history could not be written, so this write "
        "is not in it: ";
    QTest::newRow("big button") << false << 3 << true << false << "success"
                                << "Finished/Rewriting success!";
    QTest::newRow("big button, connect fails")
        << false << 8 << true << false << "failure"
        << "ERROR/Connection failure\r\nthe device is untouched: nothing was sent after the "
           "connect command; press the button again";
    QTest::newRow("big button, history not writable") << false << 3 << false << false << ""
                                                      << "Finished/Rewriting success!" + lost;
    QTest::newRow("Edit menu") << true << 0 << true << false << "success"
                               << "OK/書込成功";
    QTest::newRow("Edit menu, history not writable") << true << 0 << false << false << ""
                                                     << "OK/書込成功" + lost;
    if (::geteuid() == 0) {
        QTest::newRow("big button, history's folder planted by another user")
            << false << 3 << false << true << ""
            << "Finished/Rewriting success!" + lost;
    }
}

void RewriteSequenceTest::serviceHistory() {
    QFETCH(bool, editMenu);
    QFETCH(int, status);
    QFETCH(bool, writable);
    QFETCH(bool, planted);
    QFETCH(QString, outcome);
    QFETCH(QString, box);
    QTemporaryDir dir;
    QTemporaryDir victims;
    CommandRig rig;
    rig.context.historyPath =
        (writable || planted ? dir.filePath("data/history.jsonl") : dir.path()).toStdString();
    if (planted) {
        // The data folder is in a folder every user may write to; nobody put a link there first.
        QCOMPARE(::chmod(qPrintable(dir.path()), 01777), 0);
        QProcess nobody;
        nobody.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "ln", "-s",
                                 victims.path(), dir.filePath("data")});
        QVERIFY(nobody.waitForFinished() && nobody.exitCode() == 0);
    }
    rig.context.imageFacts.path = "/fw/a.mot";
    rig.context.imageFacts.sha256 = "ab12";
    rig.link.status = {{editMenu ? "program" : "connect", int16_t(status)}, {"erase", int16_t(4)}};
    if (editMenu) {
        StepButtons(rig.context).mnuWrite_Click();
    } else {
        RewriteSequence(rig.context).cmdMacro_Click(0);
    }
    // The outcome stands, whatever became of the history.
    QVERIFY2(rig.boxes().section('|', -1).startsWith(box), qPrintable(rig.boxes()));
    QCOMPARE(rig.link.callNames(), editMenu      ? QString("program")
                                   : status == 3 ? QString("connect,erase,program,disconnect")
                                                 : QString("connect"));
    if (!writable) {
        QCOMPARE(rig.prompt.shown.back().box.icon, PromptIcon::Exclamation);
        QVERIFY(QDir(victims.path()).isEmpty());
        return;
    }
    QFile file(dir.filePath("data/history.jsonl"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3);  // the started line, the final line, the end
    const QJsonObject started = QJsonDocument::fromJson(lines[0]).object();
    const QJsonObject ended = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(started["event"].toString(), QString("started"));
    QCOMPARE(ended["event"].toString(), QString("ended"));
    QCOMPARE(ended["attempt"], started["attempt"]);
    QCOMPARE(ended["outcome"].toString(), outcome);
    QCOMPARE(ended["port"].toString(), QString("COM1"));
    QCOMPARE(ended["image"].toString(), QString("/fw/a.mot"));
    QCOMPARE(ended["sha256"].toString(), QString("ab12"));
    QCOMPARE(ended["blocks_written"].toInt(), outcome == "success" ? 1 : 0);
}

QTEST_GUILESS_MAIN(RewriteSequenceTest)
#include "rewrite_sequence_test.moc"
