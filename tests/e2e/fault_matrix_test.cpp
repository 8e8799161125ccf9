// The fault matrix: every exchange with the flash loader against every fault the simulated
// loader can inject, through a real pseudo-terminal. Each row gives the status the exchange
// must return, how many messages it puts on the line, how many of its attempts end at the
// reply deadline and which blocks (or rows) the loader's flash holds afterwards. Every row also
// checks that the port is closed again, that the port failure text matches what happened and
// that a reported success is backed by the loader's own answers.
//
// A reply that comes late (a tail or the whole of it past the deadline) was carried out by the
// loader; the link must throw it away, not take it for the answer to the resend or the next
// message. A message whose reply the simulator spoils is not carried out by it. The exchanges judge
// the reply alone, so a garbled answer, or an erase answer other than "E", is taken as done
// although the simulated flash did not change: those rows expect exactly that.
//
// Run one exchange's rows with `fault_matrix_test connect` (erase, program...); at the end the
// test prints "fault matrix: N cases run, N passed".

#include <QtTest>
#include <cstdio>
#include <functional>

#include "block_walk.h"
#include "live_loader.h"

using namespace quorvel;

namespace {

enum PortState { Free, Busy, Unselected };

constexpr int kBlockBytes = kBlockRows * kRowBytes;

// Replies in 64-byte packets a millisecond apart, as a USB serial adapter hands them over: a
// wait can then end with the next packet still on its way.
const char* const kPackets = "--packets=64";

constexpr int kAt4000 = 0x4000;    // the block, or the row, at row 1024
constexpr int kAt10000 = 0x10000;  // the block at row 4096
constexpr int kAt23C00 = 0x23C00;  // the last block, row 9152
constexpr int kAt7D00 = 0x7D00;    // row 2000

// An image with the given rows flagged. Their bytes (0x80 to 0xBF) never read as a status
// letter, so a reply that drifts into echoed data is still judged as data.
MemoryImage imageWithRows(const QList<int>& rows) {
    MemoryImage image;
    image.ClearImage();
    for (int row : rows) {
        for (int c = 0; c < kRowBytes; ++c) image.setValue(row, c, 0x80 | ((row + c) & 0x3F));
        image.flagRow(row);
    }
    return image;
}

const MemoryImage& preloadImage() {
    static const MemoryImage image = imageWithRows({1024});
    return image;
}

const QList<int>& programRows() {
    static const QList<int> rows = {1024, 4097, 9215};  // one row in each of three blocks
    return rows;
}

// The flash that a loader holds after taking exactly `units` of `image`, each `length` bytes.
QByteArray expectedFlash(const MemoryImage& image, const QList<int>& units, int length) {
    QByteArray flash(int(kImageSize), char(0xFF));
    for (int unit : units) {
        for (int i = 0; i < length; ++i) {
            flash[unit - int(kImageFirstAddress) + i] = char(image.byteAt(uint32_t(unit + i)));
        }
    }
    return flash;
}

QString firstDifference(const QByteArray& got, const QByteArray& want) {
    if (got.size() != want.size()) return QString("flash is %1 bytes").arg(got.size());
    for (int i = 0; i < got.size(); ++i) {
        if (got[i] != want[i]) {
            return QString("flash differs at 0x%1: %2, expected %3")
                .arg(i + int(kImageFirstAddress), 0, 16)
                .arg(uint8_t(got[i]), 2, 16, QChar('0'))
                .arg(uint8_t(want[i]), 2, 16, QChar('0'));
        }
    }
    return {};
}

// True when every successful open in the tool's trace was followed by a close.
bool traceEndsClosed(const QStringList& trace) {
    bool open = false;
    for (const QString& line : trace) {
        if (line.startsWith("open ")) open = !line.contains(" failed: ");
        if (line == "close") open = false;
    }
    return !open;
}

QString field(const QString& line, const QString& key) {
    return line.section(' ' + key + '=', 1).section(' ', 0, 0);
}

// The blocks (or rows) whose last transmission the loader answered with a yes, from its
// transcript: a whole programming reply without "E", or a row confirmed by "OK" and
// answered "0".
QSet<int> affirmedUnits(const QStringList& transcript, bool rows) {
    QMap<int, bool> verdict;
    int current = -1;
    bool okLine = false;
    for (const QString& line : transcript) {
        const QString kind = field(line, "kind");
        if (line.startsWith("rx ")) {
            if (kind == (rows ? "row" : "program")) {
                current = field(line, "addr").toInt(nullptr, 16);
                verdict[current] = false;
            } else if (kind == "ack") {
                okLine = field(line, "word") == "OK";
            }
        } else if (line.startsWith("tx ") && current >= 0) {
            const int length = field(line, "len").toInt();
            const QString status = field(line, "status");
            if (!rows && kind == "program") verdict[current] = length >= 1036 && status != "E";
            if (rows && kind == "ack") verdict[current] = okLine && length >= 43 && status == "0";
        }
    }
    QSet<int> yes;
    for (auto it = verdict.cbegin(); it != verdict.cend(); ++it) {
        if (it.value()) yes.insert(it.key());
    }
    return yes;
}

// One exchange as the matrix drives it.
struct Exchange {
    std::function<int16_t(Loader&, const ExchangeSettings&)> run;
    MemoryImage image;  // what the flash is compared with
    int unitLength = kBlockBytes;
    bool preload = true;    // block 0x4000 is programmed first, so an erase shows in the flash
    QList<int> writes;      // units a block or row writer must have affirmed to succeed
    bool rowUnits = false;  // writes are rows, not blocks
    int16_t success = 0;    // the status that reports the writes done
};

void addColumns() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("sends");   // messages the tool writes (and the loader receives)
    QTest::addColumn<int>("silent");  // attempts that end at the reply deadline
    QTest::addColumn<QList<int>>("flash");
}

QTestData& row(const char* name, const QStringList& faults, int expected, int sends, int silent,
               const QList<int>& flash, PortState port = Free) {
    return QTest::newRow(name) << faults << int(port) << expected << sends << silent << flash;
}

// The rows every exchange has: the port in another program's hands, and no port selected.
void portRows(int failure, const QList<int>& flash) {
    row("busy port", {}, failure, 0, 0, flash, Busy);
    row("port number 0", {}, failure, 0, 0, flash, Unselected);
}

// An exchange that writes nothing; block 0x4000 is in the flash before it runs.
Exchange withPreload(std::function<int16_t(Loader&, const ExchangeSettings&)> run) {
    Exchange e;
    e.run = std::move(run);
    e.image = preloadImage();
    return e;
}

void runCase(const Exchange& exchange) {
    QFETCH(QStringList, faults);
    QFETCH(int, port);
    QFETCH(int, expected);
    QFETCH(int, sends);
    QFETCH(int, silent);
    QFETCH(QList<int>, flash);

    QStringList options;
    for (const QString& f : faults) {
        if (f.startsWith("--")) {
            options << f;  // a delivery option of the simulator's
        } else {
            options << "--fault" << f;
        }
    }
    SimProcess device(options);
    QVERIFY(device.started());
    qsizetype preloadMessages = 0;
    if (exchange.preload) {
        LiveLoader setup(device);
        QCOMPARE(int(setup.loader->FlashProgram(setup.settings, preloadImage(), {})), 0);
        preloadMessages = setup.sends().size();
    }

    LiveLoader live(device);
    SerialPortTransport holder;
    if (port == Busy) QVERIFY(holder.open({1, device.slave()}));
    if (port == Unselected) live.settings.portNumber = 0;
    QElapsedTimer clock;
    clock.start();
    const int status = exchange.run(*live.loader, live.settings);
    const qint64 elapsed = clock.elapsed();
    holder.close();

    QCOMPARE(status, expected);
    verifySilentAttempts(elapsed, silent);
    QCOMPARE(live.sends().size(), sends);
    QVERIFY2(traceEndsClosed(live.lines), qPrintable(live.lines.join('\n')));

    const bool leaves = faults.join(' ').contains("close-after");
    const QString failure = QString::fromStdString(live.loader->portFailureText());
    const QString because = port == Busy         ? "busy"
                            : port == Unselected ? "port number 0"
                            : leaves             ? "lost"
                                                 : "";
    QVERIFY2(because.isEmpty() ? failure.isEmpty() : failure.contains(because),
             qPrintable(failure));

    if (leaves) {
        QVERIFY(device.endsByItself(5000));
    } else {
        QVERIFY(portIsFree(device));
        device.stop();
    }
    const QStringList transcript = device.transcript();
    QCOMPARE(device.transcript("rx ").size() - preloadMessages, sends);
    if (leaves) QVERIFY(transcript.last().startsWith("end reason=close-after"));

    // A success must rest on the loader's own yes for every block or row it needed.
    if (!exchange.writes.isEmpty() && status == exchange.success) {
        const QSet<int> affirmed = affirmedUnits(transcript, exchange.rowUnits);
        for (int unit : exchange.writes) {
            QVERIFY2(affirmed.contains(unit),
                     qPrintable(QString("success without a yes for 0x%1").arg(unit, 0, 16)));
        }
    }

    const QByteArray want = expectedFlash(exchange.image, flash, exchange.unitLength);
    const QString difference = firstDifference(device.flash(), want);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

}  // namespace

class FaultMatrixTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        ++run_;
        if (!QTest::currentTestFailed()) ++passed_;
    }
    void cleanupTestCase() {
        std::printf("fault matrix: %d cases run, %d passed\n", run_, passed_);
        std::fflush(stdout);
    }

    // One attempt; 3 for "C", 0 for "0", 8 for everything else.
    void connect_data() {
        addColumns();
        const QList<int> kept = {kAt4000};
        row("healthy", {}, 3, 1, 0, kept);
        row("silent", {"connect=silent"}, 8, 1, 1, kept);
        row("one byte short", {"connect=short"}, 8, 1, 1, kept);
        row("status 0", {"connect=status:0"}, 0, 1, 0, kept);
        for (const char* s : {"E", "1", "B", "P", "R", "c"}) {
            row(qPrintable(QString("status %1").arg(s)), {QString("connect=status:") + s}, 8, 1, 0,
                kept);
        }
        row("garbage", {"connect=garbage"}, 8, 1, 0, kept);
        row("slow, in time", {"connect=slow:50"}, 3, 1, 0, kept);
        row("slow, past the deadline", {"connect=slow:400"}, 8, 1, 1, kept);
        row("port closed", {"connect=close-after:0"}, 8, 1, 0, kept);
        portRows(8, kept);
    }
    void connect() {
        runCase(
            withPreload([](Loader& l, const ExchangeSettings& s) { return l.LoaderConnect(s); }));
    }

    // One attempt; the text status of the reply, 8 when it is not one.
    void portCommand_data() {
        addColumns();
        const QList<int> kept = {kAt4000};
        row("healthy", {}, 12, 1, 0, kept);
        row("silent", {"pin=silent"}, 8, 1, 1, kept);
        row("one byte short", {"pin=short"}, 8, 1, 1, kept);
        row("status NG", {"pin=status:NG"}, 1, 1, 0, kept);
        row("status OK", {"pin=status:OK"}, 0, 1, 0, kept);
        for (const char* s : {"ok", "04", "0K", "KO"}) {
            row(qPrintable(QString("status %1").arg(s)), {QString("pin=status:") + s}, 8, 1, 0,
                kept);
        }
        row("garbage", {"pin=garbage"}, 8, 1, 0, kept);
        row("slow, in time", {"pin=slow:50"}, 12, 1, 0, kept);
        row("slow, past the deadline", {"pin=slow:400"}, 8, 1, 1, kept);
        row("port closed", {"pin=close-after:0"}, 8, 1, 0, kept);
        portRows(8, kept);
    }
    void portCommand() {
        runCase(withPreload([](Loader& l, ExchangeSettings s) {
            s.pinText = "3";
            s.portMode = PortMode::Read;
            return l.PortCommand(s);
        }));
    }

    // Three attempts; "E" and a short or missing reply fail one, anything else is taken as
    // done (4). The preloaded block shows whether the loader really erased.
    void erase_data() {
        addColumns();
        const QList<int> kept = {kAt4000};
        const QList<int> erased;
        row("healthy", {}, 4, 1, 0, erased);
        row("silent", {"erase=silent"}, 1, 3, 3, kept);
        row("one byte short once", {"erase=short,count=1"}, 4, 2, 1, erased);
        row("status E", {"erase=status:E"}, 1, 3, 0, kept);
        row("status E twice", {"erase=status:E,count=2"}, 4, 3, 0, erased);
        row("status B, taken as done", {"erase=status:B"}, 4, 1, 0, kept);
        row("garbage, taken as done", {"erase=garbage"}, 4, 1, 0, kept);
        row("slow, in time", {"erase=slow:50"}, 4, 1, 0, erased);
        row("slow past the deadline once", {"erase=slow:400,count=1"}, 4, 2, 1, erased);
        row("port closed after an E", {"erase=status:E,count=1", "erase=close-after:1"}, 1, 2, 0,
            kept);
        row("late tail, then E", {kPackets, "erase=tail:100,count=1", "erase=status:E"}, 1, 3, 1,
            erased);
        row("late tail, then E once",
            {kPackets, "erase=tail:100,count=1", "erase=status:E,count=1"}, 4, 3, 1, erased);
        row("reply late, then E", {kPackets, "erase=late:100,count=1", "erase=status:E"}, 1, 3, 1,
            erased);
        portRows(1, kept);
    }
    void erase() {
        runCase(withPreload([](Loader& l, const ExchangeSettings& s) { return l.FlashErase(s); }));
    }

    // Blocks 0x4000, 0x10000 and 0x23C00; each is sent at most twice, and the walk stops at a block
    // that failed twice. The faults aim at 0x10000.
    void program_data() {
        addColumns();
        const QList<int> all = {kAt4000, kAt10000, kAt23C00};
        const QList<int> first = {kAt4000};
        row("healthy", {}, 0, 3, 0, all);
        row("silent once", {"program@0x10000=silent,count=1"}, 0, 4, 1, all);
        row("silent", {"program@0x10000=silent"}, 1, 3, 2, first);
        row("one byte short once", {"program@0x10000=short,count=1"}, 0, 4, 1, all);
        row("one byte short", {"program@0x10000=short"}, 1, 3, 2, first);
        row("status E once", {"program@0x10000=status:E,count=1"}, 0, 4, 0, all);
        row("status E", {"program@0x10000=status:E"}, 1, 3, 0, first);
        row("garbage, taken as accepted", {"program@0x10000=garbage"}, 0, 3, 0,
            {kAt4000, kAt23C00});
        row("slow, in time", {"program@0x10000=slow:50"}, 0, 3, 0, all);
        row("slow past the deadline once", {"program@0x10000=slow:400,count=1"}, 0, 4, 1, all);
        row("port closed at the second block", {"program=close-after:1"}, 1, 2, 0, first);
        row("late tail, then E",
            {kPackets, "program@0x10000=tail:100,count=1", "program@0x10000=status:E"}, 1, 3, 1,
            {kAt4000, kAt10000});
        row("late tail, next block E once",
            {kPackets, "program@0x4000=tail:100,count=1", "program@0x10000=status:E,count=1"}, 0, 5,
            1, all);
        row("late tail, next block E twice",
            {kPackets, "program@0x4000=tail:100,count=1", "program@0x10000=status:E"}, 1, 4, 1,
            first);
        row("reply late, next block E twice",
            {kPackets, "program@0x4000=late:100,count=1", "program@0x10000=status:E"}, 1, 4, 1,
            first);
        portRows(1, {});
    }
    void program() {
        Exchange e;
        e.image = imageWithRows(programRows());
        e.preload = false;
        e.writes = {kAt4000, kAt10000, kAt23C00};
        e.run = [image = e.image](Loader& l, const ExchangeSettings& s) {
            return l.FlashProgram(s, image, {});
        };
        runCase(e);
    }

    // Three attempts; any whole answer ends it with 0, whatever it says.
    void disconnect_data() {
        addColumns();
        const QList<int> kept = {kAt4000};
        row("healthy", {}, 0, 1, 0, kept);
        row("status E", {"disconnect=status:E"}, 0, 1, 0, kept);
        row("garbage", {"disconnect=garbage"}, 0, 1, 0, kept);
        row("silent", {"disconnect=silent"}, 1, 3, 3, kept);
        row("one byte short twice", {"disconnect=short,count=2"}, 0, 3, 2, kept);
        row("slow, in time", {"disconnect=slow:50"}, 0, 1, 0, kept);
        row("slow past the deadline once", {"disconnect=slow:400,count=1"}, 0, 2, 1, kept);
        row("port closed", {"disconnect=close-after:0"}, 1, 1, 0, kept);
        row("late tail, then short", {kPackets, "disconnect=tail:100,count=1", "disconnect=short"},
            1, 3, 3, kept);
        row("late tail, then short once",
            {kPackets, "disconnect=tail:100,count=1", "disconnect=short,count=1"}, 0, 3, 2, kept);
        portRows(1, kept);
    }
    void disconnect() {
        runCase(withPreload(
            [](Loader& l, const ExchangeSettings& s) { return l.LoaderDisconnect(s); }));
    }

    // Three attempts; "0", "E" and "B" end it at once (0, 2, 4), an empty reception ends it
    // with -1 at once, anything else fails an attempt.
    void textCommand_data() {
        addColumns();
        QTest::addColumn<QString>("word");
        const QList<int> kept = {kAt4000};
        const QList<int> erased;
        row("healthy ERASE", {}, 0, 1, 0, erased) << "ERASE";
        row("healthy END", {}, 0, 1, 0, kept) << "END";
        row("silent", {"text=silent"}, -1, 1, 1, kept) << "ERASE";
        row("one byte short", {"text=short"}, -1, 1, 1, kept) << "ERASE";
        for (const char* s : {"1", "C", "P", "R"}) {
            row(qPrintable(QString("status %1").arg(s)), {QString("text=status:") + s}, 1, 3, 0,
                kept)
                << "ERASE";
        }
        row("status E", {"text=status:E"}, 2, 1, 0, kept) << "ERASE";
        row("status B", {"text=status:B"}, 4, 1, 0, kept) << "ERASE";
        row("garbage", {"text=garbage"}, 1, 3, 0, kept) << "ERASE";
        row("slow", {"text=slow:50"}, 0, 1, 0, erased) << "ERASE";
        row("port closed after a 1", {"text=status:1,count=1", "text=close-after:1"}, -1, 2, 0,
            kept)
            << "ERASE";
        row("busy port", {}, -1, 0, 0, kept, Busy) << "ERASE";
        row("port number 0", {}, -1, 0, 0, kept, Unselected) << "ERASE";
    }
    void textCommand() {
        QFETCH(QString, word);
        runCase(withPreload([word = word.toStdString()](Loader& l, const ExchangeSettings& s) {
            return l.TextCommand(s, word);
        }));
    }

    // Rows 1024 and 2000 unless a row says otherwise; ten attempts per row, each a
    // record and then "OK" (echo matched) or "NG" (it did not). The record faults aim at row 2000.
    void rowWrite_data() {
        addColumns();
        QTest::addColumn<QList<int>>("rows");
        const QList<int> rows = {1024, 2000};
        const QList<int> both = {kAt4000, kAt7D00};
        const QList<int> first = {kAt4000};
        const QList<int> none;
        row("healthy", {}, 0, 4, 0, both) << rows;
        row("echo differs once", {"row@0x7D00=mismatch,count=1"}, 0, 6, 0, both) << rows;
        row("echo differs", {"row@0x7D00=mismatch"}, 1, 22, 0, first) << rows;
        row("garbage", {"row@0x7D00=garbage"}, 1, 22, 0, first) << rows;
        row("silent once", {"row@0x7D00=silent,count=1"}, 0, 5, 1, both) << rows;
        row("silent once, then echo differs", {"row@0x7D00=silent,count=1", "row@0x7D00=mismatch"},
            1, 21, 1, first)
            << rows;
        row("one byte short once", {"row@0x7D00=short,count=1"}, 0, 5, 1, both) << rows;
        row("slow, in time", {"row=slow:50"}, 0, 4, 0, both) << rows;
        row("slow past the deadline once", {"row@0x7D00=slow:400,count=1"}, 0, 5, 1, both) << rows;
        row("acknowledged 1", {"ack=status:1"}, 1, 20, 0, none) << rows;
        row("acknowledged 1 nine times", {"ack=status:1,count=9"}, 0, 22, 0, both) << rows;
        row("acknowledged E", {"ack=status:E"}, 1, 20, 0, none) << rows;
        row("acknowledgement garbled", {"ack=garbage"}, 1, 20, 0, none) << rows;
        row("acknowledgement silent once", {"ack=silent,count=1"}, 0, 6, 1, both) << rows;
        row("acknowledgement short once", {"ack=short,count=1"}, 0, 6, 1, both) << rows;
        row("port closed at the second row", {"row@0x7D00=close-after:0"}, -1, 3, 0, first) << rows;
        row("port closed at the first OK", {"ack=close-after:0"}, -1, 2, 0, none) << rows;
        row("row 4096 ends the walk", {}, -1, 2, 0, first) << QList<int>{1024, 4096};
        row("busy port", {}, -1, 0, 0, none, Busy) << rows;
        row("port number 0", {}, -1, 0, 0, none, Unselected) << rows;
    }
    void rowWrite() {
        QFETCH(QList<int>, rows);
        Exchange e;
        e.image = imageWithRows(rows);
        e.unitLength = kRowBytes;
        e.preload = false;
        e.rowUnits = true;
        for (int r : rows) e.writes << r * kRowBytes;
        e.run = [image = e.image](Loader& l, const ExchangeSettings& s) {
            return l.RowWrite(s, image, {});
        };
        runCase(e);
    }

  private:
    int run_ = 0;
    int passed_ = 0;
};

QTEST_GUILESS_MAIN(FaultMatrixTest)
#include "fault_matrix_test.moc"
