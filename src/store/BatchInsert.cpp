#include "BatchInsert.h"

#include "Connection.h"
#include "DbError.h"
#include "Sql.h"

#include <exception>

namespace store {

BatchInsert::BatchInsert(Connection& db, const QString& table, const QStringList& columns, int rowsPerStatement)
    : m_db(db)
    , m_prefix(QString("INSERT INTO %1 (%2) VALUES ").arg(table, columns.join(", ")))
    , m_rowsPerStatement(rowsPerStatement)
{
    const Table* t = Schema::table(table);
    if (!t)
        throw DbError(QStringLiteral("没有表 %1").arg(table));
    for (const QString& c : columns) {
        const Column* column = t->column(c);
        if (!column)
            throw DbError(QStringLiteral("表 %1 没有列 %2").arg(table, c));
        m_types << column->type;
    }
}

BatchInsert::~BatchInsert() noexcept(false)
{
    if (std::uncaught_exceptions() == 0)
        flush();
}

void BatchInsert::add(const QVector<QVariant>& values)
{
    m_pending += m_rows == 0 ? QStringLiteral("(") : QStringLiteral(", (");
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            m_pending += QStringLiteral(", ");
        m_pending += Sql::literal(values[i], m_types.value(i, ColumnType::Text));
    }
    m_pending += u')';
    if (++m_rows >= m_rowsPerStatement)
        flush();
}

void BatchInsert::flush()
{
    if (m_rows == 0)
        return;
    const QString statement = m_prefix + m_pending;
    m_pending.clear();
    const int rows = m_rows;
    m_rows = 0;
    m_db.execute(statement);
    m_written += rows;
}

} // namespace store
