// What each exchange records of the device (attempts, the last judged reply, the deadline, the
// status bytes) for the command line's diagnosis, against the simulated loader's faults.

#include <QtTest>

#include "image_loader.h"
#include "live_loader.h"

using namespace quorvel;

namespace {

MemoryImage smallImage() {
    MemoryImage image;
    if (!LoadImageFile(QUORVEL_TEST_DATA_DIR "/small.mot", image).ok()) {
        qFatal("cannot load small.mot");
    }
    return image;
}

int16_t runExchange(const QString& exchange, LiveLoader& live) {
    Loader& loader = *live.loader;
    const ExchangeSettings& s = live.settings;
    static const MemoryImage image = smallImage();
    if (exchange == "connect") return loader.LoaderConnect(s);
    if (exchange == "pin") return loader.PortCommand(s);
    if (exchange == "erase") return loader.FlashErase(s);
    if (exchange == "program") return loader.FlashProgram(s, image, {});
    if (exchange == "disconnect") return loader.LoaderDisconnect(s);
    if (exchange == "text") return loader.TextCommand(s, "END");
    if (exchange == "row") return loader.RowWrite(s, image, {});
    qFatal("unknown exchange");
}

}  // namespace

class DiagnosticsE2eTest : public QObject {
    Q_OBJECT

  private slots:
    void recorded_data() {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<QString>("fault");  // empty: a healthy loader
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("row");       // -1 outside the walks
        QTest::addColumn<int>("received");  // -1: no reply judged (the port failed)
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<int>("position");  // where the status bytes were read, -1 none
        QTest::addColumn<QString>("bytes");

        QTest::newRow("connect healthy") << "connect"
                                         << "" << 3 << 1 << 1 << -1 << 15 << false << 11 << "43";
        QTest::newRow("connect E")
            << "connect"
            << "connect=status:E" << 8 << 1 << 1 << -1 << 15 << false << 11 << "45";
        QTest::newRow("connect short")
            << "connect"
            << "connect=short" << 8 << 1 << 1 << -1 << 14 << true << -1 << "";
        QTest::newRow("connect silent")
            << "connect"
            << "connect=silent" << 8 << 1 << 1 << -1 << 0 << true << -1 << "";
        QTest::newRow("pin garbage")
            << "pin"
            << "pin=status:??" << 8 << 1 << 1 << -1 << 14 << false << 8 << "0D 0A 3F 3F 0D 0A";
        QTest::newRow("erase refused")
            << "erase"
            << "erase=status:E" << 1 << 3 << 3 << -1 << 1036 << false << 1032 << "45";
        QTest::newRow("erase second")
            << "erase"
            << "erase=status:E,count=1" << 4 << 2 << 3 << -1 << 1036 << false << 1032 << "30";
        QTest::newRow("erase silent")
            << "erase"
            << "erase=silent" << 1 << 3 << 3 << -1 << 0 << true << -1 << "";
        QTest::newRow("program resent")
            << "program"
            << "program=status:E,count=1" << 0 << 2 << 2 << 1024 << 1036 << false << 1032 << "30";
        QTest::newRow("program silent")
            << "program"
            << "program=silent" << 1 << 2 << 2 << 1024 << 0 << true << -1 << "";
        QTest::newRow("disconnect short")
            << "disconnect"
            << "disconnect=short" << 1 << 3 << 3 << -1 << 1035 << true << -1 << "";
        QTest::newRow("disconnect healthy") << "disconnect"
                                            << "" << 0 << 1 << 3 << -1 << 1036 << false << -1 << "";
        QTest::newRow("text answers 1")
            << "text"
            << "text=status:1" << 1 << 3 << 3 << -1 << 1 << false << 0 << "31";
        QTest::newRow("text silent")
            << "text"
            << "text=silent" << -1 << 1 << 3 << -1 << 0 << true << -1 << "";
        QTest::newRow("row ack refused")
            << "row"
            << "ack=status:1" << 1 << 10 << 10 << 1024 << 43 << false << 23 << "31";
        QTest::newRow("row port lost")
            << "row"
            << "row=close-after:0" << -1 << 1 << 10 << 1024 << -1 << false << -1 << "";
    }
    void recorded() {
        QFETCH(QString, exchange);
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(int, attempts);
        QFETCH(int, limit);
        QFETCH(int, row);
        QFETCH(int, received);
        QFETCH(bool, timedOut);
        QFETCH(int, position);
        QFETCH(QString, bytes);

        SimProcess device(fault.isEmpty() ? QStringList{} : QStringList{"--fault", fault});
        QVERIFY(device.started());
        LiveLoader live(device);
        QCOMPARE(int(runExchange(exchange, live)), status);
        const ExchangeDiagnostics& seen = live.loader->lastDiagnostics();
        QCOMPARE(seen.attempts, attempts);
        QCOMPARE(seen.attemptLimit, limit);
        QCOMPARE(seen.row, row);
        QCOMPARE(seen.judged, received >= 0);
        if (received >= 0) {
            QCOMPARE(int(seen.receivedBytes), received);
            QCOMPARE(seen.timedOut, timedOut);
        } else {
            QVERIFY(!live.loader->portFailureText().empty());
        }
        QCOMPARE(int(seen.statusPosition), position);
        QCOMPARE(hexOf(seen.statusBytes), bytes);
    }

    // The row echo that does not repeat the record is kept whole (20 bytes), and a refused
    // port leaves nothing judged and no attempt.
    void echoAndBusyPort() {
        {
            SimProcess device({"--fault", "row=mismatch"});
            QVERIFY(device.started());
            LiveLoader live(device);
            QCOMPARE(int(runExchange("row", live)), 1);
            const ExchangeDiagnostics& seen = live.loader->lastDiagnostics();
            QCOMPARE(int(seen.statusPosition), 23);
            QCOMPARE(seen.statusBytes.size(), size_t(20));
            QVERIFY(seen.statusBytes !=
                    std::vector<uint8_t>(live.loader->bytLineBuf().begin(),
                                         live.loader->bytLineBuf().begin() + 20));
        }
        SimProcess device;
        QVERIFY(device.started());
        SerialPortTransport holder;
        QVERIFY(holder.open({1, device.slave()}));
        LiveLoader live(device);
        QCOMPARE(int(runExchange("erase", live)), 1);
        const ExchangeDiagnostics& seen = live.loader->lastDiagnostics();
        QCOMPARE(seen.attempts, 0);
        QVERIFY(!seen.judged);
        QVERIFY(!live.loader->portFailureText().empty());
    }
};

QTEST_GUILESS_MAIN(DiagnosticsE2eTest)
#include "diagnostics_e2e_test.moc"
