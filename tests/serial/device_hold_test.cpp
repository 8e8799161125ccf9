// Holding a device against a second writer: within one process by its resolved path (a link
// and its target are one device; the holding thread may take it again, any other is refused),
// between processes and users by a lock file in the shared lock folder that nobody can turn
// against the writer; the node's identity changes when the node is replaced.

#include "device_hold.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QtTest>
#include <ctime>
#include <memory>
#include <thread>

#include "device_lock.h"
#include "pty_pair.h"

using namespace quorvel;

namespace {

constexpr int kWaitMs = 10000;
const QString kNobody = "65534";

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// A file of nobody's (mode 0600) beside the lock file `path`, under a name no writer's clean-up
// takes; empty when it cannot be made. The lock folder is the machine's: a lock file made in
// place with no holder yet is a left-over to any writer of another device running meanwhile.
QString madeForNobody(const QString& path, const QByteArray& text) {
    const QString made = QFileInfo(path).path() + "/planted." + QFileInfo(path).fileName();
    QFile file(made);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return {};
    file.close();
    const QByteArray name = made.toUtf8();
    if (::chown(name.constData(), 65534, 65534) != 0 || ::chmod(name.constData(), 0600) != 0)
        return {};
    return made;
}

bool movedInPlace(const QString& made, const QString& path) {
    return ::rename(made.toUtf8().constData(), path.toUtf8().constData()) == 0;
}

// Waits until the kernel's coarse clock, which stamps a node's change time, has passed that of
// `path`: a node changed or made from then on has another. Within a tick or two.
bool pastChangeTime(const std::string& path) {
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) return false;
    QDeadlineTimer deadline(kWaitMs);
    timespec now{};
    do {
        std::this_thread::yield();
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (now.tv_sec > node.st_ctim.tv_sec ||
            (now.tv_sec == node.st_ctim.tv_sec && now.tv_nsec > node.st_ctim.tv_nsec))
            return true;
    } while (!deadline.hasExpired());
    return false;
}

}  // namespace

class DeviceHoldTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid() && devices_[0].ok() && devices_[1].ok());
        QVERIFY(QFile::link(device(0), folder_.filePath("by-id")));
        QFile node(folder_.filePath("ttyUSB0"));
        QVERIFY(node.open(QIODevice::WriteOnly));
    }

    void secondWriter_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("otherThread");
        QTest::addColumn<bool>("refused");
        const QString by = folder_.filePath("by-id");
        QTest::newRow("same name, other thread") << device(0) << device(0) << true << true;
        QTest::newRow("link and its node") << by << device(0) << true << true;
        QTest::newRow("same thread again") << by << device(0) << false << false;
        QTest::newRow("another device") << device(0) << device(1) << true << false;
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
                     "busy: " + second +
                         " is being written on another port of this run; nothing was sent");
        }
        // Released by the holder, the device is free for anyone, and no lock file is left.
        other.release();
        hold.release();
        QVERIFY(!QFileInfo::exists(lockPath(0)));
        std::thread([&] { taken = other.take(target(second)); }).join();
        QVERIFY(taken);
        std::thread([&] { other.release(); }).join();
    }

    // A holder that has not seen its device go does not hold the next one at that path: a
    // pseudo-terminal's number is taken over at once by the next one opened (here, the node's
    // change time moved, as a new node's does).
    void nodeMadeAgainIsAnotherDevice() {
        DeviceHold hold;
        QVERIFY(hold.take(target(device(0))));
        QVERIFY(pastChangeTime(devices_[0].path()));
        QVERIFY(::chmod(devices_[0].path().c_str(), 0660) == 0);
        bool taken = false;
        DeviceHold other;
        std::thread([&] {
            taken = other.take(target(device(0)));
            other.release();
        }).join();
        QVERIFY2(taken, other.refusal().c_str());
    }

    // A port that is no serial line holds nothing and leaves no lock file.
    void notASerialDevice() {
        for (const QString& path : {QString("/dev/null"), folder_.filePath("ttyUSB0")}) {
            DeviceHold hold;
            QVERIFY(hold.take(target(path)));
            QVERIFY(!hold.held());
            QVERIFY(!QFileInfo::exists(QString::fromStdString(
                deviceLockPath(QFileInfo(path).canonicalFilePath().toStdString()))));
        }
    }

    // What no rule of the tool makes, found at the lock path: no hold. It is set aside, the hold
    // is taken, and nothing is written through it.
    void plantedLockPath_data() {
        QTest::addColumn<QString>("planted");
        QTest::newRow("link to a victim file") << "link";
        QTest::newRow("folder") << "folder";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("the file of a user who may not open the device") << "file";
    }
    void plantedLockPath() {
        QFETCH(QString, planted);
        const QString path = lockPath(0);
        const QString victim = folder_.filePath("victim");
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("secret\n") == 7);
        file.close();
        QCOMPARE(prepareLockFolder(QFileInfo(path).path().toStdString()), std::string());
        if (planted == "link") QVERIFY(QFile::link(victim, path));
        if (planted == "folder") QVERIFY(QDir().mkpath(path + "/inside"));
        if (planted == "fifo") QCOMPARE(::mkfifo(path.toUtf8().constData(), 0666), 0);
        if (planted == "file") {
            const QString made = madeForNobody(path, "secret\n");
            QVERIFY(!made.isEmpty() && movedInPlace(made, path));
        }
        const auto cleanUp = qScopeGuard([&] {
            for (const QString& left :
                 QDir(QFileInfo(path).path()).entryList({QFileInfo(path).fileName() + "*"})) {
                QDir(QFileInfo(path).path() + "/" + left).removeRecursively();
            }
        });
        DeviceHold hold;
        QVERIFY2(hold.take(target(device(0))), hold.refusal().c_str());
        QVERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
        hold.release();
        QCOMPARE(contents(victim), QByteArray("secret\n"));
        QVERIFY(!QFileInfo::exists(path));
    }

    // Another process of another user has an flock on the lock file: a hold only when that
    // user may open the device, and then the refusal names it.
    void heldByAnotherUser_data() {
        QTest::addColumn<bool>("mayOpen");
        QTest::newRow("a user who may open the device") << true;
        QTest::newRow("a user who may not") << false;
    }
    void heldByAnotherUser() {
        QFETCH(bool, mayOpen);
        const QByteArray node = device(0).toUtf8();
        struct stat before {};
        QCOMPARE(::stat(node.constData(), &before), 0);
        if (mayOpen) QCOMPARE(::chown(node.constData(), 65534, before.st_gid), 0);
        // After the chown: a pseudo-terminal's lock path follows its change time.
        const QString path = lockPath(0);
        QCOMPARE(prepareLockFolder(QFileInfo(path).path().toStdString()), std::string());
        // Held first, then put in place.
        const QString made = madeForNobody(path, {});
        QVERIFY(!made.isEmpty());
        QProcess holder;
        holder.start("setpriv", {"--reuid", kNobody, "--regid", kNobody, "--clear-groups", "flock",
                                 "-n", made, "-c", "echo held; exec sleep 60"});
        const auto cleanUp = qScopeGuard([&] {
            holder.kill();
            holder.waitForFinished();
            QFile::remove(made);
            QFile::remove(path);
            (void)::chown(node.constData(), before.st_uid, before.st_gid);
        });
        QVERIFY(holder.waitForReadyRead(kWaitMs));
        QVERIFY(movedInPlace(made, path));
        DeviceHold hold;
        QCOMPARE(hold.take(target(folder_.filePath("by-id"))), !mayOpen);
        if (mayOpen) {
            QCOMPARE(
                QString::fromStdString(hold.refusal()),
                QString(
                    "busy: %1 is being written by flock (pid %2, user nobody); nothing was sent")
                    .arg(device(0))
                    .arg(holder.processId()));
        }
    }

    // The lock folder made first by another user (it may make anything in /run/lock): set
    // aside by root and made again, root's and the serial group's, sticky.
    void lockFolderMadeByAnotherUser() {
        QTemporaryDir shared;
        QCOMPARE(::chmod(shared.path().toUtf8().constData(), 01777), 0);
        const QString folder = shared.filePath("quorvel");
        QProcess nobody;
        nobody.start("setpriv", {"--reuid", kNobody, "--regid", kNobody, "--clear-groups", "sh",
                                 "-c", "mkdir " + folder + " && touch " + folder + "/x.lock"});
        QVERIFY(nobody.waitForFinished(kWaitMs));
        QCOMPARE(nobody.exitCode(), 0);
        QCOMPARE(prepareLockFolder(folder.toStdString()), std::string());
        struct stat info {};
        QCOMPARE(::lstat(folder.toUtf8().constData(), &info), 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_uid, uid_t(0));
        QCOMPARE(info.st_mode & 07777, mode_t(01775));
    }

    // What tells a device node from the next one at its place. A link made again for the same
    // node, or the owner and mode udev sets on a USB node just after it appears, leave it alone
    // (the board left connected); an adapter plugged again, or a pseudo-terminal opened again
    // at the number of the one closed, change it.
    void identityChangesWithTheNode_data() {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("same");
        QTest::newRow("link made again") << true << "link" << true;
        QTest::newRow("USB node's owner and mode set by udev") << true << "mode" << true;
        QTest::newRow("USB adapter plugged again") << true << "again" << false;
        QTest::newRow("pseudo-terminal opened again") << false << "again" << false;
    }
    void identityChangesWithTheNode() {
        QFETCH(bool, usb);
        QFETCH(QString, change);
        QFETCH(bool, same);
        // A memory file system, as devtmpfs is: a new node never gets the inode of one removed
        // (a disk's may).
        QTemporaryDir nodes("/dev/shm/quorvel-hold-XXXXXX");
        QVERIFY(nodes.isValid());
        const QByteArray usbNode = nodes.filePath("ttyUSB0").toUtf8();
        const auto plugIn = [&] {
            return ::mknod(usbNode.constData(), S_IFCHR | 0600, makedev(188, 0)) == 0;
        };
        std::unique_ptr<PtyPair> pty;
        if (usb && !plugIn()) QSKIP("no device node can be made here");
        if (!usb) QVERIFY((pty = std::make_unique<PtyPair>())->ok());
        const QString node = usb ? QString(usbNode) : QString::fromStdString(pty->path());
        const QString link = nodes.filePath("by-id");
        QVERIFY(QFile::link(node, link));
        const std::string path = link.toStdString();
        const std::string before = deviceIdentity(path);
        QVERIFY(!before.empty());
        QVERIFY(pastChangeTime(path));
        if (change == "link") {
            QVERIFY(QFile::remove(link));
            QVERIFY(deviceIdentity(path).empty());
            QVERIFY(QFile::link(node, link));
        } else if (change == "mode") {
            QCOMPARE(::chmod(usbNode.constData(), 0660), 0);
        } else if (usb) {
            QCOMPARE(::unlink(usbNode.constData()), 0);
            QVERIFY(plugIn());
        } else {
            pty.reset();
            QVERIFY((pty = std::make_unique<PtyPair>())->ok());
        }
        QCOMPARE(deviceIdentity(path) == before, same);
    }

  private:
    QString device(int i) const { return QString::fromStdString(devices_[i].path()); }
    QString lockPath(int i) const {
        return QString::fromStdString(deviceLockPath(devices_[i].path()));
    }
    static PortTarget target(const QString& name) { return PortTarget{0, name.toStdString()}; }

    QTemporaryDir folder_;
    PtyPair devices_[2];
};

QTEST_GUILESS_MAIN(DeviceHoldTest)
#include "device_hold_test.moc"
