// The line settings the speed option selects and how COM numbers find their devices.

#include <QtTest>

#include "line_settings.h"
#include "port_mapping.h"

using namespace quorvel;

class LinkSetupTest : public QObject {
    Q_OBJECT

  private slots:
    // The speed option's table: the settings each option selects, as the transcript names them,
    // and the bits a byte takes on the wire (the dry run's time estimate).
    void speedOption_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bitsPerByte");
        QTest::newRow("9600") << int(SpeedOption::Bps9600) << "9600,n,8,1" << 10;
        QTest::newRow("38400") << int(SpeedOption::Bps38400) << "38400,n,8,1" << 10;
        QTest::newRow("4800") << int(SpeedOption::Bps4800) << "4800,n,8,1" << 10;
    }
    void speedOption() {
        QFETCH(int, option);
        QFETCH(QString, text);
        QFETCH(int, bitsPerByte);
        const LineSettings settings = settingsForSpeed(static_cast<SpeedOption>(option));
        QCOMPARE(QString::fromStdString(settings.text()), text);
        QCOMPARE(settings.bitsPerByte(), bitsPerByte);
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
