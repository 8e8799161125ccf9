#include "record_database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <optional>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cerrno>

#include "device_record.h"
#include "outcome_words.h"
#include "record_file.h"
#include "safe_file.h"

namespace quorvel {
namespace {

constexpr const char* kDriver = "QPSQL";
constexpr const char* kTable = "quorvel_records";
// A server that does not answer at all (its computer off) holds a line no longer than this.
constexpr int kConnectSeconds = 5;

// The columns taken from a line's keys by their kind: its times, its numbers, then (after the
// whole line, in `line`) its texts and its counts. Lists (diagnosis, warnings) are in the line.
std::vector<const char*> columnsOf(std::initializer_list<KeyType> types) {
    std::vector<const char*> names;
    for (const RecordKey& key : RecordKeys()) {
        if (std::find(types.begin(), types.end(), key.type) != types.end())
            names.push_back(key.name);
    }
    return names;
}
const std::vector<const char*> kTimeColumns = columnsOf({KeyType::Time});
const std::vector<const char*> kNumberColumns = columnsOf({KeyType::Double});
const std::vector<const char*> kTextColumns =
    columnsOf({KeyType::Text, KeyType::OptionalText, KeyType::Event});
const std::vector<const char*> kIntegerColumns = columnsOf({KeyType::Int});

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// How to reach the database, read from the URI; `problem` says what is wrong with it.
struct Target {
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString database;
    QString options;  // the driver's connect options: "sslmode=require;connect_timeout=5"
    std::string problem;
};

Target targetOf(const std::string& uri) {
    Target t;
    const QUrl url(q(uri), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != "postgresql" && url.scheme() != "postgres")) {
        // Only the parser's reason: the rest of its message quotes the whole URI, password
        // and all.
        const QString reason = url.errorString().section("; source was", 0, 0);
        t.problem =
            "not a PostgreSQL URI (postgresql://USER@HOST:PORT/DB, a space or other "
            "special character percent-encoded)" +
            (reason.isEmpty() ? std::string() : ": " + reason.toStdString());
        return t;
    }
    t.host = url.host(QUrl::FullyDecoded);
    t.port = url.port();
    t.user = url.userName(QUrl::FullyDecoded);
    t.password = url.password(QUrl::FullyDecoded);
    t.database = url.path(QUrl::FullyDecoded).mid(1);
    if (t.database.isEmpty() || t.database.contains('/')) {
        t.problem = "the URI names no database (postgresql://USER@HOST:PORT/DB)";
        return t;
    }
    QStringList options{QString("connect_timeout=%1").arg(kConnectSeconds)};
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (key == "host") {
            t.host = value;  // a folder: the server's unix socket in it
        } else if (key == "port") {
            bool ok = false;
            t.port = value.toInt(&ok);
            if (!ok || t.port <= 0 || t.port > 65535) {
                t.problem = "the URI's port is no port number: " + value.toStdString();
                return t;
            }
        } else if ((key == "sslmode" || key == "application_name") && !value.contains(';') &&
                   !value.contains('=')) {
            options << key + "=" + value;
        } else {
            t.problem = "the URI's " + key.toStdString() +
                        " is not understood (host, port, sslmode and application_name are)";
            return t;
        }
    }
    t.options = options.join(';');
    return t;
}

// What the server or the driver said, on one line.
std::string said(const QSqlError& error) {
    QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    text = text.simplified();
    return text.isEmpty() ? "no reason given" : text.toStdString();
}

// One connection of the calling thread, closed and forgotten when it goes: the devices of a
// multi-port write add their lines from threads of their own, and a connection serves only the
// thread that made it.
class Connection {
  public:
    explicit Connection(const Target& target) {
        static std::atomic<unsigned> count{0};
        name_ = QString("quorvel-record-%1").arg(count.fetch_add(1));
        QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, name_);
        if (!target.host.isEmpty()) db.setHostName(target.host);
        if (target.port > 0) db.setPort(target.port);
        db.setUserName(target.user);
        db.setPassword(target.password);
        db.setDatabaseName(target.database);
        db.setConnectOptions(target.options);
        if (!db.open()) problem_ = said(db.lastError());
    }
    ~Connection() {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

  private:
    QString name_;
    std::string problem_;
};

// Runs `sql`; empty, or what the server said.
std::string run(QSqlQuery& query, const QString& sql) {
    return query.exec(sql) ? std::string() : said(query.lastError());
}

// The table and its indexes, when missing. Two stations starting at once on a new database
// would race to make them (PostgreSQL's "IF NOT EXISTS" is no lock, and the loser gets a
// duplicate key); one transaction-wide advisory lock lets one make them while the other waits
// and then finds them made.
std::string makeTable(const QSqlDatabase& db) {
    const QString table = kTable;
    QStringList columns{"id bigserial PRIMARY KEY"};
    for (const char* c : kTimeColumns) columns << QString(c) + " timestamptz";
    for (const char* c : kNumberColumns) columns << QString(c) + " double precision";
    columns << "line text NOT NULL"
            << "stored timestamptz NOT NULL DEFAULT now()";
    for (const char* c : kTextColumns) columns << QString(c) + " text";
    for (const char* c : kIntegerColumns) columns << QString(c) + " integer";
    const QStringList statements{
        // Not "already exists, skipping" on standard error at every start.
        "SET client_min_messages TO warning", "BEGIN",
        "SELECT pg_advisory_xact_lock(hashtext('" + table + "'))",
        "CREATE TABLE IF NOT EXISTS " + table + " (" + columns.join(", ") + ")",
        // A line sent twice (its answer lost as the connection broke) is kept once.
        "CREATE UNIQUE INDEX IF NOT EXISTS " + table + "_attempt_event ON " + table +
            " (attempt, event)",
        "CREATE INDEX IF NOT EXISTS " + table + "_started ON " + table + " (started)", "COMMIT"};
    QSqlQuery query(db);
    for (const QString& sql : statements) {
        if (std::string problem = run(query, sql); !problem.empty()) {
            run(query, "ROLLBACK");
            return problem;
        }
    }
    return {};
}

QVariant textOrNull(const QJsonValue& value) {
    return value.isString() ? QVariant(value.toString()) : QVariant(QMetaType(QMetaType::QString));
}

QVariant timeOrNull(const QJsonValue& value) {
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return time.isValid() ? QVariant(time.toUTC()) : QVariant(QMetaType(QMetaType::QDateTime));
}

// Stores one line: its keys in their columns (null where it has none or it is not a record at
// all), the line itself whole. A line already there (the same attempt and event) is kept once.
std::string storeLine(const QSqlDatabase& db, const std::string& line) {
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    QStringList names;
    for (const char* c : kTimeColumns) names << c;
    for (const char* c : kNumberColumns) names << c;
    names << "line";
    for (const char* c : kTextColumns) names << c;
    for (const char* c : kIntegerColumns) names << c;
    QStringList marks;
    for (qsizetype i = 0; i < names.size(); ++i) marks << "?";
    QSqlQuery query(db);
    query.prepare(QString("INSERT INTO ") + kTable + " (" + names.join(", ") + ") VALUES (" +
                  marks.join(", ") + ") ON CONFLICT (attempt, event) DO NOTHING");
    for (const char* c : kTimeColumns) query.addBindValue(timeOrNull(o.value(c)));
    for (const char* c : kNumberColumns) {
        const QJsonValue v = o.value(c);
        query.addBindValue(v.isDouble() ? QVariant(v.toDouble())
                                        : QVariant(QMetaType(QMetaType::Double)));
    }
    query.addBindValue(q(line));
    for (const char* c : kTextColumns) query.addBindValue(textOrNull(o.value(c)));
    for (const char* c : kIntegerColumns) {
        const QJsonValue v = o.value(c);
        query.addBindValue(v.isDouble() ? QVariant(v.toInt())
                                        : QVariant(QMetaType(QMetaType::Int)));
    }
    return query.exec() ? std::string() : said(query.lastError());
}

// Where the lines wait that the database did not take: the user's state folder.
QString spoolFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
#ifdef _WIN32
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    if (base.isEmpty()) base = QDir::homePath() + "/.local/state";
#endif
    return base + "/quorvel";
}

// The spool of one database: its lines wait there, a line each, as in a record file.
QString spoolOf(const std::string& shown) {
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(shown), QCryptographicHash::Sha256);
    return spoolFolder() + "/spool-" + QString::fromLatin1(hash.toHex().left(16)) + ".jsonl";
}

// The lock that every program takes while it adds to or empties the spool: an exclusive lock
// on a file beside it, made (with its folders) as every file of the tool is, and released when
// the file is closed, whatever ends the program.
class SpoolLock {
  public:
    explicit SpoolLock(const QString& spool) {
        fd_ = openFileForWriting(QFile::encodeName(spool + ".lock").toStdString(),
                                 FileWrite::Append, true)
                  .fd;
#ifdef _WIN32
        OVERLAPPED whole{};
        held_ = fd_ >= 0 && LockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)),
                                       LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
#else
        held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
#endif
    }
    ~SpoolLock() {
#ifdef _WIN32
        if (fd_ >= 0) _close(fd_);
#else
        if (fd_ >= 0) ::close(fd_);
#endif
    }
    SpoolLock(const SpoolLock&) = delete;
    SpoolLock& operator=(const SpoolLock&) = delete;
    bool held() const {
        return held_;
    }

  private:
    int fd_ = -1;
    bool held_ = false;
};

// Sends the lines that wait in `spool` in one transaction and empties it once they are in;
// how many were sent, or why they were not (and they still wait).
std::string drainSpool(const QSqlDatabase& db, const QString& spool, int& sent) {
    sent = 0;
    // Read where only this user could have put it: a link planted in its place is not followed.
    const OpenedFile opened = openFileForReading(QFile::encodeName(spool).toStdString(), true);
    if (opened.fd < 0) return opened.error == ENOENT ? std::string() : opened.problem;
    QFile file;
    if (!file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        return file.errorString().toStdString();
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    if (lines.size() <= 1 && lines.value(0).isEmpty()) return {};
    QSqlDatabase session = db;
    if (!session.transaction()) return said(session.lastError());
    for (const QByteArray& line : lines) {
        if (line.trimmed().isEmpty()) continue;
        if (std::string problem = storeLine(session, line.toStdString()); !problem.empty()) {
            session.rollback();
            return problem;
        }
        ++sent;
    }
    if (!session.commit()) return said(session.lastError());
    if (!QFile::remove(spool)) return "the spool " + spool.toStdString() + " could not be emptied";
    return {};
}

}  // namespace

bool isDatabaseUri(const std::string& target) {
    return target.starts_with("postgresql://") || target.starts_with("postgres://");
}

std::pair<size_t, size_t> uriPasswordSpan(const std::string& argument) {
    const size_t scheme = argument.find("://");
    if (scheme == std::string::npos) return {0, 0};
    // From the first ":" after the scheme to the last "@": a password that is not
    // percent-encoded may hold anything, "/" and "@" included. An "@" further on (in the query)
    // only hides more.
    const size_t colon = argument.find(':', scheme + 3);
    const size_t at = argument.rfind('@');
    if (colon == std::string::npos || at == std::string::npos || colon > at) return {0, 0};
    return {colon + 1, at - colon - 1};
}

std::string shownDatabase(const std::string& uri) {
    const QUrl url(q(uri), QUrl::StrictMode);
    if (url.isValid()) return url.toString(QUrl::RemovePassword).toStdString();
    std::string shown = uri;
    if (const auto [begin, length] = uriPasswordSpan(uri); length > 0) {
        shown.replace(begin - 1, length + 1, "");  // the ":" before it too
    }
    return shown;
}

RecordDatabase::RecordDatabase(std::function<void(const std::string&)> warn,
                               std::function<void(const std::string&)> inform)
    : warn_(std::move(warn)), inform_(std::move(inform)) {}

bool RecordDatabase::open(const std::string& uri) {
    uri_ = uri;
    shown_ = shownDatabase(uri);
    spool_ = QDir::toNativeSeparators(spoolOf(shown_)).toStdString();
    const Target target = targetOf(uri);
    if (!target.problem.empty()) {
        failure_ = target.problem;
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(kDriver)) {
        failure_ = "this installation has no PostgreSQL driver for Qt (" + std::string(kDriver) +
                   "; on Debian the package libqt6sql6-psql): nothing was sent";
        return false;
    }
    const Connection connection(target);
    if (!connection.ok()) {
        failure_ = connection.problem();
        return false;
    }
    if (std::string problem = makeTable(connection.db()); !problem.empty()) {
        failure_ = "cannot make the record table in " + shown_ + ": " + problem;
        return false;
    }
    // Lines an earlier run could not send go first.
    const SpoolLock lock(q(spool_));
    int sent = 0;
    if (lock.held() && drainSpool(connection.db(), q(spool_), sent).empty() && sent > 0 &&
        inform_) {
        inform_(std::to_string(sent) + " record line" + (sent == 1 ? "" : "s") +
                " that waited in " + spool_ + " are in " + shown_ + " now");
    }
    return true;
}

bool RecordDatabase::append(const Record& record) {
    return add(recordLine(record), record.port);
}

bool RecordDatabase::appendStarted(const Record& record) {
    return add(startedLine(record), record.port);
}

bool RecordDatabase::add(const std::string& line, const std::string& port) {
    const std::lock_guard<std::mutex> guard(mutex_);
    const Target target = targetOf(uri_);
    const SpoolLock lock(q(spool_));
    std::string problem = target.problem;
    if (problem.empty()) {
        const Connection connection(target);
        problem = connection.problem();
        if (problem.empty()) {
            int sent = 0;
            // A spool that cannot even be locked holds nothing this user could have left.
            if (lock.held()) problem = drainSpool(connection.db(), q(spool_), sent);
            if (problem.empty() && sent > 0 && inform_) {
                inform_("the database answers again: " + std::to_string(sent) + " record line" +
                        (sent == 1 ? "" : "s") + " that waited in " + spool_ + " are in " + shown_ +
                        " now");
            }
            if (problem.empty()) problem = storeLine(connection.db(), line);
            if (problem.empty()) return true;
        }
    }
    // The database did not take it: the line waits in the spool, whole and on disk.
    std::string spoolProblem = lock.held() ? std::string() : "its lock could not be taken";
    if (spoolProblem.empty()) {
        RecordFile spool;
        if (!spool.open(spool_, true)) {
            spoolProblem = spool.failure();
        } else if (!spool.appendText(line, port)) {
            spoolProblem = spool.failure();
        }
    }
    if (spoolProblem.empty()) {
        if (warn_) {
            warn_("the record of " + port + " waits in " + spool_ + ": " + shown_ +
                  " did not take it (" + problem + "); it is sent when the database answers");
        }
        return true;
    }
    if (failure_.empty()) {
        failure_ = "could not add the record of " + port + " to " + shown_ + " (" + problem +
                   ") nor to its spool " + spool_ + " (" + spoolProblem + ")";
    }
    return false;
}

std::string RecordDatabase::failure() const {
    const std::lock_guard<std::mutex> guard(mutex_);
    return failure_;
}

std::string readDatabaseLines(const std::string& uri, const QDateTime& since,
                              const QDateTime& until, const RecordFilter& filter,
                              const std::function<bool(const std::string&)>& each) {
    const std::string shown = shownDatabase(uri);
    const Target target = targetOf(uri);
    if (!target.problem.empty()) return target.problem;
    if (!QSqlDatabase::isDriverAvailable(kDriver)) {
        return "this installation has no PostgreSQL driver for Qt (" + std::string(kDriver) +
               "; on Debian the package libqt6sql6-psql)";
    }
    const Connection connection(target);
    if (!connection.ok()) return "cannot connect to " + shown + ": " + connection.problem();
    // The values asked for go in as bound values, never into the statement's text.
    QString sql = QString("SELECT line FROM ") + kTable + " WHERE true";
    std::vector<QVariant> values;
    if (since.isValid()) {
        sql += " AND started >= ?";
        values.emplace_back(since.toUTC());
    }
    if (until.isValid()) {
        sql += " AND started < ?";
        values.emplace_back(until.toUTC());
    }
    for (const auto& [column, value] : {std::pair{"unit", &filter.unit}, {"host", &filter.host}}) {
        if (value->empty()) continue;
        sql += QString(" AND ") + column + " = ?";
        values.emplace_back(q(*value));
    }
    if (!filter.ports.empty()) {
        QStringList marks;
        for (const std::string& port : filter.ports) {
            marks.append("?");
            values.emplace_back(q(port));
        }
        sql += " AND port IN (" + marks.join(", ") + ")";
    }
    if (!filter.image.empty()) {
        const std::string prefix = filter.shaPrefix();
        sql += " AND (image = ? OR left(sha256, ?) = ?)";
        values.emplace_back(q(filter.image));
        values.emplace_back(static_cast<int>(prefix.size()));
        values.emplace_back(prefix.empty() ? QVariant() : QVariant(q(prefix)));
    }
    sql += " ORDER BY id";
    QSqlQuery query(connection.db());
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec())
        return "cannot read the records in " + shown + ": " + said(query.lastError());
    while (query.next()) {
        if (!each(query.value(0).toString().toStdString())) break;
    }
    return {};
}

std::optional<std::pair<std::string, long long>> lastLineWritten(const std::string& uri,
                                                                 const std::string& unit) {
    const Target target = targetOf(uri);
    if (!target.problem.empty() || unit.empty() || !QSqlDatabase::isDriverAvailable(kDriver)) {
        return std::nullopt;
    }
    const Connection connection(target);
    if (!connection.ok()) return std::nullopt;
    QSqlQuery query(connection.db());
    query.prepare(QString("SELECT line, id FROM ") + kTable +
                  " WHERE unit = ? AND outcome = ? ORDER BY id DESC LIMIT 1");
    query.addBindValue(q(unit));
    query.addBindValue(QString(OutcomeWord(OutcomeSeverity::Success)));
    if (!query.exec() || !query.next()) return std::nullopt;
    return std::pair{query.value(0).toString().toStdString(), query.value(1).toLongLong()};
}

}  // namespace quorvel
