#include "BatchInsert.h"

#include "Connection.h"
#include "DbError.h"
#include "Sql.h"

#include <exception>

namespace store {

namespace {

QString arrayType(ColumnType type)
{
    switch (type) {
    case ColumnType::Text: return QStringLiteral("text[]");
    case ColumnType::SmallInt: return QStringLiteral("smallint[]");
    case ColumnType::Integer: return QStringLiteral("integer[]");
    case ColumnType::Real: return QStringLiteral("double precision[]");
    case ColumnType::Date: return QStringLiteral("date[]");
    }
    return QStringLiteral("text[]");
}

// An element of an array's text form, from the SQL literal of the value: NULL, or the value in
// double quotes with backslashes and double quotes escaped.
void appendElement(QString& array, const QString& literal)
{
    if (!array.isEmpty())
        array += u',';
    if (literal == QLatin1String("NULL")) {
        array += QLatin1String("NULL");
        return;
    }
    QString value = literal;
    if (value.startsWith(u'\''))
        value = value.mid(1, value.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    array += u'"';
    for (QChar c : std::as_const(value)) {
        if (c == u'"' || c == u'\\')
            array += u'\\';
        array += c;
    }
    array += u'"';
}

} // namespace

BatchInsert::BatchInsert(Connection& db, const QString& table, const QStringList& columns, int rowsPerStatement)
    : m_db(db)
    , m_prefix(QString("INSERT INTO %1 (%2) VALUES ").arg(table, columns.join(", ")))
    , m_table(table)
    , m_columns(columns.join(", "))
    , m_postgres(db.engine() == Engine::PostgreSQL)
    , m_rowsPerStatement(m_postgres ? rowsPerStatement * 10 : rowsPerStatement)
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
    if (m_postgres) {
        QStringList literals;
        for (int i = 0; i < m_types.size(); ++i)
            literals << Sql::literal(values.value(i), m_types[i]); // every one checked before any is kept
        if (m_arrays.isEmpty())
            m_arrays = QStringList(m_types.size(), QString());
        for (int i = 0; i < m_types.size(); ++i)
            appendElement(m_arrays[i], literals[i]);
        if (++m_rows >= m_rowsPerStatement)
            flush();
        return;
    }
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
    QString statement;
    if (m_postgres) {
        QStringList arrays;
        for (int i = 0; i < m_types.size(); ++i)
            arrays << Sql::quote(u'{' + m_arrays[i] + u'}') + QStringLiteral("::") + arrayType(m_types[i]);
        statement = QStringLiteral("INSERT INTO %1 (%2) SELECT * FROM unnest(%3)").arg(m_table, m_columns, arrays.join(", "));
        m_arrays.clear();
    } else {
        statement = m_prefix + m_pending;
        m_pending.clear();
    }
    const int rows = m_rows;
    m_rows = 0;
    m_db.execute(statement);
    m_written += rows;
}

} // namespace store
