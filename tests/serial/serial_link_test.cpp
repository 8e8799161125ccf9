// The serial link on a real port (a pseudo-terminal): the reply wait, sending, line settings,
// opening failures and the transcript.

#include "serial_link.h"

#include <QElapsedTimer>
#include <QtTest>
#include <memory>

#include "pty_pair.h"
#include "serial_port_transport.h"
#include "trace_transport.h"

using namespace quorvel;

namespace {

PortTarget onDevice(const std::string& path) {
    PortTarget s;
    s.portNumber = 1;
    s.devicePath = path;
    return s;
}

QByteArray asBytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

}  // namespace

class SerialLinkTest : public QObject {
    Q_OBJECT

  private slots:
    void waitCountsEverythingThatWaits_data() {
        QTest::addColumn<QByteArray>("before");  // sent before the wait begins
        QTest::addColumn<QByteArray>("during");  // sent 30 ms into the wait
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("expected");
        QTest::newRow("reply longer than the minimum")
            << QByteArray(20, 'a') << QByteArray() << 15 << 20;
        QTest::newRow("reply during the wait") << QByteArray() << QByteArray(15, 'b') << 15 << 15;
        QTest::newRow("earlier bytes count")
            << QByteArray(10, 'c') << QByteArray(5, 'd') << 15 << 15;
    }
    void waitCountsEverythingThatWaits() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, during);
        QFETCH(int, minimum);
        QFETCH(int, expected);
        PtyPair pty;
        QVERIFY(pty.ok());
        SerialLink link(std::make_unique<SerialPortTransport>());
        QVERIFY(link.openPort(onDevice(pty.path())));
        pty.send(before);
        if (!during.isEmpty()) QTimer::singleShot(30, [&] { pty.send(during); });
        QElapsedTimer clock;
        clock.start();
        const auto count = link.WaitForReply(static_cast<int16_t>(minimum));
        QVERIFY(count.has_value());
        QCOMPARE(int(*count), expected);
        QCOMPARE(asBytes(link.bytRxBuf), before + during);
        QVERIFY(clock.elapsed() < 2000);  // ended on the count, not at the deadline
        link.closePort();
        QVERIFY(!link.isOpen());
    }

    // A wait that ends short at the deadline listens on for the rest of its reply and throws it
    // away; bytes still waiting when the next message goes out are thrown away too. Either way
    // the next answer holds nothing of the old one.
    void lateBytesNeverAnswerTheNextMessage_data() {
        QTest::addColumn<QByteArray>("inTime");  // sent at once
        QTest::addColumn<int>("lateMs");         // the rest comes this long after the deadline
        QTest::addColumn<QByteArray>("late");
        QTest::addColumn<int>("leastMs");  // the wait with its settling lasts at least...
        QTest::addColumn<int>("mostMs");   // ...and less than this
        QTest::newRow("silence") << QByteArray() << 0 << QByteArray() << 4950 << 6000;
        QTest::newRow("tail 100 ms late")
            << QByteArray(8, 'a') << 100 << QByteArray(7, 'b') << 2550 << 3500;
        QTest::newRow("whole reply 1 s late")
            << QByteArray() << 1000 << QByteArray(15, 'c') << 3450 << 4500;
        QTest::newRow("too little, then silence")
            << QByteArray(8, 'a') << 100 << QByteArray(3, 'b') << 5050 << 6000;
    }
    void lateBytesNeverAnswerTheNextMessage() {
        QFETCH(QByteArray, inTime);
        QFETCH(int, lateMs);
        QFETCH(QByteArray, late);
        QFETCH(int, leastMs);
        QFETCH(int, mostMs);
        PtyPair pty;
        SerialLink link(std::make_unique<SerialPortTransport>());
        QVERIFY(link.openPort(onDevice(pty.path())));
        link.bytRxBuf = {1, 2, 3};  // the previous reply
        if (!inTime.isEmpty()) pty.send(inTime);
        if (!late.isEmpty()) {
            QTimer::singleShot(2500 + lateMs, Qt::PreciseTimer, this, [&] { pty.send(late); });
        }
        QElapsedTimer clock;
        clock.start();
        const auto count = link.WaitForReply(15);
        const qint64 ms = clock.elapsed();
        QCOMPARE(count, std::optional<int16_t>(int16_t(inTime.size())));
        QCOMPARE(asBytes(link.bytRxBuf), inTime);
        QCOMPARE(link.lastWait().lateBytes, int64_t(late.size()));
        QVERIFY2(ms >= leastMs && ms < mostMs, qPrintable(QString::number(ms)));

        pty.send("stale");
        QTest::qWait(20);
        QVERIFY(link.sendText("Q"));
        pty.send("fresh");
        QCOMPARE(link.WaitForReply(5), std::optional<int16_t>(5));
        QCOMPARE(asBytes(link.bytRxBuf), QByteArray("fresh"));
    }

    void abortEndsTheWait() {
        PtyPair pty;
        SerialLink link(std::make_unique<SerialPortTransport>());
        QVERIFY(link.openPort(onDevice(pty.path())));
        bool abort = false;
        link.abortWaitsWhen([&] { return abort; });
        QTimer::singleShot(20, [&] { abort = true; });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!link.WaitForReply(15).has_value());
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!link.ReceiveWait().has_value());  // asked again at the start of every wait
        abort = false;
        pty.send("abc");
        QCOMPARE(link.WaitForReply(3), std::optional<int16_t>(3));
    }

    void receiveWaitSendsTheFrameAt38400() {
        PtyPair pty;
        SerialLink link(std::make_unique<SerialPortTransport>());
        QVERIFY(link.setLineSettings(kSettings4800));
        QVERIFY(link.openPort(onDevice(pty.path())));
        QCOMPARE(pty.slaveSpeed(), 4800);
        for (size_t i = 0; i < kFrameSize; ++i) link.bytTxBuf[i] = static_cast<uint8_t>(i * 7);
        QTimer::singleShot(20, [&] { pty.send(QByteArray(1036, 'r')); });
        const auto count = link.ReceiveWait();
        QCOMPARE(count, std::optional<int16_t>(1036));
        QCOMPARE(pty.slaveSpeed(), 38400);
        QCOMPARE(pty.received(), asBytes(link.bytTxBuf));
        // A change on the open port takes effect at once.
        QVERIFY(link.setLineSettings(kSettings9600));
        QCOMPARE(pty.slaveSpeed(), 9600);
    }

    void openFailuresSayWhy_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("device");  // "pty" for a pseudo-terminal already in use
        QTest::addColumn<QString>("says");
        QTest::newRow("port number 0") << 0 << ""
                                       << "no port is selected";
        QTest::newRow("unmapped number") << 999 << ""
                                         << "set QUORVEL_COM999";
        QTest::newRow("missing device") << 1 << "/dev/ttyQUORVELNONE"
                                        << "does not exist";
        QTest::newRow("busy") << 1 << "pty"
                              << "busy";
    }
    void openFailuresSayWhy() {
        QFETCH(int, number);
        QFETCH(QString, device);
        QFETCH(QString, says);
        PtyPair pty;
        SerialLink holder(std::make_unique<SerialPortTransport>());
        PortTarget settings;
        settings.portNumber = static_cast<int16_t>(number);
        settings.devicePath = device.toStdString();
        if (device == "pty") {
            settings.devicePath = pty.path();
            QVERIFY(holder.openPort(settings));
        }
        SerialLink link(std::make_unique<SerialPortTransport>());
        QVERIFY(!link.openPort(settings));
        QVERIFY(!link.isOpen());
        const QString text = QString::fromStdString(link.failureText());
        QVERIFY2(text.contains(says), qPrintable(text));
    }

    void lostDeviceFailsTheWait() {
        PtyPair pty;
        SerialLink link(std::make_unique<SerialPortTransport>());
        QVERIFY(link.openPort(onDevice(pty.path())));
        QTimer::singleShot(20, [&] { pty.closeMaster(); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!link.WaitForReply(15).has_value());
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY2(QString::fromStdString(link.failureText()).contains("lost"),
                 link.failureText().c_str());
        link.closePort();
    }

    void transcriptRecordsTheDialogue() {
        PtyPair pty;
        QStringList lines;
        auto trace = std::make_unique<TraceTransport>(
            std::make_unique<SerialPortTransport>(),
            [&](std::string_view l) { lines << QString::fromUtf8(l.data(), qsizetype(l.size())); });
        TraceTransport* tracer = trace.get();
        SerialLink link(std::move(trace));
        QVERIFY(link.setLineSettings(kSettings9600));
        QVERIFY(link.openPort(onDevice(pty.path())));
        QVERIFY(link.sendText("ABC"));
        pty.send("xyz");
        QCOMPARE(link.WaitForReply(3), std::optional<int16_t>(3));
        link.closePort();
        const QStringList events = [&] {
            QStringList e;
            for (const QString& l : lines) e << l.mid(10);  // after the time stamp
            return e;
        }();
        QCOMPARE(
            events,
            (QStringList{"settings 9600,n,8,1", "open " + QString::fromStdString(pty.path()),
                         "send 3: 41 42 43", "wait for 3: 3 bytes", "recv 3: 78 79 7A", "close"}));
        QCOMPARE(tracer->bytesSent(), uint64_t(3));
        QCOMPARE(tracer->bytesReceived(), uint64_t(3));
    }
};

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "serial_link_test.moc"
