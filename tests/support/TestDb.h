#pragma once

#include "store/Connection.h"

#include <QString>
#include <functional>
#include <memory>

class QDate;

// The database of a test run: the data source "Orlenta" in an odbc.ini of the test's own
// (ODBCSYSINI/ODBCINI), on the engine that ORLENTA_TEST_ENGINE names: a SQLite file through
// the SQLite3 ODBC driver, or a database of its own on the suite's PostgreSQL cluster. There the
// tables belong to the cluster's owner (admin() signs in as it, through "OrlentaOwner"), and the
// program signs in as an application role of the test's own, granted what `orlenta-db init
// --app-role` grants: no DDL, no changing or deleting change records.
class TestDb {
public:
    // Writes the ODBC settings and makes the database (once per process).
    static void setUp();
    // Empty tables, as `orlenta-db init` leaves them: code tables and the admin account.
    static void reset();

    static store::Engine engine();
    // PostgreSQL: the role the program signs in as; empty on SQLite.
    static QString appRole();
    static QString engineName();
    // The tables' owner's session: for making, emptying and inspecting them.
    static store::Connection& admin();
    // A session of its own on the program's data source, as another user at another workstation
    // would have.
    static std::unique_ptr<store::Connection> openAnother();

    // PostgreSQL only: the cluster's socket file, and data sources that reach the test database
    // through a proxy on 127.0.0.1 (PgProxy). Naming "Orlenta" routes the program itself through
    // it until restoreSources().
    static QString pgSocketFile();
    static void addProxySource(const QString& name, quint16 port);
    static void restoreSources();

    // Whether a stored password value is a hash (never the text) that `password` matches.
    static bool isHashOf(const QVariant& stored, const QString& password);

    static int count(const QString& tableAndCondition);
    static void exec(const QString& statement);
    static QVariant value(const QString& statement);

    // A student with what every window needs and no more: sex 男, the number as password.
    static void addStudent(const QString& number, const QString& name, int department = 1, int classCode = 1, int status = 1);
    // The score row the new-student window writes with every student: course 0, score 0, no codes.
    static void addPlaceholderScore(const QString& number, const QDate& date);
};

// The text of the DbError that `work` throws, or empty when it throws none.
QString thrownText(const std::function<void()>& work);
