#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>

namespace imports {

// What a cell of a file says, read as the field it is taken for.
namespace CellValue {

// The cell as text, trimmed: a whole number without a decimal point (a student number or a
// telephone number that a spreadsheet keeps as a number), a date as 2006-5-19.
QString text(const QVariant& cell);

// The cell as a date: a date cell, or a text such as 2006-5-19, 2006/05/19, 2006.5.19,
// 2006年5月19日 or 20060519. Nothing for anything else (a date that does not exist included).
std::optional<QDate> date(const QVariant& cell);

// The cell as a number: a number cell, or a text that is one (85, 85.5, ８５). Nothing otherwise.
std::optional<double> number(const QVariant& cell);

} // namespace CellValue
} // namespace imports
