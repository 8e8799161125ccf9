// Holding a device against a second writer within one process: by its resolved path (a link
// and its target are one device), the holding thread may take it again, any other is refused;
// the node's identity changes when the node is replaced.

#include "device_hold.h"

#include <QtTest>
#include <thread>

using namespace quorvel;

class DeviceHoldTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(runtime_.isValid() && folder_.isValid());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
        for (const char* name : {"ttyUSB0", "ttyUSB1"}) {
            QFile node(folder_.filePath(name));
            QVERIFY(node.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(folder_.filePath("ttyUSB0"), folder_.filePath("by-id")));
    }

    void secondWriter_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("otherThread");
        QTest::addColumn<bool>("refused");
        QTest::newRow("same name, other thread") << "ttyUSB0"
                                                 << "ttyUSB0" << true << true;
        QTest::newRow("link and its node") << "by-id"
                                           << "ttyUSB0" << true << true;
        QTest::newRow("same thread again") << "by-id"
                                           << "ttyUSB0" << false << false;
        QTest::newRow("another device") << "ttyUSB0"
                                        << "ttyUSB1" << true << false;
    }
    void secondWriter() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, otherThread);
        QFETCH(bool, refused);
        DeviceHold hold;
        QVERIFY(hold.take(target(first)));
        QVERIFY(hold.held());
        DeviceHold other;
        bool taken = false;
        const auto take = [&] { taken = other.take(target(second)); };
        if (otherThread) {
            std::thread(take).join();
        } else {
            take();
        }
        QCOMPARE(taken, !refused);
        if (refused) {
            QCOMPARE(QString::fromStdString(other.refusal()),
                     "busy: " + QFileInfo(folder_.filePath(second)).canonicalFilePath() +
                         " is being written on another port of this run");
        }
        // Released by the holder, the device is free for anyone.
        other.release();
        hold.release();
        std::thread([&] { taken = other.take(target(second)); }).join();
        QVERIFY(taken);
        std::thread([&] { other.release(); }).join();
    }

    void identityChangesWithTheNode() {
        const std::string path = folder_.filePath("by-id").toStdString();
        const std::string before = deviceIdentity(path);
        QVERIFY(!before.empty());
        QCOMPARE(deviceIdentity(path), before);
        // The link made again for the same node: the same device, left connected.
        QVERIFY(QFile::remove(folder_.filePath("by-id")));
        QVERIFY(deviceIdentity(path).empty());
        QVERIFY(QFile::link(folder_.filePath("ttyUSB0"), folder_.filePath("by-id")));
        QCOMPARE(deviceIdentity(path), before);
        // A new node behind it: another device, even with the old one's inode number. Its change
        // time is the kernel's coarse clock: a node made within the same tick as the one before
        // would look alike, which a board that was written in between never is.
        QTest::qSleep(20);
        QVERIFY(QFile::remove(folder_.filePath("ttyUSB0")));
        QFile node(folder_.filePath("ttyUSB0"));
        QVERIFY(node.open(QIODevice::WriteOnly));
        node.close();
        QVERIFY(deviceIdentity(path) != before);
    }

  private:
    PortTarget target(const QString& name) const {
        return PortTarget{0, folder_.filePath(name).toStdString()};
    }
    QTemporaryDir runtime_;
    QTemporaryDir folder_;
};

QTEST_GUILESS_MAIN(DeviceHoldTest)
#include "device_hold_test.moc"
