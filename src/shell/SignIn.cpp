#include "SignIn.h"

#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "platform/Widgets.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::MsgBox;

namespace SignIn {

namespace {
void clearBoxes(Attempt& attempt)
{
    attempt.name->clear();
    attempt.password->clear();
    attempt.name->setFocus();
}
} // namespace

Outcome check(Attempt& attempt, const QString& lookupHead, const QString& passwordField)
{
    // Blanks count as a name here; they are trimmed away only for the look-up.
    if (attempt.name->text().isEmpty()) {
        MsgBox::show(QStringLiteral("请把用户名和密码输全!"), QStringLiteral("提示"), MsgBox::Icon::Information);
        clearBoxes(attempt);
        return Outcome::EmptyName;
    }
    attempt.lookup->setRecordSource(lookupHead + store::Sql::quote(attempt.name->text().trimmed()));
    attempt.lookup->refresh();

    // The limit comes before the password is looked at: after two wrong passwords even the
    // right one ends the program.
    if (attempt.failures >= 2) {
        const auto answer = MsgBox::show(QStringLiteral("您不是合法用户,请与系统管理员联系!"), QStringLiteral("抱歉"),
            MsgBox::Icon::Information);
        attempt.refusalAnswer = answer == MsgBox::Answer::Ok ? QStringLiteral("确定") : QString();
        platform::Program::end();
        return Outcome::Limit;
    }

    QVariant stored;
    try {
        stored = attempt.lookup->field(passwordField); // no such account: no current row
    } catch (const store::DbError&) {
        MsgBox::show(QStringLiteral("抱歉您的用户名不存在!"), QStringLiteral("抱歉"), MsgBox::Icon::Information);
        clearBoxes(attempt);
        return Outcome::NoAccount;
    }
    // A null password equals nothing, not even an empty box.
    if (!stored.isNull() && stored.toString().trimmed() == attempt.password->text().trimmed())
        return Outcome::Accepted;

    MsgBox::show(QStringLiteral("您的用户名或密码有误,请重行输入!"), QStringLiteral("错误"), MsgBox::Icon::Exclamation);
    ++attempt.failures;
    clearBoxes(attempt);
    return Outcome::WrongPassword;
}

bool confirmExit()
{
    platform::Program::beep();
    return MsgBox::show(QStringLiteral("确认退出系统吗?"), QStringLiteral("退出"), MsgBox::Icon::Question,
               MsgBox::Buttons::YesNo)
        == MsgBox::Answer::Yes;
}

void layOut(QWidget* central, QLabel* heading, QWidget* picture, QLabel* nameLabel, QLineEdit* name,
    QLabel* passwordLabel, QLineEdit* password, QPushButton* ok, QPushButton* cancel)
{
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    heading->setFont(big);
    heading->setAlignment(Qt::AlignCenter);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(12);
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(name, 0, 1);
    fields->addWidget(passwordLabel, 1, 0);
    fields->addWidget(password, 1, 1);
    name->setMinimumWidth(180);

    auto* middle = new QHBoxLayout;
    if (picture) {
        middle->addWidget(picture, 0, Qt::AlignVCenter);
        middle->addSpacing(16);
    }
    middle->addLayout(fields, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addSpacing(24);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(14);
    layout->addWidget(heading);
    layout->addLayout(middle);
    layout->addWidget(ui::line(central, "Line1"));
    layout->addLayout(buttons);
}

} // namespace SignIn
