#include "PasswordChange.h"

#include "platform/Form.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "store/DataControl.h"
#include "store/DbError.h"

#include <QLineEdit>

using platform::MsgBox;

namespace {

bool write(QLineEdit* newPassword, store::DataControl* row, const QString& field)
{
    try {
        // A read the server could not answer (it was down) left the account unread: it is read
        // again first.
        if (!row->isOpen())
            row->refresh();
        row->setField(field, newPassword->text().trimmed());
        row->update();
    } catch (const store::DbError& error) {
        platform::Form::reportFailure(error.text());
        row->cancel();
        row->refreshAfter(error);
        return false;
    }
    row->refresh();
    MsgBox::show(QStringLiteral("密码更新成功!"), QStringLiteral("更新完成"), MsgBox::Icon::Information);
    return true;
}

} // namespace

bool changePassword(QLineEdit* newPassword, QLineEdit* confirmation, store::DataControl* row, const QString& field)
{
    // The empty test looks at the untrimmed text: blanks only are stored as the empty text.
    if (newPassword->text().isEmpty()) {
        platform::Program::beep();
        if (MsgBox::show(QStringLiteral("确实不添加密码吗?"), QStringLiteral("询问"), MsgBox::Icon::Question,
                MsgBox::Buttons::YesNo)
            != MsgBox::Answer::Yes) {
            newPassword->setFocus();
            return false;
        }
        if (!write(newPassword, row, field))
            return false;
    }
    // Compared as typed: a trailing blank in one box only is a mismatch.
    if (confirmation->text() != newPassword->text()) {
        MsgBox::show(QStringLiteral("两次密码输入不符请确认!"), QStringLiteral("注意"), MsgBox::Icon::Information);
        newPassword->clear();
        confirmation->clear();
        newPassword->setFocus();
        return false;
    }
    return write(newPassword, row, field);
}
