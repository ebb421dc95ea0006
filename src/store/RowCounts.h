#pragma once

#include <QString>

namespace store {

class Connection;

// How many rows each table holds, kept by a PostgreSQL server as rows come and go, so that a
// window over a whole table of millions of rows gets its count without the server stepping
// through them all (a count of the score table costs it 50 ms alone, and several times that when
// thirty workstations ask at once).
//
// The table 表行数 holds parts of each table's count (表名, 行数): triggers on each table add a
// part with every statement that inserts or deletes rows (the number of rows it inserted, or
// minus those it deleted), and a count is the sum of its table's parts, exact in any snapshot
// because the parts are written in the transactions that make the change. Writers only ever add
// parts, so they never wait for each other; a reader that finds many parts for a table folds them
// into one (compact()), taking only parts no other reader is folding. An UPDATE costs nothing.
//
// A table keeps its count from the moment its triggers are made (install()), which counts it
// once. A table without them (a database restored from an older copy) is counted by the engine
// as before: every count asks the server whether the table's trigger is there.
// SQLite has none of this: it counts a table from its pages without stepping through its rows.
class RowCounts {
public:
    static const QString& table();

    // PostgreSQL: makes the table of parts and its triggers on every table of the program but
    // the change record (whose rows only ever grow, and which is read through its filters); a
    // table that has its triggers already keeps its count. Each table whose triggers are made is
    // counted under the trigger's lock, so that no write falls between the count and its first
    // part. Nothing on SQLite.
    static void install(Connection& db);

    // Whether the table of parts and its counting function are there (PostgreSQL, installed);
    // Connection::keepsRowCounts() asks once a session.
    static bool present(Connection& db);

    // The rows of `table` as the statement sees them: the sum of its parts where its triggers
    // keep them, else count(*). Only for a session that keeps row counts.
    static QString countExpression(const QString& table);
    // How many parts make up the count of `table`.
    static QString partsExpression(const QString& table);
    // Folds the parts of `table` into one; a failure is not the caller's: the parts stay.
    static void compact(Connection& db, const QString& table);
    // A count of more parts than this is folded after it is read.
    static constexpr int kCompactAbove = 64;
};

} // namespace store
