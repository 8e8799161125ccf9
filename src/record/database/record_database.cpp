#include "record_database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "database_summary.h"
#include "device_record.h"
#include "outcome_words.h"
#include "record_file.h"
#include "safe_file.h"

namespace quorvel {
namespace {

constexpr const char* kDriver = "QPSQL";
constexpr const char* kTable = kRecordTable;
// How often the sender tries again while lines wait and the database does not take them.
constexpr int kResendMs = 2000;
// How long the closing sink gives the sender to send what waits.
constexpr int kClosingMs = 3000;

QVariant timeOrNull(const QJsonValue& value) {
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return time.isValid() ? QVariant(time.toUTC()) : QVariant(QMetaType(QMetaType::QDateTime));
}

QVariant numberOrNull(const QJsonValue& value) {
    return value.isDouble() ? QVariant(value.toDouble()) : QVariant(QMetaType(QMetaType::Double));
}

QVariant textOrNull(const QJsonValue& value) {
    return value.isString() ? QVariant(value.toString()) : QVariant(QMetaType(QMetaType::QString));
}

QVariant countOrNull(const QJsonValue& value) {
    return value.isDouble() ? QVariant(value.toInt()) : QVariant(QMetaType(QMetaType::Int));
}

// A column of the table: its name, its SQL type and, for a column taken from a line's key, its
// value in a line (null where the line has none).
struct Column {
    const char* name;
    const char* type;
    QVariant (*value)(const QJsonValue&);
};

// The table's columns after its id: those taken from a line's keys by their kind, its times and
// numbers, the whole line and when it was stored, then its texts and counts. Lists (diagnosis,
// warnings) are in the line alone.
const std::vector<Column> kColumns = [] {
    std::vector<Column> columns;
    const auto add = [&columns](std::initializer_list<KeyType> types, const char* type,
                                QVariant (*value)(const QJsonValue&)) {
        for (const RecordKey& key : RecordKeys()) {
            if (std::ranges::find(types, key.type) != types.end())
                columns.push_back({key.name, type, value});
        }
    };
    add({KeyType::Time}, "timestamptz", timeOrNull);
    add({KeyType::Double}, "double precision", numberOrNull);
    columns.push_back({"line", "text NOT NULL", nullptr});
    columns.push_back({"stored", "timestamptz NOT NULL DEFAULT now()", nullptr});
    add({KeyType::Text, KeyType::OptionalText, KeyType::Event}, "text", textOrNull);
    add({KeyType::Int}, "integer", countOrNull);
    return columns;
}();

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
    QString options;  // the driver's connect options: "sslmode=require;connect_timeout=3"
    int waitSeconds = kDatabaseWaitSeconds;  // the bound of a connect and of a statement
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
    QStringList options;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (key == "connect_timeout") {
            bool ok = false;
            t.waitSeconds = value.toInt(&ok);
            if (!ok || t.waitSeconds < 1 || t.waitSeconds > 600) {
                t.problem = "the URI's connect_timeout is no number of seconds from 1 to 600: " +
                            value.toStdString();
                return t;
            }
        } else if (key == "host") {
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
                        " is not understood (host, port, sslmode, application_name and "
                        "connect_timeout are)";
            return t;
        }
    }
    // libpq takes no less than 2 s.
    options << QString("connect_timeout=%1").arg(std::max(t.waitSeconds, 2));
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
        if (!db.open()) {
            problem_ = said(db.lastError());
            return;
        }
        // A statement that waits (a table locked by another session) is given up in time.
        QSqlQuery query(db);
        if (!query.exec(QString("SET statement_timeout = %1").arg(target.waitSeconds * 1000)))
            problem_ = said(query.lastError());
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

// Why nothing can be asked of the database `target` names here, or empty.
std::string unusable(const Target& target) {
    if (!target.problem.empty()) return target.problem;
    if (QSqlDatabase::isDriverAvailable(kDriver)) return {};
    return "this installation has no PostgreSQL driver for Qt (" + std::string(kDriver) +
           "; on Debian the package libqt6sql6-psql)";
}

// Runs `statements` in order; at the first that fails the rest is not run and an open
// transaction is rolled back. Empty, or what the server said.
std::string runAll(const QSqlDatabase& db, const QStringList& statements) {
    QSqlQuery query(db);
    for (const QString& sql : statements) {
        if (!query.exec(sql)) {
            const std::string problem = said(query.lastError());
            query.exec("ROLLBACK");
            return problem;
        }
    }
    return {};
}

// The table and its indexes, when missing.
std::string makeTable(const QSqlDatabase& db) {
    const QString table = kTable;
    {
        // Made already: nothing is asked of the table, which another session may hold locked.
        QSqlQuery made(db);
        if (made.exec("SELECT to_regclass('" + table + "') IS NOT NULL AND to_regclass('" + table +
                      "_attempt_event') IS NOT NULL AND to_regclass('" + table +
                      "_started') IS NOT NULL") &&
            made.next() && made.value(0).toBool()) {
            return {};
        }
    }
    // Not "already exists, skipping" on standard error at every start.
    return runAll(db, QStringList{"SET client_min_messages TO warning", "BEGIN"} +
                          recordTableStatements() + QStringList{"COMMIT"});
}

// Why the connected role may not add lines to the table (insert its rows, draw their ids), or
// empty when it may.
std::string addingProblem(const QSqlDatabase& db) {
    const QString table = kTable;
    QSqlQuery query(db);
    if (!query.exec("SELECT has_table_privilege('" + table +
                    "', 'INSERT') AND has_sequence_privilege(pg_get_serial_sequence('" + table +
                    "', 'id'), 'USAGE'), current_user")) {
        return said(query.lastError());
    }
    if (!query.next()) return "no answer";
    if (query.value(0).toBool()) return {};
    return "permission denied: role " + query.value(1).toString().toStdString() +
           " may not add rows to " + kTable + " (the station role that prepare-database makes may)";
}

// Stores one line: its keys in their columns (null where it has none or it is not a record at
// all), the line itself whole. A line already there (the same attempt and event) is kept once.
std::string storeLine(const QSqlDatabase& db, const std::string& line) {
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    QStringList names{"line"};
    QStringList marks{"?"};
    for (const Column& c : kColumns) {
        if (c.value == nullptr) continue;
        names << c.name;
        marks << "?";
    }
    QSqlQuery query(db);
    query.prepare(QString("INSERT INTO ") + kTable + " (" + names.join(", ") + ") VALUES (" +
                  marks.join(", ") + ") ON CONFLICT (attempt, event) DO NOTHING");
    query.addBindValue(q(line));
    for (const Column& c : kColumns) {
        if (c.value != nullptr) query.addBindValue(c.value(o.value(c.name)));
    }
    return query.exec() ? std::string() : said(query.lastError());
}

// The lines in `spool`, oldest first; `problem` says why it could not be read (no spool is
// none). Read where only this user could have put it: a link planted in its place is not
// followed.
std::vector<std::string> readSpool(const QString& spool, std::string& problem) {
    std::vector<std::string> lines;
    const OpenedFile opened = openFileForReading(QFile::encodeName(spool).toStdString(), true);
    if (opened.fd < 0) {
        if (opened.error != ENOENT) problem = opened.problem;
        return lines;
    }
    QFile file;
    if (!file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        problem = file.errorString().toStdString();
        return lines;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty()) lines.push_back(line.toStdString());
    }
    return lines;
}

// Takes the lines in `sent` out of `spool` (under its lock): the others, and those added
// meanwhile, stay in their order. Another program on the same spool may have sent some of the
// same lines: a line is taken out by what it says, not by where it stood. How many still wait.
int takeOutOfSpool(const QString& spool, const std::vector<std::string>& sent,
                   std::string& problem) {
    std::vector<std::string> lines = readSpool(spool, problem);
    if (!problem.empty()) return static_cast<int>(lines.size());
    std::erase_if(lines, [&sent](const std::string& line) {
        return std::find(sent.begin(), sent.end(), line) != sent.end();
    });
    if (lines.empty()) {
        if (!QFile::remove(spool) && QFile::exists(spool))
            problem = "the spool " + spool.toStdString() + " could not be emptied";
        return 0;
    }
    // The rest goes to a new file that replaces the spool whole, so that a power cut leaves
    // the old spool or the new one, never half of one.
    const QString next = spool + ".new";
    const OpenedFile out =
        openFileForWriting(QFile::encodeName(next).toStdString(), FileWrite::Truncate, true);
    if (out.fd < 0) {
        problem = out.problem;
        return static_cast<int>(lines.size());
    }
    QFile file;
    bool ok = file.open(out.fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    for (const std::string& line : lines) {
        ok = ok && file.write(QByteArray::fromStdString(line + "\n")) >= 0;
    }
    ok = ok && file.flush();
    file.close();
    if (!ok || !QFile::remove(spool) || !QFile::rename(next, spool)) {
        problem = "the spool " + spool.toStdString() + " could not be rewritten";
        QFile::remove(next);
    }
    return static_cast<int>(lines.size());
}

// Sends the lines that wait in `spool`, in order, each in its own statement (a line already
// there is kept once), and takes those sent out of it. How many were sent; `problem` says why
// the others were not (they still wait); `waiting` how many still do.
int sendSpool(const QSqlDatabase& db, const QString& spool, std::string& problem, int& waiting) {
    std::vector<std::string> lines;
    {
        const SpoolLock lock(spool);
        if (!lock.held()) {
            problem = "the spool's lock could not be taken";
            return 0;
        }
        lines = readSpool(spool, problem);
        waiting = static_cast<int>(lines.size());
        if (!problem.empty() || lines.empty()) return 0;
    }
    // The database is asked without the spool's lock: a database that hangs never holds up
    // a line being kept.
    std::vector<std::string> sent;
    for (const std::string& line : lines) {
        problem = storeLine(db, line);
        if (!problem.empty()) break;
        sent.push_back(line);
    }
    if (sent.empty()) return 0;
    const SpoolLock lock(spool);
    std::string takeProblem;
    if (lock.held()) waiting = takeOutOfSpool(spool, sent, takeProblem);
    if (problem.empty()) problem = takeProblem;
    return static_cast<int>(sent.size());
}

// "3 record lines that waited in SPOOL are in DATABASE now".
std::string sentText(int sent, const QString& spool, const std::string& shown) {
    return std::to_string(sent) + " record line" + (sent == 1 ? "" : "s") + " that waited in " +
           spool.toStdString() + " are in " + shown + " now";
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

// The spool of one database lies in the user's state folder: its lines wait there, a line each,
// as in a record file.
std::string spoolPathOf(const std::string& uri) {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
#ifdef _WIN32
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    if (base.isEmpty()) base = QDir::homePath() + "/.local/state";
#endif
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(shownDatabase(uri)),
                                                     QCryptographicHash::Sha256);
    return QDir::toNativeSeparators(base + "/quorvel/spool-" +
                                    QString::fromLatin1(hash.toHex().left(16)) + ".jsonl")
        .toStdString();
}

// Two stations starting at once on a new database would race to make the table and its indexes
// (PostgreSQL's "IF NOT EXISTS" is no lock, and the loser gets a duplicate key); one
// transaction-wide advisory lock lets one make them while the other waits and then finds them
// made.
QStringList recordTableStatements() {
    const QString table = kTable;
    QStringList columns{"id bigserial PRIMARY KEY"};
    for (const Column& c : kColumns) columns << QString(c.name) + " " + c.type;
    return QStringList{
               "SELECT pg_advisory_xact_lock(hashtext('" + table + "'))",
               "CREATE TABLE IF NOT EXISTS " + table + " (" + columns.join(", ") + ")",
               // A line sent twice (its answer lost as the connection broke) is kept once.
               "CREATE UNIQUE INDEX IF NOT EXISTS " + table + "_attempt_event ON " + table +
                   " (attempt, event)",
               "CREATE INDEX IF NOT EXISTS " + table + "_started ON " + table + " (started)",
               // What records asks for: one unit's attempts, one station's, one port's, one
               // image's. A table made before these has none until its owner runs prepare-database:
               // records is slower there, and stations, which may not make indexes, go on writing.
               "CREATE INDEX IF NOT EXISTS " + table + "_unit ON " + table + " (unit, started)",
               "CREATE INDEX IF NOT EXISTS " + table + "_host ON " + table + " (host, started)",
               "CREATE INDEX IF NOT EXISTS " + table + "_port ON " + table + " (port, started)",
               "CREATE INDEX IF NOT EXISTS " + table + "_image ON " + table + " (image, started)"} +
           attemptTableStatements();
}

std::string runOnDatabase(const std::string& uri, const QStringList& statements) {
    const Target target = targetOf(uri);
    if (std::string problem = unusable(target); !problem.empty()) return problem;
    const Connection connection(target);
    if (!connection.ok()) return connection.problem();
    return runAll(connection.db(), statements);
}

std::vector<std::string> spooledLines(const std::string& spool) {
    std::string problem;
    return readSpool(q(spool), problem);
}

// The sender's thread and the sink share this; a sender stuck in a database that stopped
// answering mid-statement is left behind when the sink closes, with what it needs.
struct RecordDatabase::Sender {
    Target target;
    QString spool;
    std::string shown;
    std::function<void(const std::string&)> warn;
    std::function<void(const std::string&)> inform;

    std::mutex mutex;
    std::condition_variable changed;
    bool wake = false;
    bool closing = false;
    bool ended = false;
    int waiting = 0;      // lines in the spool, as last seen or added
    QDateTime downSince;  // the database did not take them since; invalid while it does
    std::string problem;

    void run() {
        std::unique_ptr<Connection> connection;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            // Woken by a line added; while lines wait unsent, tried again on a timer.
            changed.wait_for(lock, std::chrono::milliseconds(kResendMs),
                             [this] { return wake || closing; });
            const bool last = closing;
            // The closing sink flushed already: a database that does not answer is not tried
            // once more.
            if (last && downSince.isValid()) break;
            if (!wake && !last && waiting == 0) continue;
            wake = false;
            lock.unlock();
            std::string trouble;
            int left = 0;
            int sent = 0;
            if (!connection || !connection->ok()) connection = std::make_unique<Connection>(target);
            if (!connection->ok()) {
                trouble = connection->problem();
                std::string readProblem;
                left = static_cast<int>(readSpool(spool, readProblem).size());
            } else {
                sent = sendSpool(connection->db(), spool, trouble, left);
                // A connection that failed a statement is made anew: it may be broken.
                if (!trouble.empty()) connection.reset();
            }
            lock.lock();
            waiting = left;
            if (!trouble.empty() && left > 0) {
                if (!downSince.isValid()) {
                    downSince = QDateTime::currentDateTime();
                    if (warn) {
                        warn(shown + " does not take the record lines (" + trouble +
                             "); they wait in " + spool.toStdString() +
                             " and are sent when it answers");
                    }
                }
                problem = trouble;
            } else if (left == 0 && downSince.isValid()) {
                downSince = QDateTime();
                problem.clear();
                if (inform) inform("the database answers again: " + sentText(sent, spool, shown));
            }
            changed.notify_all();
            if (last) break;
        }
        // Closed before the sink hears the end: the program may end right after.
        lock.unlock();
        connection.reset();
        lock.lock();
        ended = true;
        changed.notify_all();
    }
};

RecordDatabase::~RecordDatabase() {
    if (!sender_ || !senderStarted_) return;
    flush(kClosingMs);
    std::unique_lock<std::mutex> lock(sender_->mutex);
    sender_->closing = true;
    sender_->changed.notify_all();
    // One last round, bounded: a database that hangs mid-statement keeps its thread, not us.
    sender_->changed.wait_for(lock, std::chrono::milliseconds(kClosingMs),
                              [this] { return sender_->ended; });
    if (sender_->waiting > 0 && warn_) {
        warn_(std::to_string(sender_->waiting) + " record line" +
              (sender_->waiting == 1 ? " waits" : "s wait") + " in " + spool_ + ": " + shown_ +
              " did not take " + (sender_->waiting == 1 ? "it" : "them") +
              (sender_->problem.empty() ? "" : " (" + sender_->problem + ")") +
              "; the next write to it sends them");
    }
    // A sender still stuck in the database must not call back into what is gone.
    sender_->warn = {};
    sender_->inform = {};
}

bool RecordDatabase::flush(int ms) {
    if (!sender_ || !senderStarted_) return true;
    std::unique_lock<std::mutex> lock(sender_->mutex);
    sender_->wake = true;
    sender_->changed.notify_all();
    return sender_->changed.wait_for(lock, std::chrono::milliseconds(ms), [this] {
        return sender_->waiting == 0 || sender_->downSince.isValid() || sender_->ended;
    }) && sender_->waiting == 0;
}

RecordBacklog RecordDatabase::backlog() const {
    RecordBacklog b;
    b.where = spool_;
    if (!sender_) return b;
    const std::lock_guard<std::mutex> lock(sender_->mutex);
    b.lines = sender_->waiting;
    if (sender_->downSince.isValid() && b.lines > 0) {
        b.since = sender_->downSince.toString("HH:mm").toStdString();
        b.problem = sender_->problem;
    }
    return b;
}

bool RecordDatabase::open(const std::string& uri) {
    shown_ = shownDatabase(uri);
    spool_ = spoolPathOf(uri);
    const Target target = targetOf(uri);
    if (std::string problem = unusable(target); !problem.empty()) {
        failure_ = target.problem.empty() ? problem + ": nothing was sent" : problem;
        return false;
    }
    // A spool that is there and cannot be trusted (a link planted in its place, another
    // user's file) is refused while nothing has been sent.
    if (std::string problem; QFileInfo(q(spool_)).isSymLink() || QFileInfo::exists(q(spool_))
                                 ? (readSpool(q(spool_), problem), !problem.empty())
                                 : false) {
        failure_ = problem;
        return false;
    }
    {
        const Connection connection(target);
        if (!connection.ok()) {
            failure_ = connection.problem();
            return false;
        }
        if (std::string problem = makeTable(connection.db()); !problem.empty()) {
            failure_ = "cannot make the record table in " + shown_ + ": " + problem;
            // A role that may not make it, on a database its owner has not prepared.
            if (problem.find("permission denied") != std::string::npos)
                failure_ += " (its owner makes it: quorvel-flash prepare-database)";
            return false;
        }
        // A role that may read and not add (a supervisor's) is refused before any port opens,
        // not found out by the sender once the device is written.
        if (std::string problem = addingProblem(connection.db()); !problem.empty()) {
            failure_ = problem;
            return false;
        }
        // Lines an earlier run could not send go first.
        std::string problem;
        int waiting = 0;
        const int sent = sendSpool(connection.db(), q(spool_), problem, waiting);
        if (sent > 0 && inform_) inform_(sentText(sent, q(spool_), shown_));
    }
    sender_ = std::make_shared<Sender>();
    sender_->target = target;
    sender_->spool = q(spool_);
    sender_->shown = shown_;
    sender_->warn = warn_;
    sender_->inform = inform_;
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
    if (!sender_) return false;  // not open
    // Kept on disk first, whatever the database does; the sender takes it from there.
    std::string spoolProblem;
    {
        const SpoolLock lock(q(spool_));
        if (!lock.held()) {
            spoolProblem = "its lock could not be taken";
        } else {
            RecordFile spool;
            if (!spool.open(spool_, true) || !spool.appendText(line, port))
                spoolProblem = spool.failure();
        }
    }
    if (spoolProblem.empty()) {
        // Started with the first line, once the program's Qt application is made: the
        // database driver is not loaded while it is being made.
        if (!senderStarted_.exchange(true)) {
            std::thread([sender = sender_] { sender->run(); }).detach();
        }
        const std::lock_guard<std::mutex> lock(sender_->mutex);
        ++sender_->waiting;
        sender_->wake = true;
        sender_->changed.notify_all();
        return true;
    }
    // No spool: the line goes straight to the database, bounded by the wait.
    const Connection connection(sender_->target);
    const std::string problem =
        connection.ok() ? storeLine(connection.db(), line) : connection.problem();
    if (problem.empty()) return true;
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

std::string queryDatabase(const std::string& uri, const std::function<QString(QSqlQuery&)>& sql,
                          const std::vector<QVariant>& values,
                          const std::function<bool(const QSqlQuery&)>& row, int seconds) {
    const std::string shown = shownDatabase(uri);
    const Target target = targetOf(uri);
    if (std::string problem = unusable(target); !problem.empty()) return problem;
    const Connection connection(target);
    if (!connection.ok()) return "cannot connect to " + shown + ": " + connection.problem();
    QSqlQuery query(connection.db());
    // A longer statement still waits for a lock no longer than any other; it sums many rows, in
    // memory rather than in the server's temporary files, and is not worth compiling.
    if (seconds > target.waitSeconds &&
        (!query.exec(QString("SET lock_timeout = %1").arg(target.waitSeconds * 1000)) ||
         !query.exec(QString("SET statement_timeout = %1").arg(seconds * 1000)) ||
         !query.exec("SET work_mem = '256MB'") || !query.exec("SET jit = off"))) {
        return "cannot read the records in " + shown + ": " + said(query.lastError());
    }
    const QString statement = sql(query);
    query.finish();
    query.setForwardOnly(true);
    bool ok = query.prepare(statement);
    for (const QVariant& value : values) query.addBindValue(value);
    if (!ok || !query.exec())
        return "cannot read the records in " + shown + ": " + said(query.lastError());
    while (query.next()) {
        if (!row(query)) break;
    }
    return {};
}

std::string readDatabaseLines(const std::string& uri, const QDateTime& since,
                              const QDateTime& until, const RecordFilter& filter,
                              const std::function<bool(const std::string&, long long)>& each) {
    std::vector<QVariant> values;
    const QString sql = QString("SELECT line, id FROM ") + kTable + " WHERE " +
                        recordsWhere(since, until, filter, values) + " ORDER BY id";
    return queryDatabase(
        uri, [&sql](QSqlQuery&) { return sql; }, values,
        [&each](const QSqlQuery& query) {
            return each(query.value(0).toString().toStdString(), query.value(1).toLongLong());
        });
}

std::optional<std::pair<std::string, long long>> lastLineWritten(const std::string& uri,
                                                                 const std::string& unit,
                                                                 std::string* problem) {
    if (unit.empty()) return std::nullopt;
    std::optional<std::pair<std::string, long long>> found;
    const std::string why = queryDatabase(
        uri,
        [](QSqlQuery&) {
            return QString("SELECT line, id FROM ") + kTable +
                   " WHERE unit = ? AND outcome = ? ORDER BY id DESC LIMIT 1";
        },
        {q(unit), QString(OutcomeWord(OutcomeSeverity::Success))},
        [&found](const QSqlQuery& query) {
            found = std::pair{query.value(0).toString().toStdString(), query.value(1).toLongLong()};
            return false;
        });
    if (!why.empty() && problem != nullptr) *problem = why;
    return found;
}

}  // namespace quorvel
