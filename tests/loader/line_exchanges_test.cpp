// The line channel against a scripted device: the "ERASE" / "END" commands and the row walk
// with its record, echo check and acknowledgement.

#include "exchange_test_support.h"

using namespace quorvel;

namespace {

QByteArray answerByte(char c) {
    return QByteArray(1, c);
}

// How the scripted device treats row records and acknowledgements.
enum class Device { Faithful, BadEchoOnce, BadEcho, AckOne, Short };

std::function<QByteArray(const QByteArray&)> rowDevice(Device kind) {
    auto records = std::make_shared<int>(0);
    return [kind, records](const QByteArray& written) -> QByteArray {
        if (written.size() == 20) {  // a row record
            ++*records;
            if (kind == Device::Short) return QByteArray(42, 'y');
            const bool bad =
                kind == Device::BadEcho || (kind == Device::BadEchoOnce && *records == 1);
            QByteArray echo = written;
            if (bad) echo[5] = char(echo[5] ^ 0x55);
            return lineAnswer(echo);
        }
        if (written == "OK\r\n") return lineAnswer({}, kind == Device::AckOne ? '1' : '0');
        return lineAnswer({}, 'n');  // the answer to "NG" is never examined
    };
}

}  // namespace

class LineExchangesTest : public QObject {
    Q_OBJECT

  private slots:
    void textCommand_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("sends");
        QTest::newRow("ERASE, 0") << "ERASE" << QList<QByteArray>{answerByte('0')} << 0 << 1;
        QTest::newRow("END, 0 with more bytes") << "END" << QList<QByteArray>{"0\r\n"} << 0 << 1;
        QTest::newRow("B after one attempt")
            << "ERASE" << QList<QByteArray>{answerByte('B')} << 4 << 1;
        QTest::newRow("E after one attempt")
            << "END" << QList<QByteArray>{answerByte('E')} << 2 << 1;
        QTest::newRow("1 three times")
            << "ERASE" << QList<QByteArray>{answerByte('1'), answerByte('1'), answerByte('1')} << 1
            << 3;
        QTest::newRow("C, P, then 0")
            << "END" << QList<QByteArray>{answerByte('C'), answerByte('P'), answerByte('0')} << 0
            << 3;
        QTest::newRow("silence ends at once") << "ERASE" << QList<QByteArray>{} << -1 << 1;
        QTest::newRow("1 then silence") << "ERASE" << QList<QByteArray>{answerByte('1')} << -1 << 2;
        QTest::newRow("lower-case word") << "erase" << QList<QByteArray>{answerByte('0')} << 1 << 0;
        QTest::newRow("other word") << "ENDE" << QList<QByteArray>{answerByte('0')} << 1 << 0;
    }
    void textCommand() {
        QFETCH(QString, word);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, expected);
        QFETCH(int, sends);
        ScriptedLoader s;
        s.transport->replies = replies;
        QCOMPARE(int(s.loader->TextCommand(com1(), word.toStdString())), expected);
        QCOMPARE(s.transport->written.size(), sends);
        const QByteArray line =
            word == "ERASE" ? QByteArray("\x01\x01\r\n", 4) : QByteArray("\x00\x00\r\n", 4);
        for (const QByteArray& w : s.transport->written) QCOMPARE(w, line);
        // The settings are left as they were when the port opens.
        QCOMPARE(s.transport->log.first(), QString("open COM1"));
        for (int i = 0; i < sends; ++i) {
            QCOMPARE(s.transport->log.at(1 + 2 * i), QString("settings 38400,n,8,1"));
        }
        const std::vector<uint8_t>& lineBuf = s.loader->bytLineBuf();
        QCOMPARE(lineBuf.size(), size_t(132));
        for (size_t i = 4; i < lineBuf.size(); ++i) QCOMPARE(lineBuf[i], uint8_t(0));
        verifyClosedAtEnd(*s.transport);
    }

    void rowWrite_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QStringList>("sent");  // "R<row>" record, "OK", "NG"
        QTest::newRow("nothing flagged")
            << QList<int>{} << int(Device::Faithful) << 0 << QStringList{};
        QTest::newRow("one row") << QList<int>{1025} << int(Device::Faithful) << 0
                                 << QStringList{"R1025", "OK"};
        QTest::newRow("three rows, last 4095")
            << QList<int>{1024, 2000, 4095} << int(Device::Faithful) << 0
            << QStringList{"R1024", "OK", "R2000", "OK", "R4095", "OK"};
        QTest::newRow("row 4096 ends the walk")
            << QList<int>{1024, 4096, 5000} << int(Device::Faithful) << -1
            << QStringList{"R1024", "OK"};
        QTest::newRow("row 9215 does not fit")
            << QList<int>{9215} << int(Device::Faithful) << -1 << QStringList{};
        QTest::newRow("bad echo once") << QList<int>{1030} << int(Device::BadEchoOnce) << 0
                                       << QStringList{"R1030", "NG", "R1030", "OK"};
        QStringList badEcho;
        QStringList ackOne;
        QStringList shortAnswers;
        for (int i = 0; i < 10; ++i) {
            badEcho << "R1030"
                    << "NG";
            ackOne << "R1030"
                   << "OK";
            shortAnswers << "R1030";
        }
        QTest::newRow("bad echo ten times")
            << QList<int>{1030, 1031} << int(Device::BadEcho) << 1 << badEcho;
        QTest::newRow("acknowledged with 1")
            << QList<int>{1030} << int(Device::AckOne) << 1 << ackOne;
        QTest::newRow("42-byte answers")
            << QList<int>{1030} << int(Device::Short) << 1 << shortAnswers;
    }
    void rowWrite() {
        QFETCH(QList<int>, rows);
        QFETCH(int, device);
        QFETCH(int, expected);
        QFETCH(QStringList, sent);
        ScriptedLoader s;
        s.transport->responder = rowDevice(static_cast<Device>(device));
        const MemoryImage image = imageWithRows(rows);
        QList<int> positions;
        bool anyStep = false;
        ExchangeSettings settings = com1();
        settings.speed = SpeedOption::Bps4800;
        const int16_t status = s.loader->RowWrite(settings, image, [&](int row, bool blockStep) {
            positions << row;
            anyStep = anyStep || blockStep;
        });
        QCOMPARE(int(status), expected);
        QVERIFY(!anyStep);
        QCOMPARE(positions.first(), 1024);
        if (expected == 0) {
            QCOMPARE(positions.size(), 8192);
            QCOMPARE(positions.last(), 9215);
        }

        QStringList got;
        for (const QByteArray& w : s.transport->written) {
            if (w == "OK\r\n" || w == "NG\r\n") {
                got << QString::fromLatin1(w.left(2));
                continue;
            }
            QCOMPARE(w.size(), 20);
            const int row = (uint8_t(w[0]) << 4) | (uint8_t(w[1]) >> 4);
            for (int c = 0; c < kRowBytes; ++c)
                QCOMPARE(int(uint8_t(w[2 + c])), image.value(row, c));
            QCOMPARE(w.right(2), QByteArray(2, '\0'));
            got << QString("R%1").arg(row);
        }
        QCOMPARE(got, sent);
        QCOMPARE(s.transport->log.mid(0, 2), (QStringList{"settings 4800,n,8,1", "open COM1"}));
        verifyClosedAtEnd(*s.transport);
    }
};

QTEST_APPLESS_MAIN(LineExchangesTest)
#include "line_exchanges_test.moc"
