// The two reply classifiers as tables, including positions outside the received bytes.

#include "reply_classifiers.h"

#include <QtTest>

using namespace quorvel;

namespace {

std::span<const uint8_t> bytesOf(const QByteArray& a) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(a.constData()),
                                    static_cast<size_t>(a.size()));
}

}  // namespace

class ReplyClassifiersTest : public QObject {
    Q_OBJECT

  private slots:
    void replyCode_data() {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expected");  // -100: no code (error path)
        const QList<QPair<char, int>> table = {{'0', 0}, {'1', 1}, {'E', 2},  {'C', 3},
                                               {'B', 4}, {'P', 5}, {'R', 13}, {'c', 8},
                                               {'e', 8}, {'2', 8}, {'\0', 8}, {'\xFF', 8}};
        for (const auto& [byte, code] : table) {
            QTest::newRow(qPrintable(QString("byte %1").arg(uint8_t(byte), 2, 16, QChar('0'))))
                << QByteArray("xx") + byte + "yy" << 2 << code;
        }
        QTest::newRow("first byte") << QByteArray("C") << 0 << 3;
        QTest::newRow("last byte") << QByteArray("xxxB") << 3 << 4;
        QTest::newRow("just past the end") << QByteArray("xxxB") << 4 << -100;
        QTest::newRow("empty reception") << QByteArray() << 0 << -100;
        QTest::newRow("negative position") << QByteArray("C") << -1 << -100;
    }
    void replyCode() {
        QFETCH(QByteArray, received);
        QFETCH(int, position);
        QFETCH(int, expected);
        const auto code = ReplyCode(bytesOf(received), static_cast<int16_t>(position));
        QCOMPARE(code.has_value() ? int(*code) : -100, expected);
    }

    void replyText_data() {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expected");
        const QList<QPair<QByteArray, int>> table = {{"OK", 0},  {"NG", 1},  {"00", 9}, {"01", 10},
                                                     {"02", 11}, {"03", 12}, {"ok", 8}, {"Ok", 8},
                                                     {"04", 8},  {"10", 8},  {" K", 8}, {"NO", 8}};
        for (const auto& [pair, code] : table) {
            QTest::newRow(pair.constData()) << "xyz\r\n" + pair + "\r\n" << 3 << code;
        }
        QTest::newRow("LF CR at start") << QByteArray("\n\rOK\r\n") << 0 << 8;
        QTest::newRow("LF CR at end") << QByteArray("\r\nOK\n\r") << 0 << 8;
        QTest::newRow("blank in frame") << QByteArray("\r\nOK \r\n") << 0 << 8;
        QTest::newRow("longer reply") << QByteArray("\r\n03\r\nmore") << 0 << 12;
        QTest::newRow("one byte short") << QByteArray("\r\nOK\r") << 0 << -100;
        QTest::newRow("position past the end") << QByteArray("\r\nOK\r\n") << 1 << -100;
        QTest::newRow("negative position") << QByteArray("\r\nOK\r\n") << -1 << -100;
    }
    void replyText() {
        QFETCH(QByteArray, received);
        QFETCH(int, position);
        QFETCH(int, expected);
        const auto code = ReplyText(bytesOf(received), static_cast<int16_t>(position));
        QCOMPARE(code.has_value() ? int(*code) : -100, expected);
    }
};

QTEST_APPLESS_MAIN(ReplyClassifiersTest)
#include "reply_classifiers_test.moc"
