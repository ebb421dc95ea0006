#pragma once

#include <QString>

class QLineEdit;
namespace store {
class DataControl;
}

// The password change of the staff and the student windows: the new password and its
// confirmation, the question for an empty one, and the write into the current row's field.
// "密码更新成功!" is told only once the row is written; a refused write is told with the
// database's text and the row is read again. Answers whether the final write was made; the
// window then does what follows a change.
bool changePassword(QLineEdit* newPassword, QLineEdit* confirmation, store::DataControl* row, const QString& field);
