#include "frmputong.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "platform/Widgets.h"
#include "shell/BasVal.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"

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

    rs_Shenfen = new store::DataControl(this);
    rs_Shenfen->setObjectName(QStringLiteral("rs_Shenfen"));

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

// Writes the password into the account and reads it again. A refused write (the account gone
// or changed by another user meanwhile) is told with the database's text and nothing is kept.
bool frmputong::storePassword(const QString& password)
{
    try {
        rs_Shenfen->setField(QStringLiteral("pwd"), password);
        rs_Shenfen->update();
        rs_Shenfen->refresh();
        return true;
    } catch (const store::DbError& error) {
        reportFailure(error.text());
        rs_Shenfen->cancel();
        rs_Shenfen->refresh();
        return false;
    }
}

void frmputong::cmdYes_Click()
{
    // The empty test looks at the untrimmed text: blanks only are stored as the empty text.
    if (txtMm->text().isEmpty()) {
        platform::Program::beep();
        const auto answer = MsgBox::show(QStringLiteral("确实不添加密码吗?"), QStringLiteral("询问"),
            MsgBox::Icon::Question, MsgBox::Buttons::YesNo);
        if (answer != MsgBox::Answer::Yes) {
            txtMm->setFocus();
            return;
        }
        if (!storePassword(txtMm->text().trimmed()))
            return;
        MsgBox::show(QStringLiteral("密码更新成功!"), QStringLiteral("更新完成"), MsgBox::Icon::Information);
    }
    // Compared exactly, blanks included.
    if (txtXmm->text() != txtMm->text()) {
        MsgBox::show(QStringLiteral("两次密码输入不符请确认!"), QStringLiteral("注意"), MsgBox::Icon::Information);
        txtMm->clear();
        txtXmm->clear();
        txtMm->setFocus();
        return;
    }
    if (!storePassword(txtMm->text().trimmed()))
        return;
    MsgBox::show(QStringLiteral("密码更新成功!"), QStringLiteral("更新完成"), MsgBox::Icon::Information);
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
