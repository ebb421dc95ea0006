#pragma once

#include "Schema.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace store {

// Statements are texts joined from fixed pieces and values. Every value goes into a statement
// through one of the functions below, so that no typed text can end a literal early or add to
// the structure of a statement.
namespace Sql {

// A text literal: the value between single quotes, quotes inside doubled, e.g. O'Neil -> 'O''Neil'.
QString quote(const QString& value);

// A value appended without quotes ("where 学号=" + bare(x)): a plain number stays as it is,
// anything else becomes a quoted literal, so a stored text can never act as SQL.
QString bare(const QString& value);

// A value of the given column type, ready to stand in a statement (NULL for a null variant).
// Throws DbError (a Refusal) when the column's type cannot hold the value exactly: a text or a
// fraction for a whole number, a number beyond the column's range, a text that is no date.
QString literal(const QVariant& value, ColumnType type);
// The same for a value of a known column, whose refusal names the column.
QString literal(const QVariant& value, const Column& column);

// The date text of the program, year-month-day without leading zeros: 2006-5-19.
QString dateText(const QDate& date);

// The elements of a PostgreSQL array in its text form ({a,"b c","d\\"e"}); a NULL element is
// a null string.
QStringList parseArray(const QString& text);

// Reads a date text such as 2006-5-19, 2006-05-19 or 2006/5/19; invalid date if it is none.
QDate parseDate(QStringView text);

struct Token {
    enum Kind { Word, String, QuotedName, Number, Operator, Open, Close, Comma, Semicolon, Dot, Space };
    Kind kind;
    int begin;
    int length;
};

QVector<Token> tokenize(const QString& statement);

// How the store sees a select statement: the part before a trailing ORDER BY, the order terms,
// whether it reads one known table with all its columns (and so can be written back), and
// whether it can be read page by page.
struct SelectShape {
    bool isSelect = false;
    bool pageable = false;   // no LIMIT/OFFSET/FETCH/FOR of its own
    QString head;            // the statement without its trailing ORDER BY
    QStringList orderTerms;  // the terms of that ORDER BY, as written
    // Set for "select * from <table> [alias] [where ...]" over one known table, and for the same
    // with joins of further tables on their own keys ("join B as b on a.x=b.<key of B>"): every
    // row of the result is then one row of this table, told apart by its key.
    const Table* table = nullptr;
    QString alias;           // the table's alias, empty when it has none
    bool joined = false;     // other tables are joined to it
    QString from;            // what follows FROM: the table, its alias and the joins
    QString where;           // the condition after WHERE, empty when there is none
};

SelectShape analyse(const QString& statement);

// The statement with its ORDER BY terms reversed (ASC <-> DESC, NULLS FIRST <-> NULLS LAST).
QStringList reversedTerms(const QStringList& terms);

// Adapts a statement to the engine: a bare number compared with a text column is quoted
// (PostgreSQL refuses text = integer; SQLite would drop leading zeros), and on SQLite date texts
// compared with a date column are written as stored (2006-5-19 -> 2006-05-19).
// Throws DbError for more than one statement in one text.
QString adapt(const QString& statement, Engine engine);

} // namespace Sql
} // namespace store
