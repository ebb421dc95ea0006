#pragma once

#include "store/Connection.h"

#include <QString>
#include <memory>

class QDate;

// The database of a test run: the data source "Orlenta" in an odbc.ini of the test's own
// (ODBCSYSINI/ODBCINI), on the engine that ORLENTA_TEST_ENGINE names: a SQLite file through
// the SQLite3 ODBC driver, or a database of its own on the suite's PostgreSQL cluster.
class TestDb {
public:
    // Writes the ODBC settings and makes the database (once per process).
    static void setUp();
    // Empty tables, as `orlenta-db init` leaves them: code tables and the admin account.
    static void reset();

    static store::Engine engine();
    static QString engineName();
    // A session of its own, as another user at another workstation would have.
    static store::Connection& admin();
    static std::unique_ptr<store::Connection> openAnother();

    // PostgreSQL only: the cluster's socket file, and data sources that reach the test database
    // through a proxy on 127.0.0.1 (PgProxy). Naming "Orlenta" routes the program itself through
    // it until restoreSources().
    static QString pgSocketFile();
    static void addProxySource(const QString& name, quint16 port);
    static void restoreSources();

    static int count(const QString& tableAndCondition);
    static void exec(const QString& statement);
    static QVariant value(const QString& statement);

    // A student with what every window needs and no more: sex 男, the number as password.
    static void addStudent(const QString& number, const QString& name, int department = 1, int classCode = 1, int status = 1);
    // The score row the new-student window writes with every student: course 0, score 0, no codes.
    static void addPlaceholderScore(const QString& number, const QDate& date);
};
