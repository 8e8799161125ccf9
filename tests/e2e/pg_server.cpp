#include "pg_server.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

namespace {

constexpr int kServerMs = 60000;

// The newest installed server's programs, or empty.
QString serverPrograms() {
    QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        const QString bin = "/usr/lib/postgresql/" + *it + "/bin";
        if (QFile::exists(bin + "/initdb") && QFile::exists(bin + "/pg_ctl")) return bin;
    }
    return {};
}

const passwd* nobody() {
    return ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
}

}  // namespace

PgServer::PgServer() : bin_(serverPrograms()) {
    if (bin_.isEmpty()) {
        problem_ = "no PostgreSQL server installed (the Debian package postgresql)";
        return;
    }
    if (!dir_.isValid()) {
        problem_ = "no temporary folder";
        return;
    }
    const QString passwordFile = dir_.filePath("password");
    {
        QFile file(passwordFile);
        if (!file.open(QIODevice::WriteOnly)) {
            problem_ = "cannot write " + passwordFile;
            return;
        }
        file.write(kPassword);
    }
    if (const passwd* owner = nobody()) {
        if (::chown(qPrintable(dir_.path()), owner->pw_uid, owner->pw_gid) != 0 ||
            ::chown(qPrintable(passwordFile), owner->pw_uid, owner->pw_gid) != 0) {
            problem_ = "cannot hand the folder to nobody";
            return;
        }
    }
    if (!runAsOwner({bin_ + "/initdb", "-D", dir_.filePath("data"), "-U", kUser,
                     "--pwfile=" + passwordFile, "-A", "scram-sha-256", "-E", "UTF8",
                     "--no-sync"})) {
        problem_ = "initdb failed";
        return;
    }
    if (!start()) problem_ = "the server did not start (" + dir_.filePath("server.log") + ")";
}

PgServer::~PgServer() {
    if (running_)
        runAsOwner(
            {bin_ + "/pg_ctl", "-D", dir_.filePath("data"), "-m", "immediate", "-w", "stop"});
}

bool PgServer::runAsOwner(const QStringList& command) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args = command;
    QString program = args.takeFirst();
    if (const passwd* owner = nobody()) {
        args = QStringList{"--reuid=" + QString::number(owner->pw_uid),
                           "--regid=" + QString::number(owner->pw_gid), "--clear-groups", program} +
               args;
        program = "setpriv";
    }
    process.start(program, args);
    if (!process.waitForFinished(kServerMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("%s: %s", qPrintable(program), process.readAll().constData());
        return false;
    }
    return true;
}

bool PgServer::start() {
    running_ = runAsOwner(
        {bin_ + "/pg_ctl", "-D", dir_.filePath("data"), "-l", dir_.filePath("server.log"), "-o",
         "-k " + dir_.path() + " -c listen_addresses='' -c fsync=off", "-w", "start"});
    return running_;
}

bool PgServer::stop() {
    if (!runAsOwner({bin_ + "/pg_ctl", "-D", dir_.filePath("data"), "-m", "fast", "-w", "stop"}))
        return false;
    running_ = false;
    return true;
}

QString PgServer::uri(const QString& database, const QString& password) const {
    QUrl url;
    url.setScheme("postgresql");
    url.setUserName(kUser);
    url.setPassword(password);
    url.setHost("");
    url.setPath("/" + database);
    url.setQuery(QUrlQuery{{"host", dir_.path()}});
    return url.toString();
}

namespace {

// Runs `each` on a connection to `database` of the server in `folder`.
template <typename Each>
bool withDatabase(const QString& folder, const QString& database, Each each) {
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "pg-server-test");
        db.setHostName(folder);
        db.setUserName(PgServer::kUser);
        db.setPassword(PgServer::kPassword);
        db.setDatabaseName(database);
        if (db.open()) {
            ok = each(db);
        } else {
            qWarning("%s", qPrintable(db.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("pg-server-test");
    return ok;
}

}  // namespace

bool PgServer::createDatabase(const QString& name) {
    return withDatabase(dir_.path(), "postgres", [&name](QSqlDatabase& db) {
        QSqlQuery query(db);
        return query.exec("CREATE DATABASE \"" + name + "\"");
    });
}

QStringList PgServer::lines(const QString& database) {
    QStringList lines;
    withDatabase(dir_.path(), database, [&lines](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (!query.exec("SELECT line FROM quorvel_records ORDER BY id")) return false;
        while (query.next()) lines << query.value(0).toString();
        return true;
    });
    return lines;
}

bool PgServer::exec(const QString& database, const QString& sql) {
    return withDatabase(dir_.path(), database,
                        [&sql](QSqlDatabase& db) { return QSqlQuery(db).exec(sql); });
}
