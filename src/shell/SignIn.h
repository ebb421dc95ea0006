#pragma once

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
namespace store {
class DataControl;
}

// What the staff and the student sign-in windows do alike: the check of a name and password
// with its refusals, failure count and limit, the exit question, and the layout.
namespace SignIn {

struct Attempt {
    QLineEdit* name;
    QLineEdit* password;
    store::DataControl* lookup;
    int& failures;
    QString& refusalAnswer;
};

enum class Outcome { EmptyName, Limit, NoAccount, WrongPassword, Accepted };

// Looks the trimmed name up with lookupHead + the name as a literal, and compares the trimmed
// password field of the row found with the trimmed password box. Every outcome but Accepted
// has been told to the user; Limit has ended the program; Accepted leaves the account's row
// current in the lookup.
Outcome check(Attempt& attempt, const QString& lookupHead, const QString& passwordField);

// The beep and "确认退出系统吗?"; true when answered Yes.
bool confirmExit();

// The heading above, the boxes beside the picture (none: the boxes alone), the buttons below.
void layOut(QWidget* central, QLabel* heading, QWidget* picture, QLabel* nameLabel, QLineEdit* name,
    QLabel* passwordLabel, QLineEdit* password, QPushButton* ok, QPushButton* cancel);

} // namespace SignIn
