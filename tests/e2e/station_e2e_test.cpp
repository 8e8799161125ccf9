// quorvel-flash write --station against simulated loaders that come and go as devices on a
// production line do: each appears at a fixed path (a link to its pseudo-terminal), is written,
// and is removed; a device left connected is written once; two ports run side by side and a
// failure on one does not stop the other. Ctrl-C ends the station with its totals.

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "sim_process.h"

namespace {

constexpr int kWaitMs = 30000;

// Waits until `done` holds; false when it never did.
bool eventually(const std::function<bool()>& done) {
    QDeadlineTimer deadline(kWaitMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(50);
    }
    return true;
}

QByteArray defaultImageBytes() {
    QProcess dump;
    dump.start(flashToolPath(), {"dump", QUORVEL_DEFAULT_IMAGE_PATH});
    dump.waitForFinished(kWaitMs);
    QByteArray bytes = dump.readAllStandardOutput();
    // 0xE000 to 0xFFFF is never written: the device keeps it erased.
    bytes.replace(0xE000 - 0x4000, 0x2000, QByteArray(0x2000, char(0xFF)));
    return bytes;
}

// A station started on `ports` (each "--port X") with `extra` options before them, writing the
// default image (named by the profile when `extra` gives one).
void startStation(QProcess& station, const QStringList& ports, const QStringList& extra = {}) {
    QStringList args{"write", "--station", "--yes"};
    args << extra;
    for (const QString& port : ports) args << "--port" << port;
    // A profile names the image.
    if (!extra.contains("--profile")) args << QUORVEL_DEFAULT_IMAGE_PATH;
    station.start(flashToolPath(), args);
}

// Ends a station as Ctrl-C does (or as systemd stops a service: SIGTERM); false when it did not
// end.
bool stopStation(QProcess& station, int signal = SIGINT) {
    if (station.state() == QProcess::Running) ::kill(pid_t(station.processId()), signal);
    return station.waitForFinished(kWaitMs) && station.exitStatus() == QProcess::NormalExit;
}

// A station whose output is gathered as it comes, so that a test can wait for what it says:
// a port's "waiting for a device" once it watches it, a device's result line on standard
// output, "remove the board" once the station is done with the one there.
struct Station {
    explicit Station(const QStringList& ports, const QStringList& extra = {}) {
        startStation(process, ports, extra);
    }
    void read() {
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
    }
    // Waits until the station has said `line` (on either stream) `times` times.
    bool said(const QString& line, int times = 1) {
        return eventually([&] {
            read();
            return out.count(line.toUtf8()) + err.count(line.toUtf8()) >= times;
        });
    }
    bool stop(int signal = SIGINT) {
        const bool stopped = stopStation(process, signal);
        read();
        return stopped;
    }
    QProcess process;
    QByteArray out;
    QByteArray err;
};

// Counts how often a file is opened: a station opens what stands at its port at every look.
class OpenCount {
  public:
    explicit OpenCount(const QString& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) ::inotify_add_watch(fd_, QFile::encodeName(path).constData(), IN_OPEN);
    }
    ~OpenCount() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenCount(const OpenCount&) = delete;
    OpenCount& operator=(const OpenCount&) = delete;
    int operator()() {
        alignas(inotify_event) char buffer[4096];
        ssize_t n = 0;
        while (fd_ >= 0 && (n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                opens_ += (event->mask & IN_OPEN) ? 1 : 0;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return opens_;
    }

  private:
    int fd_;
    int opens_ = 0;
};

// Keeps a board's pseudo-terminal number taken after the board is stopped, until the station
// let it go: a slave end left open keeps the number from the next simulator that any test
// starts, which the station, until it saw its board go, would refuse as a device it holds.
class HeldNumber {
  public:
    explicit HeldNumber(const SimProcess& board)
        : fd_(::open(board.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~HeldNumber() {
        if (fd_ >= 0) ::close(fd_);
    }
    HeldNumber(const HeldNumber&) = delete;
    HeldNumber& operator=(const HeldNumber&) = delete;

  private:
    int fd_;
};

bool wrote(const SimProcess& sim) {
    return !sim.transcript("rx kind=disconnect").isEmpty();
}

// The record file's lines as objects, with their started lines or without.
QList<QJsonObject> recordLines(const QString& path, bool withStarted = false) {
    QFile file(path);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly)) return lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject r = QJsonDocument::fromJson(line).object();
        if (!line.isEmpty() && (withStarted || r["event"] != QJsonValue("started"))) lines << r;
    }
    return lines;
}

// The units of a record file's final lines, in their order.
QStringList recordedUnits(const QString& path) {
    QStringList units;
    for (const QJsonObject& r : recordLines(path)) units << r["unit"].toString();
    return units;
}

// `quorvel-flash records ARGS`: its exit code, standard output and error.
struct Records {
    int code;
    QString out;
    QString err;
};
Records summarize(const QStringList& args) {
    QProcess summary;
    summary.start(flashToolPath(), QStringList{"records"} + args);
    summary.waitForFinished(kWaitMs);
    return {summary.exitCode(), QString::fromUtf8(summary.readAllStandardOutput()),
            QString::fromUtf8(summary.readAllStandardError())};
}

// Two boards scanned one after the other; between them the record file is moved away (as log
// rotation does) or deleted: the second line goes to a new file at the record's path.
void recordFollowsItsPath(QTemporaryDir& dir, bool moved) {
    const QString fixture = dir.filePath("fixture");
    SimProcess board({"--link", fixture});
    QProcess station;
    const QString record = dir.filePath("line.jsonl");
    const QString rotated = dir.filePath("line.jsonl.1");
    startStation(station, {fixture}, {"--scan", "--record", record});
    station.write("U-1\n");
    QVERIFY(eventually([&] { return recordedUnits(record).size() == 1; }));
    QVERIFY(moved ? QFile::rename(record, rotated) : QFile::remove(record));
    station.write("U-2\n");
    station.closeWriteChannel();
    QVERIFY(station.waitForFinished(kWaitMs));
    board.stop();
    QCOMPARE(station.exitCode(), 0);
    QCOMPARE(recordedUnits(record), QStringList{"U-2"});
    if (moved) QCOMPARE(recordedUnits(rotated), QStringList{"U-1"});
}

// A station whose standard output or error cannot be written (a reader gone, a full device)
// stops after the device in hand, says why on the other stream and does not end as a clean run.
void stationWithFailedOutput(QTemporaryDir& dir, int stream, bool readerGone) {
    const QString fixture = dir.filePath("fixture");
    SimProcess board({"--link", fixture});
    int ends[2] = {-1, -1};
    if (readerGone) {
        QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
        ::close(ends[0]);
    }
    QProcess station;
    station.setChildProcessModifier([ends, stream, readerGone] {
        ::dup2(readerGone ? ends[1] : ::open("/dev/full", O_WRONLY), stream);
    });
    startStation(station, {fixture}, {"--scan"});
    if (readerGone) ::close(ends[1]);
    station.write("U-1\nU-2\nU-3\n");
    station.closeWriteChannel();
    QVERIFY(station.waitForFinished(kWaitMs));
    board.stop();
    QCOMPARE(station.exitStatus(), QProcess::NormalExit);
    QCOMPARE(station.exitCode(), 130);
    const bool outFailed = stream == STDOUT_FILENO;
    // Standard output fails at the first device's result line, standard error at the first
    // progress line, before any device.
    QCOMPARE(board.transcript("rx kind=connect").size(), outFailed ? 1 : 0);
    const QByteArray said =
        outFailed ? station.readAllStandardError() : station.readAllStandardOutput();
    const QByteArray reason = "quorvel-flash: station: stopped after the devices in hand: " +
                              QByteArray(outFailed ? "standard output" : "standard error") +
                              " could not be written";
    QVERIFY2(said.contains(reason), said.constData());
}

// The default image's SHA-256, as a profile approves it.
QString defaultImageSha256() {
    QFile image(QUORVEL_DEFAULT_IMAGE_PATH);
    if (!image.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(image.readAll(), QCryptographicHash::Sha256).toHex();
}

// A station's profile in `dir`, readable by everybody and writable by its owner alone: the
// default image, approved, on `ports`, with `more` keys.
QString writeProfile(QTemporaryDir& dir, const QStringList& ports, const QJsonObject& more = {}) {
    QJsonObject profile{{"name", "line3"},
                        {"image", QUORVEL_DEFAULT_IMAGE_PATH},
                        {"approved_sha256", QJsonArray{defaultImageSha256()}},
                        {"ports", QJsonArray::fromStringList(ports)}};
    for (auto it = more.begin(); it != more.end(); ++it) profile[it.key()] = it.value();
    const QString path = dir.filePath("line3.json");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(QJsonDocument(profile).toJson());
        file.close();
    }
    QFile::setPermissions(
        path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return path;
}

// Three fixtures, one of whose boards refuses its blocks, run by a station on a terminal (a
// pseudo-terminal the test reads): the operator board, one row per fixture redrawn in place,
// the totals above them, colours unless NO_COLOR is set, and the totals at the end.
void boardOnTerminal(QTemporaryDir& dir, bool noColour) {
    int master = -1;
    int slave = -1;
    winsize size{30, 160, 0, 0};
    QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    QStringList ports;
    std::vector<std::unique_ptr<SimProcess>> boards;
    for (const char* name : {"a", "b", "c"}) {
        ports << dir.filePath(name);
        QStringList args{"--link", ports.back()};
        if (ports.size() == 2)
            args << "--fault"
                 << "program=status:E";
        boards.push_back(std::make_unique<SimProcess>(args));
    }
    QProcess station;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TERM", "xterm");
    env.insert("NO_COLOR", noColour ? "1" : "");
    station.setProcessEnvironment(env);
    station.setChildProcessModifier([slave] {
        ::dup2(slave, STDOUT_FILENO);
        ::dup2(slave, STDERR_FILENO);
    });
    // Without colours, the station is set up by a profile: its name heads the board.
    if (noColour) {
        startStation(station, {}, {"--profile", writeProfile(dir, ports)});
    } else {
        startStation(station, ports);
    }
    ::close(slave);
    QByteArray screen;
    const auto read = [&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) screen.append(buffer, n);
    };
    const bool settled = eventually([&] {
        read();
        return screen.contains("written 2") && screen.contains("failed 1");
    });
    ::kill(pid_t(station.processId()), SIGINT);
    // Read while it ends, so that its drawing never waits on a full terminal.
    const bool ended = eventually([&] {
        read();
        return station.state() == QProcess::NotRunning;
    });
    read();
    ::close(master);
    QVERIFY2(settled && ended, screen.right(2000).constData());
    QCOMPARE(station.exitCode(), 1);
    // The rows stay where they are: each fixture's row is drawn again at the same place
    // (row 6 of the screen: two lines of header, a gap and the titles before it), and only the
    // totals at the end start lines of their own.
    QVERIFY2(screen.count("\x1b[6;1H") >= 3 && screen.count('\n') < 10, screen.constData());
    QVERIFY(screen.contains("yield 66.7%") && screen.contains("boards/h"));
    QCOMPARE(screen.contains("  line3  QUORVEL_140428_01_02.mot  SHA-256 " +
                             defaultImageSha256().left(12).toUtf8()),
             noColour);
    QVERIFY(screen.contains("the device refused block 0x004000 (it answered 'E')"));
    QVERIFY(!screen.contains("PASS  " + ports.front().toUtf8()));  // no plain result lines
    QVERIFY2(screen.contains("Station: 2 devices written, 1 failed"),
             screen.right(500).constData());
    // The basic palette's foreground colours: green for PASS, red for FAIL.
    const QRegularExpression colour("\x1b\\[(\\d+;)*3[0-7]m");
    QCOMPARE(colour.match(QString::fromUtf8(screen)).hasMatch(), !noColour);
    if (!noColour) QVERIFY(screen.contains("\x1b[32m") && screen.contains("\x1b[31m"));
    for (auto& board : boards) board->stop();
}

// A station's figures are the same wherever they are read. Four fixtures on a terminal: a board
// written, one refusing its blocks, one whose block is not confirmed, and one that never
// answers and is removed after its second try. The board's totals, the closing totals and
// `records` of the record file agree; the removed board's attempt ends at once, as "no answer",
// with the time it took, in one transcript.
void totalsAgree(QTemporaryDir& dir) {
    int master = -1;
    int slave = -1;
    winsize size{30, 160, 0, 0};
    QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    const QStringList faults{"", "program=status:E", "program@0x10000=status:1,count=1",
                             "connect=silent"};
    QStringList ports;
    std::vector<std::unique_ptr<SimProcess>> boards;
    for (const QString& fault : faults) {
        ports << dir.filePath(QString(QChar(char16_t(u'a' + ports.size()))));
        QStringList args{"--link", ports.back()};
        if (!fault.isEmpty()) args << "--fault" << fault;
        boards.push_back(std::make_unique<SimProcess>(args));
    }
    QVERIFY(QDir(dir.path()).mkdir("logs"));
    const QString record = dir.filePath("line.jsonl");
    QProcess station;
    station.setChildProcessModifier([slave] {
        ::dup2(slave, STDOUT_FILENO);
        ::dup2(slave, STDERR_FILENO);
    });
    startStation(station, ports, {"--record", record, "--log", dir.filePath("logs/run.log")});
    ::close(slave);
    QByteArray screen;
    const auto read = [&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) screen.append(buffer, n);
    };
    QVERIFY(eventually([&] {
        read();
        return boards[3]->transcript("rx kind=connect").size() >= 2;
    }));
    boards[3]->stop();
    const bool settled = eventually([&] {
        read();
        return recordLines(record).size() == 4 && screen.contains("yield 25.0%");
    });
    ::kill(pid_t(station.processId()), SIGINT);
    const bool ended = eventually([&] {
        read();
        return station.state() == QProcess::NotRunning;
    });
    ::close(master);
    for (auto& board : boards) board->stop();
    QVERIFY2(settled && ended, screen.right(2000).constData());
    QVERIFY2(screen.contains("written 1") && screen.contains("failed 2") &&
                 screen.contains("unconfirmed 1") &&
                 screen.contains("Station: 1 device written, 2 failed, 1 unconfirmed") &&
                 screen.contains(ports[3].toUtf8() + ": 0 written, 1 failed"),
             screen.right(1500).constData());
    const Records shown = summarize({"--json", record});
    const QJsonObject all = QJsonDocument::fromJson(shown.out.toUtf8())["result"].toObject();
    QCOMPARE(
        QStringList(
            {QString::number(all["devices"].toInt()), QString::number(all["success"].toInt()),
             QString::number(all["failure"].toInt()), QString::number(all["unconfirmed"].toInt()),
             QString::number(all["interrupted"].toInt()),
             QString::number(all["yield"].toDouble())}),
        QStringList({"4", "1", "2", "1", "0", "25"}));
    QJsonObject silent;
    for (const QJsonObject& line : recordLines(record)) {
        if (line["port"].toString().endsWith("/d")) silent = line;
    }
    QCOMPARE(silent["outcome"].toString(), QString("failure"));
    QCOMPARE(silent["cause"].toString(), QString("no answer"));
    // Two tries of 2.5 s and the pause between them.
    QVERIFY2(silent["seconds"].toDouble() > 5,
             qPrintable(QString::number(silent["seconds"].toDouble())));
    QCOMPARE(QDir(dir.filePath("logs")).entryList(QDir::Files).size(), 4);
}

// What a station saw in one production-line situation; `run` drives it and checks it.
struct LineCase {
    const char* name;
    std::function<void(QTemporaryDir& dir)> run;
};

// Boards swapped one after another, each as soon as the station is done with the one before
// and faster than it looks at its port: each is written once, in turn.
constexpr int kSwappedBoards = 5;

const LineCase kLineCases[] = {
    {"fast swap",
     [](QTemporaryDir& dir) {
         const QString fixture = dir.filePath("fixture");
         Station station({fixture});
         std::vector<std::unique_ptr<SimProcess>> boards;
         boards.push_back(std::make_unique<SimProcess>(QStringList{"--link", fixture}));
         for (int n = 1;; ++n) {
             QVERIFY(station.said("PASS  " + fixture + "  ", n));
             QVERIFY(station.said(fixture + ": remove the board", n));
             const HeldNumber held(*boards.back());
             QElapsedTimer swap;
             swap.start();
             boards.back()->stop();
             if (n < kSwappedBoards) {
                 boards.push_back(std::make_unique<SimProcess>(QStringList{"--link", fixture}));
                 qInfo("board %d replaced board %d in %lld ms", n + 1, n, swap.elapsed());
             }
             // The station's next word on the port comes once the board is removed: the last
             // one, left in place until now, was not written again.
             QVERIFY(station.said(fixture + ": waiting for a device", n + 1));
             if (n == kSwappedBoards) break;
         }
         QVERIFY(station.stop());
         QCOMPARE(station.out.count("PASS  " + fixture.toUtf8() + "  "), kSwappedBoards);
         QVERIFY2(
             !station.err.contains(": device " + QByteArray::number(kSwappedBoards + 1) + " on "),
             station.err.constData());
         for (auto& board : boards) {
             QCOMPARE(board->transcript("rx kind=connect").size(), 1);
             QCOMPARE(board->flash(), defaultImageBytes());
         }
     }},
    {"two stations on one fixture",
     [](QTemporaryDir& dir) {
         const QString fixture = dir.filePath("fixture");
         SimProcess board({"--link", fixture});
         Station first({fixture});
         Station second({fixture});
         // One writes the board and keeps it until it is removed; the other is refused it.
         const QByteArray done = (fixture + ": remove the board").toUtf8();
         const QByteArray refused = "is being written by quorvel-flash (pid ";
         const bool settled = eventually([&] {
             first.read();
             second.read();
             return (first.err + second.err).count(done) == 1 &&
                    (first.err + second.err).count(refused) == 1;
         });
         QVERIFY2(settled, (first.err + second.err).constData());
         QVERIFY(first.stop() && second.stop());
         board.stop();
         QCOMPARE(board.transcript("rx kind=connect").size(), 1);
         const QByteArray err = first.err + second.err;
         QVERIFY2(err.count(refused) == 1 && err.count(done) == 1, err.constData());
     }},
    {"one device by two names",
     [](QTemporaryDir& dir) {
         // The station holds the board it wrote until it is removed: a write aimed at the
         // node behind the fixture's link is refused, and names the station.
         const QString fixture = dir.filePath("fixture");
         SimProcess board({"--link", fixture});
         QProcess station;
         startStation(station, {fixture});
         QVERIFY(eventually([&] { return wrote(board); }));
         QProcess write;
         write.start(flashToolPath(),
                     {"write", "--yes", "--port", board.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
         QVERIFY(write.waitForFinished(kWaitMs));
         const QByteArray pid = QByteArray::number(station.processId());
         QVERIFY(stopStation(station));
         board.stop();
         QCOMPARE(board.transcript("rx kind=connect").size(), 1);
         QCOMPARE(write.exitCode(), 1);
         QCOMPARE(write.readAllStandardOutput(), QByteArray("Connection failure\n"));
         const QByteArray err = write.readAllStandardError();
         QVERIFY2(err.contains("is being written by quorvel-flash (pid " + pid + ", user root);"),
                  err.constData());
     }},
    {"every command while a station holds the board",
     [](QTemporaryDir&) {
         // Between the board's write and its removal, no single step reaches it: each is
         // refused before its first byte and names the station.
         SimProcess board;
         QProcess station;
         startStation(station, {board.slavePath()});
         QVERIFY(eventually([&] { return wrote(board); }));
         const QByteArray busy =
             "busy: " + board.slavePath().toUtf8() + " is being written by quorvel-flash (pid " +
             QByteArray::number(station.processId()) + ", user root); nothing was sent";
         const QList<QStringList> commands{{"connect"},
                                           {"erase"},
                                           {"program", "--yes", QUORVEL_DEFAULT_IMAGE_PATH},
                                           {"disconnect"},
                                           {"pin", "--pin", "1", "--mode", "read"},
                                           {"text-erase"},
                                           {"row-write", "--yes", QUORVEL_DEFAULT_IMAGE_PATH},
                                           {"write", "--yes", QUORVEL_DEFAULT_IMAGE_PATH}};
         for (QStringList args : commands) {
             QProcess step;
             args << "--port" << board.slavePath();
             step.start(flashToolPath(), args);
             QVERIFY(step.waitForFinished(kWaitMs));
             const QByteArray said = step.readAllStandardOutput() + step.readAllStandardError();
             QVERIFY2(step.exitCode() != 0 && said.contains(busy),
                      qPrintable(args.join(' ') + ": " + said));
         }
         QVERIFY(stopStation(station));
         board.stop();
         QCOMPARE(board.transcript("rx kind=connect").size(), 1);
         QCOMPARE(board.transcript("rx kind=erase").size(), 1);
         QCOMPARE(board.transcript("rx kind=disconnect").size(), 1);
         QVERIFY(board.transcript("rx kind=pin").isEmpty() &&
                 board.transcript("rx kind=text").isEmpty());
     }},
    {"a station of another user",
     [](QTemporaryDir& dir) {
         // The station runs as nobody (a service account of the dialout group, which may
         // take holds), the second writer as root: the lock is shared by every user and the
         // refusal says whose it is.
         QDir(dir.path()).mkdir("shared");
         const QString shared = dir.filePath("shared");
         const QString tool = shared + "/quorvel-flash";
         const QString image = shared + "/fw.mot";
         QVERIFY(QFile::copy(flashToolPath(), tool) &&
                 QFile::copy(QUORVEL_DEFAULT_IMAGE_PATH, image));
         for (const QString& path : {dir.path(), shared, image})
             QVERIFY(QFile::setPermissions(
                 path, QFile::permissions(path) | QFile::ReadOther | QFile::ExeOther));
         SimProcess board;
         QCOMPARE(::chown(board.slave().c_str(), 65534, 65534), 0);
         QProcess station;
         station.start("setpriv",
                       {"--reuid", "65534", "--regid", "65534", "--groups", "dialout", tool,
                        "write", "--station", "--yes", "--port", board.slavePath(), image});
         QVERIFY(eventually([&] { return wrote(board); }));
         QProcess write;
         write.start(flashToolPath(),
                     {"write", "--yes", "--port", board.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
         QVERIFY(write.waitForFinished(kWaitMs));
         const QByteArray pid = QByteArray::number(station.processId());
         QVERIFY(stopStation(station));
         board.stop();
         QCOMPARE(board.transcript("rx kind=connect").size(), 1);
         const QByteArray err = write.readAllStandardError();
         QVERIFY2(err.contains("is being written by quorvel-flash (pid " + pid +
                               ", user nobody); nothing was sent"),
                  err.constData());
     }},
    {"unusable ports",
     [](QTemporaryDir& dir) {
         QFile file(dir.filePath("not-a-port"));
         QVERIFY(file.open(QIODevice::WriteOnly));
         file.close();
         OpenCount opens(file.fileName());
         Station station({file.fileName(), dir.path()});
         // Each reason is said once, however often the station looks: four looks at the
         // file, and as many at the folder, which is looked at in the same rhythm.
         QVERIFY(eventually([&] { return opens() >= 4; }));
         QVERIFY(station.stop());
         const QByteArray err = station.err;
         QVERIFY2(err.count("is a regular file") == 1 && err.count("is a folder") == 1 &&
                      err.count("; waiting for a change") == 2,
                  err.constData());
         // Stopped while nothing is on the line: the notice does not say it waits for it.
         QVERIFY2(err.contains("stopping; no device is being written") &&
                      !err.contains("message on the line"),
                  err.constData());
     }},
    {"late-powered board",
     [](QTemporaryDir& dir) {
         const QString fixture = dir.filePath("fixture");
         SimProcess board({"--link", fixture, "--fault", "connect=silent,count=1"});
         QProcess station;
         const QString record = dir.filePath("line.jsonl");
         startStation(station, {fixture}, {"--record", record});
         QVERIFY(eventually([&] { return wrote(board); }));
         QVERIFY(stopStation(station));
         board.stop();
         QCOMPARE(board.transcript("rx kind=connect").size(), 2);
         QCOMPARE(board.flash(), defaultImageBytes());
         QVERIFY(station.readAllStandardError().contains(": no answer yet; trying again in 3 s"));
         const QByteArray out = station.readAllStandardOutput();
         QVERIFY2(out.startsWith("PASS  " + fixture.toUtf8() + "  unit -  "), out.constData());
         // The unanswered try is not a device: one attempt, started once, ended once.
         const QList<QJsonObject> lines = recordLines(record, true);
         QCOMPARE(lines.size(), 2);
         QCOMPARE(lines[1]["outcome"].toString(), QString("success"));
         QCOMPARE(lines[0]["attempt"], lines[1]["attempt"]);
     }},
    {"scan from a pipe",
     [](QTemporaryDir& dir) {
         const QString fixture = dir.filePath("fixture");
         SimProcess board({"--link", fixture, "--fault", "program=status:E,count=2"});
         QProcess station;
         const QString record = dir.filePath("line.jsonl");
         startStation(station, {fixture}, {"--scan", "--record", record});
         station.write("U-1\n\n  U-2 \r\n");
         station.closeWriteChannel();
         QVERIFY(station.waitForFinished(kWaitMs));
         board.stop();
         QCOMPARE(board.transcript("rx kind=connect").size(), 2);
         QCOMPARE(station.exitCode(), 1);
         const QByteArray err = station.readAllStandardError();
         QVERIFY2(err.count(": empty scan; nothing written, scan again") == 1, err.constData());
         const QString out = QString::fromUtf8(station.readAllStandardOutput());
         QVERIFY2(out.startsWith("FAIL  " + fixture + "  unit U-1  ") &&
                      out.contains("\nPASS  " + fixture + "  unit U-2  ") &&
                      out.contains("Station: 1 device written, 1 failed\n"),
                  qPrintable(out));
         QCOMPARE(recordedUnits(record), (QStringList{"U-1", "U-2"}));
     }},
    {"outside text",
     [](QTemporaryDir& dir) {
         // The port's name shows its control characters escaped, in its result line too; scans
         // that are no unit id (an escape sequence, a 10 MB line) are refused and write nothing.
         const QString fixture = dir.filePath("fixture\x1b[2J\nPASS");
         SimProcess board({"--link", fixture});
         QProcess station;
         const QString record = dir.filePath("line.jsonl");
         startStation(station, {fixture}, {"--scan", "--record", record});
         station.write("U-\x1b[2J\n" + QByteArray(10 << 20, 'A') + "\nU-1\n");
         station.closeWriteChannel();
         QVERIFY(station.waitForFinished(kWaitMs));
         board.stop();
         QCOMPARE(board.transcript("rx kind=connect").size(), 1);
         QCOMPARE(station.exitCode(), 0);
         const QByteArray port = dir.path().toUtf8() + "/fixture\\x1b[2J\\nPASS";
         const QByteArray out = station.readAllStandardOutput();
         QVERIFY2(out.startsWith("PASS  " + port + "  unit U-1  ") && out.count('\n') == 3 &&
                      !out.contains('\x1b'),
                  out.constData());
         const QByteArray err = station.readAllStandardError();
         QVERIFY2(err.contains(port + ": scan U-\\x1b[2J refused: a unit id must be printable") &&
                      err.contains(port + ": scan refused: the line is longer than a unit id") &&
                      !err.contains('\x1b') && err.size() < 100000,
                  err.left(2000).constData());
         QCOMPARE(recordLines(record, true).size(), 2);
         QCOMPARE(recordedUnits(record), QStringList{"U-1"});
     }},
    {"killed mid-write",
     [](QTemporaryDir& dir) {
         // A station killed outright (kill -9, a crash) leaves its attempt's started line
         // without a final line: records shows it interrupted with the state unknown, and
         // --check fails on it, naming its line.
         const QString fixture = dir.filePath("fixture");
         SimProcess board({"--link", fixture, "--pace"});
         QProcess station;
         const QString record = dir.filePath("line.jsonl");
         startStation(station, {fixture}, {"--scan", "--record", record});
         station.write("U-9\n");
         QVERIFY(eventually([&] { return board.transcript("rx kind=program").size() >= 2; }));
         QCOMPARE(::kill(pid_t(station.processId()), SIGKILL), 0);
         QVERIFY(station.waitForFinished(kWaitMs));
         board.stop();
         QCOMPARE(recordLines(record, true).size(), 1);
         const Records shown = summarize({record});
         QCOMPARE(shown.code, 0);
         QVERIFY2(shown.out.contains("Devices: 1 (0 success, 0 failure, 1 interrupted)") &&
                      shown.out.contains("unit U-9  interrupted, state unknown"),
                  qPrintable(shown.out));
         const Records checked = summarize({"--check", record});
         QCOMPARE(checked.code, 2);
         QVERIFY2(checked.err.contains("check: " + record +
                                       " line 1: started, with no final line: interrupted, "
                                       "state unknown"),
                  qPrintable(checked.err));
     }},
    {"a unit scanned twice",
     [](QTemporaryDir& dir) {
         // A unit the record shows written is refused, by a scan and by a one-off write,
         // before anything is sent; --rewrite writes it again.
         const QString fixture = dir.filePath("fixture");
         SimProcess board({"--link", fixture});
         const QString record = dir.filePath("line.jsonl");
         QProcess station;
         startStation(station, {fixture}, {"--scan", "--record", record});
         station.write("U-1\nU-1\n");
         station.closeWriteChannel();
         QVERIFY(station.waitForFinished(kWaitMs));
         QCOMPARE(station.exitCode(), 0);
         const QByteArray err = station.readAllStandardError();
         QVERIFY2(err.contains(": scan U-1 refused: unit U-1 was written at ") &&
                      err.contains("(" + record.toUtf8() +
                                   " line 2) (--rewrite writes it again); nothing written, scan "
                                   "again"),
                  err.constData());
         QProcess once;
         once.start(flashToolPath(), {"write", "--yes", "--unit", "U-1", "--record", record,
                                      "--port", fixture, QUORVEL_DEFAULT_IMAGE_PATH});
         QVERIFY(once.waitForFinished(kWaitMs));
         QCOMPARE(once.exitCode(), 3);
         QVERIFY(once.readAllStandardError().contains("nothing was sent (--rewrite writes it"));
         QProcess again;
         startStation(again, {fixture}, {"--scan", "--rewrite", "--record", record});
         again.write("U-1\n");
         again.closeWriteChannel();
         QVERIFY(again.waitForFinished(kWaitMs));
         board.stop();
         QCOMPARE(again.exitCode(), 0);
         QCOMPARE(board.transcript("rx kind=connect").size(), 2);
         QCOMPARE(recordedUnits(record), (QStringList{"U-1", "U-1"}));
     }},
    {"unit reconciliation",
     [](QTemporaryDir& dir) {
         // A unit that failed on one station and was written on another counts as written.
         const QString records[] = {dir.filePath("a.jsonl"), dir.filePath("b.jsonl")};
         const QStringList faults[] = {{"--fault", "program=status:E"}, {}};
         for (int n = 0; n < 2; ++n) {
             const QString fixture = dir.filePath("fixture" + QString::number(n));
             SimProcess board(QStringList{"--link", fixture} + faults[n]);
             QProcess station;
             startStation(station, {fixture}, {"--scan", "--record", records[n]});
             station.write("U-7\n");
             station.closeWriteChannel();
             QVERIFY(station.waitForFinished(kWaitMs));
             QCOMPARE(station.exitCode(), n == 0 ? 1 : 0);
         }
         const auto check = [](const QStringList& files) {
             const Records summary = summarize(QStringList{"--check"} + files);
             return QString::number(summary.code) + " " +
                    summary.out.section("Units: ", 1, 1).section('\n', 0, 0);
         };
         QCOMPARE(check({records[0]}),
                  QString("1 1 (0 written, 1 not written; first pass 0.0%, final 0.0%)"));
         QCOMPARE(check({records[0], records[1]}),
                  QString("0 1 (1 written, 0 not written; first pass 0.0%, final 100.0%)"));
     }},
    {"operator board on a terminal", [](QTemporaryDir& dir) { boardOnTerminal(dir, false); }},
    {"operator board with NO_COLOR", [](QTemporaryDir& dir) { boardOnTerminal(dir, true); }},
    {"totals the record agrees with", [](QTemporaryDir& dir) { totalsAgree(dir); }},
    {"record file moved away between two devices",
     [](QTemporaryDir& dir) { recordFollowsItsPath(dir, true); }},
    {"record file deleted between two devices",
     [](QTemporaryDir& dir) { recordFollowsItsPath(dir, false); }},
    {"standard output's reader gone",
     [](QTemporaryDir& dir) { stationWithFailedOutput(dir, STDOUT_FILENO, true); }},
    {"standard output full",
     [](QTemporaryDir& dir) { stationWithFailedOutput(dir, STDOUT_FILENO, false); }},
    {"standard error full",
     [](QTemporaryDir& dir) { stationWithFailedOutput(dir, STDERR_FILENO, false); }},
    {"a station from its profile",
     [](QTemporaryDir& dir) {
         // Ports, image and record from the profile; the station goes by its name, the record
         // keeps it. Stopped as its service is, by SIGTERM, it ends with its totals.
         const QString a = dir.filePath("a");
         const QString b = dir.filePath("b");
         SimProcess boardA({"--link", a});
         SimProcess boardB({"--link", b});
         const QString record = dir.filePath("line.jsonl");
         const QString profile = writeProfile(dir, {a, b}, {{"record", record}});
         Station station({}, {"--profile", profile});
         QVERIFY(station.said(a + ": remove the board") && station.said(b + ": remove the board"));
         QVERIFY(station.stop(SIGTERM));
         QCOMPARE(station.process.exitCode(), 0);
         QVERIFY2(station.out.contains("Station: 2 devices written, 0 failed\n"),
                  station.out.constData());
         boardA.stop();
         boardB.stop();
         QCOMPARE(boardA.flash(), defaultImageBytes());
         QCOMPARE(boardB.flash(), defaultImageBytes());
         QVERIFY2(station.err.contains("quorvel-flash: station line3: writing every device "
                                       "connected to 2 ports with QUORVEL_140428_01_02.mot"),
                  station.err.constData());
         const QList<QJsonObject> lines = recordLines(record, true);
         QCOMPARE(lines.size(), 4);
         for (const QJsonObject& line : lines) QCOMPARE(line["profile"].toString(), "line3");
     }},
    {"the command line wins over the profile",
     [](QTemporaryDir& dir) {
         // The profile's port has no board; the one given on the command line is written, and
         // its line goes to the record given there.
         const QString listed = dir.filePath("listed");
         const QString given = dir.filePath("given");
         SimProcess board({"--link", given});
         const QString record = dir.filePath("given.jsonl");
         const QString profile =
             writeProfile(dir, {listed}, {{"record", dir.filePath("listed.jsonl")}});
         Station station({given}, {"--profile", profile, "--record", record});
         QVERIFY(station.said(given + ": remove the board"));
         QVERIFY(station.stop());
         board.stop();
         QCOMPARE(board.flash(), defaultImageBytes());
         QVERIFY2(!station.err.contains(listed.toUtf8()), station.err.constData());
         QCOMPARE(recordLines(record).size(), 1);
         QVERIFY(!QFile::exists(dir.filePath("listed.jsonl")));
     }},
    {"an image the profile does not approve",
     [](QTemporaryDir& dir) {
         // Refused, by a station and by a single write, before the port is opened.
         SimProcess board;
         OpenCount opens(board.slavePath());
         const QString other(64, 'b');
         const QString profile = writeProfile(
             dir, {board.slavePath()}, {{"approved_sha256", QJsonArray{QString(64, 'A'), other}}});
         const QByteArray refusal =
             "quorvel-flash: QUORVEL_140428_01_02.mot (SHA-256 " +
             defaultImageSha256().left(12).toUtf8() + ") is not approved by " + profile.toUtf8() +
             ", which approves aaaaaaaaaaaa, bbbbbbbbbbbb; nothing was sent\n";
         for (const QStringList& args :
              {QStringList{"write", "--station", "--yes", "--profile", profile},
               QStringList{"write", "--yes", "--profile", profile}}) {
             QProcess write;
             write.start(flashToolPath(), args);
             QVERIFY(write.waitForFinished(kWaitMs));
             QCOMPARE(write.exitCode(), 3);
             QCOMPARE(write.readAllStandardError(), refusal);
         }
         board.stop();
         QCOMPARE(opens(), 0);
         QVERIFY(board.transcript("rx").isEmpty());
     }},
    {"profiles that cannot be used",
     [](QTemporaryDir& dir) {
         // Each is refused with its file and line, and no port is opened.
         SimProcess board;
         OpenCount opens(board.slavePath());
         const QString port = board.slavePath();
         const QString path = writeProfile(dir, {port});
         QFile file(path);
         QVERIFY(file.open(QIODevice::ReadOnly));
         const QByteArray good = file.readAll();
         file.close();
         const QString sha = defaultImageSha256();
         const QByteArray portLine = "        \"" + port.toUtf8() + "\"\n";
         const QByteArray imageLine =
             "    \"image\": \"" + QByteArray(QUORVEL_DEFAULT_IMAGE_PATH) + "\",\n";
         // The text of the profile, or "0666": the good one, writable by everybody; "folder":
         // the profile's folder named instead.
         const std::pair<QByteArray, QByteArray> bads[] = {
             {"folder", ": it is a folder"},
             {"{\n\"image\": \"f.mot\"\n\"ports\": []}", " line 3: not JSON: unterminated object"},
             {QByteArray(good).replace("\"name\"", "\"nmae\""), " line 6: unknown key \"nmae\""},
             {QByteArray(good).replace(imageLine, ""), " line 1: no \"image\""},
             {QByteArray(good).replace(portLine, ""), " line 7: no \"ports\""},
             {QByteArray(good).replace(sha.toUtf8(), sha.left(63).toUtf8()),
              " line 3: \"approved_sha256\" holds \"" + sha.left(63).toUtf8() + "\", which is no"},
             {QByteArray(good).replace(portLine, portLine.chopped(1) + ",\n" + portLine),
              " line 9: the port " + port.toUtf8() + " is given twice"},
             {"0666", ": other users can write to it (mode 0666)"},
         };
         for (const auto& [text, said] : bads) {
             QFile profile(path);
             QVERIFY(profile.open(QIODevice::WriteOnly | QIODevice::Truncate));
             profile.write(text == "0666" ? good : text);
             profile.close();
             if (text == "0666") {
                 QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x6666)));
             }
             const QString named = text == "folder" ? dir.path() : path;
             QProcess station;
             station.start(flashToolPath(), {"write", "--station", "--yes", "--profile", named});
             QVERIFY(station.waitForFinished(kWaitMs));
             const QByteArray err = station.readAllStandardError();
             QVERIFY2(station.exitCode() == 2 &&
                          err.startsWith("quorvel-flash: profile " + named.toUtf8() + said),
                      err.constData());
         }
         board.stop();
         QCOMPARE(opens(), 0);
         QVERIFY(board.transcript("rx").isEmpty());
     }},
    {"transcripts in station mode",
     [](QTemporaryDir& dir) {
         const QString fixture = dir.filePath("fixture");
         SimProcess board({"--link", fixture});
         QProcess station;
         startStation(station, {fixture}, {"--scan", "--log", dir.filePath("run.log"), "-v"});
         station.write("A7\n");
         station.closeWriteChannel();
         QVERIFY(station.waitForFinished(kWaitMs));
         board.stop();
         QCOMPARE(station.exitCode(), 0);
         const QStringList logs = QDir(dir.path()).entryList({"run-*-1-A7.log"});
         QCOMPARE(logs.size(), 1);
         QFile log(dir.filePath(logs.front()));
         QVERIFY(log.open(QIODevice::ReadOnly));
         QVERIFY(log.readAll().contains("step disconnect: status 0, success"));
         const QByteArray err = station.readAllStandardError();
         QVERIFY2(err.contains("quorvel-flash: " + fixture.toUtf8() + ": ") &&
                      err.contains(" send 11: "),
                  err.constData());
     }},
};

}  // namespace

class StationE2eTest : public QObject {
    Q_OBJECT

  private slots:
    void productionLine_data() {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < std::size(kLineCases); ++i) {
            QTest::newRow(kLineCases[i].name) << int(i);
        }
    }
    void productionLine() {
        QFETCH(int, row);
        QTemporaryDir dir;
        kLineCases[row].run(dir);
    }

    void devicesComeAndGo() {
        QTemporaryDir dir;
        const QString first = dir.filePath("fixture1");
        const QString second = dir.filePath("fixture2");
        const QString record = dir.filePath("line.jsonl");
        Station station({first, second}, {"--record", record});
        // Both ports are watched before a device is there.
        QVERIFY(station.said(first + ": waiting for a device"));
        QVERIFY(station.said(second + ": waiting for a device"));

        auto device = std::make_unique<SimProcess>(QStringList{"--link", first});
        SimProcess refusing({"--link", second, "--fault", "program=status:E"});
        QVERIFY(device->started() && refusing.started());
        // The station is done with each once it asks for its removal: one written, the other
        // refused its blocks twice.
        QVERIFY(station.said(first + ": remove the board"));
        QVERIFY(station.said(second + ": remove the board"));
        QCOMPARE(refusing.transcript("rx kind=program").size(), 2);

        // The first device is removed and, once the station saw it go, another is connected at
        // the same place. Left connected until then, it was written once; the second device
        // stays connected all the while.
        {
            const HeldNumber held(*device);
            device->stop();
            QVERIFY(station.said(first + ": waiting for a device", 2));
        }
        QCOMPARE(device->transcript("rx kind=connect").size(), 1);
        QCOMPARE(device->flash(), defaultImageBytes());
        device = std::make_unique<SimProcess>(QStringList{"--link", first});
        QVERIFY(device->started());
        QVERIFY(station.said(first + ": remove the board", 2));

        QVERIFY(station.stop());
        device->stop();
        QCOMPARE(device->flash(), defaultImageBytes());
        // The refusing device, connected while the first port saw a device go and another
        // written, was tried once.
        refusing.stop();
        QCOMPARE(refusing.transcript("rx kind=connect").size(), 1);
        QCOMPARE(station.process.exitCode(), 1);  // one device failed
        const QString totals = QString::fromUtf8(station.out);
        QVERIFY2(totals.contains("Station: 2 devices written, 1 failed\n") &&
                     totals.contains(first + ": 2 written, 0 failed\n") &&
                     totals.contains(second + ": 0 written, 1 failed\n"),
                 qPrintable(totals));
        // One line per device, with a short reason that does not contradict "remove the
        // board"; no progress between the lines, and no second copy of them on standard error.
        QVERIFY2(totals.contains("FAIL  " + second + "  unit -  ") &&
                     totals.contains(" s  Writing failure; the device refused block 0x004000 (it "
                                     "answered 'E'); remove the board\n") &&
                     !totals.contains("write again"),
                 qPrintable(totals));
        QVERIFY2(!station.err.contains("%") && !station.err.contains(": status ") &&
                     !station.err.contains("failure"),
                 station.err.constData());

        // One record line per device, in the order the writes ended.
        QStringList outcomes;
        for (const QJsonObject& o : recordLines(record)) {
            outcomes << o["port"].toString().section('/', -1) + " " + o["outcome"].toString();
        }
        outcomes.sort();
        QCOMPARE(outcomes,
                 (QStringList{"fixture1 success", "fixture1 success", "fixture2 failure"}));
    }
};

QTEST_GUILESS_MAIN(StationE2eTest)
#include "station_e2e_test.moc"
