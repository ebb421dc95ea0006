#pragma once

#include <QString>
#include <functional>

namespace store {

class Connection;

// Creating a database for the program and filling it with demonstration data.
class Setup {
public:
    // Whether the program's tables are there already.
    static bool hasSchema(Connection& connection);

    // Every table with its keys and indexes, the code tables, the tables offered by the
    // user-defined query, and a first system administrator (admin / admin, its password hashed),
    // in one transaction; the change record says what was made, one record per table.
    static void init(Connection& connection);

    // The tables of the schema that a database made by an older version lacks (the change
    // record, say), with their indexes; answers their names.
    static QStringList addMissingTables(Connection& connection);
    // The indexes of the schema that a database made by an older version lacks.
    static void addMissingIndexes(Connection& connection);
    // Both of the above, and the settings row an older database lacks; answers the tables added.
    static QStringList addMissing(Connection& connection);

    // PostgreSQL: lets the role `role` (made, able to sign in, when it does not exist) do what the
    // program does and no more: read and write the rows of the working tables, read the list of
    // tables the user-defined query offers, read and add change records; no changing or deleting
    // of records, no DDL. The tables stay owned by the role connected. Run again after tables
    // were added. Throws DbError on SQLite, which has no roles, and for a name that is not a plain
    // identifier.
    static void grantAppRole(Connection& connection, const QString& role);

    // Realistic data for the given number of students: classes, courses, about twenty scores
    // per student over several terms, awards, punishments and status changes, and the
    // placeholder rows every student entered by the program has. Progress goes to `say`.
    static void fillDemo(Connection& connection, int students, const std::function<void(const QString&)>& say = {});

    static int count(Connection& connection, const QString& table);
};

} // namespace store
