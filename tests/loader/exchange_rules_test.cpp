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

    void cancelEndsTheExchange_data() { addExchangeRows(); }
    void cancelEndsTheExchange() {
        QFETCH(QString, exchange);
        ScriptedLoader s;
        s.transport->duringWait = [&] { s.loader->cancel(); };
        QCOMPARE(int(run(*s.loader, exchange, com1(), imageWithRows({1024}))),
                 failureCodeOf(exchange));
        QCOMPARE(s.transport->written.size(), 1);  // no further attempt after the cancel
        QCOMPARE(s.transport->waits, 1);
        QVERIFY(!s.loader->busy());
        verifyClosedAtEnd(*s.transport);
        // The next exchange runs normally again.
        s.transport->duringWait = nullptr;
        s.transport->replies = {QByteArray(), frameAnswer('0')};
        QCOMPARE(int(s.loader->FlashErase(com1())), 4);
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
