#include "database_summary.h"

#include <QSqlQuery>
#include <QStringList>

#include "device_record.h"
#include "record_database.h"

namespace quorvel {
namespace {

// A started row with no final row is counted after every final row, as the file reader closes
// such attempts at the end: its place in the order read is its id plus this.
constexpr long long kLate = 1LL << 62;

// How long the sums may take: a big table takes seconds, a table locked by another session is
// waited for no longer than any statement.
constexpr int kSumSeconds = 120;

constexpr const char* kAttemptTable = "quorvel_attempts";
// The columns of the attempts' table that attemptRows() gives, in its order.
constexpr const char* kAttemptColumns =
    "id, ord, attempt, started, hour, seconds, host, port, unit, image, sha256, sev, shadow";

QString word(const char* text) {
    return QString("'%1'").arg(text);
}

QString severity(OutcomeSeverity s) {
    return QString::number(static_cast<int>(s));
}

std::string textOf(const QSqlQuery& q, int column) {
    return q.value(column).toString().toStdString();
}

// The rows of the table that `where` keeps, read as the file reader takes lines: the columns
// a summary asks about (texts never null) and the severity of the outcome, none for a word no
// outcome has.
QString recordRows(const QString& alias, const QString& where) {
    QStringList words;
    for (const char* w : kOutcomeWords) words << word(w);
    return QString(
               "(SELECT id, event, attempt, started, seconds, coalesce(host, '') AS host,"
               " coalesce(port, '') AS port, coalesce(unit, '') AS unit,"
               " coalesce(image, '') AS image, coalesce(sha256, '') AS sha256,"
               " array_position(ARRAY[%1]::text[], outcome) - 1 AS sev FROM %2 WHERE %3) %4")
        .arg(words.join(", "), kRecordTable, where, alias);
}

// What each row of the table that `where` keeps stands for, one row of the attempts' table
// each: a final row of a known outcome is an attempt (shadow false); a started row without
// one is an attempt interrupted, placed after every final row; a started row whose final row
// names another time, station, unit or image is kept as a shadow (the attempt interrupted
// when a question keeps the started row and not the final one); any other row is no record
// (no severity). A started row whose final row names the same is left out.
QString attemptRows(const QString& where) {
    const QString same =
        "(f.started, f.host, f.port, f.unit, f.image, f.sha256) IS NOT DISTINCT"
        " FROM (s.started, s.host, s.port, s.unit, s.image, s.sha256)";
    return QString(
               "SELECT id, CASE WHEN k IN (1, 2) THEN id + %1 ELSE id END AS ord, attempt,"
               " started, date_trunc('hour', started AT TIME ZONE 'UTC') AS hour, seconds, host,"
               " port, unit, image, sha256, CASE k WHEN 0 THEN sev WHEN 3 THEN NULL ELSE %2 END"
               " AS sev, k = 2 AS shadow"
               " FROM (SELECT s.*, CASE WHEN s.event = %3 THEN CASE WHEN s.sev IS NULL THEN 3"
               " ELSE 0 END WHEN s.event = %4 AND s.attempt <> '' THEN CASE WHEN f.id IS NULL"
               " THEN 1 WHEN %5 THEN NULL ELSE 2 END ELSE 3 END AS k FROM %6 LEFT JOIN LATERAL"
               " (SELECT * FROM %7 WHERE s.event = %4 AND f.attempt = s.attempt AND f.event = %3"
               " AND f.sev IS NOT NULL LIMIT 1) f ON true) d WHERE k IS NOT NULL")
        .arg(QString::number(kLate), severity(OutcomeSeverity::Interrupted), word(kEndedEvent),
             word(kStartedEvent), same, recordRows("s", where), recordRows("f", "true"));
}

// The attempts' rows of the whole table, each with whether its unit was tried more than once.
QString attemptsRetried() {
    return QString(
               "SELECT d.*, d.unit <> '' AND count(*) FILTER (WHERE d.sev IS NOT NULL) OVER"
               " (PARTITION BY d.unit) > 1 AS retried FROM (%1) d")
        .arg(attemptRows("true"));
}

}  // namespace

QStringList attemptTableStatements() {
    const QString t = kAttemptTable;
    const QString records = kRecordTable;
    const QString some = "id = ANY(ids) OR attempt = ANY(atts)";
    // The function runs as its owner, for stations that may only add rows; its names are
    // looked up in the schema of the tables alone. Its plans are kept from one row to the next,
    // while many rows come in one statement: each finds its few rows by their indexes.
    const QString function =
        QString(
            "CREATE OR REPLACE FUNCTION %1_kept() RETURNS trigger LANGUAGE plpgsql"
            " SECURITY DEFINER SET search_path = %I, pg_temp SET enable_seqscan = off AS"
            " $body$ DECLARE ids bigint[]; atts text[]; units text[]; BEGIN"
            " IF TG_OP = 'TRUNCATE' THEN TRUNCATE %1; RETURN NULL; END IF;"
            // One transaction at a time, to its end: two stations adding attempts of one unit
            // at once would each count the unit's attempts without the other's and leave it
            // marked as tried once. Stations add one row per statement: the wait is short.
            " PERFORM pg_advisory_xact_lock(hashtext('%1'));"
            " IF TG_OP <> 'INSERT' THEN ids := ARRAY[OLD.id];"
            " atts := ARRAY[nullif(OLD.attempt, '')]; END IF;"
            " IF TG_OP <> 'DELETE' THEN ids := ids || NEW.id;"
            " atts := atts || nullif(NEW.attempt, ''); END IF;"
            " units := ARRAY(SELECT unit FROM %1 WHERE %2);"
            " DELETE FROM %1 WHERE %2;"
            " INSERT INTO %1 (%3) %4;"
            // A unit tried many times is marked again only when that changes.
            " UPDATE %1 a SET retried = r.many FROM (SELECT unit, count(*) > 1 AS many"
            " FROM %1 WHERE unit <> '' AND sev IS NOT NULL AND unit = ANY(units ||"
            " ARRAY(SELECT unit FROM %1 WHERE %2)) GROUP BY unit) r"
            " WHERE a.unit = r.unit AND a.retried <> r.many; RETURN NULL; END $body$")
            .arg(t, some, kAttemptColumns, attemptRows(some));
    return {// One row per attempt, kept by a trigger as rows come, go or change, so that records
            // sums a narrow table of half the rows with no pairing of started and final rows left.
            "CREATE TABLE IF NOT EXISTS " + t +
                " (id bigint PRIMARY KEY, ord bigint NOT NULL, attempt text, started timestamptz,"
                " hour timestamp, seconds double precision, host text NOT NULL, port text NOT NULL,"
                " unit text NOT NULL, image text NOT NULL, sha256 text NOT NULL, sev integer,"
                " shadow boolean NOT NULL, retried boolean NOT NULL DEFAULT false)",
            "CREATE INDEX IF NOT EXISTS " + t + "_attempt ON " + t + " (attempt)",
            "CREATE INDEX IF NOT EXISTS " + t + "_unit ON " + t + " (unit)",
            "CREATE INDEX IF NOT EXISTS " + t + "_started ON " + t + " (started)",
            // The few rows a summary lists or takes one by one.
            "CREATE INDEX IF NOT EXISTS " + t + "_listed ON " + t + " (id) WHERE sev <> " +
                severity(OutcomeSeverity::Success) + " OR retried",
            "CREATE INDEX IF NOT EXISTS " + t + "_unread ON " + t + " (id) WHERE sev IS NULL",
            "DO $do$ BEGIN EXECUTE format($f$" + function + "$f$, current_schema()); END $do$",
            // Once: the rows already there, while no row may come.
            "DO $do$ BEGIN IF NOT EXISTS (SELECT FROM pg_trigger WHERE tgrelid = '" + records +
                "'::regclass AND tgname = '" + t + "_kept') THEN LOCK TABLE " + records +
                " IN SHARE ROW EXCLUSIVE MODE; TRUNCATE " + t + "; INSERT INTO " + t + " (" +
                kAttemptColumns + ", retried) " + attemptsRetried() + "; CREATE TRIGGER " + t +
                "_kept AFTER INSERT OR UPDATE OR DELETE ON " + records +
                " FOR EACH ROW EXECUTE FUNCTION " + t + "_kept(); CREATE TRIGGER " + t +
                "_emptied AFTER TRUNCATE ON " + records + " FOR EACH STATEMENT EXECUTE FUNCTION " +
                t + "_kept(); END IF; END $do$"};
}

QString recordsWhere(const QDateTime& since, const QDateTime& until, const RecordFilter& filter,
                     std::vector<QVariant>& values) {
    QString sql = "true";
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
        values.emplace_back(QString::fromStdString(*value));
    }
    if (!filter.ports.empty()) {
        QStringList marks;
        for (const std::string& port : filter.ports) {
            marks.append("?");
            values.emplace_back(QString::fromStdString(port));
        }
        sql += " AND port IN (" + marks.join(", ") + ")";
    }
    if (!filter.image.empty()) {
        const std::string prefix = filter.shaPrefix();
        sql += " AND (image = ? OR left(sha256, ?) = ?)";
        values.emplace_back(QString::fromStdString(filter.image));
        values.emplace_back(static_cast<int>(prefix.size()));
        values.emplace_back(prefix.empty() ? QVariant() : QVariant(QString::fromStdString(prefix)));
    }
    return sql;
}

std::string sumDatabase(const std::string& uri, const QDateTime& since, const QDateTime& until,
                        const RecordFilter& filter, DatabaseSums& sums,
                        const std::function<void(const DatabaseAttempt&)>& notWritten) {
    // The attempts' table where its owner made it (and this role may read it); else the same
    // rows made from the table here, slower. Asked on the connection that sums.
    const QString t = kAttemptTable;
    std::vector<QVariant> values;
    const auto statement = [&](QSqlQuery& q) {
        const bool kept =
            q.exec("SELECT to_regclass('" + t +
                   "') IS NOT NULL AND has_table_privilege(to_regclass('" + t + "'), 'SELECT')") &&
            q.next() && q.value(0).toBool();
        QString sql = "WITH ";
        if (!kept) {
            sql += "attempts AS MATERIALIZED (" + attemptsRetried() + "), ";
        }
        const QString source = kept ? t : "attempts";
        const QString success = severity(OutcomeSeverity::Success);
        // The attempts asked for: a shadow counts where its final row is not asked for.
        sql +=
            "a AS NOT MATERIALIZED (SELECT id AS o, ord, started, hour, host, port, unit, image,"
            " sha256, sev, seconds, retried FROM " +
            source + " t WHERE sev IS NOT NULL AND (" + recordsWhere(since, until, filter, values) +
            ") AND (NOT shadow OR NOT EXISTS (SELECT 1 FROM " + source +
            " e WHERE e.attempt = t.attempt AND NOT e.shadow AND e.sev IS NOT NULL AND (" +
            recordsWhere(since, until, filter, values) + ")))), ";
        // The attempts by image, port, hour and outcome, whether they name a unit and whether it
        // was tried more than once; and the successful writes' seconds per tenth.
        sql +=
            "g AS MATERIALIZED (SELECT GROUPING(tenth) AS whole, image, sha256, port, host, hour,"
            " sev, named, retried, tenth, count(*) AS n, min(ord) AS first, min(seconds) AS"
            " shortest, max(seconds) AS longest FROM (SELECT *, unit <> '' AS named, CASE WHEN"
            " sev = " +
            success +
            " AND seconds >= 0 AND seconds < 'Infinity' THEN"
            " least(floor(seconds * 10), 9999)::bigint END AS tenth FROM a) h GROUP BY GROUPING"
            " SETS ((image, sha256, port, host, hour, sev, named, retried), (tenth))), ";
        // The attempts listed, and those of units tried more than once.
        sql += "b AS MATERIALIZED (SELECT * FROM a WHERE sev <> " + success + " OR retried), ";
        // The units tried more than once: where their first attempt was (by its start, then as
        // counted), whether it wrote the unit, whether any did, and where the unit was first seen
        // (its first final row, else its first started row). A unit tried once is all its attempt.
        sql +=
            "u AS MATERIALIZED (SELECT DISTINCT ON (unit COLLATE \"C\") unit, image, sha256, port,"
            " host, sev = " +
            success + " AS first_ok, bool_or(sev = " + success +
            ") OVER w AS written, coalesce(min(o) FILTER (WHERE ord = o) OVER w, min(o) OVER w)"
            " AS seen FROM b WHERE retried WINDOW w AS (PARTITION BY unit COLLATE \"C\" ORDER BY"
            " started NULLS LAST, ord ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING)"
            " ORDER BY unit COLLATE \"C\", started NULLS LAST, ord) ";
        // One result of rows of seven kinds (the first column), each in its order:
        // 1 the attempts by image (part 0), by port (1) and by hour (2) and outcome;
        sql +=
            "SELECT 1 AS kind, CASE WHEN GROUPING(image, sha256) = 0 THEN 0"
            " WHEN GROUPING(port, host) = 0 THEN 1 ELSE 2 END AS part,"
            " coalesce(image, port, to_char(hour, 'YYYY-MM-DD\"T\"HH24'), '') AS t1,"
            " coalesce(sha256, host) AS t2, sev, sum(n)::bigint AS n1, min(first) AS n2,"
            " NULL::bigint AS n3, NULL::float8 AS f1, NULL::float8 AS f2, NULL::text AS line FROM g"
            " WHERE whole = 1 GROUP BY GROUPING SETS ((image, sha256, sev), (port, host, sev),"
            " (hour, sev))";
        // 2 the units by their first attempt's image (part 0) and port (1);
        sql +=
            " UNION ALL SELECT 2, CASE WHEN GROUPING(image, sha256) = 0 THEN 0 ELSE 1 END,"
            " coalesce(image, port), coalesce(sha256, host), NULL, sum(n)::bigint,"
            " sum(ok)::bigint, sum(written)::bigint, NULL, NULL, NULL FROM (SELECT image, sha256,"
            " port, host, n, CASE WHEN sev = " +
            success +
            " THEN n ELSE 0 END AS ok, CASE WHEN"
            " sev = " +
            success +
            " THEN n ELSE 0 END AS written FROM g WHERE whole = 1 AND named"
            " AND NOT retried UNION ALL SELECT image, sha256, port, host, 1, first_ok::int,"
            " written::int FROM u) v GROUP BY GROUPING SETS ((image, sha256), (port, host))";
        // 3 the successful writes' seconds per tenth;
        sql +=
            " UNION ALL SELECT 3, 0, NULL, NULL, NULL, n, tenth, NULL, shortest, longest, NULL"
            " FROM g WHERE whole = 0 AND tenth IS NOT NULL";
        // 4 the units never written, as first seen;
        sql +=
            " UNION ALL SELECT 4, 0, unit, NULL, NULL, NULL, seen, NULL, NULL, NULL, NULL FROM"
            " (SELECT unit, o AS seen FROM b WHERE unit <> '' AND NOT retried UNION ALL SELECT"
            " unit, seen FROM u WHERE NOT written) w";
        // 5 the lines of the first (part 0) and the last (1) start;
        const QString lineOf = "(SELECT line FROM " + QString(kRecordTable) + " q WHERE q.id = ";
        sql += " UNION ALL SELECT 5, part, NULL, NULL, NULL, NULL, 0, NULL, NULL, NULL, " + lineOf +
               "p.o) FROM (SELECT 0 AS part, o FROM (SELECT o FROM a WHERE started IS NOT NULL"
               " ORDER BY started, ord LIMIT 1) f UNION ALL SELECT 1, o FROM (SELECT o FROM a WHERE"
               " started IS NOT NULL ORDER BY started DESC, ord LIMIT 1) l) p";
        // 6 the attempts that were not a success, whole, as read (part 1: without a final row),
        // with whether their unit was written (sev 1);
        sql +=
            " UNION ALL SELECT 6, CASE WHEN x.ord = x.o THEN 0 ELSE 1 END, NULL, NULL, CASE WHEN"
            " x.retried AND x.unit NOT IN (SELECT unit FROM u WHERE NOT written) THEN 1 ELSE 0"
            " END, x.o, x.ord, NULL, NULL, NULL, " +
            lineOf + "x.o) FROM b x WHERE x.sev <> " + success;
        // 7 the rows that are no record: a final row of an outcome no word names, a started row
        // without an attempt id, an event of neither kind.
        sql += " UNION ALL SELECT 7, 0, NULL, NULL, NULL, NULL, id, NULL, NULL, NULL, NULL FROM " +
               source + " WHERE sev IS NULL AND (" + recordsWhere(since, until, filter, values) +
               ")";
        sql += " ORDER BY kind, part, n2";
        return sql;
    };

    sums = DatabaseSums();
    return queryDatabase(
        uri, statement, values,
        [&](const QSqlQuery& q) {
            const int part = q.value(1).toInt();
            const long long n1 = q.value(5).toLongLong();
            const long long n2 = q.value(6).toLongLong();
            switch (q.value(0).toInt()) {
                case 1: {
                    const auto s = static_cast<OutcomeSeverity>(q.value(4).toInt());
                    DatabaseSums::Group g{textOf(q, 2), textOf(q, 3), s, n1};
                    (part == 0 ? sums.images : part == 1 ? sums.ports : sums.hours).push_back(g);
                    break;
                }
                case 2:
                    sums.units.push_back(
                        {part == 1, textOf(q, 2), textOf(q, 3), n1, n2, q.value(7).toLongLong()});
                    break;
                case 3:
                    sums.times.push_back({n1, q.value(8).toDouble(), q.value(9).toDouble()});
                    break;
                case 4:
                    sums.unitsNotWritten.push_back(textOf(q, 2));
                    break;
                case 5:
                    (part == 0 ? sums.firstLine : sums.lastLine) = textOf(q, 10);
                    break;
                case 6:
                    notWritten({textOf(q, 10), n1, part == 1, q.value(4).toInt() == 1});
                    break;
                case 7:
                    sums.unread.push_back(n2);
                    break;
            }
            return true;
        },
        kSumSeconds);
}

}  // namespace quorvel
