#pragma once

#include "Schema.h"

#include <QString>
#include <QStringList>

namespace store {

// The statement of the user-defined query: a table offered in 全表名, one of that table's own
// fields, a comparison and a keyword, made into one statement. Whatever the column's type and
// the engine, a comparison matches the same rows:
// - "like" finds the keyword as a piece of the text that the program shows for the value
//   (a number as 85 or 85.5, a date as 2006-5-19), case and every character as typed: % _ \ * ?
//   and [ are searched for as themselves.
// - "<", ">" and "=" compare with the quoted keyword as the column's type compares; a keyword
//   that is not of that type (a word for a number column, "2006" for a date) is refused with a
//   message rather than compared as text.
// The staff accounts and the change record are never offered, nor can any name that is not in
// the lists reach a statement. Every refusal throws DbError with a text ready for the user.
namespace UserQuery {

// The comparisons offered, in this order: "like", "<", ">", "=".
const QStringList& comparisons();

// The rows of 全表名 that may be offered: every one but the staff accounts and the change record.
QString tableListStatement();

// Whether a name of the table list may be read here: one plain table name, not the staff accounts
// nor the change record.
bool isOffered(const QString& table);

// "select * from " + the table, whose fields are the table's own. Throws DbError when the name
// is not one of `offered` (the names the table list shows) or may not be read.
QString fieldListStatement(const QString& table, const QStringList& offered);

struct Choice {
    QStringList offered; // the names the table list shows
    QString table;       // the table chosen, as its list shows it
    QStringList fields;  // that table's own fields
    QString field;       // empty when none is chosen
    QString comparison;  // empty when none is chosen
    QString keyword;
};

// The statement for a choice: "select * from T", "select * from T where F='k'" with a field and
// no comparison, "... where F like '%k%'" (on SQLite "instr(F, 'k') > 0", its case-exact form), or
// "... where F < 'k'" and the like; the table, field and keyword trimmed.
QString statement(const Choice& choice, Engine engine);

} // namespace UserQuery
} // namespace store
