#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace store {

enum class Engine { SQLite, PostgreSQL };

// What a column holds, as the program reads and writes it.
enum class ColumnType { Text, SmallInt, Integer, Real, Date };

struct Column {
    QString name;
    ColumnType type;
    bool notNull = false;
};

struct Table {
    QString name;
    QVector<Column> columns;
    QString key;          // the column that tells rows apart
    bool identity = false; // the key is numbered by the database
    QStringList unique;   // columns the database keeps unique besides the key
    QVector<QStringList> indexes;

    const Column* column(const QString& name) const;
};

// The tables of the system's database, with keys and indexes. Statement rewriting, value
// conversion and the DDL of both engines are driven from this one description.
class Schema {
public:
    static const QVector<Table>& tables();
    static const Table* table(const QString& name);

    // Column names are typed alike in every table that has them, so a name alone says
    // how a value compared with it must be written.
    static std::optional<ColumnType> typeOfColumn(const QString& name);

    static QStringList createStatements(Engine engine);
    // The statements of one table: the table, its indexes, and what guards it.
    static QStringList createStatements(Engine engine, const Table& table);
};

} // namespace store
