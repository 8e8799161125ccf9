// quorvel-flash write --record against simulated loaders: one line per device with every field,
// added after the lines already there; and four devices at once adding four whole lines. Then
// quorvel-flash records on what is not a regular file.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <csignal>
#include <memory>

#include "block_walk.h"
#include "image_loader.h"
#include "sim_process.h"

namespace {

constexpr int kToolMs = 120000;

quorvel::MemoryImage defaultImage() {
    quorvel::MemoryImage image;
    if (!quorvel::LoadImageFile(QUORVEL_DEFAULT_IMAGE_PATH, image).ok()) {
        qFatal("cannot load the default image");
    }
    return image;
}

QString defaultImageSha256() {
    QFile file(QUORVEL_DEFAULT_IMAGE_PATH);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
}

// The blocks with data below row `row`: those a walk that ended on it had sent.
int blocksBelow(int row) {
    const quorvel::MemoryImage image = defaultImage();
    int blocks = 0;
    for (int start : quorvel::programBlockStarts()) {
        if (start < row && quorvel::blockHasData(image, start)) ++blocks;
    }
    return blocks;
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QJsonObject parsed(const QString& line) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return {};
    return doc.object();
}

}  // namespace

class RecordE2eTest : public QObject {
    Q_OBJECT

  private slots:
    void onePort_data() {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("closed");  // a standard descriptor the tool starts without, or -1
        const int all = quorvel::countBlocksToSend(defaultImage());
        QTest::newRow("success") << QStringList{} << "success"
                                 << "" << all << -1;
        QTest::newRow("block refused")
            << QStringList{"--fault", "program@0x10000=status:E"} << "failure"
            << "program" << blocksBelow(4096) << -1;
        QTest::newRow("no connect") << QStringList{"--fault", "connect=status:E"} << "failure"
                                    << "connect" << 0 << -1;
        // Neither the outcome nor the progress may land in the record file.
        QTest::newRow("standard output closed") << QStringList{} << "success"
                                                << "" << all << 1;
        QTest::newRow("standard error closed")
            << QStringList{"--fault", "connect=status:E"} << "failure"
            << "connect" << 0 << 2;
    }
    void onePort() {
        QFETCH(QStringList, fault);
        QFETCH(QString, outcome);
        QFETCH(QString, step);
        QFETCH(int, blocks);
        QFETCH(int, closed);
        SimProcess sim(fault);
        QVERIFY(sim.started());
        QTemporaryDir dir;
        const QString path = dir.filePath("line.jsonl");
        {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("{\"earlier\":true}\n");
        }
        QProcess tool;
        if (closed >= 0) tool.setChildProcessModifier([closed] { ::close(closed); });
        tool.start(flashToolPath(),
                   {"write", "--yes", closed >= 0 ? "-v" : "--quiet", "--record", path, "--unit",
                    "A1", "--port", sim.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
        QVERIFY(tool.waitForFinished(kToolMs));
        sim.stop();
        QCOMPARE(tool.exitCode(), outcome == "success" ? 0 : 1);

        // The attempt's started line, then its final line.
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString("{\"earlier\":true}"));
        const QJsonObject begun = parsed(lines[1]);
        const QJsonObject r = parsed(lines[2]);
        QVERIFY2(!r.isEmpty(), qPrintable(lines[2]));
        QCOMPARE(r.keys().size(), 24);
        QCOMPARE(begun["event"].toString(), QString("started"));
        QCOMPARE(r["event"].toString(), QString("ended"));
        QVERIFY(!r["attempt"].toString().isEmpty());
        for (const char* key : {"attempt", "started", "port", "unit", "device", "image", "sha256"})
            QCOMPARE(begun[key], r[key]);
        QCOMPARE(r["unit"].toString(), QString("A1"));
        QCOMPARE(r["outcome"].toString(), outcome);
        QCOMPARE(r["port"].toString(), sim.slavePath());
        QVERIFY(r["device"].isString());
        QVERIFY(r["usb_serial"].isNull());  // a pseudo-terminal has no adapter
        QVERIFY(r["profile"].isNull());
        QCOMPARE(r["image"].toString(), QString(QUORVEL_DEFAULT_IMAGE_PATH));
        QCOMPARE(r["sha256"].toString(), defaultImageSha256());
        QCOMPARE(r["warnings"].toArray().size(), 0);  // the default image ends with its S8 record
        QCOMPARE(r["checksum"].toString(), QString(kDefaultImageChecksum));
        QVERIFY(!r["tool_version"].toString().isEmpty());
        QVERIFY(!r["host"].toString().isEmpty());
        const QDateTime started = QDateTime::fromString(r["started"].toString(), Qt::ISODateWithMs);
        const QDateTime ended = QDateTime::fromString(r["ended"].toString(), Qt::ISODateWithMs);
        QVERIFY(started.isValid() && started <= ended);
        QVERIFY(r["seconds"].toDouble() > 0);
        QCOMPARE(r["blocks_written"].toInt(-1), blocks);
        if (step.isEmpty()) {
            QVERIFY(r["failed_step"].isNull() && r["cause"].isNull());
            QCOMPARE(r["diagnosis"].toArray().size(), 0);
        } else {
            QCOMPARE(r["failed_step"].toString(), step);
            QVERIFY(r["diagnosis"].toArray().first().toString().startsWith(step + " failed"));
            QVERIFY(!r["cause"].toString().isEmpty());
        }
    }

    // A record line goes in whole or not at all, and a record that cannot be kept is refused
    // before anything is sent, or ends the write with its own outcome.
    void lostRecords_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("sent");
        QTest::newRow("the disk is full") << "limit" << 2 << false;
        QTest::newRow("a file-size limit (ulimit -f)") << "ulimit" << 2 << false;
        QTest::newRow("the disk fills up during the write") << "fills" << 5 << true;
        QTest::newRow("a torn line before") << "torn" << 0 << true;
        QTest::newRow("a pipe") << "fifo" << 2 << false;
        QTest::newRow("a link to /dev/full") << "full" << 2 << false;
        QTest::newRow("a link in a folder others write to") << "shared link" << 2 << false;
    }
    void lostRecords() {
        QFETCH(QString, kind);
        QFETCH(int, code);
        QFETCH(bool, sent);
        // The end of the write, unanswered, takes seconds: time for the disk to fill up after
        // the started line went in.
        SimProcess sim(kind == "fills" ? QStringList{"--fault", "disconnect=silent"}
                                       : QStringList{});
        QVERIFY(sim.started());
        QTemporaryDir dir;
        const QString path = dir.filePath("line.jsonl");
        // Long enough that the serial port's lock file still fits under the file size limit.
        const QByteArray first = "{\"earlier\":\"" + QByteArray(2000, 'x') + "\"}";
        const QByteArray earlier = first + (kind == "torn" ? "\n{\"torn\":" : "\n");
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(qPrintable(path), 0644), 0);
        } else if (kind == "full") {
            QVERIFY(QFile::link("/dev/full", path));
        } else if (kind == "shared link") {
            // Another user's link to a file of the operator's, where the record is to be made.
            QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
            QFile target(dir.filePath("mine"));
            QVERIFY(target.open(QIODevice::WriteOnly));
            QVERIFY(QFile::link(target.fileName(), path));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(earlier);
        }
        QProcess tool;
        const bool limited = kind == "limit" || kind == "ulimit";
        if (limited) {
            // Files of this process may grow by a few bytes only: the line is cut short. With
            // "ulimit", SIGXFSZ is left as a shell leaves it, which would end the tool.
            const rlim_t size = rlim_t(earlier.size()) + 64;
            const bool ignored = kind == "limit";
            tool.setChildProcessModifier([size, ignored] {
                ::signal(SIGXFSZ, ignored ? SIG_IGN : SIG_DFL);
                const rlimit limit{size, size};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        }
        tool.start(flashToolPath(), {"--json", "write", "--yes", "--record", path, "--port",
                                     sim.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
        if (kind == "fills") {
            QTRY_COMPARE_WITH_TIMEOUT(fileLines(path).size(), 2, kToolMs);
            const rlim_t size = rlim_t(QFileInfo(path).size()) + 64;
            const rlimit limit{size, size};
            QCOMPARE(::prlimit(pid_t(tool.processId()), RLIMIT_FSIZE, &limit, nullptr), 0);
        }
        QVERIFY(tool.waitForFinished(kToolMs));
        sim.stop();
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), code);
        QCOMPARE(sim.transcript("rx").isEmpty(), !sent);
        const QJsonObject report = parsed(QString::fromUtf8(tool.readAllStandardOutput()));
        QCOMPARE(report["exit_code"].toInt(), code);
        if (kind == "shared link") {
            QCOMPARE(QFileInfo(dir.filePath("mine")).size(), 0);
            QVERIFY(report["error"].toString().contains("is not followed"));
        }
        if (kind == "fifo" || kind == "full" || kind == "shared link") return;
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.first(), QString::fromLatin1(first));
        if (limited) {
            // Nothing sent to a device that could not be recorded; the file cut back.
            QCOMPARE(report["outcome"].toString(), QString("error"));
            QVERIFY(report["error"].toString().contains("line.jsonl"));
            QCOMPARE(lines.size(), 1);
        } else if (kind == "fills") {
            QCOMPARE(report["outcome"].toString(), QString("record_lost"));
            QVERIFY(report["record_error"].toString().contains("line.jsonl"));
            QCOMPARE(lines.size(), 2);  // the started line, the final one cut back
        } else {
            QVERIFY(report["record_error"].isNull());
            QCOMPARE(lines.size(), 4);  // the torn line ended, the new ones whole after it
            QCOMPARE(parsed(lines[3])["outcome"].toString(), QString("success"));
        }
    }

    // records reads regular files and standard input ("-"), nothing that could hang it.
    void recordsReadsFilesAndStandardInput_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");  // on standard error
        QTest::newRow("a pipe") << "fifo" << 2 << "is a pipe, not a record file";
        QTest::newRow("standard input") << "stdin" << 0 << "";
        QTest::newRow("standard input, a folder") << "folder" << 2 << "cannot read standard input";
        // The report's path is looked at before any record is read.
        QTest::newRow("report to a pipe") << "report" << 2 << "cannot write the report: ";
    }
    void recordsReadsFilesAndStandardInput() {
        QFETCH(QString, kind);
        QFETCH(int, code);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString path = dir.filePath("line.jsonl");
        QProcess tool;
        const QString page = dir.filePath("report.html");
        if (kind == "fifo") {
            // No writer ever opens it: opening it to read would wait for ever.
            QCOMPARE(::mkfifo(qPrintable(path), 0644), 0);
        } else if (kind == "report") {
            // No reader ever opens it: opening it to write would wait for ever.
            QCOMPARE(::mkfifo(qPrintable(page), 0644), 0);
            said += page + " is not a regular file";
            tool.setStandardInputFile(QProcess::nullDevice());
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(R"({"host":"h","port":"COM1","image":"a","sha256":"b","outcome":"success"})"
                       "\n");
            file.close();
            tool.setStandardInputFile(kind == "stdin" ? path : dir.path());
        }
        QStringList args{"records", "--check", "--json", kind == "fifo" ? path : "-"};
        if (kind == "report") args << "--html" << page;
        tool.start(flashToolPath(), args);
        QVERIFY(tool.waitForFinished(kToolMs));
        QCOMPARE(tool.exitCode(), code);
        QVERIFY2(QString::fromUtf8(tool.readAllStandardError()).contains(said), qPrintable(said));
        const QJsonObject report = parsed(QString::fromUtf8(tool.readAllStandardOutput()));
        QCOMPARE(report["result"]["devices"].toInt(), kind == "stdin" ? 1 : 0);
    }

    // Every file the command line writes, aimed by another user (nobody, through setpriv) at
    // a root-only file: refused before any port opens, and the file stays as it was.
    void plantedPaths_data() {
        QTest::addColumn<QString>("surface");
        QTest::addColumn<QString>("plant");  // run as nobody in a sticky folder; "f" is the path
        for (const char* surface : {"transcript", "record", "report"}) {
            QTest::addRow("%s: a link in a sticky folder", surface) << surface << "ln -s VICTIM f";
            QTest::addRow("%s: a link to a folder on the way", surface)
                << surface << "ln -s VICTIMS via";
        }
        // A station's transcripts are named as devices come: their folder is what can be aimed.
        QTest::newRow("station transcripts: a link to a folder on the way") << "station"
                                                                            << "ln -s VICTIMS via";
    }
    void plantedPaths() {
        QFETCH(QString, surface);
        QFETCH(QString, plant);
        if (::geteuid() != 0) QSKIP("needs root to act as another user");
        QTemporaryDir dir;
        QTemporaryDir victims;
        const QString victim = victims.filePath("f");
        {
            QFile file(victim);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("root only\n");
        }
        QVERIFY(QFile::setPermissions(victim, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(::chmod(qPrintable(dir.path()), 01777), 0);
        plant.replace("VICTIMS", victims.path()).replace("VICTIM", victim);
        QProcess nobody;
        nobody.setWorkingDirectory(dir.path());
        nobody.start("setpriv",
                     {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "sh", "-c", plant});
        QVERIFY(nobody.waitForFinished(kToolMs));
        QCOMPARE(nobody.exitCode(), 0);
        const QString path = dir.filePath(plant.endsWith(" via") ? "via/f" : "f");

        SimProcess sim;
        QVERIFY(sim.started());
        const QString records = victims.filePath("line.jsonl");
        QVERIFY(QFile::copy(victim, records));
        QStringList args{"--json"};
        const QHash<QString, QStringList> commands{
            {"transcript", {"connect", "--log", path}},
            {"station", {"write", "--station", "--yes", "--log", path}},
            {"record", {"write", "--yes", "--record", path}},
            {"report", {"records", "--html", path, records}}};
        args << commands[surface];
        if (surface != "report") args << "--port" << sim.slavePath();
        if (surface == "record" || surface == "station") args << QUORVEL_DEFAULT_IMAGE_PATH;
        QProcess tool;
        tool.start(flashToolPath(), args);
        QVERIFY(tool.waitForFinished(kToolMs));
        sim.stop();
        QVERIFY2(tool.exitCode() == 2, tool.readAllStandardError().constData());
        QVERIFY(sim.transcript("rx").isEmpty());
        const QJsonObject report = parsed(QString::fromUtf8(tool.readAllStandardOutput()));
        QVERIFY2(report["error"].toString().contains(path), qPrintable(report["error"].toString()));
        QFile file(victim);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("root only\n"));
    }

    void fourPortsAtOnce() {
        std::vector<std::unique_ptr<SimProcess>> sims;
        QStringList args{"write", "-y", "-q"};
        QTemporaryDir dir;
        const QString path = dir.filePath("line.jsonl");
        args << "--record" << path << QUORVEL_DEFAULT_IMAGE_PATH;
        for (int i = 0; i < 4; ++i) {
            sims.push_back(std::make_unique<SimProcess>(
                i == 1 ? QStringList{"--fault", "program@0x10000=status:E"} : QStringList{}));
            QVERIFY(sims.back()->started());
            args << "--port" << sims.back()->slavePath();
        }
        QProcess tool;
        tool.start(flashToolPath(), args);
        QVERIFY(tool.waitForFinished(kToolMs));
        for (auto& sim : sims) sim->stop();
        QCOMPARE(tool.exitCode(), 1);

        // Four started lines before any device was touched, then four final lines.
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), 8);
        QStringList ports;
        for (const QString& line : lines.mid(4)) {
            const QJsonObject r = parsed(line);
            QVERIFY2(!r.isEmpty(), qPrintable(line));
            ports << r["port"].toString();
            const bool failing = r["port"].toString() == sims[1]->slavePath();
            QCOMPARE(r["outcome"].toString(), QString(failing ? "failure" : "success"));
        }
        for (const auto& sim : sims) QCOMPARE(ports.count(sim->slavePath()), 1);
    }
};

QTEST_GUILESS_MAIN(RecordE2eTest)
#include "record_e2e_test.moc"
