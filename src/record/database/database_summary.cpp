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

QVariant text(const char* word) {
    return QVariant(QString::fromLatin1(word));
}

QVariant number(long long value) {
    return QVariant(static_cast<qlonglong>(value));
}

QVariant severity(OutcomeSeverity s) {
    return QVariant(static_cast<int>(s));
}

std::string textOf(const QSqlQuery& q, int column) {
    return q.value(column).toString().toStdString();
}

}  // namespace

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
    // Every word of the outcome table, in the order of the severities: a row's severity is its
    // word's place among them, none for a word no outcome has (a row that is no record).
    std::vector<QVariant> values;
    QStringList words;
    for (const char* word : kOutcomeWords) {
        words << "?";
        values.push_back(text(word));
    }
    const QVariant success = severity(OutcomeSeverity::Success);
    // The rows asked for, as the file reader would take their lines.
    QString sql =
        "WITH r AS MATERIALIZED (SELECT id, event, attempt, started, seconds,"
        " coalesce(host, '') AS host, coalesce(port, '') AS port,"
        " coalesce(unit, '') AS unit, coalesce(image, '') AS image,"
        " coalesce(sha256, '') AS sha256, array_position(ARRAY[" +
        words.join(", ") + "]::text[], outcome) - 1 AS sev FROM quorvel_records WHERE " +
        recordsWhere(since, until, filter, values) + "), ";
    // The attempts: each final row, and each started row without a final one (interrupted).
    sql +=
        "a AS MATERIALIZED (SELECT id AS o, id AS ord, started, host, port, unit, image, sha256,"
        " sev, seconds FROM r WHERE event = ?::text AND sev IS NOT NULL"
        " UNION ALL SELECT id, id + ?::bigint, started, host, port, unit, image, sha256,"
        " ?::integer, NULL FROM r s WHERE event = ?::text AND attempt <> '' AND NOT EXISTS"
        " (SELECT 1 FROM r e WHERE e.attempt = s.attempt AND e.event = ?::text"
        " AND e.sev IS NOT NULL)), ";
    values.insert(values.end(),
                  {text(kEndedEvent), number(kLate), severity(OutcomeSeverity::Interrupted),
                   text(kStartedEvent), text(kEndedEvent)});
    // The units: where their first attempt was (by its start, then as counted), whether it
    // wrote the unit, whether any did, and where the unit was first seen (its first final row,
    // else its first started row).
    sql +=
        "u AS MATERIALIZED (SELECT DISTINCT ON (unit COLLATE \"C\") unit, image, sha256, port, "
        "host,"
        " sev = ?::integer AS first_ok, bool_or(sev = ?::integer) OVER w AS written,"
        " coalesce(min(o) FILTER (WHERE ord = o) OVER w, min(o) OVER w) AS seen"
        " FROM a WHERE unit <> '' WINDOW w AS (PARTITION BY unit COLLATE \"C\""
        " ORDER BY started NULLS LAST, ord ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED"
        " FOLLOWING) ORDER BY unit COLLATE \"C\", started NULLS LAST, ord) ";
    values.insert(values.end(), {success, success});
    // One result of rows of seven kinds (the first column), each in its order:
    // 1 the attempts by image (part 0), by port (1) and by hour (2) and outcome;
    sql +=
        "SELECT 1 AS kind, CASE WHEN GROUPING(image, sha256) = 0 THEN 0"
        " WHEN GROUPING(port, host) = 0 THEN 1 ELSE 2 END AS part,"
        " coalesce(image, port, to_char(hour, 'YYYY-MM-DD\"T\"HH24'), '') AS t1,"
        " coalesce(sha256, host) AS t2, sev, count(*) AS n1, min(ord) AS n2, NULL::bigint AS n3,"
        " NULL::float8 AS f1, NULL::float8 AS f2, NULL::text AS line FROM (SELECT *,"
        " date_trunc('hour', started AT TIME ZONE 'UTC') AS hour FROM a) h"
        " GROUP BY GROUPING SETS ((image, sha256, sev), (port, host, sev), (hour, sev))";
    // 2 the units by their first attempt's image (part 0) and port (1);
    sql +=
        " UNION ALL SELECT 2, CASE WHEN GROUPING(image, sha256) = 0 THEN 0 ELSE 1 END,"
        " coalesce(image, port), coalesce(sha256, host), NULL, count(*),"
        " count(*) FILTER (WHERE first_ok), count(*) FILTER (WHERE written), NULL, NULL, NULL"
        " FROM u GROUP BY GROUPING SETS ((image, sha256), (port, host))";
    // 3 the successful writes' seconds per tenth;
    sql +=
        " UNION ALL SELECT 3, 0, NULL, NULL, NULL, count(*), least(floor(seconds * 10), 9999)"
        "::bigint, NULL, min(seconds), max(seconds), NULL FROM a WHERE sev = ?::integer"
        " AND seconds >= 0 AND seconds < 'Infinity' GROUP BY 7";
    values.push_back(success);
    // 4 the units never written, as first seen;
    sql +=
        " UNION ALL SELECT 4, 0, unit, NULL, NULL, NULL, seen, NULL, NULL, NULL, NULL FROM u"
        " WHERE NOT written";
    // 5 the lines of the first (part 0) and the last (1) start;
    sql +=
        " UNION ALL SELECT 5, p.part, NULL, NULL, NULL, NULL, 0, NULL, NULL, NULL, q.line FROM"
        " (SELECT 0 AS part, o FROM (SELECT o FROM a WHERE started IS NOT NULL ORDER BY started,"
        " ord LIMIT 1) f UNION ALL SELECT 1, o FROM (SELECT o FROM a WHERE started IS NOT NULL"
        " ORDER BY started DESC, ord LIMIT 1) l) p JOIN quorvel_records q ON q.id = p.o";
    // 6 the attempts that were not a success, whole, as read (part 1: without a final row),
    // with whether their unit was written (sev 1);
    sql +=
        " UNION ALL SELECT 6, CASE WHEN x.ord = x.o THEN 0 ELSE 1 END, NULL, NULL,"
        " CASE WHEN x.unit <> '' AND x.unit NOT IN (SELECT unit FROM u WHERE NOT written)"
        " THEN 1 ELSE 0 END, x.o, x.ord, NULL, NULL, NULL, q.line FROM a x JOIN quorvel_records"
        " q ON q.id = x.o WHERE x.sev <> ?::integer";
    values.push_back(success);
    // 7 the rows that are no record: a final row of an outcome no word names, a started row
    // without an attempt id, an event of neither kind.
    sql +=
        " UNION ALL SELECT 7, 0, NULL, NULL, NULL, NULL, id, NULL, NULL, NULL, NULL FROM r"
        " WHERE CASE WHEN event = ?::text THEN sev IS NULL WHEN event = ?::text"
        " THEN coalesce(attempt, '') = '' ELSE true END";
    values.insert(values.end(), {text(kEndedEvent), text(kStartedEvent)});
    sql += " ORDER BY kind, part, n2";

    sums = DatabaseSums();
    return queryDatabase(
        uri, sql, values,
        [&](const QSqlQuery& q) {
            const int part = q.value(1).toInt();
            const long long n1 = q.value(5).toLongLong();
            const long long n2 = q.value(6).toLongLong();
            switch (q.value(0).toInt()) {
                case 1: {
                    const auto s = static_cast<OutcomeSeverity>(q.value(4).toInt());
                    DatabaseSums::Group g{textOf(q, 2), textOf(q, 3), s, n1, n2};
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
                default:
                    break;
            }
            return true;
        },
        kSumSeconds);
}

}  // namespace quorvel
