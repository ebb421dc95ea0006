#include "SignInForm.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Picture.h"
#include "platform/Program.h"
#include "platform/Widgets.h"
#include "store/ChangeLog.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Password.h"
#include "store/SignInGuard.h"
#include "store/Sql.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::MsgBox;

SignInForm::SignInForm(const Setting& setting)
    : m_setting(setting)
{
    setWindowTitle(setting.title);
    auto* central = new QWidget(this);
    setCentralWidget(central);

    lbsign = ui::label(central, "lbsign", setting.heading);
    lbname = ui::label(central, "lbname", QStringLiteral("用户名："));
    lbpwd = ui::label(central, "lbpwd", QStringLiteral("密  码："));
    txtname = ui::textBox(central, "txtname");
    txtpwd = ui::passwordBox(central, "txtpwd");
    cmdok = ui::button(central, "cmdok", QStringLiteral("确定"), QStringLiteral(":/icons/ok.svg"));
    cmdcancel = ui::button(central, "cmdcancel", QStringLiteral("退出"), QStringLiteral(":/icons/exit.svg"));
    lookup = new store::DataControl(this);
    lookup->setObjectName(setting.lookupName);

    QFont big = lbsign->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lbsign->setFont(big);
    lbsign->setAlignment(Qt::AlignCenter);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(12);
    fields->addWidget(lbname, 0, 0);
    fields->addWidget(txtname, 0, 1);
    fields->addWidget(lbpwd, 1, 0);
    fields->addWidget(txtpwd, 1, 1);
    txtname->setMinimumWidth(180);

    auto* middle = new QHBoxLayout;
    if (!setting.picture.isEmpty()) {
        auto* imgsign = new platform::Picture(setting.picture, true, central);
        imgsign->setObjectName(QStringLiteral("imgsign"));
        imgsign->setFixedSize(96, 96);
        middle->addWidget(imgsign, 0, Qt::AlignVCenter);
        middle->addSpacing(16);
    }
    middle->addLayout(fields, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdok);
    buttons->addSpacing(24);
    buttons->addWidget(cmdcancel);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(14);
    layout->addWidget(lbsign);
    layout->addLayout(middle);
    layout->addWidget(ui::line(central, "Line1"));
    layout->addLayout(buttons);

    setFixedSize(sizeHint().expandedTo(QSize(420, 0))); // a small dialog: enlarging it would only scatter it

    setTabOrder(txtname, txtpwd);
    setTabOrder(txtpwd, cmdok);
    setTabOrder(cmdok, cmdcancel);

    on(cmdok, &QPushButton::clicked, &SignInForm::cmdok_Click);
    on(cmdcancel, &QPushButton::clicked, &SignInForm::cmdcancel_Click);
    onKeyDown(txtname, &SignInForm::txtname_KeyDown);
    onKeyDown(txtpwd, &SignInForm::txtpwd_KeyDown);
    onKeyDown(cmdok, &SignInForm::cmdok_KeyDown);
}

void SignInForm::Form_Load()
{
    txtname->setFocus();
    lookup->setRecordSource(m_setting.loadStatement);
    lookup->refresh();
}

void SignInForm::clearBoxes()
{
    txtname->clear();
    txtpwd->clear();
    txtname->setFocus();
}

void SignInForm::cmdok_Click()
{
    // Blanks count as a name here; they are trimmed away only for the look-up.
    if (txtname->text().isEmpty()) {
        MsgBox::show(QStringLiteral("请把用户名和密码输全!"), QStringLiteral("提示"), MsgBox::Icon::Information);
        clearBoxes();
        return;
    }
    const QString name = txtname->text().trimmed();
    lookup->setRecordSource(m_setting.lookupHead + store::Sql::quote(name));
    lookup->refresh();
    store::Connection& db = lookup->connection();

    // The limit comes before the password is looked at: after two wrong passwords even the
    // right one ends the program.
    if (m_failures >= 2) {
        store::ChangeLog::signIn(db, m_setting.table, name, false, QStringLiteral("尝试次数超限"));
        const auto answer = MsgBox::show(QStringLiteral("您不是合法用户,请与系统管理员联系!"), QStringLiteral("抱歉"),
            MsgBox::Icon::Information);
        m_refusalAnswer = answer == MsgBox::Answer::Ok ? QStringLiteral("确定") : QString();
        platform::Program::end();
        return;
    }

    QVariant stored;
    try {
        stored = lookup->field(m_setting.passwordField); // no such account: no current row
    } catch (const store::DbError&) {
        store::ChangeLog::signIn(db, m_setting.table, name, false, store::SignInGuard::noSuchName());
        MsgBox::show(QStringLiteral("抱歉您的用户名不存在!"), QStringLiteral("抱歉"), MsgBox::Icon::Information);
        clearBoxes();
        return;
    }
    // Too many wrong passwords for this name lately, from any workstation: refused for a while,
    // whatever the password.
    if (const int seconds = store::SignInGuard::secondsRefused(db, m_setting.table, name); seconds > 0) {
        store::ChangeLog::signIn(db, m_setting.table, name, false, store::SignInGuard::refused());
        MsgBox::show(store::SignInGuard::refusalText(seconds), QStringLiteral("抱歉"), MsgBox::Icon::Information);
        clearBoxes();
        return;
    }
    // A null password matches nothing, not even an empty box.
    const QString typed = txtpwd->text().trimmed();
    if (store::Password::matches(stored, typed)) {
        store::ChangeLog::signIn(db, m_setting.table, name, true);
        store::ChangeLog::setUser(name);
        if (store::Password::needsRehash(stored))
            storeAsHash(typed);
        signedIn();
        return;
    }
    store::ChangeLog::signIn(db, m_setting.table, name, false, store::SignInGuard::wrongPassword());
    MsgBox::show(QStringLiteral("您的用户名或密码有误,请重行输入!"), QStringLiteral("错误"), MsgBox::Icon::Exclamation);
    ++m_failures;
    clearBoxes();
}

void SignInForm::storeAsHash(const QString& password)
{
    // A password still kept as typed is replaced by its hash now that it is known to be right.
    // Should that fail, the sign-in stands and the next one tries again.
    try {
        lookup->setField(m_setting.passwordField, password);
        lookup->update();
    } catch (const store::DbError&) {
        lookup->cancel();
    }
}

void SignInForm::cmdcancel_Click()
{
    platform::Program::beep();
    if (MsgBox::show(QStringLiteral("确认退出系统吗?"), QStringLiteral("退出"), MsgBox::Icon::Question, MsgBox::Buttons::YesNo)
        == MsgBox::Answer::Yes)
        platform::Forms::unload(this);
    else
        clearBoxes();
}

void SignInForm::txtname_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        txtpwd->setFocus();
}

void SignInForm::txtpwd_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 40)
        cmdok->setFocus();
    else if (keyCode == 38)
        txtname->setFocus();
}

void SignInForm::cmdok_KeyDown(int keyCode)
{
    if (keyCode == 38)
        txtpwd->setFocus();
}
