#pragma once

#include "DbError.h"
#include "Schema.h"

#include <QString>
#include <optional>

namespace store {

// A value the database or the store refuses, told in Chinese by its kind and naming the column,
// with the database's own words (where there are any) as the detail, so that the same refusal
// reads alike on both engines. Windows that have a text of their own for a refusal tell that one
// instead; they see the same DbError::Kind::Refused.
class Refusal {
public:
    enum class Kind {
        Exists,     // the column keeps its values unique, and this one is taken
        Missing,    // the column needs a value
        WrongType,  // the value is not of the column's type (or not exactly: 2.5 for a whole number)
        OutOfRange, // the value is of the type, but beyond what the column allows
    };

    // `column` may be empty when nobody knows it; `type` says what the column takes.
    static DbError of(Kind kind, const QString& column, std::optional<ColumnType> type = std::nullopt,
        const QString& detail = QString());

    // A failure in the database's own words (`code`: its SQLSTATE, or SQLite's result code, where
    // known): told by kind where it is one of the kinds above, as it is otherwise.
    static DbError fromDatabase(const QString& text, const QString& code = QString());
};

} // namespace store
