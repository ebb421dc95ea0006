#include "frmAbout.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Picture.h"
#include "platform/SystemInfo.h"
#include "platform/Widgets.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmAbout::frmAbout()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* picture = new platform::Picture(QStringLiteral(":/icons/app.svg"), true, central);
    picture->setFixedSize(64, 64);
    lblTitle = ui::label(central, "lblTitle", QString());
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = ui::label(central, "lblVersion", QString());
    Label1 = ui::label(central, "Label1", QStringLiteral("后台开发:SQL Sever 2000"));
    lblDescription = ui::label(central, "lblDescription", QStringLiteral("前台开发:C++ 20 与 Qt 6"));
    cmdOK = ui::button(central, "cmdOK", QStringLiteral("确定"));
    cmdSysInfo = ui::button(central, "cmdSysInfo", QStringLiteral("系统信息(&S)..."));

    auto* text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addSpacing(8);
    text->addWidget(Label1);
    text->addWidget(lblDescription);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(16);
    top->addLayout(text, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->addLayout(top);
    layout->addWidget(ui::line(central, "Line1"));
    layout->addLayout(bottom);
    setFixedSize(sizeHint().expandedTo(QSize(400, 230)));

    on(cmdOK, &QPushButton::clicked, &frmAbout::cmdOK_Click);
    on(cmdSysInfo, &QPushButton::clicked, &frmAbout::cmdSysInfo_Click);
}

void frmAbout::Form_Load()
{
    const QString title = QStringLiteral("Orlenta");
    setWindowTitle(QStringLiteral("关于 ") + title);
    lblVersion->setText(QStringLiteral("版本 %1.%2.%3").arg(ORLENTA_MAJOR).arg(ORLENTA_MINOR).arg(ORLENTA_REVISION));
    lblTitle->setText(title);
}

void frmAbout::cmdOK_Click() { platform::Forms::unload(this); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::StartSysInfo()
{
    const QString viewer = platform::SystemInfo::viewerPath();
    if (viewer.isEmpty() || !platform::SystemInfo::start(viewer))
        platform::MsgBox::show(QStringLiteral("此时系统信息不可用"));
}
