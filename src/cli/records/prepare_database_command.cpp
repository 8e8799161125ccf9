// prepare-database URI: the line's database made ready for its stations and supervisors by its
// owner, or the SQL that does it printed for the database's administrator.

#include <QJsonArray>
#include <QJsonObject>

#include "command_actions.h"
#include "database_setup.h"
#include "record_database.h"

namespace quorvel::cli {

CommandResult runPrepareDatabase(const CliOptions& options, std::FILE*, std::FILE*, std::FILE*) {
    const std::string& uri = options.args.front();
    if (!isDatabaseUri(uri))
        return usageProblem("prepare-database takes a PostgreSQL URI (postgresql://USER@HOST/DB)");
    DatabaseRoles roles;
    if (!options.stationRole.empty()) roles.station = options.stationRole;
    if (!options.supervisorRole.empty()) roles.supervisor = options.supervisorRole;
    for (const auto& [option, name] :
         {std::pair{"--station-role", &roles.station}, {"--supervisor-role", &roles.supervisor}}) {
        if (const std::string problem = roleNameProblem(*name); !problem.empty())
            return usageProblem(std::string(option) + ": " + problem);
    }
    if (roles.station == roles.supervisor)
        return usageProblem("the stations and the supervisors need roles of their own");
    const std::string shown = shownDatabase(uri);
    const QStringList statements = databaseSetupStatements(roles);
    CommandResult r;
    r.result = QJsonObject{{"database", QString::fromStdString(shown)},
                           {"station_role", QString::fromStdString(roles.station)},
                           {"supervisor_role", QString::fromStdString(roles.supervisor)},
                           {"prepared", !options.printSql},
                           {"sql", QJsonArray::fromStringList(statements)}};
    if (options.printSql) {
        // Comments and statements only: the file psql runs as it is.
        r.text.push_back("-- Prepares " + shown + " for quorvel-flash: run it in that database");
        r.text.push_back("-- as its owner: psql -v ON_ERROR_STOP=1 -d DB -f THIS_FILE");
        for (const QString& statement : statements) r.text.push_back(statement.toStdString() + ";");
        return r;
    }
    if (const std::string problem = prepareDatabase(uri, roles); !problem.empty()) {
        std::string text = "cannot prepare " + shown + ": " + problem;
        // Its owner may make the table but not the roles: the administrator makes them, or
        // runs the SQL whole.
        if (problem.find("permission denied to create role") != std::string::npos) {
            text += " (the administrator makes the roles, CREATE ROLE " + roles.station +
                    "; CREATE ROLE " + roles.supervisor +
                    ", or runs what prepare-database --print-sql prints)";
        }
        return fileProblem(text);
    }
    r.text.push_back("Database: " + shown);
    r.text.push_back("Table " + std::string(kRecordTable) + " and its indexes: there");
    r.text.push_back("Role " + roles.station + ": may add record lines and read them");
    r.text.push_back("Role " + roles.supervisor + ": may read the record lines");
    r.text.push_back(
        "A role without a login gets one from the administrator: ALTER ROLE NAME "
        "LOGIN, then \\password NAME in psql.");
    return r;
}

}  // namespace quorvel::cli
