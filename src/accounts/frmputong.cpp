#include "frmputong.h"

#include "shell/PasswordChange.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "platform/Widgets.h"
#include "shell/BasVal.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"
#include "store/ui/Makers.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::MsgBox;

frmputong::frmputong()
{
    setWindowTitle(QStringLiteral("普通用户管理窗口"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    famInf = ui::frame(central, "famInf", QStringLiteral("请在下面更改您的密码"));
    lblName = ui::label(famInf, "lblName", QStringLiteral("用户名:"));
    lblMm = ui::label(famInf, "lblMm", QStringLiteral("您的新密码:"));
    lblQmm = ui::label(famInf, "lblQmm", QStringLiteral("请确认新密码:"));
    txtName = ui::textBox(famInf, "txtName");
    txtName->setEnabled(false);
    txtMm = ui::passwordBox(famInf, "txtMm");
    txtXmm = ui::passwordBox(famInf, "txtXmm");
    auto* fields = new QGridLayout(famInf);
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(12);
    fields->addWidget(lblName, 0, 0);
    fields->addWidget(txtName, 0, 1);
    fields->addWidget(lblMm, 1, 0);
    fields->addWidget(txtMm, 1, 1);
    fields->addWidget(lblQmm, 2, 0);
    fields->addWidget(txtXmm, 2, 1);
    fields->setColumnStretch(1, 1);
    txtMm->setMinimumWidth(200);

    cmdNo = ui::button(central, "cmdNo", QStringLiteral("取消(&C)"));
    cmdYes = ui::button(central, "cmdYes", QStringLiteral("确认(&A)"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdYes);
    buttons->addSpacing(24);
    buttons->addWidget(cmdNo);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(14);
    layout->addWidget(famInf);
    layout->addLayout(buttons);
    layout->addStretch();

    rs_Shenfen = store::dataControl(this, "rs_Shenfen");

    setTabOrder(txtMm, txtXmm);
    setTabOrder(txtXmm, cmdYes);
    setTabOrder(cmdYes, cmdNo);

    on(cmdYes, &QPushButton::clicked, &frmputong::cmdYes_Click);
    on(cmdNo, &QPushButton::clicked, &frmputong::cmdNo_Click);
    onKeyDown(txtMm, &frmputong::txtMm_KeyDown);
    onKeyDown(txtXmm, &frmputong::txtXmm_KeyDown);
}

void frmputong::Form_Load()
{
    txtMm->setFocus();
    rs_Shenfen->setRecordSource(QStringLiteral("select * from 管理员身份认证表 order by style"));
    rs_Shenfen->refresh();
}

void frmputong::Form_Activate()
{
    txtName->setText(BasVal::UserName);
    rs_Shenfen->setRecordSource(
        QStringLiteral("select * from 管理员身份认证表 where name=") + store::Sql::quote(txtName->text().trimmed()));
    rs_Shenfen->refresh();
}

void frmputong::Form_Unload() { platform::Forms::show(QStringLiteral("frmmain")); }

void frmputong::cmdYes_Click()
{
    if (changePassword(txtMm, txtXmm, rs_Shenfen, QStringLiteral("pwd")))
        platform::Forms::unload(this);
}

void frmputong::cmdNo_Click()
{
    txtMm->clear();
    txtXmm->clear();
    txtMm->setFocus();
}

void frmputong::txtMm_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        txtXmm->setFocus();
}

void frmputong::txtXmm_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 38)
        txtMm->setFocus();
    else if (keyCode == 40)
        cmdYes->setFocus();
}
