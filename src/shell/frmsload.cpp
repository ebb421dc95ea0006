#include "frmsload.h"

#include "BasVal.h"

#include "platform/Forms.h"

#include <QLineEdit>

frmsload::frmsload()
    : SignInForm({ QStringLiteral("学生登陆窗体"), QStringLiteral("学生用户登陆"), QString(), QStringLiteral("rs_Sinf"),
        QStringLiteral("select * from 学生个人信息表"), QStringLiteral("select * from 学生个人信息表 where 学号="),
        QStringLiteral("密码"), QStringLiteral("学生个人信息表") })
{
}

void frmsload::signedIn()
{
    BasVal::UserName = txtname->text().trimmed();
    platform::Forms::show(QStringLiteral("frmStudent"));
    platform::Forms::unload(this);
}
