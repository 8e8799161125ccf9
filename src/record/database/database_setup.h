#pragma once
// Preparing a line's database ahead of its stations, as its owner: the record table and its
// indexes (the very statements a station runs when it finds none), a role for the stations that
// may add lines and read them, and one for the supervisors that may only read. On a server
// where ordinary roles may not create in the schema public (PostgreSQL 15 and later), a station
// can then write without being the database's owner.

#include <QStringList>
#include <string>

namespace quorvel {

struct DatabaseRoles {
    std::string station = "quorvel_station";        // adds lines and reads them
    std::string supervisor = "quorvel_supervisor";  // reads them
};

// Why `name` cannot be one of the roles (empty when it can): a role is named by 1 to 63
// letters, digits, "_" or "-", beginning with a letter or "_", and not one PostgreSQL keeps
// for itself.
std::string roleNameProblem(const std::string& name);

// The SQL that prepares the database, one statement each, in one transaction: the table and
// its indexes, the roles when missing (made without a login), their grants, and a check that
// the grants took. The roles' names must be ones roleNameProblem() takes.
QStringList databaseSetupStatements(const DatabaseRoles& roles);

// Runs those statements on the database at `uri` as the URI's user. Empty, or why not.
std::string prepareDatabase(const std::string& uri, const DatabaseRoles& roles);

}  // namespace quorvel
