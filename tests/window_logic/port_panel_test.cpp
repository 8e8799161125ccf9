// The port-control panel's "GO" button: the text shown for each status, and the button.

#include "port_panel.h"

#include <QtTest>

#include "command_fakes.h"

using namespace quorvel;
using namespace quorvel::test;

class PortPanelTest : public QObject {
    Q_OBJECT
  private slots:
    void resultText_data();
    void resultText();
    void goButton();
};

void PortPanelTest::resultText_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("OK") << 0 << "OK";
    QTest::newRow("NG") << 1 << "NG";
    QTest::newRow("00") << 9 << "L出力";
    QTest::newRow("01") << 10 << "H出力";
    QTest::newRow("02") << 11 << "L入力";
    QTest::newRow("03") << 12 << "H入力";
    QTest::newRow("no answer") << 8 << "???";
    QTest::newRow("unknown 2") << 2 << "???";
    QTest::newRow("unknown 13") << 13 << "???";
    QTest::newRow("negative") << -1 << "???";
}

void PortPanelTest::resultText() {
    QFETCH(int, status);
    QFETCH(QString, text);
    CommandRig rig;
    rig.link.status["port"] = int16_t(status);
    PortPanel(rig.context).Command2_Click();
    QCOMPARE(q(rig.panel.text2), text);
    QCOMPARE(rig.prompt.shown.size(), size_t(0));  // the panel never shows a box
}

void PortPanelTest::goButton() {
    CommandRig rig;
    rig.panel.settings.pinText = "12";
    rig.panel.settings.portMode = PortMode::OutputLow;
    rig.panel.settings.speed = SpeedOption::Bps38400;
    rig.link.during = [&](const std::string&) {
        QVERIFY(!rig.panel.isEnabled(ControlId::Command2));
        QVERIFY(rig.panel.locked);
        QCOMPARE(q(rig.panel.text2), QString("Text2"));  // unchanged until the answer is in
    };
    PortPanel(rig.context).Command2_Click();
    QCOMPARE(rig.link.callNames(), QString("port"));
    QCOMPARE(rig.link.calls[0].settings.pinText, std::string("12"));
    QCOMPARE(rig.link.calls[0].settings.portMode, PortMode::OutputLow);
    QCOMPARE(rig.link.calls[0].settings.speed, SpeedOption::Bps38400);
    QVERIFY(rig.panel.restored());
}

QTEST_GUILESS_MAIN(PortPanelTest)
#include "port_panel_test.moc"
