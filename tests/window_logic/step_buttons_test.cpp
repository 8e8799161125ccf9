// The bench's step buttons and the Edit menu's write item against scripted exchanges.

#include "step_buttons.h"

#include <QtTest>

#include "command_fakes.h"

using namespace quorvel;
using namespace quorvel::test;

Q_DECLARE_METATYPE(quorvel::StepButton)
Q_DECLARE_METATYPE(quorvel::ControlId)

namespace {
const QString kConnectOk = "OK/接続しました", kConnectNg = "NG/接続に失敗しました";
const QString kEraseOk = "OK/消去しました", kEraseNg = "NG/消去に失敗しました";
const QString kWriteOk = "OK/書込成功", kWriteNg = "NG/書込失敗";
const QString kEndOk = "OK/切断しました", kEndNg = "NG/切断に失敗しました";
}  // namespace

class StepButtonsTest : public QObject {
    Q_OBJECT
  private slots:
    void buttons_data();
    void buttons();
    void nothingToWrite_data();
    void nothingToWrite();
    void menuWriteAsksAndShowsTheBar_data();
    void menuWriteAsksAndShowsTheBar();
    void manualWriteKeepsTheBarInRange();
    void settingsAreReadWhenTheExchangeStarts();
};

void StepButtonsTest::buttons_data() {
    QTest::addColumn<StepButton>("button");
    QTest::addColumn<ControlId>("control");
    QTest::addColumn<bool>("hourglass");
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("box");

    struct Row {
        const char* name;
        StepButton button;
        ControlId control;
        bool hourglass;
        const char* call;
        int status;
        QString box;
    };
    using B = StepButton;
    using C = ControlId;
    const Row rows[] = {
        {"Command1 C", B::Command1, C::Command1, false, "connect", 3, kConnectOk},
        {"Command1 0", B::Command1, C::Command1, false, "connect", 0, kConnectNg},
        {"Command1 8", B::Command1, C::Command1, false, "connect", 8, kConnectNg},
        {"Command11 C", B::Command11, C::Command11, false, "connect", 3, kConnectOk},
        {"Command11 0", B::Command11, C::Command11, false, "connect", 0, kConnectNg},
        {"Command4 0", B::Command4, C::Command4, false, "connect", 0, kConnectOk},
        {"Command4 C", B::Command4, C::Command4, false, "connect", 3, kConnectNg},
        {"cmbErase 4", B::cmbErase, C::cmbErase, false, "erase", 4, kEraseOk},
        {"cmbErase 1", B::cmbErase, C::cmbErase, false, "erase", 1, kEraseNg},
        {"Command8 4", B::Command8, C::Command8, false, "erase", 4, kEraseOk},
        {"Command8 0", B::Command8, C::Command8, false, "erase", 0, kEraseNg},
        {"Command7 0", B::Command7, C::Command7, false, "text:ERASE", 0, kEraseOk},
        {"Command7 4", B::Command7, C::Command7, false, "text:ERASE", 4, kEraseNg},
        {"Command7 -1", B::Command7, C::Command7, false, "text:ERASE", -1, kEraseNg},
        {"cmbWrite 0", B::cmbWrite, C::cmbWrite, true, "program", 0, kWriteOk},
        {"cmbWrite 1", B::cmbWrite, C::cmbWrite, true, "program", 1, kWriteNg},
        {"Command9 0", B::Command9, C::Command9, true, "program", 0, kWriteOk},
        {"Command9 1", B::Command9, C::Command9, true, "program", 1, kWriteNg},
        {"Command6 0", B::Command6, C::Command6, true, "row", 0, kWriteOk},
        {"Command6 -1", B::Command6, C::Command6, true, "row", -1, kWriteNg},
        {"cmbEnd 0", B::cmbEnd, C::cmbEnd, false, "disconnect", 0, kEndOk},
        {"cmbEnd 1", B::cmbEnd, C::cmbEnd, false, "disconnect", 1, kEndNg},
        {"Command10 0", B::Command10, C::Command10, false, "disconnect", 0, kEndOk},
        {"Command10 1", B::Command10, C::Command10, false, "disconnect", 1, kEndNg},
        {"Command5 0", B::Command5, C::Command5, false, "text:END", 0, kEndOk},
        {"Command5 2", B::Command5, C::Command5, false, "text:END", 2, kEndNg},
    };
    for (const Row& r : rows) {
        QTest::newRow(r.name) << r.button << r.control << r.hourglass << QString(r.call) << r.status
                              << r.box;
    }
}

void StepButtonsTest::buttons() {
    QFETCH(StepButton, button);
    QFETCH(ControlId, control);
    QFETCH(bool, hourglass);
    QFETCH(QString, call);
    QFETCH(int, status);
    QFETCH(QString, box);

    CommandRig rig;
    const std::string name = call.section(':', 0, 0).toStdString();
    rig.link.status[name] = int16_t(status);
    rig.link.during = [&](const std::string&) {
        QCOMPARE(rig.panel.isEnabled(control), hourglass);
        QCOMPARE(rig.panel.busy, hourglass);
        QVERIFY(rig.panel.locked);
    };
    StepButtons(rig.context).Click(button);

    QCOMPARE(rig.link.callNames(), q(name));
    QCOMPARE(q(rig.link.calls[0].word), call.section(':', 1));
    QCOMPARE(rig.boxes().section("\r\n", 0, 0), box);  // a failure gives its cause under it
    const ShownBox& shown = rig.prompt.shown[0];
    QCOMPARE(shown.box.icon, box.startsWith("OK/") ? PromptIcon::None : PromptIcon::Exclamation);
    QCOMPARE(shown.box.buttons, PromptButtons::Ok);
    QCOMPARE(shown.busy, hourglass);  // the pointer comes back only after the box
    QVERIFY(rig.panel.restored());
}

void StepButtonsTest::nothingToWrite_data() {
    QTest::addColumn<StepButton>("button");
    QTest::addColumn<bool>("menu");      // through the Edit menu's write item instead
    QTest::addColumn<int>("dataRow");    // the one loaded row; 0: no load at all, -1: none
    QTest::addColumn<QString>("calls");  // empty: the "no image" box and nothing sent

    using B = StepButton;
    QTest::newRow("cmbWrite, no load") << B::cmbWrite << false << 0 << "";
    QTest::newRow("cmbWrite, headers only") << B::cmbWrite << false << -1 << "";
    QTest::newRow("cmbWrite, only 0xE000") << B::cmbWrite << false << 3584 << "";
    QTest::newRow("cmbWrite, last block") << B::cmbWrite << false << 9215 << "program";
    QTest::newRow("mnuWrite, headers only") << B::cmbWrite << true << -1 << "";
    QTest::newRow("mnuWrite, only 0xFFF0") << B::cmbWrite << true << 4095 << "";
    QTest::newRow("Command9, no load") << B::Command9 << false << 0 << "";
    QTest::newRow("Command9, only 0xE100") << B::Command9 << false << 3600 << "";
    QTest::newRow("Command9, 0x10000") << B::Command9 << false << 4096 << "program";
    QTest::newRow("Command6, no load") << B::Command6 << false << 0 << "";
    QTest::newRow("Command6, headers only") << B::Command6 << false << -1 << "";
    // The row walk has no gap: these rows are written like all others.
    QTest::newRow("Command6, only 0xE000") << B::Command6 << false << 3584 << "row";
    // Rows from 0x10000 on end the row walk with a failure, never an empty success.
    QTest::newRow("Command6, only 0x23FF0") << B::Command6 << false << 9215 << "row";
    // Steps that send no image run whatever it holds.
    QTest::newRow("Command1, headers only") << B::Command1 << false << -1 << "connect";
    QTest::newRow("cmbErase, no load") << B::cmbErase << false << 0 << "erase";
    QTest::newRow("Command7, headers only") << B::Command7 << false << -1 << "text";
}

void StepButtonsTest::nothingToWrite() {
    QFETCH(StepButton, button);
    QFETCH(bool, menu);
    QFETCH(int, dataRow);
    QFETCH(QString, calls);

    CommandRig rig;
    rig.image = MemoryImage();
    if (dataRow != 0) rig.image.ClearImage();
    if (dataRow > 0) rig.image.flagRow(dataRow);
    StepButtons steps(rig.context);
    if (menu) {
        steps.mnuWrite_Click();
    } else {
        steps.Click(button);
    }

    QCOMPARE(rig.link.callNames(), calls);
    // The menu's write asks its confirmation before it sends.
    QCOMPARE(rig.prompt.shown.size(), size_t(menu && !calls.isEmpty() ? 2 : 1));
    if (calls.isEmpty()) {
        QCOMPARE(rig.boxes(), QString("ERROR/No firmware image is loaded."));
        QCOMPARE(rig.prompt.shown[0].box.icon, PromptIcon::Exclamation);
        QCOMPARE(rig.prompt.shown[0].box.buttons, PromptButtons::Ok);
    } else {
        QVERIFY(!rig.boxes().startsWith("ERROR/"));  // the step's own OK or NG box
    }
    QVERIFY(rig.panel.restored());
}

void StepButtonsTest::menuWriteAsksAndShowsTheBar_data() {
    QTest::addColumn<PromptAnswer>("answer");  // to the confirmation
    QTest::addColumn<bool>("device");          // a device behind the port
    QTest::addColumn<QString>("calls");
    QTest::newRow("OK") << PromptAnswer::Ok << true << "program";
    QTest::newRow("Cancel") << PromptAnswer::Cancel << true << "";
    // Refused before the confirmation, as the write's failure with the port's words under it.
    QTest::newRow("no device") << PromptAnswer::Ok << false << "";
}

// The Edit menu's write runs cmbWrite's exchange and boxes, after the rewrite's confirmation
// and with the bar in view.
void StepButtonsTest::menuWriteAsksAndShowsTheBar() {
    QFETCH(PromptAnswer, answer);
    QFETCH(bool, device);
    QFETCH(QString, calls);
    CommandRig rig;
    rig.prompt.answers = {answer};
    rig.link.deviceThere = device;
    bool hourglassDuring = false, barDuring = false;
    rig.link.during = [&](const std::string&) {
        hourglassDuring = rig.panel.busy;
        barDuring = rig.panel.progressVisible;
    };
    StepButtons(rig.context).mnuWrite_Click();
    QCOMPARE(rig.link.callNames(), calls);
    if (!device) {
        QCOMPARE(rig.boxes(), kWriteNg +
                                  "\r\nscripted device: nothing was sent.\r\nPlug the adapter in, "
                                  "or pick the port it is on, then press the button again");
        QCOMPARE(rig.prompt.shown[0].box.icon, PromptIcon::Exclamation);
        return;
    }
    QCOMPARE(rig.boxes().section('|', 0, 0).section('/', 0, 0), QString("Rewriting of software"));
    if (!calls.isEmpty()) {
        QCOMPARE(rig.boxes().section('|', 1), kWriteOk);
        QVERIFY(hourglassDuring && barDuring);
        QVERIFY(rig.prompt.shown[1].progressVisible);  // hidden only after the box
    }
    QVERIFY(rig.panel.restored());
}

void StepButtonsTest::manualWriteKeepsTheBarInRange() {
    CommandRig rig;
    rig.panel.progress = 128;  // where a finished one-button rewrite leaves it
    StepButtons steps(rig.context);
    steps.Click(StepButton::cmbWrite);
    QCOMPARE(rig.panel.progress, 120);
    rig.link.programSteps = 300;  // more steps than the bar holds
    steps.Click(StepButton::Command9);
    QCOMPARE(rig.panel.progress, 128);
    QVERIFY(!rig.panel.progressOutOfRange);
    QVERIFY(!rig.panel.progressVisible);
}

void StepButtonsTest::settingsAreReadWhenTheExchangeStarts() {
    CommandRig rig;
    rig.panel.settings.portNumber = 10;
    rig.panel.settings.loader = LoaderGeneration::V105;
    StepButtons steps(rig.context);
    steps.Click(StepButton::Command1);
    rig.panel.settings.portNumber = 0;
    steps.Click(StepButton::Command1);
    QCOMPARE(rig.link.calls[0].settings.portNumber, int16_t(10));
    QCOMPARE(rig.link.calls[0].settings.loader, LoaderGeneration::V105);
    QCOMPARE(rig.link.calls[1].settings.portNumber, int16_t(0));
}

QTEST_GUILESS_MAIN(StepButtonsTest)
#include "step_buttons_test.moc"
