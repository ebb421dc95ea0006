#include "frmsload.h"

#include "BasVal.h"
#include "SignIn.h"

#include "platform/Forms.h"
#include "platform/Widgets.h"
#include "store/DataControl.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmsload::frmsload()
{
    setWindowTitle(QStringLiteral("学生登陆窗体"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    txtname = ui::textBox(central, "txtname");
    txtpwd = ui::passwordBox(central, "txtpwd");
    lbsign = ui::label(central, "lbsign", QStringLiteral("学生用户登陆"));
    lbname = ui::label(central, "lbname", QStringLiteral("用户名："));
    lbpwd = ui::label(central, "lbpwd", QStringLiteral("密  码："));
    cmdok = ui::button(central, "cmdok", QStringLiteral("确定"), QStringLiteral(":/icons/ok.svg"));
    cmdcancel = ui::button(central, "cmdcancel", QStringLiteral("退出"), QStringLiteral(":/icons/exit.svg"));
    rs_Sinf = new store::DataControl(this);
    rs_Sinf->setObjectName(QStringLiteral("rs_Sinf"));

    SignIn::layOut(central, lbsign, nullptr, lbname, txtname, lbpwd, txtpwd, cmdok, cmdcancel);
    setTabOrder(txtname, txtpwd);
    setTabOrder(txtpwd, cmdok);
    setTabOrder(cmdok, cmdcancel);

    on(cmdok, &QPushButton::clicked, &frmsload::cmdok_Click);
    on(cmdcancel, &QPushButton::clicked, &frmsload::cmdcancel_Click);
    onKeyDown(txtname, &frmsload::txtname_KeyDown);
    onKeyDown(txtpwd, &frmsload::txtpwd_KeyDown);
    onKeyDown(cmdok, &frmsload::cmdok_KeyDown);
}

void frmsload::Form_Load()
{
    txtname->setFocus();
    rs_Sinf->setRecordSource(QStringLiteral("select * from 学生个人信息表"));
    rs_Sinf->refresh();
}

void frmsload::clearBoxes()
{
    txtname->clear();
    txtpwd->clear();
    txtname->setFocus();
}

void frmsload::cmdok_Click()
{
    SignIn::Attempt attempt { txtname, txtpwd, rs_Sinf, m_failures, m_refusalAnswer };
    const auto outcome = SignIn::check(attempt, QStringLiteral("select * from 学生个人信息表 where 学号="),
        QStringLiteral("密码"));
    if (outcome != SignIn::Outcome::Accepted)
        return;
    BasVal::UserName = txtname->text().trimmed();
    platform::Forms::show(QStringLiteral("frmStudent"));
    platform::Forms::unload(this);
}

void frmsload::cmdcancel_Click()
{
    if (SignIn::confirmExit())
        platform::Forms::unload(this);
    else
        clearBoxes();
}

void frmsload::txtname_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        txtpwd->setFocus();
}

void frmsload::txtpwd_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        cmdok->setFocus();
    else if (keyCode == 38)
        txtname->setFocus();
}

void frmsload::cmdok_KeyDown(int keyCode)
{
    if (keyCode == 38)
        txtpwd->setFocus();
}
