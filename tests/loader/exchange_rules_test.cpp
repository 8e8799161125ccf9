// Rules every exchange keeps: one exchange at a time, the port closed on every path, its
// failure code when the port cannot be opened or breaks, and cancellation.

#include "exchange_test_support.h"

using namespace quorvel;

namespace {

const QStringList kExchanges = {"connect", "port", "erase", "program", "end", "text", "row"};

int failureCodeOf(const QString& name) {
    if (name == "connect" || name == "port") return 8;
    if (name == "text" || name == "row") return -1;
    return 1;
}

int16_t run(Loader& loader, const QString& name, const ExchangeSettings& settings,
            const MemoryImage& image) {
    const ProgressCallback none;
    if (name == "connect") return loader.LoaderConnect(settings);
    if (name == "port") return loader.PortCommand(settings);
    if (name == "erase") return loader.FlashErase(settings);
    if (name == "program") return loader.FlashProgram(settings, image, none);
    if (name == "end") return loader.LoaderDisconnect(settings);
    if (name == "text") return loader.TextCommand(settings, "ERASE");
    return loader.RowWrite(settings, image, none);
}

void addExchangeRows() {
    QTest::addColumn<QString>("exchange");
    for (const QString& name : kExchanges) QTest::newRow(qPrintable(name)) << name;
}

}  // namespace

class ExchangeRulesTest : public QObject {
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

    void refusedWhileAnotherHoldsTheLink_data() { addExchangeRows(); }
    void refusedWhileAnotherHoldsTheLink() {
        QFETCH(QString, exchange);
        ScriptedLoader s;
        const MemoryImage image = imageWithRows({1024});
        s.transport->replies = {frameAnswer('0')};
        int nested = 999;
        QStringList logDuringWait;
        std::vector<uint8_t> tx;
        std::vector<uint8_t> line;
        s.transport->duringWait = [&] {
            s.transport->duringWait = nullptr;
            QVERIFY(s.loader->busy());
            logDuringWait = s.transport->log;
            tx = s.loader->bytTxBuf();
            line = s.loader->bytLineBuf();
            nested = run(*s.loader, exchange, com1(), image);
        };
        QCOMPARE(int(s.loader->FlashErase(com1())), 4);
        QCOMPARE(nested, failureCodeOf(exchange));
        // The refused exchange touched neither the port nor the buffers.
        QCOMPARE(s.transport->log.mid(0, logDuringWait.size()), logDuringWait);
        QCOMPARE(s.transport->log.mid(logDuringWait.size()), QStringList{"close"});
        QCOMPARE(s.loader->bytTxBuf(), tx);
        QCOMPARE(s.loader->bytLineBuf(), line);
        QVERIFY(!s.loader->busy());
    }

    void portCannotBeOpened_data() { addExchangeRows(); }
    void portCannotBeOpened() {
        QFETCH(QString, exchange);
        ScriptedLoader s;
        ExchangeSettings none = com1();
        none.portNumber = 0;
        QCOMPARE(int(run(*s.loader, exchange, none, imageWithRows({1024}))),
                 failureCodeOf(exchange));
        QVERIFY(s.transport->written.isEmpty());
        QVERIFY(s.transport->log.contains("open COM0"));
        verifyClosedAtEnd(*s.transport);
    }

    void connectionLostOnFirstWrite_data() { addExchangeRows(); }
    void connectionLostOnFirstWrite() {
        QFETCH(QString, exchange);
        ScriptedLoader s;
        s.transport->breakAtWrite = 0;
        QCOMPARE(int(run(*s.loader, exchange, com1(), imageWithRows({1024}))),
                 failureCodeOf(exchange));
        QCOMPARE(s.transport->written.size(), 1);
        QCOMPARE(s.transport->waits, 0);
        QCOMPARE(QString::fromStdString(s.loader->portFailureText()),
                 QString("the connection was lost"));
        verifyClosedAtEnd(*s.transport);
    }

    void abortedWaitEndsTheExchange_data() { addExchangeRows(); }
    void abortedWaitEndsTheExchange() {
        QFETCH(QString, exchange);
        ScriptedLoader s;
        bool abort = false;
        s.loader->abortWaitsWhen([&] { return abort; });
        s.transport->duringWait = [&] { abort = true; };
        QCOMPARE(int(run(*s.loader, exchange, com1(), imageWithRows({1024}))),
                 failureCodeOf(exchange));
        QCOMPARE(s.transport->written.size(), 1);  // no further attempt after the abort
        QCOMPARE(s.transport->waits, 1);
        QVERIFY(!s.loader->busy());
        verifyClosedAtEnd(*s.transport);
        // The next exchange runs normally again.
        abort = false;
        s.transport->duringWait = nullptr;
        s.transport->replies = {QByteArray(), frameAnswer('0')};
        QCOMPARE(int(s.loader->FlashErase(com1())), 4);
    }

    // A stop asked for during a wait lets that wait end; then the exchange sends nothing more
    // (a row's acknowledgement still follows its record), and no later exchange sends at all.
    void stopBetweenMessages_data() {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<int>("sent");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<int>("attempts");  // sends of the message it stopped at
        QTest::addColumn<int>("row");
        const QByteArray ok = frameAnswer('0');
        QTest::newRow("connect, one attempt anyway")
            << "connect" << QList<QByteArray>{} << 1 << false << 1 << -1;
        QTest::newRow("port, one attempt anyway")
            << "port" << QList<QByteArray>{} << 1 << false << 1 << -1;
        QTest::newRow("erase, no resend") << "erase" << QList<QByteArray>{} << 1 << true << 1 << -1;
        QTest::newRow("program, next block")
            << "program" << QList<QByteArray>{ok, ok} << 1 << true << 0 << 1088;
        QTest::newRow("end, no resend") << "end" << QList<QByteArray>{} << 1 << true << 1 << -1;
        QTest::newRow("text, no resend")
            << "text" << QList<QByteArray>{"1"} << 1 << true << 1 << -1;
        QTest::newRow("row, acknowledged, next row")
            << "row" << QList<QByteArray>{} << 2 << true << 0 << 1025;
    }
    void stopBetweenMessages() {
        QFETCH(QString, exchange);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, sent);
        QFETCH(bool, stopped);
        QFETCH(int, attempts);
        QFETCH(int, row);
        ScriptedLoader s;
        s.transport->replies = replies;
        if (exchange == "row") {  // echoes every record and takes every row
            s.transport->responder = [](const QByteArray& w) {
                return w.size() == 20 ? lineAnswer(w) : lineAnswer({}, '0');
            };
        }
        bool stop = false;
        int asked = 0;
        s.loader->stopWhen([&] {
            ++asked;
            return stop;
        });
        s.transport->duringWait = [&] { stop = true; };
        const MemoryImage image = imageWithRows({1024, 1025, 1088});
        QCOMPARE(int(run(*s.loader, exchange, com1(), image)), failureCodeOf(exchange));
        QCOMPARE(s.transport->written.size(), sent);
        QCOMPARE(s.loader->lastDiagnostics().stopped, stopped);
        QCOMPARE(s.loader->lastDiagnostics().attempts, attempts);
        QCOMPARE(s.loader->lastDiagnostics().row, row);
        QVERIFY(s.loader->stopRequested());
        verifyClosedAtEnd(*s.transport);
        // The answer is kept: every later exchange stops before its first message.
        const int askedBefore = asked;
        stop = false;
        QCOMPARE(int(run(*s.loader, exchange, com1(), image)), failureCodeOf(exchange));
        QCOMPARE(s.transport->written.size(), sent);
        QVERIFY(s.loader->lastDiagnostics().stopped);
        QCOMPARE(s.loader->lastDiagnostics().attempts, 0);
        QCOMPARE(asked, askedBefore);
        verifyClosedAtEnd(*s.transport);
    }

    void portSelection() {
        ScriptedLoader s;
        ExchangeSettings settings;
        settings.portNumber = 10;
        s.loader->LoaderConnect(settings);
        settings.devicePath = "/dev/ttyUSB3";
        s.loader->LoaderConnect(settings);
        QCOMPARE(s.transport->log.filter("open"), (QStringList{"open COM10", "open /dev/ttyUSB3"}));
    }
};

QTEST_APPLESS_MAIN(ExchangeRulesTest)
#include "exchange_rules_test.moc"
