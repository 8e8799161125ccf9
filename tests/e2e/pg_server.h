#pragma once
// A PostgreSQL server of the test's own, from the system's postgresql package: a fresh cluster
// in a temporary folder, reached only through a unix socket in that folder, with a password.
// The server refuses to run as root, so a test run as root runs it as nobody.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class PgServer {
  public:
    static constexpr const char* kUser = "quorvel";
    static constexpr const char* kPassword = "line-secret";

    // Makes the cluster and starts the server; problem() says why when it could not.
    PgServer();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Why there is no server: empty while there is one. installed() is false when the
    // postgresql package is missing altogether.
    const QString& problem() const { return problem_; }
    bool installed() const { return !bin_.isEmpty(); }

    bool start();
    bool stop();

    // The folder of the server's unix socket, and the path of one of its client programs
    // (psql, createuser, createdb).
    QString folder() const { return dir_.path(); }
    QString program(const QString& name) const { return bin_ + "/" + name; }

    // postgresql://quorvel:PASSWORD@/DB?host=FOLDER
    QString uri(const QString& database, const QString& password = kPassword) const;
    bool createDatabase(const QString& name);
    // The `line` of every row of the records table in `database`, in the order stored.
    QStringList lines(const QString& database);
    // Runs one statement in `database` as its owner; false when it failed.
    bool exec(const QString& database, const QString& sql);

  private:
    bool runAsOwner(const QStringList& command);

    QTemporaryDir dir_;
    QString bin_;
    QString problem_;
    bool running_ = false;
};
