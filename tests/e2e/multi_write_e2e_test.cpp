// quorvel-flash write with several --port options against several simulated loaders: every
// device is written in parallel, one failing device does not stop the others, the exit code
// tells whether all succeeded, the confirmation is asked once, the progress block is redrawn
// in place on a terminal, one transcript per port; and quorvel-flash ports.

#include <fcntl.h>
#include <unistd.h>

#include <QtTest>
#include <memory>

#include "image_loader.h"
#include "port_mapping.h"
#include "sim_process.h"

namespace {

constexpr int kToolMs = 120000;
constexpr int kDevices = 4;

QByteArray defaultImageBytes() {
    quorvel::MemoryImage image;
    if (!quorvel::LoadImageFile(QUORVEL_DEFAULT_IMAGE_PATH, image).ok()) {
        qFatal("cannot load the default image");
    }
    QByteArray bytes;
    for (int16_t v : image.intMemory) bytes.append(static_cast<char>(v));
    return bytes;
}

// A pseudo-terminal for the tool's standard input or output.
class Terminal {
  public:
    Terminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        slave_ = QString::fromLocal8Bit(::ptsname(master_));
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Terminal() {
        if (master_ >= 0) ::close(master_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    QString slave() const { return slave_; }
    void type(const QByteArray& text) const {
        QCOMPARE(::write(master_, text.constData(), size_t(text.size())), ssize_t(text.size()));
    }
    // Everything the tool wrote so far.
    QByteArray drain() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            seen_.append(buffer, n);
        }
        return seen_;
    }

  private:
    int master_ = -1;
    QString slave_;
    QByteArray seen_;
};

struct Fleet {
    explicit Fleet(const QList<QStringList>& options) {
        for (const QStringList& o : options) sims.push_back(std::make_unique<SimProcess>(o));
    }
    bool started() const {
        for (const auto& s : sims) {
            if (!s->started()) return false;
        }
        return true;
    }
    QStringList portArgs() const {
        QStringList args;
        for (const auto& s : sims) args << "--port" << s->slavePath();
        return args;
    }
    void stop() {
        for (const auto& s : sims) s->stop();
    }
    std::vector<std::unique_ptr<SimProcess>> sims;
};

// What the tool said in its own name (the ports, the diagnoses, the warnings), without the
// progress lines, for a failure's message.
QString toolNotes(const QByteArray& err) {
    return QString::fromUtf8(err).split('\n').filter("quorvel-flash: ").join('\n');
}

// The summary table's row for `port`.
QString tableRow(const QString& out, const QString& port) {
    for (const QString& line : out.split('\n')) {
        if (line.startsWith(port + " ")) return line;
    }
    return {};
}

}  // namespace

class MultiWriteE2eTest : public QObject {
    Q_OBJECT

  private slots:
    void oneDeviceFails_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("why");
        QTest::newRow("erase unanswered") << "erase=silent"
                                          << "Deletion failure"
                                          << "erase: no answer"
                                          << "no answer within 2.5 s";
        QTest::newRow("block refused") << "program@0x10000=status:E"
                                       << "Writing failure"
                                       << "program: refused"
                                       << "(it answered 'E')";
        QTest::newRow("no connect") << "connect=status:E"
                                    << "Connection failure"
                                    << "connect: refused"
                                    << "try --loader 1.05";
    }
    void oneDeviceFails() {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(QString, step);
        QFETCH(QString, why);
        const int failing = 2;
        QList<QStringList> options;
        for (int i = 0; i < kDevices; ++i) {
            options << (i == failing ? QStringList{"--fault", fault} : QStringList{});
        }
        Fleet fleet(options);
        QVERIFY(fleet.started());
        QTemporaryDir logs;
        QProcess tool;
        tool.start(flashToolPath(), QStringList{"write", "--yes", "--log", logs.filePath("run.log"),
                                                QUORVEL_DEFAULT_IMAGE_PATH} +
                                        fleet.portArgs());
        QVERIFY(tool.waitForFinished(kToolMs));
        fleet.stop();
        const QString out = QString::fromUtf8(tool.readAllStandardOutput());
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY2(out.contains("3 of 4 devices rewritten"), qPrintable(out));

        const QByteArray image = defaultImageBytes();
        for (int i = 0; i < kDevices; ++i) {
            const SimProcess& sim = *fleet.sims[size_t(i)];
            const QString row = tableRow(out, sim.slavePath());
            // Each device had its own connect, on its own port.
            QCOMPARE(sim.transcript("rx kind=connect").size(), 1);
            const QStringList log =
                QString::fromUtf8([&] {
                    QFile f(
                        logs.filePath("run-" + sim.slavePath().mid(5).replace('/', '-') + ".log"));
                    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                }())
                    .split('\n');
            QVERIFY2(log.value(0).startsWith("# quorvel-flash write on " + sim.slavePath()),
                     qPrintable(log.value(0)));
            if (i == failing) {
                QVERIFY2(row.contains(message) && row.contains(step), qPrintable(row));
                QVERIFY(sim.flash() != image);
                QVERIFY2(err.contains(sim.slavePath() + ": ") && err.contains(why),
                         qPrintable(toolNotes(err.toUtf8())));
                QVERIFY(!log.filter("failure").isEmpty());
            } else {
                QVERIFY2(row.contains("Rewriting success!"), qPrintable(row));
                QVERIFY(sim.flash() == image);
                QVERIFY(!err.contains("quorvel-flash: " + sim.slavePath() + ": "));
                QCOMPARE(
                    log.filter(QRegularExpression("step disconnect: status 0, success")).size(), 1);
            }
        }
    }

    void allSucceed() {
        Fleet fleet{QList<QStringList>(kDevices)};
        QVERIFY(fleet.started());
        QProcess tool;
        tool.start(flashToolPath(),
                   QStringList{"write", "-y", QUORVEL_DEFAULT_IMAGE_PATH} + fleet.portArgs());
        QVERIFY(tool.waitForFinished(kToolMs));
        fleet.stop();
        // Standard error names the ports and shows the progress, and says nothing went wrong.
        const QByteArray err = tool.readAllStandardError();
        QVERIFY2(tool.exitCode() == 0, qPrintable(toolNotes(err)));
        QVERIFY(tool.readAllStandardOutput().contains("4 of 4 devices rewritten"));
        for (const auto& sim : fleet.sims) {
            QVERIFY(err.contains("quorvel-flash: port " + sim->slavePath().toUtf8() + "\n"));
            QVERIFY(!err.contains("quorvel-flash: " + sim->slavePath().toUtf8() + ": "));
        }
        for (const auto& sim : fleet.sims) QVERIFY(sim->flash() == defaultImageBytes());
    }

    // The warning is shown and answered once for all devices; a refusal sends nothing.
    void confirmationOnce_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("devices");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("amount");  // what is about to be sent
        QTest::addColumn<bool>("cut");        // the default image without its end record
        QTest::newRow("agreed") << "write" << 2 << QByteArray("y\n") << 0
                                << "Blocks to send: 88 of 120" << false;
        QTest::newRow("agreed in capitals")
            << "write" << 1 << QByteArray("YES\n") << 0 << "Blocks to send: 88 of 120" << false;
        QTest::newRow("refused") << "write" << 2 << QByteArray("no\n") << 3
                                 << "Blocks to send: 88 of 120" << false;
        QTest::newRow("program refused")
            << "program" << 1 << QByteArray("\n") << 3 << "Blocks to send: 88 of 120" << false;
        QTest::newRow("row-write refused")
            << "row-write" << 1 << QByteArray("cancel\n") << 3 << "Rows to send: 5592" << false;
        QTest::newRow("cut file refused")
            << "write" << 1 << QByteArray("no\n") << 3
            << "Blocks to send: 88 of 120\nWarning: ${FILE} has no end record (S7, S8 or S9): the "
               "file may be cut short"
            << true;
    }
    void confirmationOnce() {
        QFETCH(QString, command);
        QFETCH(int, devices);
        QFETCH(QByteArray, answer);
        QFETCH(int, code);
        QFETCH(QString, amount);
        QFETCH(bool, cut);
        QString file = QUORVEL_DEFAULT_IMAGE_PATH;
        QTemporaryDir dir;
        if (cut) {
            // Every line but the last, the S8 end record: the data and the check sum unchanged.
            QFile whole(file);
            QVERIFY(whole.open(QIODevice::ReadOnly));
            QByteArray text = whole.readAll();
            text.chop(1);
            text.truncate(text.lastIndexOf('\n') + 1);
            file = dir.filePath("cut.mot");
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(text) == text.size());
            amount.replace("${FILE}", file);
        }
        Fleet fleet{QList<QStringList>(devices)};
        QVERIFY(fleet.started());
        Terminal input;
        QVERIFY(!input.slave().isEmpty());
        QProcess tool;
        tool.setStandardInputFile(input.slave());
        tool.start(flashToolPath(), QStringList{command, file} + fleet.portArgs());
        QVERIFY(tool.waitForStarted());
        input.type(answer);
        QVERIFY(tool.waitForFinished(kToolMs));
        fleet.stop();
        // The question is asked on standard error, where the progress goes.
        const QString out = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(tool.exitCode() == code, qPrintable(toolNotes(out.toUtf8())));
        // The box's warning in a terminal's words: no OK button to click, a letter to type.
        QCOMPARE(out.count("Rewriting of software\nPlease never turn off power while rewriting.\n"
                           "File: "),
                 1);
        QCOMPARE(out.count("Type y to write, anything else cancels: "), 1);
        QVERIFY(!out.contains("OK button"));
        if (devices > 1) {
            QVERIFY(out.contains("2 devices at once: " + fleet.sims[0]->slavePath() + ", " +
                                 fleet.sims[1]->slavePath()));
        }
        // What is about to be written where: the file's check sum and identity, how much goes
        // out, and every port.
        QVERIFY2(out.contains(QRegularExpression(
                     "CHECK SUM C000-FFFF: " + QString(kDefaultImageChecksum) +
                     "  SHA-256 [0-9a-f]{12}\n" + QRegularExpression::escape(amount) + "\n")),
                 qPrintable(out));
        for (const auto& sim : fleet.sims) {
            QVERIFY(out.contains("Port: " + sim->slavePath() + "\n"));
            QCOMPARE(sim->transcript("rx ").isEmpty(), code != 0);
        }
        if (code != 0) QVERIFY(out.contains("cancelled: nothing was sent"));
    }

    // On a terminal the block of progress lines is drawn once and then redrawn in place.
    void terminalBlock() {
        Fleet fleet{QList<QStringList>(kDevices)};
        QVERIFY(fleet.started());
        Terminal output;
        QVERIFY(!output.slave().isEmpty());
        QProcess tool;
        tool.setStandardOutputFile(output.slave());  // the table
        tool.setStandardErrorFile(output.slave());   // the progress block
        tool.start(flashToolPath(),
                   QStringList{"write", "--yes", QUORVEL_DEFAULT_IMAGE_PATH} + fleet.portArgs());
        QVERIFY(tool.waitForStarted());
        // Read as it comes, so that the tool never waits on a full terminal.
        const QDeadlineTimer deadline(kToolMs);
        while (!tool.waitForFinished(20) && !deadline.hasExpired()) output.drain();
        QCOMPARE(tool.state(), QProcess::NotRunning);
        fleet.stop();
        const QByteArray shown = output.drain();
        QVERIFY2(tool.exitCode() == 0, qPrintable(toolNotes(shown)));
        const QByteArray up = "\x1b[" + QByteArray::number(kDevices) + "A";
        QVERIFY(shown.contains(up));
        // The last drawing of the block shows every device done, before the table.
        const QByteArray last = shown.mid(shown.lastIndexOf(up));
        for (const auto& sim : fleet.sims) {
            // Names are padded to the longest one: /dev/pts/9 stands beside /dev/pts/10.
            const QRegularExpression done(QRegularExpression::escape(sim->slavePath()) +
                                          " {2,}\\[#{20}\\] 100%  Rewriting success!");
            QVERIFY2(QString::fromUtf8(last).contains(done), last.constData());
        }
        QVERIFY(last.contains("4 of 4 devices rewritten"));
    }

    // Every listed port with the COM numbers that reach it, as the port mapping counts them,
    // and the overrides.
    void portsListing() {
        SimProcess sim;
        QVERIFY(sim.started());
        qputenv("QUORVEL_COM7", sim.slavePath().toUtf8());
        // A listed port that an override also names is reached by two numbers.
        const QList<QSerialPortInfo> listed = QSerialPortInfo::availablePorts();
        if (!listed.isEmpty()) qputenv("QUORVEL_COM9", listed.front().systemLocation().toUtf8());
        QProcess tool;
        tool.start(flashToolPath(), {"ports"});
        QVERIFY(tool.waitForFinished(kToolMs));
        QCOMPARE(tool.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split('\n');
        QVERIFY(lines.contains("  COM7 = " + sim.slavePath() +
                               "  (QUORVEL_COM7; not among the ports listed)"));
        for (const QSerialPortInfo& info : listed) {
            const QStringList heads = lines.filter(QRegularExpression(
                "^COM[0-9, COM]* +" + QRegularExpression::escape(info.systemLocation()) + "( |$)"));
            QCOMPARE(heads.size(), 1);
            if (info.systemLocation() == listed.front().systemLocation()) {
                QVERIFY2(heads[0].contains("COM9"), qPrintable(heads[0]));
            }
            for (const QString& com :
                 heads[0].section(QRegularExpression(" {2,}| /"), 0, 0).split(", ")) {
                const int16_t n = int16_t(com.mid(3).toInt());
                QCOMPARE(quorvel::deviceForTarget({n, ""}).value_or(""),
                         info.systemLocation().toStdString());
            }
        }
        qunsetenv("QUORVEL_COM7");
        qunsetenv("QUORVEL_COM9");
    }
};

QTEST_GUILESS_MAIN(MultiWriteE2eTest)
#include "multi_write_e2e_test.moc"
