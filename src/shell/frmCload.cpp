#include "frmCload.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Picture.h"
#include "platform/Program.h"
#include "platform/Widgets.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using platform::MsgBox;

frmCload::frmCload()
{
    setWindowTitle(QStringLiteral("欢迎登陆"));
    auto* background = new platform::Picture(QStringLiteral(":/pictures/welcome.svg"), false, this);
    setCentralWidget(background);

    famDs = ui::frame(background, "famDs", QStringLiteral("选择登陆身份"));
    optTeacher = ui::option(famDs, "optTeacher", QStringLiteral("教务管理人员"));
    optStudent = ui::option(famDs, "optStudent", QStringLiteral("普通学生"));
    famDs->setStyleSheet(QStringLiteral(
        "QGroupBox { background: rgba(255, 255, 255, 215); border: 1px solid #8fa6d6; border-radius: 6px;"
        " margin-top: 1.4em; padding: 10px 14px 6px 14px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 10px; padding: 0 4px;"
        " background: rgba(255, 255, 255, 215); border-radius: 3px; }"));
    auto* options = new QHBoxLayout(famDs);
    options->addWidget(optTeacher);
    options->addSpacing(24);
    options->addWidget(optStudent);

    cmdOk = ui::button(background, "cmdOk", QStringLiteral("登陆"), QStringLiteral(":/icons/login.svg"));
    cmdExit = ui::button(background, "cmdExit", QStringLiteral("退出"), QStringLiteral(":/icons/exit.svg"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addSpacing(24);
    buttons->addWidget(cmdExit);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(background);
    layout->setContentsMargins(40, 30, 40, 30);
    layout->addStretch(3);
    layout->addWidget(famDs, 0, Qt::AlignHCenter);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    layout->addStretch(1);

    setTabOrder(optTeacher, famDs);
    setTabOrder(famDs, optStudent);
    setTabOrder(optStudent, cmdOk);
    setTabOrder(cmdOk, cmdExit);
    setFixedSize(QSize(480, 300).expandedTo(minimumSizeHint())); // a small dialog over its picture

    on(cmdOk, &QPushButton::clicked, &frmCload::cmdOk_Click);
    on(cmdExit, &QPushButton::clicked, &frmCload::cmdExit_Click);
}

void frmCload::Form_Load()
{
    // The first option has the focus when the window opens, and an option that gets the focus
    // is the chosen one: the window opens with the staff identity chosen.
    optTeacher->setChecked(true);
    optTeacher->setFocus();
}

void frmCload::cmdOk_Click()
{
    if (optTeacher->isChecked()) {
        platform::Forms::unload(this);
        platform::Forms::show(QStringLiteral("frmLoad"));
    } else if (optStudent->isChecked()) {
        platform::Forms::unload(this);
        platform::Forms::show(QStringLiteral("frmsload"));
    }
}

void frmCload::cmdExit_Click()
{
    platform::Program::beep();
    if (MsgBox::show(QStringLiteral("确认退出系统吗?"), QStringLiteral("退出"), MsgBox::Icon::Question, MsgBox::Buttons::YesNo)
        == MsgBox::Answer::Yes)
        platform::Forms::unload(this);
}
