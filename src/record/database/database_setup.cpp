#include "database_setup.h"

#include <QRegularExpression>

#include "record_database.h"

namespace quorvel {
namespace {

// The name as an SQL identifier: in double quotes, any double quote doubled.
QString identifier(const std::string& name) {
    return "\"" + QString::fromStdString(name).replace("\"", "\"\"") + "\"";
}

// The text as an SQL string: in single quotes, any single quote doubled.
QString literal(const std::string& text) {
    return "'" + QString::fromStdString(text).replace("'", "''") + "'";
}

// Makes the role unless it is there: a role another database's set-up made, or that the
// administrator made with its login, is taken as it is.
QString roleStatement(const std::string& role) {
    return "DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = " + literal(role) +
           ") THEN CREATE ROLE " + identifier(role) + " NOLOGIN; END IF; END $$";
}

}  // namespace

std::string roleNameProblem(const std::string& name) {
    const std::string shown = "'" + name.substr(0, 64) + (name.size() > 64 ? "...'" : "'");
    if (name.empty() || name.size() > 63) return "a role is named by 1 to 63 characters";
    const QString role = QString::fromStdString(name);
    static const QRegularExpression kName(
        QRegularExpression::anchoredPattern("[A-Za-z_][A-Za-z0-9_-]*"));
    if (!kName.match(role).hasMatch()) {
        return "a role is named by letters, digits, _ and -, beginning with a letter or _, not " +
               shown;
    }
    // PostgreSQL keeps these for itself: pg_ roles are its own, the rest are words of its
    // grammar where a role name stands.
    const QString lower = role.toLower();
    if (lower.startsWith("pg_") ||
        QStringList{"public", "none", "current_user", "session_user", "current_role"}.contains(
            lower))
        return "PostgreSQL keeps the role name " + shown + " for itself";
    return {};
}

QStringList databaseSetupStatements(const DatabaseRoles& roles) {
    const QString table = kRecordTable;
    const QString station = identifier(roles.station);
    const QString supervisor = identifier(roles.supervisor);
    // The stations add rows (their ids drawn from the table's sequence) and read them (is this
    // unit written?); the advisory lock a station takes when it makes the table is everyone's
    // by default. The supervisors read. Both reach the table through its schema.
    return QStringList{"BEGIN"} + recordTableStatements() +
           QStringList{
               roleStatement(roles.station), roleStatement(roles.supervisor),
               "GRANT USAGE ON SCHEMA " + identifier("public") + " TO " + station + ", " +
                   supervisor,
               "GRANT SELECT, INSERT ON " + table + " TO " + station,
               "GRANT USAGE ON SEQUENCE " + table + "_id_seq TO " + station,
               "GRANT SELECT ON " + table + " TO " + supervisor,
               "GRANT SELECT ON quorvel_attempts TO " + station + ", " + supervisor,
               // A GRANT by a role that does not own the table only warns: said here, and nothing
               // of the set-up is kept.
               "DO $$ BEGIN IF NOT (has_table_privilege(" + literal(roles.station) + ", " +
                   literal(kRecordTable) + ", 'INSERT') AND has_table_privilege(" +
                   literal(roles.supervisor) + ", " + literal(kRecordTable) +
                   ", 'SELECT')) THEN RAISE EXCEPTION 'the grants did not take: % does not own " +
                   table + "', current_user; END IF; END $$",
               "COMMIT"};
}

std::string prepareDatabase(const std::string& uri, const DatabaseRoles& roles) {
    // Filling the table of attempts from a big table takes longer than any write may wait.
    return runOnDatabase(
        uri, QStringList{"SET client_min_messages TO warning", "SET statement_timeout = '10min'"} +
                 databaseSetupStatements(roles));
}

}  // namespace quorvel
