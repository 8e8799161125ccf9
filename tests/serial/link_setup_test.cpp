// Line settings strings, the speed option and how COM numbers find their devices.

#include <QtTest>

#include "line_settings.h"
#include "port_mapping.h"

using namespace quorvel;

class LinkSetupTest : public QObject {
    Q_OBJECT

  private slots:
    void parseSettings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::newRow("9600") << "9600,n,8,1" << true << 9600;
        QTest::newRow("38400") << "38400,n,8,1" << true << 38400;
        QTest::newRow("4800") << "4800,n,8,1" << true << 4800;
        QTest::newRow("upper-case parity") << "9600,N,8,1" << true << 9600;
        QTest::newRow("missing field") << "9600,n,8" << false << 0;
        QTest::newRow("extra field") << "9600,n,8,1,1" << false << 0;
        QTest::newRow("speed not a number") << "96x0,n,8,1" << false << 0;
        QTest::newRow("unknown parity") << "9600,x,8,1" << false << 0;
        QTest::newRow("nine data bits") << "9600,n,9,1" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
    }
    void parseSettings() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, baud);
        const auto parsed = parseLineSettings(text.toStdString());
        QCOMPARE(parsed.has_value(), valid);
        if (!valid) return;
        QCOMPARE(parsed->baudRate, baud);
        QCOMPARE(parsed->parity, 'n');
        QCOMPARE(parsed->dataBits, 8);
        QCOMPARE(parsed->stopBits, 1);
    }

    void speedOption() {
        QCOMPARE(settingsForSpeed(SpeedOption::Bps9600), kSettings9600);
        QCOMPARE(settingsForSpeed(SpeedOption::Bps38400), kSettings38400);
        QCOMPARE(settingsForSpeed(SpeedOption::Bps4800), kSettings4800);
    }

    void portOrder_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("ordered");
        QTest::newRow("adapters before legacy ports")
            << QStringList{"ttyS1", "ttyACM0", "ttyS0", "ttyUSB1", "ttyUSB0"}
            << QStringList{"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0", "ttyS1"};
        QTest::newRow("numbers compared as numbers")
            << QStringList{"ttyUSB10", "ttyUSB2", "ttyS10", "ttyS9"}
            << QStringList{"ttyUSB2", "ttyUSB10", "ttyS9", "ttyS10"};
        QTest::newRow("other ports between ACM and ttyS")
            << QStringList{"ttyS0", "ttyAMA0", "ttyACM1", "rfcomm0"}
            << QStringList{"ttyACM1", "rfcomm0", "ttyAMA0", "ttyS0"};
        QTest::newRow("macOS adapters")
            << QStringList{"cu.usbmodem14", "cu.Bluetooth", "cu.usbserial-A1"}
            << QStringList{"cu.usbserial-A1", "cu.usbmodem14", "cu.Bluetooth"};
    }
    void portOrder() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, ordered);
        std::vector<std::string> in;
        for (const QString& n : names) in.push_back(n.toStdString());
        QStringList out;
        for (const std::string& n : orderPortNames(in)) out << QString::fromStdString(n);
        QCOMPARE(out, ordered);
    }

    void deviceForNumber() {
        qputenv("QUORVEL_COM7", "/dev/ttyTEST7");
        QCOMPARE(deviceForTarget({7, ""}), std::optional<std::string>("/dev/ttyTEST7"));
        QCOMPARE(deviceForTarget({7, "/dev/given"}), std::optional<std::string>("/dev/given"));
        QCOMPARE(deviceForTarget({0, ""}), std::optional<std::string>());
        qunsetenv("QUORVEL_COM7");
        // Far more ports than any machine reports.
        QCOMPARE(deviceForTarget({999, ""}), std::optional<std::string>());
        QCOMPARE(targetName({3, ""}), std::string("COM3"));
        QCOMPARE(targetName({3, "/dev/x"}), std::string("/dev/x"));
        ExchangeSettings settings;
        settings.portNumber = 10;
        QCOMPARE(GetCOM(settings).number, int16_t(10));
    }
};

QTEST_APPLESS_MAIN(LinkSetupTest)
#include "link_setup_test.moc"
