// Connect and port control against a scripted device: commands on the wire, the settings they
// use, the status positions and minimum lengths of the replies.

#include "exchange_test_support.h"

using namespace quorvel;

namespace {

const QByteArray kWord105 = "QZ~FLASH\r\n";
const QByteArray kWord106 = "QZ~FLASHU\r\n";

// A loader's answer: `echo` repeated, then `length` bytes in all with `status` at `position`.
QByteArray statusAt(const QByteArray& echo, int length, int position, char status) {
    QByteArray reply = (echo + QByteArray(length, '-')).left(length);
    if (position < length) reply[position] = status;
    return reply;
}

// What a loader left waiting for the last 7 bytes of a block's frame answers when the connect
// command completes it: the frame's echo, its status and CR LF '>'.
QByteArray frameCompletedByTheWord() {
    QByteArray reply = QByteArray::fromHex("FFFE5047010000") + QByteArray(1018, char(0xEC));
    return reply + kWord106.left(7) + "E\r\n>";
}

QByteArray textStatusAt(int length, int position, const QByteArray& frame) {
    QByteArray reply(length, '-');
    reply.replace(position, frame.size(), frame);
    return reply.left(length);
}

}  // namespace

class TextExchangesTest : public QObject {
    Q_OBJECT

  private slots:
    void connect_data() {
        QTest::addColumn<int>("generation");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("foreign");  // no loader's answer to the word (nor silence)
        QTest::newRow("1.06, C") << 1 << statusAt(kWord106, 15, 11, 'C') << 3 << false;
        QTest::newRow("1.06, 0") << 1 << statusAt(kWord106, 15, 11, '0') << 0 << false;
        QTest::newRow("1.06, E") << 1 << statusAt(kWord106, 15, 11, 'E') << 8 << false;
        QTest::newRow("1.06, B") << 1 << statusAt(kWord106, 15, 11, 'B') << 8 << false;
        QTest::newRow("1.06, lower-case c") << 1 << statusAt(kWord106, 15, 11, 'c') << 8 << false;
        QTest::newRow("1.06, 14 bytes with C")
            << 1 << statusAt(kWord106, 14, 11, 'C') << 8 << false;
        QTest::newRow("1.06, 20 bytes with C")
            << 1 << statusAt(kWord106, 20, 11, 'C') << 3 << false;
        QTest::newRow("1.06, C one place early")
            << 1 << statusAt(kWord106, 15, 10, 'C') << 8 << false;
        QTest::newRow("1.05, C") << 0 << statusAt(kWord105, 14, 10, 'C') << 3 << false;
        QTest::newRow("1.05, E") << 0 << statusAt(kWord105, 14, 10, 'E') << 8 << false;
        QTest::newRow("1.05, 13 bytes") << 0 << statusAt(kWord105, 13, 10, 'C') << 8 << false;
        // The other generation's loader may repeat only the word it knows.
        QTest::newRow("1.06, a 1.05 loader's E")
            << 1 << statusAt(kWord105, 15, 10, 'E') << 8 << false;
        QTest::newRow("silence") << 1 << QByteArray() << 8 << false;
        QTest::newRow("1.06, a cut-off frame completed")
            << 1 << frameCompletedByTheWord() << 8 << true;
        // The status byte alone decides: bytes that repeat no word but hold "C" still connect.
        QTest::newRow("1.06, noise with C")
            << 1 << statusAt(QByteArray(15, char(0xEC)), 15, 11, 'C') << 3 << true;
    }
    void connect() {
        QFETCH(int, generation);
        QFETCH(QByteArray, reply);
        QFETCH(int, expected);
        QFETCH(bool, foreign);
        ScriptedLoader s;
        s.transport->replies = {reply};
        ExchangeSettings settings = com1();
        settings.loader = static_cast<LoaderGeneration>(generation);
        settings.speed = SpeedOption::Bps38400;  // must not matter
        QCOMPARE(int(s.loader->LoaderConnect(settings)), expected);
        QCOMPARE(s.loader->lastDiagnostics().foreignAnswer, foreign);
        const QByteArray command = generation == 0 ? kWord105 : kWord106;
        QCOMPARE(s.transport->written, QList<QByteArray>{command});
        QCOMPARE(s.transport->log, (QStringList{"settings 9600,n,8,1", "open COM1",
                                                QString("write %1").arg(command.size()), "close"}));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(s.loader->bytRxBuf().data()),
                            qsizetype(s.loader->bytRxBuf().size())),
                 reply);
        verifyClosedAtEnd(*s.transport);
    }

    void portCommand_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("pin");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("expected");
        const QByteArray start = "QZ~P3\r";
        QTest::newRow("start state, 01")
            << 0 << "" << 3 << textStatusAt(14, 8, "\r\n01\r\n") << start << "9600,n,8,1" << 10;
        QTest::newRow("pin 12 low at 38400, OK")
            << 1 << "12" << 0 << textStatusAt(14, 8, "\r\nOK\r\n") << QByteArray("QZ~P120\r")
            << "38400,n,8,1" << 0;
        QTest::newRow("4800, NG") << 2 << "" << 3 << textStatusAt(14, 8, "\r\nNG\r\n") << start
                                  << "4800,n,8,1" << 1;
        QTest::newRow("00") << 0 << "" << 3 << textStatusAt(14, 8, "\r\n00\r\n") << start
                            << "9600,n,8,1" << 9;
        QTest::newRow("02") << 0 << "" << 3 << textStatusAt(14, 8, "\r\n02\r\n") << start
                            << "9600,n,8,1" << 11;
        QTest::newRow("03, longer reply")
            << 0 << "" << 3 << textStatusAt(30, 8, "\r\n03\r\n") << start << "9600,n,8,1" << 12;
        QTest::newRow("04") << 0 << "" << 3 << textStatusAt(14, 8, "\r\n04\r\n") << start
                            << "9600,n,8,1" << 8;
        QTest::newRow("lower-case ok")
            << 0 << "" << 3 << textStatusAt(14, 8, "\r\nok\r\n") << start << "9600,n,8,1" << 8;
        QTest::newRow("frame at 6")
            << 0 << "" << 3 << textStatusAt(14, 6, "\r\n01\r\n") << start << "9600,n,8,1" << 8;
        QTest::newRow("LF CR swapped")
            << 0 << "" << 3 << textStatusAt(14, 8, "\n\r01\r\n") << start << "9600,n,8,1" << 8;
        QTest::newRow("13 bytes") << 0 << "" << 3 << textStatusAt(13, 8, "\r\nOK\r\n") << start
                                  << "9600,n,8,1" << 8;
        QTest::newRow("silence") << 0 << "" << 3 << QByteArray() << start << "9600,n,8,1" << 8;
    }
    void portCommand() {
        QFETCH(int, speed);
        QFETCH(QString, pin);
        QFETCH(int, mode);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, sent);
        QFETCH(QString, settings);
        QFETCH(int, expected);
        ScriptedLoader s;
        s.transport->replies = {reply};
        ExchangeSettings es = com1();
        es.speed = static_cast<SpeedOption>(speed);
        es.pinText = pin.toStdString();
        es.portMode = static_cast<PortMode>(mode);
        QCOMPARE(int(s.loader->PortCommand(es)), expected);
        QCOMPARE(s.transport->written, QList<QByteArray>{sent});
        QCOMPARE(s.transport->log, (QStringList{"settings " + settings, "open COM1",
                                                QString("write %1").arg(sent.size()), "close"}));
    }
};

QTEST_APPLESS_MAIN(TextExchangesTest)
#include "text_exchanges_test.moc"
