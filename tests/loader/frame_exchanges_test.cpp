// Erase, programming and disconnect against a scripted device: attempt counts, the frames on
// the wire, the speeds, the block walk and its progress.

#include <array>

#include "block_walk.h"
#include "exchange_test_support.h"
#include "long_frames.h"

using namespace quorvel;

namespace {

const QByteArray kSilence;
const QByteArray kShort = frameAnswer('0', 1035);

}  // namespace

class FrameExchangesTest : public QObject {
    Q_OBJECT

  private slots:
    void erase_data() {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("frames");
        QTest::newRow("0") << QList<QByteArray>{frameAnswer('0')} << 4 << 1;
        QTest::newRow("B") << QList<QByteArray>{frameAnswer('B')} << 4 << 1;
        QTest::newRow("P") << QList<QByteArray>{frameAnswer('P')} << 4 << 1;
        QTest::newRow("unclassified byte") << QList<QByteArray>{frameAnswer('~')} << 4 << 1;
        QTest::newRow("longer answer, 0") << QList<QByteArray>{frameAnswer('0', 1200)} << 4 << 1;
        QTest::newRow("E then 0") << QList<QByteArray>{frameAnswer('E'), frameAnswer('0')} << 4
                                  << 2;
        QTest::newRow("short, short, 0")
            << QList<QByteArray>{kShort, kShort, frameAnswer('0')} << 4 << 3;
        QTest::newRow("E three times")
            << QList<QByteArray>{frameAnswer('E'), frameAnswer('E'), frameAnswer('E')} << 1 << 3;
        QTest::newRow("silence three times") << QList<QByteArray>{} << 1 << 3;
        QTest::newRow("silence, E, short")
            << QList<QByteArray>{kSilence, frameAnswer('E'), kShort} << 1 << 3;
    }
    void erase() {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, expected);
        QFETCH(int, frames);
        ScriptedLoader s;
        s.transport->replies = replies;
        QCOMPARE(int(s.loader->FlashErase(com1())), expected);
        QCOMPARE(s.transport->written.size(), frames);
        for (const QByteArray& f : s.transport->written) {
            QCOMPARE(f, s.transport->written.first());
            QCOMPARE(f.size(), 1032);
            QCOMPARE(uint8_t(f.back()), uint8_t(0xBA));
            QVERIFY(
                f.startsWith("\xFF\xFE"
                             "BE"));
        }
        // Opened at 4800; every frame goes out at 38400.
        QCOMPARE(s.transport->log.mid(0, 2), (QStringList{"settings 4800,n,8,1", "open COM1"}));
        for (int i = 0; i < frames; ++i) {
            QCOMPARE(s.transport->log.at(2 + 2 * i), QString("settings 38400,n,8,1"));
            QCOMPARE(s.transport->log.at(3 + 2 * i), QString("write 1032"));
        }
        verifyClosedAtEnd(*s.transport);
    }

    void disconnect_data() {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("frames");
        QTest::newRow("any whole answer") << QList<QByteArray>{frameAnswer('0')} << 0 << 1;
        QTest::newRow("whole answer E") << QList<QByteArray>{frameAnswer('E')} << 0 << 1;
        QTest::newRow("short then whole") << QList<QByteArray>{kShort, frameAnswer('x')} << 0 << 2;
        QTest::newRow("silence three times") << QList<QByteArray>{} << 1 << 3;
    }
    void disconnect() {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, expected);
        QFETCH(int, frames);
        ScriptedLoader s;
        s.transport->replies = replies;
        QCOMPARE(int(s.loader->LoaderDisconnect(com1())), expected);
        QCOMPARE(s.transport->written.size(), frames);
        for (const QByteArray& f : s.transport->written) {
            QCOMPARE(f, s.transport->written.first());
            QVERIFY(
                f.startsWith("\xFF\xFE"
                             "ED"));
            QCOMPARE(uint8_t(f.back()), uint8_t(0x86));
        }
        QCOMPARE(s.transport->log.first(), QString("settings 4800,n,8,1"));
        verifyClosedAtEnd(*s.transport);
    }

    void program_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QList<int>>("sentBlocks");  // start row of every frame sent
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("lastRow");              // the position reached last
        QTest::addColumn<QStringList>("lateReplies");  // "row attempt/limit" of each
        const QByteArray ok = frameAnswer('0');
        QTest::newRow("cleared image") << QList<int>{} << QList<QByteArray>{} << 0 << QList<int>{}
                                       << 120 << 9152 << QStringList{};
        QTest::newRow("single row") << QList<int>{2050} << QList<QByteArray>{ok} << 0
                                    << QList<int>{2048} << 120 << 9152 << QStringList{};
        QTest::newRow("gap only") << QList<int>{3584, 3700, 4095} << QList<QByteArray>{} << 0
                                  << QList<int>{} << 120 << 9152 << QStringList{};
        QTest::newRow("first and last blocks")
            << QList<int>{1024, 9215} << QList<QByteArray>{ok, frameAnswer('B')} << 0
            << QList<int>{1024, 9152} << 120 << 9152 << QStringList{};
        QTest::newRow("E then 0, walk goes on")
            << QList<int>{1024, 4096} << QList<QByteArray>{frameAnswer('E'), ok, ok} << 0
            << QList<int>{1024, 1024, 4096} << 120 << 9152 << QStringList{};
        QTest::newRow("E twice stops the walk")
            << QList<int>{1100, 4100} << QList<QByteArray>{frameAnswer('E'), frameAnswer('E')} << 1
            << QList<int>{1088, 1088} << 2 << 1088 << QStringList{};
        QTest::newRow("1035 bytes twice stops the walk")
            << QList<int>{1024} << QList<QByteArray>{kShort, kShort} << 1 << QList<int>{1024, 1024}
            << 1 << 1024 << QStringList{"1024 1/2", "1024 2/2"};
        QTest::newRow("retries are per block")
            << QList<int>{1024, 1088} << QList<QByteArray>{kSilence, ok, kSilence, ok} << 0
            << QList<int>{1024, 1024, 1088, 1088} << 120 << 9152
            << QStringList{"1024 1/2", "1088 1/2"};
    }
    void program() {
        QFETCH(QList<int>, rows);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, expected);
        QFETCH(QList<int>, sentBlocks);
        QFETCH(int, steps);
        QFETCH(int, lastRow);
        QFETCH(QStringList, lateReplies);
        ScriptedLoader s;
        s.transport->replies = replies;
        QStringList late;  // a missing or short answer is late; a refused one is not
        s.loader->watchAttempts([&](const AttemptNote& n) {
            late << QString("%1 %2/%3").arg(n.row).arg(n.attempt).arg(n.attemptLimit);
        });
        const MemoryImage image = imageWithRows(rows);
        QList<int> positions;
        int stepCount = 0;
        const int16_t status = s.loader->FlashProgram(com1(), image, [&](int row, bool blockStep) {
            positions << row;
            stepCount += blockStep ? 1 : 0;
        });
        QCOMPARE(int(status), expected);
        QCOMPARE(stepCount, steps);
        QCOMPARE(positions.size(), steps);
        QCOMPARE(positions.last(), lastRow);
        QCOMPARE(positions.first(), 1024);
        QVERIFY(!positions.contains(3584) && !positions.contains(4032));  // the gap
        QCOMPARE(late, lateReplies);
        QCOMPARE(s.transport->written.size(), sentBlocks.size());
        for (int i = 0; i < sentBlocks.size(); ++i) {
            const QByteArray& f = s.transport->written.at(i);
            std::array<uint8_t, 1032> expectedFrame{};
            frame::BuildProgramFrame(image, sentBlocks.at(i), expectedFrame);
            QCOMPARE(f, QByteArray(reinterpret_cast<const char*>(expectedFrame.data()), 1032));
        }
        QCOMPARE(s.transport->log.first(), QString("settings 38400,n,8,1"));
        verifyClosedAtEnd(*s.transport);
    }

    void programVisitsEveryPositionInOrder() {
        ScriptedLoader s;
        QList<int> positions;
        s.loader->FlashProgram(com1(), imageWithRows({}), [&](int row, bool) { positions << row; });
        QList<int> expected;
        for (int row : programBlockStarts()) expected << row;
        QCOMPARE(positions, expected);
        QCOMPARE(positions.at(39), 0xDC0);
        QCOMPARE(positions.at(40), 0x1000);
    }
};

QTEST_APPLESS_MAIN(FrameExchangesTest)
#include "frame_exchanges_test.moc"
