#pragma once

#include <QString>

class QComboBox;
class QLineEdit;
namespace store {
class Connection;
class DataControl;
}

// What the student windows share: the code look-up by full name, the texts that explain a
// refused save, and the boxes that keep whatever is typed.
namespace StudentCodes {

// Gives `rs` the statement `statementHead` + the full name as a literal, refreshes it and
// answers the code in `codeField` of the row found, as the 16-bit whole number it is stored as.
// A full name that matches no row throws store::DbError with `missing`, a message that names
// the list to choose from.
int lookUp(store::DataControl* rs, const QString& statementHead, const QString& fullName, const QString& codeField,
    const QString& missing);

// "请在“所属学院”列表中选择学院!" and the like.
QString chooseFrom(const QString& list, const QString& what);

// Whether a student with this number is stored already (asked after the table refused a row,
// to tell the user why).
bool numberTaken(store::Connection& connection, const QString& number);

// The message for a refused student number.
QString numberTakenText(const QString& number);

// What the windows add to the database's own text when a save stored nothing.
QString notSaved(const QString& reason);

} // namespace StudentCodes
