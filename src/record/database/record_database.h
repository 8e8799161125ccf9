#pragma once
// The record of a whole production line in one PostgreSQL database (--record
// postgresql://USER@HOST/DB): one table, made on first use, one row per record line with the
// line's keys as columns and the whole line beside them. Every line is first kept in a local
// spool file, on disk, and a sender thread of the sink's own, with its own connection, moves
// the spool into the database in order; a database that hangs or does not answer never holds
// up a write, and no line is lost to the network.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "record_filter.h"
#include "record_sink.h"

class QSqlQuery;

namespace quorvel {

// Whether `target` (the --record argument, an argument of records) names a database rather
// than a file: it starts with postgresql:// or postgres://.
bool isDatabaseUri(const std::string& target);

// `uri` as messages show it: without its password, even when it does not parse.
std::string shownDatabase(const std::string& uri);

// Where the password of a database URI lies in `argument` (a --record value, an argument of
// records, "--record=URI"): its first character and length; a length of 0 when it has none.
// The command line blanks it in the process list.
std::pair<size_t, size_t> uriPasswordSpan(const std::string& argument);

// How long any connect or statement may take, in seconds, unless the URI's connect_timeout
// says otherwise (postgresql://USER@HOST/DB?connect_timeout=10): a database that hangs (a table
// locked, its computer gone) costs no more than this.
inline constexpr int kDatabaseWaitSeconds = 3;

// The table that keeps the lines, one row each.
inline constexpr const char* kRecordTable = "quorvel_records";

// The statements that make the table and its indexes when they are missing, to be run in one
// transaction: the sink runs them on first use, the database's owner ahead of it
// (prepare-database).
QStringList recordTableStatements();

// Runs `statements` in order on the database at `uri` (each bounded by the wait above); at the
// first that fails the rest is not run and an open transaction is rolled back. Empty, or why.
std::string runOnDatabase(const std::string& uri, const QStringList& statements);

// The spool of the database at `uri`, where this user's lines wait until it takes them.
std::string spoolPathOf(const std::string& uri);

class RecordDatabase : public RecordSink {
  public:
    // `warn` hears when the database stops taking the lines (they wait in the spool) and of
    // lines left waiting at the end, `inform` of those sent once it takes them again (no trouble
    // left: news, not a warning); both are called from the sender's thread or the closing one.
    explicit RecordDatabase(std::function<void(const std::string&)> warn = {},
                            std::function<void(const std::string&)> inform = {})
        : warn_(std::move(warn)), inform_(std::move(inform)) {}
    // Gives the sender a few seconds to send what waits; what it did not send stays in the
    // spool for the next run on this database, and `warn` says so.
    ~RecordDatabase() override;

    // Checks the URI, the driver and the spool, connects, makes the table when missing and
    // sends what an earlier run left in the spool (each bounded by the wait above); false, with
    // failure() saying why (a wrong password, a missing database, no PostgreSQL driver, a
    // spool that cannot be trusted), when the record cannot be kept there. The sender starts
    // with the first line.
    bool open(const std::string& uri);

    // Keep the line in the spool and wake the sender; only when the spool cannot be written
    // is the line sent here, at most the wait above.
    bool append(const Record& record) override;
    bool appendStarted(const Record& record) override;
    std::string failure() const override;
    const std::string& path() const override { return shown_; }
    RecordBacklog backlog() const override;
    // Waits up to `ms` while lines wait and the database answers; true when none waits.
    bool flush(int ms) override;

  private:
    struct Sender;  // the sender thread's state, shared with it

    bool add(const std::string& line, const std::string& port);

    std::function<void(const std::string&)> warn_;
    std::function<void(const std::string&)> inform_;
    std::string shown_;
    std::string spool_;
    mutable std::mutex mutex_;
    std::string failure_;
    std::shared_ptr<Sender> sender_;
    std::atomic<bool> senderStarted_{false};
};

// Hands every record line stored in the database at `uri` to `each` (false stops), with its
// row's id, oldest first, keeping to those whose `started` lies from `since` (inclusive) to `until`
// (exclusive) and that `filter` matches; an invalid bound is none. The database does the
// choosing, so only those rows are fetched. Empty, or why the lines could not be read.
std::string readDatabaseLines(const std::string& uri, const QDateTime& since,
                              const QDateTime& until, const RecordFilter& filter,
                              const std::function<bool(const std::string&, long long)>& each);

// Runs the query `sql` with `values` bound to its marks in order, on a connection of its own to
// the database at `uri`, and hands each row to `row` (false stops). The statement may take up
// to `seconds` when more than the URI's wait (which still bounds the connect and any lock).
// Empty, or why the database could not be read. `sql` may first ask the connection what the
// statement depends on (and fill `values`, which are bound after it).
std::string queryDatabase(const std::string& uri, const std::function<QString(QSqlQuery&)>& sql,
                          const std::vector<QVariant>& values,
                          const std::function<bool(const QSqlQuery&)>& row, int seconds = 0);

// The last line stored in the database at `uri` that shows `unit` written (its outcome
// success), with its row's id; none when no line does. `problem` says why the database could
// not be asked (then none is no answer).
std::optional<std::pair<std::string, long long>> lastLineWritten(const std::string& uri,
                                                                 const std::string& unit,
                                                                 std::string* problem = nullptr);

// The lines that wait in the spool at `spool`, oldest first (none when there is no spool).
std::vector<std::string> spooledLines(const std::string& spool);

}  // namespace quorvel
