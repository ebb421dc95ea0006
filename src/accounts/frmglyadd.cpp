#include "frmglyadd.h"

#include "frmGly.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Widgets.h"
#include "store/DataControl.h"
#include "store/DbError.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::MsgBox;

frmglyadd::frmglyadd()
{
    setWindowTitle(QStringLiteral("用户添加窗口"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    famAdd = ui::frame(central, "famAdd", QStringLiteral("请输入新用户信息"));
    lblName = ui::label(famAdd, "lblName", QStringLiteral("新用户名:"));
    lblPass = ui::label(famAdd, "lblPass", QStringLiteral("新用户密码:"));
    lblStyle = ui::label(famAdd, "lblStyle", QStringLiteral("新用户类型:"));
    txtName = ui::textBox(famAdd, "txtName");
    txtPass = ui::textBox(famAdd, "txtPass"); // the password shows as typed
    cbstyle = new QComboBox(famAdd);
    cbstyle->setObjectName(QStringLiteral("cbstyle"));
    cbstyle->addItems({ QStringLiteral("系统管理员"), QStringLiteral("一般用户") });
    cbstyle->setCurrentIndex(-1);
    auto* fields = new QGridLayout(famAdd);
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(12);
    fields->addWidget(lblName, 0, 0);
    fields->addWidget(txtName, 0, 1);
    fields->addWidget(lblPass, 1, 0);
    fields->addWidget(txtPass, 1, 1);
    fields->addWidget(lblStyle, 2, 0);
    fields->addWidget(cbstyle, 2, 1);
    fields->setColumnStretch(1, 1);
    txtName->setMinimumWidth(200);

    cmdSave = ui::button(central, "cmdSave", QStringLiteral("保存(&S)"));
    cmdClear = ui::button(central, "cmdClear", QStringLiteral("重置(&C)"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addSpacing(24);
    buttons->addWidget(cmdClear);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(14);
    layout->addWidget(famAdd);
    layout->addLayout(buttons);
    layout->addStretch();

    // The frame's boxes come first, then 保存 and 重置.
    setTabOrder(txtName, txtPass);
    setTabOrder(txtPass, cbstyle);
    setTabOrder(cbstyle, cmdSave);
    setTabOrder(cmdSave, cmdClear);

    on(cmdSave, &QPushButton::clicked, &frmglyadd::cmdSave_Click);
    on(cmdClear, &QPushButton::clicked, &frmglyadd::cmdClear_Click);
    onKeyDown(txtName, &frmglyadd::txtName_KeyDown);
    onKeyDown(txtPass, &frmglyadd::txtPass_KeyDown);
}

frmGly* frmglyadd::owner() const { return platform::Forms::find<frmGly>(); }

frmGly* frmglyadd::gly() const
{
    frmGly* window = owner();
    if (!window)
        throw store::DbError(QStringLiteral("系统管理员窗口没有打开，无法添加用户。"));
    return window;
}

void frmglyadd::Form_Load() { platform::Forms::hide(owner()); }

void frmglyadd::Form_Activate() { txtName->setFocus(); }

// Abandons the pending row and begins another one for the next try.
void frmglyadd::freshRow(QWidget* focus)
{
    frmGly* window = gly();
    window->abandonPending();
    window->accounts()->addNew();
    if (focus)
        focus->setFocus();
}

void frmglyadd::cmdSave_Click()
{
    store::DataControl* rs = gly()->accounts();
    // Only ever the new row is filled in, never an account that happens to be current.
    if (rs->editMode() != store::DataControl::EditMode::Add)
        rs->addNew();
    try {
        // The empty tests look at the untrimmed texts: blanks only pass and are stored trimmed.
        if (txtName->text().isEmpty()) {
            MsgBox::show(QStringLiteral("用户名不能为空!"), QStringLiteral("错误"), MsgBox::Icon::Exclamation);
            freshRow(txtName);
            return;
        }
        rs->setField(QStringLiteral("name"), txtName->text().trimmed());
        if (txtPass->text().isEmpty()) {
            MsgBox::show(QStringLiteral("用户名密码不能为空!"), QStringLiteral("错误"), MsgBox::Icon::Exclamation);
            freshRow(txtPass);
            return;
        }
        rs->setField(QStringLiteral("pwd"), txtPass->text().trimmed());
        if (cbstyle->currentIndex() < 0) {
            MsgBox::show(QStringLiteral("用户类型不能为空!"), QStringLiteral("错误"), MsgBox::Icon::Exclamation);
            freshRow(cbstyle);
            return;
        }
        rs->setField(QStringLiteral("style"), cbstyle->currentText().trimmed());
        // The table refuses a second account of the same name; the refused row is not stored.
        rs->update();
    } catch (const store::DbError& error) {
        freshRow(nullptr);
        if (!error.isRefusal()) {
            // The server went: the account may be stored or not; saying the name is taken would
            // be a guess.
            reportFailure(error.text());
            return;
        }
        MsgBox::show(QStringLiteral("该用户名已存在,请更换一个新用户名!"), QStringLiteral("注意"), MsgBox::Icon::Information);
        cmdClear_Click();
        return;
    }
    // Stored: a failure from here on is no duplicate and is told as it is.
    frmGly* window = owner();
    rs->refresh();
    platform::Forms::unload(this);
    platform::Forms::show(window);
}

void frmglyadd::cmdClear_Click()
{
    txtName->clear();
    txtPass->clear();
    txtName->setFocus();
}

void frmglyadd::Form_Unload()
{
    frmGly* window = owner();
    if (!window)
        return;
    // The new row, unless it was stored, is abandoned.
    window->abandonPending();
    window->accounts()->refresh();
    platform::Forms::show(window);
}

void frmglyadd::txtName_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        txtPass->setFocus();
}

void frmglyadd::txtPass_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        cbstyle->setFocus();
    else if (keyCode == 38)
        txtName->setFocus();
}
