// quorvel-flash write --record and records with a line's PostgreSQL database, against a real
// server of the test's own and simulated loaders: two stations writing at once, the server
// stopped in the middle of a write and started again, a table locked while a station writes, a
// database that refuses the tool, and
// the same summary from the database as from the same lines in a file.

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <atomic>
#include <thread>

#include "pg_server.h"
#include "sim_process.h"

namespace {

constexpr int kToolMs = 120000;

struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// quorvel-flash with `args`, its spool in `state` (and the password file `passwords`).
Run runTool(const QStringList& args, const QString& state, const QString& passwords = {}) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", state);
    if (!passwords.isEmpty()) env.insert("PGPASSFILE", passwords);
    tool.setProcessEnvironment(env);
    tool.start(flashToolPath(), args);
    tool.waitForFinished(kToolMs);
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            tool.readAllStandardOutput(), tool.readAllStandardError()};
}

QStringList writeArgs(const QString& record, const SimProcess& sim, const QString& unit) {
    return {"write",  "--yes", "--quiet", "--record",      record,
            "--unit", unit,    "--port",  sim.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH};
}

// The summary of `records --json` on `source`, asked with `more`, without when and where it
// was made.
QJsonObject summaryOf(const QString& source, const QString& state, const QStringList& more = {}) {
    const Run run = runTool(QStringList{"records", "--json"} + more + QStringList{source}, state);
    QJsonObject summary = QJsonDocument::fromJson(run.out).object().value("result").toObject();
    summary.remove("made");
    return summary;
}

// The spool files in `state`, with their lines.
QStringList spooled(const QString& state) {
    QStringList lines;
    const QDir folder(state + "/quorvel");
    for (const QString& name : folder.entryList({"spool-*.jsonl"}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty()) lines << QString::fromUtf8(line);
        }
    }
    return lines;
}

// The attempt and event of each line, to see every line there once.
QStringList keysOf(const QStringList& lines) {
    QStringList keys;
    for (const QString& line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        keys << o.value("attempt").toString() + "/" + o.value("event").toString();
    }
    keys.sort();
    return keys;
}

// The statement that adds `line` to the records table, its keys in their columns.
QString inserting(const QString& line) {
    return "INSERT INTO quorvel_records (attempt, event, started, host, port, unit, image, "
           "sha256, outcome, failed_step, cause, seconds, line) SELECT j->>'attempt', "
           "j->>'event', (j->>'started')::timestamptz, j->>'host', j->>'port', j->>'unit', "
           "j->>'image', j->>'sha256', j->>'outcome', j->>'failed_step', j->>'cause', "
           "(j->>'seconds')::double precision, l FROM (SELECT $l$" +
           line + "$l$ AS l, $l$" + line + "$l$::jsonb AS j) s";
}

// A connection named `name` to `database` of `server`, open unless the server refused it.
QSqlDatabase connected(const PgServer& server, const QString& database, const QString& name) {
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name);
    db.setHostName(server.folder());
    db.setUserName(PgServer::kUser);
    db.setPassword(PgServer::kPassword);
    db.setDatabaseName(database);
    db.open();
    return db;
}

// What keeps the database from taking a station's lines.
enum Hang { LockEnds, LockHeld, ServerStopped };

}  // namespace

class RecordDatabaseE2eTest : public QObject {
    Q_OBJECT

  private:
    PgServer* server_ = nullptr;
    QTemporaryDir state_;

    void needServer() {
        if (!server_->installed()) QSKIP(qPrintable(server_->problem()));
        QVERIFY2(server_->problem().isEmpty(), qPrintable(server_->problem()));
    }

  private slots:
    void initTestCase() { server_ = new PgServer; }
    void cleanupTestCase() { delete server_; }

    // Two stations add their lines to one database at once: every line is there once, and
    // records reads the same summary from it as from the same lines in a file.
    void twoWritersOneDatabase() {
        needServer();
        QVERIFY(server_->createDatabase("line2"));
        const QString uri = server_->uri("line2");
        SimProcess simA;
        SimProcess simB({"--fault", "erase=status:E"});
        QVERIFY(simA.started() && simB.started());
        QProcess a;
        QProcess b;
        for (auto [tool, sim, unit] : {std::tuple{&a, &simA, "A1"}, std::tuple{&b, &simB, "B1"}}) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_STATE_HOME", state_.path());
            tool->setProcessEnvironment(env);
            tool->start(flashToolPath(), writeArgs(uri, *sim, unit));
        }
        QVERIFY(a.waitForFinished(kToolMs) && b.waitForFinished(kToolMs));
        QVERIFY2(a.exitCode() == 0, a.readAllStandardError().constData());
        QVERIFY2(b.exitCode() == 1, b.readAllStandardError().constData());
        QStringList lines = server_->lines("line2");
        QCOMPARE(lines.size(), 4);
        const QStringList keys = keysOf(lines);
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), 4);
        QVERIFY(spooled(state_.path()).isEmpty());

        // A unit the database shows written is not written again, whichever station asks.
        const Run again = runTool(writeArgs(uri, simB, "A1"), state_.path());
        QVERIFY2(again.code == 3, again.err.constData());
        QVERIFY(again.err.contains("unit A1 was written"));
        QVERIFY(!again.err.contains(PgServer::kPassword));
        QCOMPARE(server_->lines("line2").size(), 4);

        // Where the database's sums could part from the file's: B1 written on a second try, at
        // another port an hour later (its first pass failed), and C1's started line alone (cut
        // off: interrupted).
        const auto added = [&lines](const QString& from, const QString& unit,
                                    const QString& attempt, bool started) {
            QJsonObject o =
                QJsonDocument::fromJson(lines.filter("\"unit\":\"" + from + "\"")
                                            .filter(started ? "\"started\",\"" : "\"ended\",\"")
                                            .first()
                                            .toUtf8())
                    .object();
            o["unit"] = unit;
            o["attempt"] = attempt;
            o["port"] = "COM9";
            o["started"] = QDateTime::fromString(o["started"].toString(), Qt::ISODateWithMs)
                               .addSecs(3600)
                               .toString(Qt::ISODateWithMs);
            if (!started) {
                o["outcome"] = "success";
                o["failed_step"] = QJsonValue();
                o["cause"] = QJsonValue();
                o["diagnosis"] = QJsonArray();
            }
            return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
        };
        for (const QString& line :
             {added("B1", "B1", "retry-b1", false), added("A1", "C1", "cut-c1", true)}) {
            QVERIFY(server_->exec("line2", inserting(line)));
        }
        lines = server_->lines("line2");
        QTemporaryDir dir;
        QFile file(dir.filePath("line2.jsonl"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((lines.join('\n') + '\n').toUtf8());
        file.close();
        const QJsonObject fromDatabase = summaryOf(uri, state_.path());
        QCOMPARE(fromDatabase.value("devices").toInt(), 4);
        QCOMPARE(fromDatabase.value("interrupted").toInt(), 1);
        QCOMPARE(fromDatabase.value("units_first_pass").toInt(), 1);
        QCOMPARE(fromDatabase.value("units_written").toInt(), 2);
        QCOMPARE(fromDatabase.value("units_not_written").toArray().size(), 1);
        QCOMPARE(fromDatabase, summaryOf(file.fileName(), state_.path()));
        // The cut-off attempt fails --check as it does in the file, named by its row.
        const Run checked = runTool({"records", "--check", uri}, state_.path());
        QCOMPARE(checked.code, 2);
        QVERIFY2(checked.err.contains(": started, with no final line"), checked.err);
        // The bounds and the filters keep to the same attempts in both.
        const std::pair<QStringList, int> asked[] = {
            {{"--since", "2000-01-01"}, 4},
            {{"--until", "2000-01-01"}, 0},
            {{"--unit", "A1"}, 1},
            {{"--unit", "B1"}, 2},
            {{"--port", simB.slavePath(), "--since", "2000-01-01"}, 1},
            {{"--port", "COM9", "--host",
              QJsonDocument::fromJson(lines.first().toUtf8())["host"].toString(), "--since",
              "2000-01-01"},
             2},
            {{"--port", "COM9", "--until", "2000-01-01"}, 0},
            {{"--image", QJsonDocument::fromJson(lines.first().toUtf8())["sha256"]
                             .toString()
                             .left(12)
                             .toUpper()},
             4},
        };
        // The database does the choosing: a row whose unit column no longer names A1 is not
        // fetched, whatever its line says; A1's started line alone is left, cut off. So with
        // the table of attempts its owner made, and from the rows alone on a table made before.
        for (const bool attemptsTable : {true, false}) {
            for (const auto& [more, devices] : asked) {
                const QJsonObject summary = summaryOf(uri, state_.path(), more);
                QCOMPARE(summary.value("devices").toInt(), devices);
                QCOMPARE(summary, summaryOf(file.fileName(), state_.path(), more));
            }
            QVERIFY(server_->exec("line2",
                                  "UPDATE quorvel_records SET unit = 'moved' "
                                  "WHERE unit = 'A1' AND outcome IS NOT NULL"));
            const QJsonObject moved = summaryOf(uri, state_.path(), {"--unit", "A1"});
            QCOMPARE(moved.value("devices").toInt(), 1);
            QCOMPARE(moved.value("interrupted").toInt(), 1);
            QCOMPARE(summaryOf(uri, state_.path()).value("devices").toInt(), 4);
            QVERIFY(server_->exec("line2",
                                  "UPDATE quorvel_records SET unit = 'A1' "
                                  "WHERE unit = 'moved'"));
            if (attemptsTable) {
                // Rows taken out: A1's final row (A1 interrupted) and both of B1's first attempt
                // (B1 tried once); then every row, and all put back in one statement.
                QVERIFY(
                    server_->exec("line2", "CREATE TABLE kept AS SELECT * FROM quorvel_records"));
                QStringList left = lines;
                left.removeAt(left.indexOf(lines.filter("\"unit\":\"A1\"").last()));
                for (const QString& line : lines.filter("\"unit\":\"B1\"").mid(0, 2))
                    left.removeAt(left.indexOf(line));
                QVERIFY(server_->exec(
                    "line2",
                    "DELETE FROM quorvel_records WHERE (unit = 'A1' AND outcome IS NOT NULL) OR "
                    "(unit = 'B1' AND attempt <> 'retry-b1')"));
                const auto fileOf = [&dir](const QString& name, const QStringList& those) {
                    QFile f(dir.filePath(name));
                    if (f.open(QIODevice::WriteOnly)) f.write((those.join('\n') + '\n').toUtf8());
                    return f.fileName();
                };
                const QJsonObject taken = summaryOf(uri, state_.path());
                QCOMPARE(taken.value("interrupted").toInt(), 2);
                QCOMPARE(taken, summaryOf(fileOf("rest.jsonl", left), state_.path()));
                QVERIFY(server_->exec("line2", "TRUNCATE quorvel_records"));
                QCOMPARE(summaryOf(uri, state_.path()).value("devices").toInt(), 0);
                QVERIFY(server_->exec(
                    "line2", "INSERT INTO quorvel_records SELECT * FROM kept ORDER BY id"));
                QVERIFY(server_->exec("line2", "DROP TABLE kept"));
                QCOMPARE(summaryOf(uri, state_.path()), fromDatabase);
                // Two stations add attempts of one unit at once: the second's count waits for
                // the first's to be committed, and the unit is tried twice in both.
                const QStringList raced{added("A1", "D1", "race-1", false),
                                        added("A1", "D1", "race-2", false)};
                {
                    QSqlDatabase first = connected(*server_, "line2", "first");
                    QVERIFY(first.transaction());
                    QVERIFY(QSqlQuery(first).exec(inserting(raced[0])));
                    std::atomic<bool> done = false;
                    bool stored = false;
                    std::thread second([&] {
                        stored = QSqlQuery(connected(*server_, "line2", "second"))
                                     .exec(inserting(raced[1]));
                        QSqlDatabase::removeDatabase("second");
                        done = true;
                    });
                    const bool waited = QTest::qWaitFor(
                        [&] {
                            QSqlQuery q(first);
                            return done ||
                                   (q.exec("SELECT FROM pg_locks WHERE NOT granted") && q.next());
                        },
                        kToolMs);
                    const bool committed = first.commit();
                    second.join();
                    QVERIFY(waited && committed && stored);
                }
                QSqlDatabase::removeDatabase("first");
                QCOMPARE(summaryOf(uri, state_.path()),
                         summaryOf(fileOf("raced.jsonl", lines + raced), state_.path()));
                QVERIFY(server_->exec("line2", "DELETE FROM quorvel_records WHERE unit = 'D1'"));
                QCOMPARE(summaryOf(uri, state_.path()), fromDatabase);
                QVERIFY(server_->exec("line2", "DROP FUNCTION quorvel_attempts_kept() CASCADE"));
                QVERIFY(server_->exec("line2", "DROP TABLE quorvel_attempts"));
            }
        }
    }

    // The server stops while a device is written: its final line waits in the spool, the write
    // is not lost, and the next run sends it once the server is back.
    void serverStoppedMidRun_data() {
        QTest::addColumn<bool>("spoolWritable");
        QTest::newRow("the spool keeps the line") << true;
        QTest::newRow("the spool cannot be written either") << false;
    }
    void serverStoppedMidRun() {
        QFETCH(bool, spoolWritable);
        needServer();
        const QString database = spoolWritable ? "line3" : "line4";
        QVERIFY(server_->createDatabase(database));
        const QString uri = server_->uri(database);
        QTemporaryDir dir;
        // A state folder that is a file: no spool can be made in it.
        const QString state = spoolWritable ? dir.path() : dir.filePath("file");
        if (!spoolWritable) {
            QFile file(state);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        // The unanswered end of the write takes seconds, time to stop the server.
        SimProcess slow({"--fault", "disconnect=silent"});
        QVERIFY(slow.started());
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", state);
        tool.setProcessEnvironment(env);
        tool.start(flashToolPath(), writeArgs(uri, slow, "C1"));
        QTRY_COMPARE_WITH_TIMEOUT(server_->lines(database).size(), 1, 20000);
        QVERIFY(server_->stop());
        QVERIFY(tool.waitForFinished(kToolMs));
        const QByteArray err = tool.readAllStandardError();
        QVERIFY(server_->start());
        if (!spoolWritable) {
            // Written, and its record lost: said so, with its own outcome.
            QVERIFY2(tool.exitCode() == 5, err.constData());
            QVERIFY2(err.contains("nor to its spool"), err.constData());
            QCOMPARE(server_->lines(database).size(), 1);
            return;
        }
        QVERIFY2(tool.exitCode() == 0, err.constData());  // written, and its record kept
        QVERIFY2(err.contains("waits in"), err.constData());
        QCOMPARE(spooled(state).size(), 1);

        SimProcess sim;
        QVERIFY(sim.started());
        const Run next = runTool(writeArgs(uri, sim, "C2"), state);
        QVERIFY2(next.code == 0, next.err.constData());
        // Sent at last: news, not a warning.
        QVERIFY2(QString::fromUtf8(next.err).contains(
                     QRegularExpression("(^|\n)quorvel-flash: \\d+ record lines? that waited in ")),
                 next.err.constData());
        QVERIFY(spooled(state).isEmpty());
        const QStringList lines = server_->lines(database);
        QCOMPARE(lines.size(), 4);
        const QStringList keys = keysOf(lines);
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), 4);
        QCOMPARE(summaryOf(uri, state).value("units_written").toInt(), 2);
    }

    // The table locked by another session, or the server stopped for good, while a station
    // writes: the boards go on at once (a unit scanned twice is written once, the first one
    // marked as not checked), the board says the lines wait; then either the lock ends and every
    // line is in the table once, or SIGTERM ends the station within its bound, with its totals
    // and nothing lost, and records says what waits.
    void databaseHangs_data() {
        QTest::addColumn<int>("hang");
        QTest::newRow("the lock ends") << int(LockEnds);
        QTest::newRow("SIGTERM during the hang") << int(LockHeld);
        QTest::newRow("the server stopped for good") << int(ServerStopped);
    }
    void databaseHangs() {
        QFETCH(int, hang);
        const bool lockEnds = hang == LockEnds;
        needServer();
        const QString database = QString("line%1").arg(6 + hang);
        QVERIFY(server_->createDatabase(database));
        const QString uri = server_->uri(database);
        QTemporaryDir state;
        SimProcess sim;
        QVERIFY(sim.started());
        QCOMPARE(runTool(writeArgs(uri, sim, "H0"), state.path()).code, 0);
        {
            QSqlDatabase locker = QSqlDatabase::addDatabase("QPSQL", "locker");
            locker.setHostName(QUrlQuery(QUrl(uri)).queryItemValue("host"));
            locker.setUserName(PgServer::kUser);
            locker.setPassword(PgServer::kPassword);
            locker.setDatabaseName(database);
            QVERIFY(locker.open());
            QSqlQuery lock(locker);
            if (hang != ServerStopped) {
                QVERIFY(lock.exec("BEGIN"));
                QVERIFY(lock.exec("LOCK TABLE quorvel_records IN ACCESS EXCLUSIVE MODE"));
            }

            // With the lock held to the end, the station runs on a terminal: its board.
            int master = -1;
            int slave = -1;
            winsize size{30, 160, 0, 0};
            if (!lockEnds) QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
            if (master >= 0) ::fcntl(master, F_SETFL, O_NONBLOCK);
            QProcess station;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_STATE_HOME", state.path());
            env.insert("TERM", "xterm");
            station.setProcessEnvironment(env);
            if (slave >= 0) {
                station.setChildProcessModifier([slave] {
                    ::dup2(slave, STDOUT_FILENO);
                    ::dup2(slave, STDERR_FILENO);
                });
            }
            station.start(flashToolPath(),
                          {"write", "--station", "--scan", "--yes", "--record", uri, "--port",
                           sim.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
            if (slave >= 0) ::close(slave);
            QByteArray out;
            QByteArray err;
            const auto read = [&] {
                out += station.readAllStandardOutput();
                err += station.readAllStandardError();
                char buffer[4096];
                for (ssize_t n; master >= 0 && (n = ::read(master, buffer, sizeof buffer)) > 0;)
                    out.append(buffer, n);
                return true;
            };
            // Stopped once the station has opened the database and drawn its board.
            if (hang == ServerStopped) {
                QTRY_VERIFY_WITH_TIMEOUT(read() && out.contains("written 0"), kToolMs);
                QVERIFY(server_->stop());
            }
            station.write("H1\nH1\nH2\n");
            // Both boards written while the table is locked, a label scanned twice refused.
            if (lockEnds) {
                QTRY_VERIFY_WITH_TIMEOUT(
                    read() && out.count("PASS") == 2 && err.contains("database unreachable since"),
                    kToolMs);
                QVERIFY2(err.contains("scan H1 refused: unit H1 was written"), err.constData());
                QVERIFY2(
                    err.contains("unit H1: the check whether it is written already was not made"),
                    err.constData());
            } else {
                // The banner, in the warning colour, once the two lines of H2 wait too.
                QTRY_VERIFY_WITH_TIMEOUT(
                    read() && out.contains("written 2") &&
                        out.contains("\x1b[33mdatabase unreachable since ") &&
                        QRegularExpression(":\\d\\d: [4-6] lines wait in the spool")
                            .match(QString::fromUtf8(out))
                            .hasMatch(),
                    kToolMs);
            }
            if (lockEnds) {
                QVERIFY(lock.exec("ROLLBACK"));
                QTRY_COMPARE_WITH_TIMEOUT(server_->lines(database).size(), 6, kToolMs);
                QTRY_VERIFY(read() && err.contains("the database answers again"));
                station.terminate();
                QVERIFY(station.waitForFinished(kToolMs));
                QCOMPARE(station.exitCode(), 0);
            } else {
                // Within the database's wait of a few seconds, whatever the database does.
                station.terminate();
                QTRY_VERIFY_WITH_TIMEOUT(read() && station.state() == QProcess::NotRunning, 8000);
                read();
                ::close(master);
                QVERIFY2(out.contains("Station: 2 devices written") &&
                             QRegularExpression("Record: database unreachable since \\d\\d:\\d\\d: "
                                                "[4-6] lines wait in the spool")
                                 .match(QString::fromUtf8(out))
                                 .hasMatch(),
                         out.constData());
                // A read the database does not answer says only why.
                const Run hung = runTool({"records", uri}, state.path());
                QCOMPARE(hung.code, 2);
                QVERIFY2(hung.out.isEmpty(), hung.out.constData());
                QVERIFY(hang == ServerStopped ? server_->start() : lock.exec("ROLLBACK"));
                // The lines still waiting on this computer are said, with where they wait.
                const Run after = runTool({"records", uri}, state.path());
                QVERIFY2(after.out.contains("lines of this computer wait in " +
                                            state.path().toUtf8() + "/quorvel/spool-"),
                         after.out.constData());
            }
        }
        QSqlDatabase::removeDatabase("locker");
        // Every line once: in the table, or waiting in the spool for the next run.
        const QStringList lines = server_->lines(database) + spooled(state.path());
        QCOMPARE(lines.size(), 6);
        const QStringList keys = keysOf(lines);
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), 6);
        QCOMPARE(lines.filter("\"unit\":\"H1\"").filter("\"unit_check\":\"not made: ").size(), 2);
        QCOMPARE(lines.filter("\"unit\":\"H2\"").size(), 2);
    }

    // README's steps of "One database for the whole line", its first sh block, run as written
    // against the test's PostgreSQL 15 (its public schema closed to ordinary roles) with roles
    // that are not superusers: the administrator makes the owner and the database (step 1), the
    // owner prepares it (step 2; or the administrator runs what --print-sql prints), each role
    // gets a login and a password (3), a station writes a board with the station role (4) and
    // a supervisor reads with the supervisor role (5). The supervisor may not add lines.
    void readmeDatabaseSteps_data() {
        QTest::addColumn<bool>("printed");
        QTest::newRow("the owner prepares it") << false;
        QTest::newRow("the administrator runs the printed SQL") << true;
    }
    void readmeDatabaseSteps() {
        QFETCH(bool, printed);
        needServer();
        QFile readme(QUORVEL_SOURCE_DIR "/README.md");
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const qsizetype begin =
            text.indexOf("```sh\n", text.indexOf("### One database for the whole line")) + 6;
        QStringList steps = text.mid(begin, text.indexOf("```", begin) - begin).split('\n');
        steps.removeIf([](const QString& line) { return line.isEmpty() || line[0] == '#'; });
        QCOMPARE(steps.filter("prepare-database").size(), 1);
        const QString database = printed ? "records2" : "records";
        const QString folder = server_->folder();
        QTemporaryDir home;
        SimProcess sim;
        QVERIFY(sim.started());
        const QByteArray password = "role-secret";
        Run read;
        for (QString step : steps) {
            if (printed && step.contains("prepare-database")) {
                step =
                    "quorvel-flash prepare-database --print-sql postgresql://line3@db-host/records"
                    " > " +
                    home.filePath("prepare.sql") +
                    " && sudo -u postgres psql -v ON_ERROR_STOP=1 -d records -f " +
                    home.filePath("prepare.sql");
            }
            // Roles are the server's, not the database's: the second owner is another.
            if (printed) step.replace("line3", "line3b");
            // The server of the test's own: its socket folder, its administrator, its programs.
            step.replace(QRegularExpression("@db-host(:5432)?/records"),
                         "@/" + database + "?host=" + folder);
            step.replace(QRegularExpression("(-d |--owner line3b? )records"), "\\1" + database);
            step.replace("db-host:5432:records:", folder + ":5432:" + database + ":");
            step.replace("sudo -u postgres ", "PGUSER=" + QString(PgServer::kUser) +
                                                  " PGPASSWORD=" + PgServer::kPassword + " ");
            for (const char* program : {"createuser", "createdb", "psql"})
                step.replace(QString(" %1 ").arg(program), " " + server_->program(program) + " ");
            step.replace("quorvel-flash ", flashToolPath() + " ");
            step.replace("--port COM1", "--port " + sim.slavePath());
            step.replace("QUORVEL_140428_01_02.mot", QUORVEL_DEFAULT_IMAGE_PATH);
            step.replace("SECRET", password);
            QProcess shell;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"PGHOST", "PGUSER", "PGPASSWORD", "PGDATABASE"})
                env.remove(name);
            env.insert("HOME", home.path());
            env.insert("PGHOST", folder);
            env.insert("XDG_STATE_HOME", home.filePath("state"));
            shell.setProcessEnvironment(env);
            // No terminal: the password prompts (createuser --pwprompt, \password) read stdin.
            shell.setChildProcessModifier([] { ::setsid(); });
            // The station's command in the shell's place, to hear the SIGTERM that ends it.
            const bool station = step.contains("--station");
            shell.start("sh", {"-c", station ? "exec " + step : step});
            shell.write(password + "\n" + password + "\n");
            shell.closeWriteChannel();
            if (station) {
                // The board written and its two lines in the table: the station is stopped.
                QTRY_VERIFY_WITH_TIMEOUT(
                    server_->lines(database).size() == 2 || shell.state() == QProcess::NotRunning,
                    kToolMs);
                shell.terminate();
            }
            shell.waitForFinished(kToolMs);  // false when it ended already
            QCOMPARE(shell.state(), QProcess::NotRunning);
            read = {shell.exitCode(), shell.readAllStandardOutput(), shell.readAllStandardError()};
            QVERIFY2(read.code == 0, qPrintable(step + "\n" + read.out + read.err));
        }
        QVERIFY2(read.out.contains("Devices: 1 (1 success"), read.out.constData());
        QVERIFY(!server_->lines(database).join('\n').contains("\"unit\":\"S1\""));
        // The supervisor may read, not add: refused before the port opens, the error alone.
        QFile passwords(home.filePath(".pgpass"));
        QVERIFY(passwords.exists());
        const QString supervisor =
            "postgresql://quorvel_supervisor@/" + database + "?host=" + folder;
        SimProcess untouched;
        QVERIFY(untouched.started());
        const Run refused =
            runTool(writeArgs(supervisor, untouched, "S1"), home.path(), passwords.fileName());
        QCOMPARE(refused.code, 2);
        QVERIFY2(refused.out.isEmpty(), refused.out.constData());
        QVERIFY2(
            QString::fromUtf8(refused.err)
                .contains(QRegularExpression("^quorvel-flash: [^\n]*permission denied[^\n]*\n$")),
            refused.err.constData());
        QVERIFY(untouched.transcript("rx").isEmpty());
        QCOMPARE(server_->lines(database).size(), 2);
    }

    // The password is in nothing the tool shows or keeps while it writes and after: not in the
    // process list of a running station, its output, the record's lines, the spool's name, nor
    // in what records prints.
    void passwordNeverShown() {
        needServer();
        QVERIFY(server_->createDatabase("line4"));
        const QString uri = server_->uri("line4");
        const QByteArray password = PgServer::kPassword;
        SimProcess sim;
        QVERIFY(sim.started());
        QProcess station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", state_.path());
        station.setProcessEnvironment(env);
        station.start(flashToolPath(), {"write", "--station", "--yes", "--record", uri, "--port",
                                        sim.slavePath(), QUORVEL_DEFAULT_IMAGE_PATH});
        QTRY_VERIFY_WITH_TIMEOUT(server_->lines("line4").size() >= 2, kToolMs);
        QFile cmdline(QString("/proc/%1/cmdline").arg(station.processId()));
        QVERIFY(cmdline.open(QIODevice::ReadOnly));
        const QByteArray listed = cmdline.readAll();
        QVERIFY(listed.contains("postgresql://quorvel:"));
        QVERIFY2(!listed.contains(password), listed.constData());
        station.terminate();
        QVERIFY(station.waitForFinished(kToolMs));
        sim.stop();
        // The way that keeps the password off the command line: a password file.
        QFile passwords(state_.filePath("pgpass"));
        QVERIFY(passwords.open(QIODevice::WriteOnly));
        passwords.write(QByteArray("*:*:*:") + PgServer::kUser + ":" + password + "\n");
        passwords.close();
        QVERIFY(passwords.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const Run records =
            runTool({"records", server_->uri("line4", "")}, state_.path(), passwords.fileName());
        QVERIFY2(records.out.contains("Devices: 1 (1 success"), records.out + records.err);
        QVERIFY2(records.out.startsWith("Database: postgresql://quorvel@"), records.out);
        QTemporaryDir pageDir;
        const QString page = pageDir.filePath("report.html");
        const Run json = runTool({"records", "--json", "--html", page, uri}, state_.path());
        QCOMPARE(records.code, 0);
        QFile pageFile(page);
        QVERIFY(pageFile.open(QIODevice::ReadOnly));
        const QByteArray pageText = pageFile.readAll();
        QVERIFY(pageText.contains("Database: postgresql://quorvel@"));
        QByteArray everything = station.readAllStandardOutput() + station.readAllStandardError() +
                                records.out + records.err + json.out + json.err + pageText +
                                server_->lines("line4").join('\n').toUtf8();
        QVERIFY(everything.contains("quorvel@"));
        for (const QString& name : QDir(state_.path() + "/quorvel").entryList(QDir::Files))
            everything += name.toUtf8();
        QVERIFY2(!everything.contains(password), everything.constData());
    }

    // The spool where another user may write (its state folder shared): a link planted at the
    // spool's name is neither read into the database nor written through.
    void plantedSpool() {
        needServer();
        QVERIFY(server_->createDatabase("line5"));
        const QString uri = server_->uri("line5");
        QTemporaryDir state;
        QCOMPARE(::chmod(qPrintable(state.path()), 0755), 0);
        QVERIFY(QDir(state.path()).mkdir("quorvel"));
        QCOMPARE(::chmod(qPrintable(state.filePath("quorvel")), 01777), 0);
        QTemporaryDir victims;
        const QString victim = victims.filePath("victim");
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"unit\":\"root only\"}\n");
        file.close();
        // The spool's name, as a run on this database uses it.
        SimProcess sim;
        QVERIFY(sim.started());
        QCOMPARE(runTool(writeArgs(uri, sim, "E1"), state.path()).code, 0);
        const QStringList names = QDir(state.filePath("quorvel")).entryList({"spool-*.lock"});
        QCOMPARE(names.size(), 1);
        const QString spool = state.filePath("quorvel/" + names[0].chopped(5));
        QProcess nobody;
        nobody.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "ln", "-s",
                                 victim, spool});
        QVERIFY(nobody.waitForFinished(kToolMs) && nobody.exitCode() == 0);
        const Run run = runTool(writeArgs(uri, sim, "E2"), state.path());
        sim.stop();
        // Refused before the device's first byte, naming the spool.
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(spool.toUtf8() + " is a link"), run.err.constData());
        QCOMPARE(sim.transcript("rx kind=connect").size(), 1);  // the first run's
        QVERIFY(!server_->lines("line5").join('\n').contains("root only"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("{\"unit\":\"root only\"}\n"));
    }

    // A database that refuses the tool, or a URI that names none, stops the write before any
    // port is opened.
    void refusedBeforeAnyPort_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("more");  // added to the URI's query
        QTest::addColumn<QString>("said");
        const QString password = PgServer::kPassword;
        QTest::newRow("a wrong password") << "line3"
                                          << "wrong"
                                          << ""
                                          << "password authentication failed";
        QTest::newRow("a missing database") << "nowhere" << password << ""
                                            << "does not exist";
        QTest::newRow("no database named") << "" << password << ""
                                           << "names no database";
        QTest::newRow("a setting not understood") << "line3" << password << "&options=-c%20x"
                                                  << "options is not understood";
        // Put in the URI as typed, not percent-encoded: the parser's own message would quote it.
        QTest::newRow("a space in the password") << "line3"
                                                 << "Secret pw2"
                                                 << ""
                                                 << "Invalid password";
        QTest::newRow("a bad host") << "line3" << password << "&host=a%20b"
                                    << "cannot keep the record in";
    }
    void refusedBeforeAnyPort() {
        QFETCH(QString, database);
        QFETCH(QString, password);
        QFETCH(QString, more);
        QFETCH(QString, said);
        needServer();
        server_->createDatabase("line3");
        SimProcess sim;
        QVERIFY(sim.started());
        const QString uri = server_->uri(database, "PASSWORD").replace("PASSWORD", password);
        const Run run =
            runTool(QStringList{"--json"} + writeArgs(uri + more, sim, "D1"), state_.path());
        sim.stop();
        QCOMPARE(run.code, 2);
        QVERIFY2((run.out + run.err).contains(said.toUtf8()), run.err.constData());
        QVERIFY2(!(run.out + run.err).contains(password.toUtf8()), run.err.constData());
        QVERIFY(sim.transcript("rx").isEmpty());
        QVERIFY(spooled(state_.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(RecordDatabaseE2eTest)
#include "record_database_e2e_test.moc"
