// quorvel-flash write --station against simulated loaders that come and go as devices on a
// production line do: each appears at a fixed path (a link to its pseudo-terminal), is written,
// and is removed; a device left connected is written once; two ports run side by side and a
// failure on one does not stop the other. Ctrl-C ends the station with its totals.

#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <memory>

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

}  // namespace

class StationE2eTest : public QObject {
    Q_OBJECT

  private slots:
    void devicesComeAndGo() {
        QTemporaryDir dir;
        const QString first = dir.filePath("fixture1");
        const QString second = dir.filePath("fixture2");
        QProcess station;
        const QString record = dir.filePath("line.jsonl");
        station.start(flashToolPath(), {"write", "--station", "--yes", "--record", record, "--port",
                                        first, "--port", second, QUORVEL_DEFAULT_IMAGE_PATH});
        QVERIFY(station.waitForStarted());
        QTest::qWait(700);  // both ports wait with no device

        auto device = std::make_unique<SimProcess>(QStringList{"--link", first});
        SimProcess refusing({"--link", second, "--fault", "program=status:E"});
        QVERIFY(device->started() && refusing.started());
        const auto wrote = [](const SimProcess& sim) {
            return !sim.transcript("rx kind=disconnect").isEmpty();
        };
        QVERIFY(eventually([&] { return wrote(*device); }));
        QVERIFY(eventually([&] { return refusing.transcript("rx kind=program").size() == 2; }));
        // Left connected, neither device is written again.
        QTest::qWait(1500);
        QCOMPARE(device->transcript("rx kind=connect").size(), 1);
        QCOMPARE(refusing.transcript("rx kind=connect").size(), 1);

        // The first device is removed and, once the station saw it go, another is connected at
        // the same place.
        device->stop();
        QCOMPARE(device->flash(), defaultImageBytes());
        QByteArray err;
        const QByteArray waiting = (first + ": waiting for a device").toUtf8();
        QVERIFY(eventually([&] {
            err += station.readAllStandardError();
            return err.count(waiting) == 2;
        }));
        device = std::make_unique<SimProcess>(QStringList{"--link", first});
        QVERIFY(device->started());
        QVERIFY(eventually([&] { return wrote(*device); }));

        QCOMPARE(::kill(pid_t(station.processId()), SIGINT), 0);
        QVERIFY(station.waitForFinished(kWaitMs));
        device->stop();
        QCOMPARE(device->flash(), defaultImageBytes());
        QCOMPARE(station.exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.exitCode(), 1);  // one device failed
        const QString totals = QString::fromUtf8(station.readAllStandardOutput());
        QVERIFY2(totals.contains("Station: 2 devices written, 1 failed\n") &&
                     totals.contains(first + ": 2 written, 0 failed\n") &&
                     totals.contains(second + ": 0 written, 1 failed\n"),
                 qPrintable(totals));
        err += station.readAllStandardError();
        QVERIFY2(err.contains((second + ": device 1: Writing failure").toUtf8()), err.constData());

        // One record line per device, in the order the writes ended.
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList outcomes;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.isEmpty()) continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            outcomes << o["port"].toString().section('/', -1) + " " + o["outcome"].toString();
        }
        outcomes.sort();
        QCOMPARE(outcomes,
                 (QStringList{"fixture1 success", "fixture1 success", "fixture2 failure"}));
    }
};

QTEST_GUILESS_MAIN(StationE2eTest)
#include "station_e2e_test.moc"
