#pragma once

#include "Schema.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace store {

class Connection;

// Rows written in batches: one statement per few hundred rows of VALUES tuples, or on PostgreSQL
// per few thousand rows sent as one array per column (INSERT ... SELECT * FROM unnest(...)), which
// the server takes apart about as fast as COPY. Values are turned into literals of their columns'
// types (Sql::literal), so a value that does not fit its column throws DbError before anything is
// sent. flush() sends what is pending; the destructor does so too unless an exception is on its way.
class BatchInsert {
public:
    BatchInsert(Connection& db, const QString& table, const QStringList& columns, int rowsPerStatement = 500);
    ~BatchInsert() noexcept(false);
    BatchInsert(const BatchInsert&) = delete;
    BatchInsert& operator=(const BatchInsert&) = delete;

    void add(const QVector<QVariant>& values);
    void flush();
    const QString& table() const { return m_table; }
    // Rows sent so far.
    qint64 written() const { return m_written; }

private:
    Connection& m_db;
    QString m_prefix;
    QString m_table, m_columns;
    QVector<ColumnType> m_types;
    QString m_pending;
    QStringList m_arrays; // PostgreSQL: the elements of each column's array so far
    bool m_postgres = false;
    int m_rows = 0;
    int m_rowsPerStatement;
    qint64 m_written = 0;
};

} // namespace store
