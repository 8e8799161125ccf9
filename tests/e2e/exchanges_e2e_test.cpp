// Every exchange through a real pseudo-terminal against the simulated loader: success and
// failure paths, attempt counts, the bytes on the wire and the speeds the loader saw.

#include <QtTest>
#include <array>

#include "block_walk.h"
#include "image_loader.h"
#include "line_records.h"
#include "live_loader.h"
#include "long_frames.h"

using namespace quorvel;

namespace {

MemoryImage defaultImage() {
    MemoryImage image;
    const LoadResult loaded = LoadImageFile(QUORVEL_DEFAULT_IMAGE_PATH, image);
    if (!loaded.ok()) qFatal("cannot load the default image");
    return image;
}

MemoryImage imageWithRows(const QList<int>& rows) {
    MemoryImage image;
    image.ClearImage();
    for (int row : rows) {
        for (int c = 0; c < kRowBytes; ++c) image.setValue(row, c, (row * 3 + c) & 0xFF);
        image.flagRow(row);
    }
    return image;
}

QByteArray imageBytes(const MemoryImage& image) {
    QByteArray bytes;
    for (int16_t v : image.intMemory) bytes.append(static_cast<char>(v));
    return bytes;
}

QString frameHex(void (*build)(frame::Buffer)) {
    std::array<uint8_t, frame::kSize> f{};
    build(f);
    return hexOf(QByteArray(reinterpret_cast<const char*>(f.data()), qsizetype(f.size())));
}

}  // namespace

class ExchangesE2eTest : public QObject {
    Q_OBJECT

  private slots:
    void connect_data() {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<int>("generation");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("silent");  // attempts that end at the deadline
        QTest::newRow("1.06") << QStringList{} << 1 << 3 << 0;
        QTest::newRow("1.05") << QStringList{} << 0 << 3 << 0;
        QTest::newRow("answers 0") << QStringList{"--fault", "connect=status:0"} << 1 << 0 << 0;
        QTest::newRow("answers E") << QStringList{"--fault", "connect=status:E"} << 1 << 8 << 0;
        QTest::newRow("garbage") << QStringList{"--fault", "connect=garbage"} << 1 << 8 << 0;
        QTest::newRow("short reply") << QStringList{"--fault", "connect=short"} << 1 << 8 << 1;
        QTest::newRow("silent") << QStringList{"--fault", "connect=silent"} << 1 << 8 << 1;
    }
    void connect() {
        QFETCH(QStringList, sim);
        QFETCH(int, generation);
        QFETCH(int, expected);
        QFETCH(int, silent);
        SimProcess device(sim);
        QVERIFY(device.started());
        LiveLoader live(device);
        live.settings.loader = static_cast<LoaderGeneration>(generation);
        live.settings.speed = SpeedOption::Bps4800;  // ignored by the connect command
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(live.loader->LoaderConnect(live.settings)), expected);
        verifySilentAttempts(clock.elapsed(), silent);
        QVERIFY(portIsFree(device));
        const QByteArray word = generation == 0 ? "QZ~FLASH\r\n" : "QZ~FLASHU\r\n";
        QCOMPARE(live.sends(), QStringList{hexOf(word)});
        device.stop();
        const QStringList rx = device.transcript("rx kind=connect");
        QCOMPARE(rx.size(), 1);
        QVERIFY2(rx.first().contains("baud=9600"), qPrintable(rx.first()));
    }

    void lateReplyDoesNotLeakIntoTheNextExchange() {
        // The first answer trickles in over 3.2 s, past the 2.5 s deadline: the connect fails,
        // and what arrives after the port was closed must not be taken for the next answer.
        SimProcess device({"--fault", "connect=slow:400,count=1"});
        QVERIFY(device.started());
        LiveLoader live(device);
        QCOMPARE(int(live.loader->LoaderConnect(live.settings)), 8);
        // The connect listened for the rest of the answer and threw it away before it closed
        // the port: none of it is left for the next one.
        const ExchangeDiagnostics& seen = live.loader->lastDiagnostics();
        QVERIFY(seen.timedOut);
        QCOMPARE(seen.receivedBytes + seen.lateBytes, int64_t(15));
        QCOMPARE(int(live.loader->LoaderConnect(live.settings)), 3);
        QCOMPARE(live.loader->bytRxBuf().size(), size_t{15});
    }

    void portCommand_data() {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("pin");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("silent");
        QTest::newRow("read an input") << QStringList{} << 0 << "3" << 3 << 12 << 0;
        QTest::newRow("drive high at 38400") << QStringList{} << 1 << "3" << 1 << 0 << 0;
        QTest::newRow("read a low input")
            << QStringList{"--input-low", "5"} << 2 << "5" << 3 << 11 << 0;
        QTest::newRow("unknown pin") << QStringList{} << 0 << "99" << 3 << 1 << 0;
        QTest::newRow("answers NG")
            << QStringList{"--fault", "pin=status:NG"} << 0 << "3" << 3 << 1 << 0;
        QTest::newRow("garbage") << QStringList{"--fault", "pin=garbage"} << 0 << "3" << 3 << 8
                                 << 0;
        QTest::newRow("short reply")
            << QStringList{"--fault", "pin=short"} << 0 << "3" << 3 << 8 << 1;
    }
    void portCommand() {
        QFETCH(QStringList, sim);
        QFETCH(int, speed);
        QFETCH(QString, pin);
        QFETCH(int, mode);
        QFETCH(int, expected);
        QFETCH(int, silent);
        SimProcess device(sim);
        QVERIFY(device.started());
        LiveLoader live(device);
        live.settings.speed = static_cast<SpeedOption>(speed);
        live.settings.pinText = pin.toStdString();
        live.settings.portMode = static_cast<PortMode>(mode);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(live.loader->PortCommand(live.settings)), expected);
        verifySilentAttempts(clock.elapsed(), silent);
        QVERIFY(portIsFree(device));
        QCOMPARE(live.sends(),
                 QStringList{hexOf("QZ~P" + pin.toLatin1() + char('0' + mode) + "\r")});
        device.stop();
        const QStringList rx = device.transcript("rx kind=pin");
        QCOMPARE(rx.size(), 1);
        const int baud[] = {9600, 38400, 4800};
        QVERIFY2(rx.first().contains(QString("baud=%1").arg(baud[speed])), qPrintable(rx.first()));
    }

    void erase_data() {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("silent");
        QTest::newRow("accepted") << QStringList{} << 4 << 1 << 0;
        QTest::newRow("garbage accepted") << QStringList{"--fault", "erase=garbage"} << 4 << 1 << 0;
        QTest::newRow("E three times") << QStringList{"--fault", "erase=status:E"} << 1 << 3 << 0;
        QTest::newRow("E twice, then accepted")
            << QStringList{"--fault", "erase=status:E,count=2"} << 4 << 3 << 0;
        QTest::newRow("short once") << QStringList{"--fault", "erase=short,count=1"} << 4 << 2 << 1;
        QTest::newRow("silent") << QStringList{"--fault", "erase=silent"} << 1 << 3 << 3;
    }
    void erase() {
        QFETCH(QStringList, sim);
        QFETCH(int, expected);
        QFETCH(int, frames);
        QFETCH(int, silent);
        SimProcess device(sim);
        QVERIFY(device.started());
        LiveLoader live(device);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(live.loader->FlashErase(live.settings)), expected);
        verifySilentAttempts(clock.elapsed(), silent);
        QVERIFY(portIsFree(device));
        QCOMPARE(live.sends(),
                 QStringList(QList<QString>(frames, frameHex(frame::BuildEraseFrame))));
        device.stop();
        const QStringList rx = device.transcript("rx kind=erase");
        QCOMPARE(rx.size(), frames);
        for (const QString& line : rx)
            QVERIFY(line.contains("baud=38400") && line.contains("check=ok"));
    }

    void program_data() {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("extraFrames");  // frames beyond one per block sent
        QTest::addColumn<bool>("stopsAt10000");
        QTest::addColumn<int>("silent");
        QTest::newRow("accepted") << QStringList{} << 0 << 0 << false << 0;
        QTest::newRow("one block rejected once")
            << QStringList{"--fault", "program@0x10000=status:E,count=1"} << 0 << 1 << false << 0;
        QTest::newRow("one block rejected twice")
            << QStringList{"--fault", "program@0x10000=status:E"} << 1 << 1 << true << 0;
        QTest::newRow("one block silent once")
            << QStringList{"--fault", "program@0x4000=silent,count=1"} << 0 << 1 << false << 1;
    }
    void program() {
        QFETCH(QStringList, sim);
        QFETCH(int, expected);
        QFETCH(int, extraFrames);
        QFETCH(bool, stopsAt10000);
        QFETCH(int, silent);
        const MemoryImage image = defaultImage();
        SimProcess device(sim);
        QVERIFY(device.started());
        LiveLoader live(device);
        int steps = 0;
        QElapsedTimer clock;
        clock.start();
        const int16_t status = live.loader->FlashProgram(
            live.settings, image, [&](int, bool blockStep) { steps += blockStep ? 1 : 0; });
        QCOMPARE(int(status), expected);
        verifySilentAttempts(clock.elapsed(), silent);
        QVERIFY(portIsFree(device));

        int blocks = 0;
        for (int start : programBlockStarts()) {
            if (stopsAt10000 && start > 4096) break;
            blocks += blockHasData(image, start) ? 1 : 0;
        }
        QCOMPARE(live.sends().size(), blocks + extraFrames);
        QCOMPARE(steps, stopsAt10000 ? 41 : 120);
        device.stop();
        QCOMPARE(device.transcript("rx kind=program").size(), blocks + extraFrames);
        if (expected == 0) QCOMPARE(device.flash(), imageBytes(image));
    }

    void programLosesThePort() {
        SimProcess device({"--fault", "program=close-after:3"});
        QVERIFY(device.started());
        LiveLoader live(device);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(live.loader->FlashProgram(live.settings, defaultImage(), {})), 1);
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY2(QString::fromStdString(live.loader->portFailureText()).contains("lost"),
                 live.loader->portFailureText().c_str());
        QVERIFY(device.endsByItself(5000));
        QVERIFY(live.sends().size() >= 3 && live.sends().size() <= 5);
    }

    void disconnect_data() {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("silent");
        QTest::newRow("answered") << QStringList{} << 0 << 1 << 0;
        QTest::newRow("answered E") << QStringList{"--fault", "disconnect=status:E"} << 0 << 1 << 0;
        QTest::newRow("short three times")
            << QStringList{"--fault", "disconnect=short"} << 1 << 3 << 3;
    }
    void disconnect() {
        QFETCH(QStringList, sim);
        QFETCH(int, expected);
        QFETCH(int, frames);
        QFETCH(int, silent);
        SimProcess device(sim);
        QVERIFY(device.started());
        LiveLoader live(device);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(live.loader->LoaderDisconnect(live.settings)), expected);
        verifySilentAttempts(clock.elapsed(), silent);
        QVERIFY(portIsFree(device));
        QCOMPARE(live.sends(), QStringList(QList<QString>(frames, frameHex(frame::BuildEndFrame))));
        device.stop();
        QCOMPARE(device.transcript("rx kind=disconnect").size(), frames);
    }

    void textCommand_data() {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("sends");
        QTest::addColumn<int>("silent");
        QTest::newRow("ERASE") << QStringList{} << "ERASE" << 0 << 1 << 0;
        QTest::newRow("END") << QStringList{} << "END" << 0 << 1 << 0;
        QTest::newRow("answers B")
            << QStringList{"--fault", "text=status:B"} << "END" << 4 << 1 << 0;
        QTest::newRow("answers 1 three times")
            << QStringList{"--fault", "text=status:1"} << "ERASE" << 1 << 3 << 0;
        QTest::newRow("garbage three times")
            << QStringList{"--fault", "text=garbage"} << "END" << 1 << 3 << 0;
        QTest::newRow("not a command word") << QStringList{} << "Erase" << 1 << 0 << 0;
        QTest::newRow("silent") << QStringList{"--fault", "text=silent"} << "ERASE" << -1 << 1 << 1;
    }
    void textCommand() {
        QFETCH(QStringList, sim);
        QFETCH(QString, word);
        QFETCH(int, expected);
        QFETCH(int, sends);
        QFETCH(int, silent);
        SimProcess device(sim);
        QVERIFY(device.started());
        LiveLoader live(device);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(live.loader->TextCommand(live.settings, word.toStdString())), expected);
        verifySilentAttempts(clock.elapsed(), silent);
        QVERIFY(portIsFree(device));
        const QString line = word == "ERASE" ? "01 01 0D 0A" : "00 00 0D 0A";
        QCOMPARE(live.sends(), QStringList(QList<QString>(sends, line)));
        device.stop();
        QCOMPARE(device.transcript("rx kind=text").size(), sends);
    }

    void rowWrite_data() {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("records");
        QTest::addColumn<QStringList>("acks");
        QTest::addColumn<int>("silent");
        const QList<int> rows = {1024, 1025, 2000, 4095};
        const QStringList fourOk = {"OK", "OK", "OK", "OK"};
        QTest::newRow("written") << QStringList{} << rows << 0 << 4 << fourOk << 0;
        QTest::newRow("echo differs once")
            << QStringList{"--fault", "row=mismatch,count=1"} << rows << 0 << 5
            << QStringList{"NG", "OK", "OK", "OK", "OK"} << 0;
        QTest::newRow("short answer once")
            << QStringList{"--fault", "row=short,count=1"} << rows << 0 << 5 << fourOk << 1;
        QTest::newRow("row 4096 ends the walk")
            << QStringList{} << QList<int>{1024, 4096} << -1 << 1 << QStringList{"OK"} << 0;
        QStringList tenOk;
        for (int i = 0; i < 10; ++i) tenOk << "OK";
        QTest::newRow("acknowledged with 1")
            << QStringList{"--fault", "ack=status:1"} << QList<int>{1030} << 1 << 10 << tenOk << 0;
    }
    void rowWrite() {
        QFETCH(QStringList, sim);
        QFETCH(QList<int>, rows);
        QFETCH(int, expected);
        QFETCH(int, records);
        QFETCH(QStringList, acks);
        QFETCH(int, silent);
        const MemoryImage image = imageWithRows(rows);
        SimProcess device(sim);
        QVERIFY(device.started());
        LiveLoader live(device);
        live.settings.speed = SpeedOption::Bps4800;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(int(live.loader->RowWrite(live.settings, image, {})), expected);
        verifySilentAttempts(clock.elapsed(), silent);
        QVERIFY(portIsFree(device));
        device.stop();
        const QStringList rx = device.transcript("rx kind=row");
        QCOMPARE(rx.size(), records);
        for (const QString& line : rx) QVERIFY(line.contains("baud=38400"));
        QStringList words;
        for (const QString& line : device.transcript("rx kind=ack")) {
            words << line.section("word=", 1).section(' ', 0, 0);
        }
        QCOMPARE(words, acks);
        if (expected != 1) {
            const QByteArray flash = device.flash();
            for (int row : rows) {
                if (row > line::kLastRecordRow) continue;
                const QByteArray written = flash.mid((row - kFirstRow) * kRowBytes, kRowBytes);
                for (int c = 0; c < kRowBytes; ++c)
                    QCOMPARE(int(uint8_t(written[c])), image.value(row, c));
            }
        }
    }

    // A port that another program holds: every exchange fails at once, sends nothing and says
    // why.
    void busyPort_data() {
        QTest::addColumn<int>("exchange");
        QTest::addColumn<int>("expected");
        const QList<QPair<const char*, int>> table = {{"connect", 8}, {"pin", 8}, {"erase", 1},
                                                      {"program", 1}, {"end", 1}, {"text", -1},
                                                      {"row", -1}};
        for (int i = 0; i < table.size(); ++i)
            QTest::newRow(table[i].first) << i << table[i].second;
    }
    void busyPort() {
        QFETCH(int, exchange);
        QFETCH(int, expected);
        SimProcess device;
        QVERIFY(device.started());
        SerialPortTransport holder;
        QVERIFY(holder.open({1, device.slave()}));
        LiveLoader live(device);
        const MemoryImage image = imageWithRows({1024});
        Loader& l = *live.loader;
        const ExchangeSettings& s = live.settings;
        const std::function<int16_t()> exchanges[] = {
            [&] { return l.LoaderConnect(s); },       [&] { return l.PortCommand(s); },
            [&] { return l.FlashErase(s); },          [&] { return l.FlashProgram(s, image, {}); },
            [&] { return l.LoaderDisconnect(s); },    [&] { return l.TextCommand(s, "END"); },
            [&] { return l.RowWrite(s, image, {}); },
        };
        const int16_t status = exchanges[exchange]();
        QCOMPARE(int(status), expected);
        QVERIFY(live.sends().isEmpty());
        QVERIFY2(QString::fromStdString(l.portFailureText()).contains("busy"),
                 l.portFailureText().c_str());
        holder.close();
        device.stop();
        QVERIFY(device.transcript("rx ").isEmpty());
    }

    // The whole rewrite, exchange after exchange on one loader, leaves the image in the flash.
    void rewriteLeavesTheImage() {
        const MemoryImage image = defaultImage();
        SimProcess device;
        QVERIFY(device.started());
        LiveLoader live(device);
        Loader& l = *live.loader;
        QCOMPARE(int(l.LoaderConnect(live.settings)), 3);
        QCOMPARE(int(l.FlashErase(live.settings)), 4);
        QCOMPARE(int(l.FlashProgram(live.settings, image, {})), 0);
        QCOMPARE(int(l.LoaderDisconnect(live.settings)), 0);
        QVERIFY(portIsFree(device));
        device.stop();
        QCOMPARE(device.flash(), imageBytes(image));
        QCOMPARE(device.transcript("rx kind=program").size(), countBlocksToSend(image));
    }
};

QTEST_GUILESS_MAIN(ExchangesE2eTest)
#include "exchanges_e2e_test.moc"
