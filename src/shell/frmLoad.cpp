#include "frmLoad.h"

#include "BasVal.h"

#include "platform/Forms.h"
#include "store/DataControl.h"

#include <QLineEdit>

frmLoad::frmLoad()
    : SignInForm({ QStringLiteral("系统用户登陆窗口"), QStringLiteral("系统用户登陆"), QStringLiteral(":/pictures/sign.svg"),
        QStringLiteral("adcload"), QStringLiteral("select * from 管理员身份认证表"),
        QStringLiteral("select * from 管理员身份认证表 where name="), QStringLiteral("pwd"),
        QStringLiteral("管理员身份认证表") })
{
    lookup->setCommandType(store::DataControl::CommandType::Unknown);
}

void frmLoad::signedIn()
{
    // An account without a type signs in as an ordinary user.
    BasVal::UserStyle = lookup->field(QStringLiteral("style")).toString().trimmed();
    BasVal::UserName = txtname->text().trimmed();
    platform::Forms::show(QStringLiteral("frmmain"));
    platform::Forms::unload(this);
}
