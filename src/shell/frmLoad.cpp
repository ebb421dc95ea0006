#include "frmLoad.h"

#include "BasVal.h"
#include "SignIn.h"

#include "platform/Forms.h"
#include "platform/Picture.h"
#include "platform/Widgets.h"
#include "store/DataControl.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmLoad::frmLoad()
{
    setWindowTitle(QStringLiteral("系统用户登陆窗口"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    lbsign = ui::label(central, "lbsign", QStringLiteral("系统用户登陆"));
    lbname = ui::label(central, "lbname", QStringLiteral("用户名："));
    lbpwd = ui::label(central, "lbpwd", QStringLiteral("密  码："));
    txtname = ui::textBox(central, "txtname");
    txtpwd = ui::passwordBox(central, "txtpwd");
    cmdok = ui::button(central, "cmdok", QStringLiteral("确定"), QStringLiteral(":/icons/ok.svg"));
    cmdcancel = ui::button(central, "cmdcancel", QStringLiteral("退出"), QStringLiteral(":/icons/exit.svg"));
    auto* imgsign = new platform::Picture(QStringLiteral(":/pictures/sign.svg"), true, central);
    imgsign->setObjectName(QStringLiteral("imgsign"));
    imgsign->setFixedSize(96, 96);
    adcload = new store::DataControl(this);
    adcload->setObjectName(QStringLiteral("adcload"));
    adcload->setCommandType(store::DataControl::CommandType::Unknown);

    SignIn::layOut(central, lbsign, imgsign, lbname, txtname, lbpwd, txtpwd, cmdok, cmdcancel);
    setTabOrder(txtname, txtpwd);
    setTabOrder(txtpwd, cmdok);
    setTabOrder(cmdok, cmdcancel);

    on(cmdok, &QPushButton::clicked, &frmLoad::cmdok_Click);
    on(cmdcancel, &QPushButton::clicked, &frmLoad::cmdcancel_Click);
    onKeyDown(txtname, &frmLoad::txtname_KeyDown);
    onKeyDown(txtpwd, &frmLoad::txtpwd_KeyDown);
    onKeyDown(cmdok, &frmLoad::cmdok_KeyDown);
}

void frmLoad::Form_Load()
{
    txtname->setFocus();
    adcload->setRecordSource(QStringLiteral("select * from 管理员身份认证表"));
    adcload->refresh();
}

void frmLoad::clearBoxes()
{
    txtname->clear();
    txtpwd->clear();
    txtname->setFocus();
}

void frmLoad::cmdok_Click()
{
    SignIn::Attempt attempt { txtname, txtpwd, adcload, m_failures, m_refusalAnswer };
    const auto outcome = SignIn::check(attempt, QStringLiteral("select * from 管理员身份认证表 where name="),
        QStringLiteral("pwd"));
    if (outcome != SignIn::Outcome::Accepted)
        return;
    // An account without a type signs in as an ordinary user.
    BasVal::UserStyle = adcload->field(QStringLiteral("style")).toString().trimmed();
    BasVal::UserName = txtname->text().trimmed();
    platform::Forms::show(QStringLiteral("frmmain"));
    platform::Forms::unload(this);
}

void frmLoad::cmdcancel_Click()
{
    if (SignIn::confirmExit())
        platform::Forms::unload(this);
    else
        clearBoxes();
}

void frmLoad::txtname_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        txtpwd->setFocus();
}

void frmLoad::txtpwd_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        cmdok->setFocus();
    else if (keyCode == 38)
        txtname->setFocus();
}

void frmLoad::cmdok_KeyDown(int keyCode)
{
    if (keyCode == 38)
        txtpwd->setFocus();
}
