// How COM numbers find their devices.

#include <QtTest>

#include "port_mapping.h"

using namespace quorvel;

class LinkSetupTest : public QObject {
    Q_OBJECT

  private slots:
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
    }
};

QTEST_APPLESS_MAIN(LinkSetupTest)
#include "link_setup_test.moc"
