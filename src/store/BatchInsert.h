#pragma once

#include "Schema.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace store {

class Connection;

// Rows written in batches of many VALUES tuples: one statement per few hundred rows. Values are
// turned into literals of their columns' types (Sql::literal), so a value that does not fit its
// column throws DbError before anything is sent. flush() sends what is pending; the destructor
// does so too unless an exception is on its way.
class BatchInsert {
public:
    BatchInsert(Connection& db, const QString& table, const QStringList& columns, int rowsPerStatement = 500);
    ~BatchInsert() noexcept(false);
    BatchInsert(const BatchInsert&) = delete;
    BatchInsert& operator=(const BatchInsert&) = delete;

    void add(const QVector<QVariant>& values);
    void flush();
    // Rows sent so far.
    qint64 written() const { return m_written; }

private:
    Connection& m_db;
    QString m_prefix;
    QVector<ColumnType> m_types;
    QString m_pending;
    int m_rows = 0;
    int m_rowsPerStatement;
    qint64 m_written = 0;
};

} // namespace store
