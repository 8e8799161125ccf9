// quorvel-flash write stopped by Ctrl-C, SIGTERM or a reader that went away, against paced
// simulated loaders: the frame on the line is answered, nothing is sent after it, the port is
// free again, the tool says where it stopped and exits with 130; a closed output never kills it.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QtTest>
#include <memory>
#include <vector>

#include "block_walk.h"
#include "device_lock.h"
#include "image_loader.h"
#include "serial_port_transport.h"
#include "sim_process.h"

namespace {

constexpr int kToolMs = 120000;

// Every block of the default image that a write sends, by its start row.
QList<int> blocksToSend() {
    quorvel::MemoryImage image;
    if (!quorvel::LoadImageFile(QUORVEL_DEFAULT_IMAGE_PATH, image).ok()) {
        qFatal("cannot load the default image");
    }
    QList<int> rows;
    for (int start : quorvel::programBlockStarts()) {
        if (quorvel::blockHasData(image, start)) rows << start;
    }
    return rows;
}

QString blockAddress(int row) {
    return QString("0x%1").arg(row * 16, 6, 16, QChar('0')).toUpper().replace("0X", "0x");
}

// The simulator heard whole messages only and answered each one: no frame was cut, no reply
// was left unwaited for by a message sent after it.
void verifyNoMessageCut(const SimProcess& sim) {
    QCOMPARE(sim.transcript("drop ").size(), 0);
    const QStringList lines = sim.transcript();
    QString lastRx;
    for (const QString& line : lines) {
        if (line.startsWith("rx ")) {
            QVERIFY2(lastRx.isEmpty(), qPrintable("sent before the answer came: " + line));
            lastRx = line;
        } else if (line.startsWith("tx ")) {
            QVERIFY2(!lastRx.isEmpty() && !line.contains(" len=0 "), qPrintable(line));
            lastRx.clear();
        }
    }
    QVERIFY2(lastRx.isEmpty(), qPrintable("unanswered: " + lastRx));
}

}  // namespace

class InterruptE2eTest : public QObject {
    Q_OBJECT

  private slots:
    void stopsBetweenFrames_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("devices");
        QTest::newRow("Ctrl-C") << int(SIGINT) << 1;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 1;
        QTest::newRow("SIGHUP: the terminal closed") << int(SIGHUP) << 1;
        QTest::newRow("Ctrl-C, two devices") << int(SIGINT) << 2;
    }
    void stopsBetweenFrames() {
        QFETCH(int, signal);
        QFETCH(int, devices);
        std::vector<std::unique_ptr<SimProcess>> sims;
        QStringList args{"write", "--yes", QUORVEL_DEFAULT_IMAGE_PATH};
        for (int i = 0; i < devices; ++i) {
            sims.push_back(std::make_unique<SimProcess>(QStringList{"--pace"}));
            QVERIFY(sims.back()->started());
            args << "--port" << sims.back()->slavePath();
        }
        QProcess tool;
        tool.start(flashToolPath(), args);
        QVERIFY(tool.waitForStarted());
        // A few blocks through on every device.
        QDeadlineTimer through(60000);
        auto answered = [&] {
            for (const auto& sim : sims) {
                if (sim->transcript("tx kind=program").size() < 3) return false;
            }
            return true;
        };
        while (!answered() && !through.hasExpired()) QTest::qWait(20);
        QVERIFY(answered());
        // Through a pipe, the steps and the progress arrive as they happen, not at the end:
        // while the tool is still writing.
        QByteArray early;
        const auto arrived = [&] {
            early += tool.readAllStandardError();
            return early.contains("connect: in flash mode\n") && early.contains("0x004000");
        };
        while (!arrived() && !through.hasExpired()) QTest::qWait(20);
        QVERIFY2(arrived(), early.constData());
        QCOMPARE(tool.state(), QProcess::Running);
        QCOMPARE(::kill(pid_t(tool.processId()), signal), 0);
        QVERIFY(tool.waitForFinished(kToolMs));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 130);
        const QStringList err = QString::fromUtf8(early + tool.readAllStandardError()).split('\n');

        const QList<int> blocks = blocksToSend();
        const QRegularExpression report(
            "interrupted before block (0x[0-9A-F]{6}), with ([0-9]+) of " +
            QString::number(blocks.size()) +
            " blocks written: the device is erased and partly written; it stays in flash mode; "
            "run write again$");
        for (const auto& sim : sims) {
            // The port is free again.
            quorvel::SerialPortTransport port;
            QVERIFY(port.open({0, sim->slave()}));
            port.close();
            sim->stop();
            verifyNoMessageCut(*sim);
            QVERIFY(sim->transcript("rx kind=disconnect").isEmpty());
            const QStringList frames = sim->transcript("rx kind=program");
            const QStringList lines =
                devices == 1 ? err.filter(report) : err.filter(sim->slavePath() + ": interrupted");
            QCOMPARE(lines.size(), 1);
            const QRegularExpressionMatch m = report.match(lines[0]);
            QVERIFY2(m.hasMatch(), qPrintable(lines[0]));
            // It names the first block that was not sent, and counts those that were.
            QCOMPARE(m.captured(2).toInt(), frames.size());
            QCOMPARE(m.captured(1), blockAddress(blocks.at(frames.size())));
            QVERIFY(frames.last().contains("addr=" + blockAddress(blocks.at(frames.size() - 1))));
        }
    }

    // A second Ctrl-C while the tool waits for a silent device ends the wait at once; the
    // device's state is still said and the record line still written.
    void secondSignalEndsTheWait() {
        SimProcess sim({"--fault", "program@0x10000=silent"});
        QVERIFY(sim.started());
        QTemporaryDir dir;
        const QString record = dir.filePath("line.jsonl");
        QProcess tool;
        tool.start(flashToolPath(), {"write", "--yes", "--port", sim.slavePath(), "--record",
                                     record, QUORVEL_DEFAULT_IMAGE_PATH});
        QDeadlineTimer reached(60000);
        const auto atTheSilentBlock = [&] {
            return !sim.transcript("rx kind=program").filter("addr=0x010000").isEmpty();
        };
        while (!atTheSilentBlock() && !reached.hasExpired()) QTest::qWait(20);
        QVERIFY(!reached.hasExpired());
        // The second signal once the first was taken.
        QCOMPARE(::kill(pid_t(tool.processId()), SIGINT), 0);
        QString err;
        const auto noticed = [&] {
            err += QString::fromUtf8(tool.readAllStandardError());
            return err.contains("stopping after the message on the line");
        };
        while (!noticed() && !reached.hasExpired()) QTest::qWait(20);
        QVERIFY2(noticed(), qPrintable(err));
        QCOMPARE(::kill(pid_t(tool.processId()), SIGINT), 0);
        QVERIFY(tool.waitForFinished(kToolMs));
        QCOMPARE(tool.exitCode(), 130);
        err += QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(err.contains("interrupted at block 0x010000, which the device did not confirm"),
                 qPrintable(err));
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject started = QJsonDocument::fromJson(file.readLine()).object();
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        QCOMPARE(started["event"].toString(), QString("started"));
        QCOMPARE(line["attempt"], started["attempt"]);
        QCOMPARE(line["outcome"].toString(), QString("interrupted"));
        // Its wait at the silent block was cut short: waited out, one attempt alone takes 5 s
        // (2.5 s for the answer, then 2.5 s listening for late bytes).
        QVERIFY2(line["seconds"].toDouble() < 5.0,
                 qPrintable(QString::number(line["seconds"].toDouble())));
    }

    // A writer killed mid-frame (kill -9, a crash) leaves the loader waiting for the rest of
    // that frame. The next write's connect command completes it and is answered with the
    // frame's echo: that write must neither call the device untouched nor blame the loader's
    // generation, in its text, its JSON and its record line.
    void killedMidFrame_data() {
        QTest::addColumn<bool>("json");
        QTest::newRow("text") << false;
        QTest::newRow("JSON") << true;
    }
    void killedMidFrame() {
        QFETCH(bool, json);
        SimProcess sim({"--fault", "program@0x10000=cut:1025"});
        QVERIFY(sim.started());
        QProcess killed;
        killed.start(flashToolPath(),
                     {"write", "--yes", "--port", sim.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
        // It waits 5 s for the answer to the cut frame before it sends it again.
        QDeadlineTimer reached(60000);
        while (sim.transcript("cut ").isEmpty() && !reached.hasExpired()) QTest::qWait(20);
        QVERIFY(!reached.hasExpired());
        QCOMPARE(::kill(pid_t(killed.processId()), SIGKILL), 0);
        QVERIFY(killed.waitForFinished(kToolMs));

        QTemporaryDir dir;
        const QString record = dir.filePath("line.jsonl");
        QStringList args{"write",
                         "--yes",
                         "--port",
                         sim.slavePath(),
                         "--record",
                         record,
                         QUORVEL_DEFAULT_IMAGE_PATH};
        if (json) args.prepend("--json");
        QProcess next;
        next.start(flashToolPath(), args);
        QVERIFY(next.waitForFinished(kToolMs));
        QCOMPARE(next.exitCode(), 1);
        sim.stop();
        // Its connect command went to complete the frame, and was never heard as a command.
        QCOMPARE(sim.transcript("rx kind=connect").size(), 1);

        const QString state =
            "the device's state is unknown: it may hold an interrupted write; power-cycle it, "
            "then write again";
        const QString out = QString::fromUtf8(next.readAllStandardOutput());
        const QString err = QString::fromUtf8(next.readAllStandardError());
        QVERIFY2(!(out + err).contains("--loader") && !(out + err).contains("untouched"),
                 qPrintable(out + err));
        if (json) {
            const QJsonObject device =
                QJsonDocument::fromJson(out.toUtf8()).object()["devices"].toArray()[0].toObject();
            QCOMPARE(device["device_state"].toString(), state);
            QCOMPARE(device["failed_step"].toString(), QString("connect"));
        } else {
            QCOMPARE(out, QString("Connection failure\n"));
            QVERIFY2(err.contains("\nquorvel-flash: " + state + "\n"), qPrintable(err));
        }
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        QCOMPARE(line["device_state"].toString(), state);
        QCOMPARE(line["failed_step"].toString(), QString("connect"));
    }

    // Writers killed with SIGKILL cannot remove their lock files: the next write removes them.
    void killedWritersLeaveNoLock() {
        std::vector<std::unique_ptr<SimProcess>> sims;
        std::vector<std::unique_ptr<QProcess>> writers;
        QStringList locks;
        for (int i = 0; i < 10; ++i) {
            sims.push_back(std::make_unique<SimProcess>(QStringList{"--pace"}));
            QVERIFY(sims.back()->started());
            locks << QString::fromStdString(quorvel::deviceLockPath(
                QFileInfo(sims.back()->slavePath()).canonicalFilePath().toStdString()));
            writers.push_back(std::make_unique<QProcess>());
            writers.back()->start(
                flashToolPath(),
                {"write", "--yes", "--port", sims.back()->slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
        }
        for (const QString& lock : locks)
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock), kToolMs);
        for (auto& writer : writers) {
            QCOMPARE(::kill(pid_t(writer->processId()), SIGKILL), 0);
            QVERIFY(writer->waitForFinished(kToolMs));
        }
        for (const QString& lock : locks) QVERIFY(QFileInfo::exists(lock));
        SimProcess sim;
        QVERIFY(sim.started());
        QProcess next;
        next.start(flashToolPath(), {"connect", "--port", sim.slavePath()});
        QVERIFY(next.waitForFinished(kToolMs));
        QCOMPARE(next.exitCode(), 0);
        for (const QString& lock : locks) QVERIFY2(!QFileInfo::exists(lock), qPrintable(lock));
    }

    // The serial library's own lock file for the port, planted by a user who may not open the
    // device (it may write /run/lock): set aside with a warning, and the port opens.
    void plantedPortLock_data() {
        QTest::addColumn<QString>("plant");
        QTest::newRow("a folder") << "mkdir LOCK";
        QTest::newRow("a file naming a live process") << "echo 1 > LOCK";
    }
    void plantedPortLock() {
        QFETCH(QString, plant);
        SimProcess sim;
        QVERIFY(sim.started());
        const QString lock =
            "/var/lock/LCK.." +
            QFileInfo(sim.slavePath()).canonicalFilePath().mid(5).replace('/', '_');
        const auto cleanUp = qScopeGuard([&] {
            QDir(lock).removeRecursively();
            QFile::remove(lock);
        });
        QFile::remove(lock);  // a stale one of a writer killed earlier on this pseudo-terminal
        QProcess nobody;
        nobody.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "sh", "-c",
                                 plant.replace("LOCK", lock)});
        QVERIFY(nobody.waitForFinished(kToolMs));
        QCOMPARE(nobody.exitCode(), 0);
        QProcess tool;
        tool.start(flashToolPath(), {"connect", "--port", sim.slavePath()});
        QVERIFY(tool.waitForFinished(kToolMs));
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY2(err.contains("warning: " + lock + " was not made by a program that may open"),
                 qPrintable(err));
    }

    // A reader that goes away (quorvel-flash write ... | head -0) never ends the tool by a
    // signal: it ends its write, or stops between frames as if interrupted.
    void closedOutput_data() {
        QTest::addColumn<bool>("errorToo");
        QTest::newRow("standard output") << false;
        QTest::newRow("standard output and error") << true;
    }
    void closedOutput() {
        QFETCH(bool, errorToo);
        SimProcess sim;
        QVERIFY(sim.started());
        int ends[2];
        QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
        QProcess tool;
        tool.setChildProcessModifier([ends, errorToo] {
            ::dup2(ends[1], STDOUT_FILENO);
            if (errorToo) ::dup2(ends[1], STDERR_FILENO);
        });
        ::close(ends[0]);  // nobody will read
        tool.start(flashToolPath(),
                   {"write", "--yes", "--port", sim.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
        ::close(ends[1]);
        QVERIFY(tool.waitForFinished(kToolMs));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QVERIFY2(tool.exitCode() == 0 || tool.exitCode() == 130,
                 qPrintable(QString::number(tool.exitCode())));
        sim.stop();
        verifyNoMessageCut(sim);
        if (tool.exitCode() == 0) QCOMPARE(sim.transcript("rx kind=disconnect").size(), 1);
    }
};

QTEST_GUILESS_MAIN(InterruptE2eTest)
#include "interrupt_e2e_test.moc"
