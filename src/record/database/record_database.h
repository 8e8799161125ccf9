#pragma once
// The record of a whole production line in one PostgreSQL database (--record
// postgresql://USER@HOST/DB): one table, made on first use, one row per record line with the
// line's keys as columns and the whole line beside them. A station whose database does not
// answer keeps each line in a local spool file and sends it once the database answers again,
// so that no line is lost to the network.

#include <QDateTime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "record_filter.h"
#include "record_sink.h"

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

class RecordDatabase : public RecordSink {
  public:
    // `warn` hears of the lines that wait in the spool, `inform` of those sent from it once the
    // database takes them (no trouble left: news, not a warning); both are called from the
    // threads that add lines.
    explicit RecordDatabase(std::function<void(const std::string&)> warn = {},
                            std::function<void(const std::string&)> inform = {});
    RecordDatabase(const RecordDatabase&) = delete;
    RecordDatabase& operator=(const RecordDatabase&) = delete;

    // Checks the URI and the driver, connects, makes the table when missing and sends what an
    // earlier run left in the spool; false, with failure() saying why (a wrong password, a
    // missing database, no PostgreSQL driver), when the record cannot be kept there.
    bool open(const std::string& uri);

    bool append(const Record& record) override;
    bool appendStarted(const Record& record) override;
    std::string failure() const override;
    const std::string& path() const override { return shown_; }
    // The file where lines wait while the database does not answer.
    const std::string& spoolPath() const { return spool_; }

  private:
    bool add(const std::string& line, const std::string& port);

    std::function<void(const std::string&)> warn_;
    std::function<void(const std::string&)> inform_;
    std::string uri_;
    std::string shown_;
    std::string spool_;
    mutable std::mutex mutex_;
    std::string failure_;
};

// Hands every record line stored in the database at `uri` to `each` (false stops), oldest
// first, keeping to those whose `started` lies from `since` (inclusive) to `until`
// (exclusive) and that `filter` matches; an invalid bound is none. The database does the
// choosing, so only those rows are fetched. Empty, or why the lines could not be read.
std::string readDatabaseLines(const std::string& uri, const QDateTime& since,
                              const QDateTime& until, const RecordFilter& filter,
                              const std::function<bool(const std::string&)>& each);

// The last line stored in the database at `uri` that shows `unit` written (its outcome
// success), with its row's id; none when no line does or the database cannot be read.
std::optional<std::pair<std::string, long long>> lastLineWritten(const std::string& uri,
                                                                 const std::string& unit);

}  // namespace quorvel
