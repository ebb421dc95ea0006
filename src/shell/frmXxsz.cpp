#include "frmXxsz.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Widgets.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/SchoolSettings.h"
#include "store/ui/BoundField.h"
#include "store/ui/Makers.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::MsgBox;

frmXxsz::frmXxsz()
{
    setWindowTitle(QStringLiteral("学校信息设置"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    famXx = ui::frame(central, "famXx", QStringLiteral("成绩单上的学校信息"));
    lblXxmc = ui::label(famXx, "lblXxmc", QStringLiteral("学校名称:"));
    lblQfdw = ui::label(famXx, "lblQfdw", QStringLiteral("签发单位:"));
    txtXxmc = ui::textBox(famXx, "txtXxmc");
    txtQfdw = ui::textBox(famXx, "txtQfdw");
    txtXxmc->setMinimumWidth(txtXxmc->fontMetrics().horizontalAdvance(QChar(0x6C49)) * 18);
    lblTishi = ui::label(famXx, "lblTishi",
        QStringLiteral("学校名称印在成绩单的标题中，签发单位印在成绩单末尾的盖章处。"
                       "这些设置保存在数据库中，所有工作站打印的成绩单都相同。"));
    lblTishi->setWordWrap(true);
    auto* fields = new QGridLayout(famXx);
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(12);
    fields->addWidget(lblXxmc, 0, 0);
    fields->addWidget(txtXxmc, 0, 1);
    fields->addWidget(lblQfdw, 1, 0);
    fields->addWidget(txtQfdw, 1, 1);
    fields->addWidget(lblTishi, 2, 0, 1, 2);
    fields->setColumnStretch(1, 1);

    cmdSave = ui::button(central, "cmdSave", QStringLiteral("保存(&S)"));
    cmdClose = ui::button(central, "cmdClose", QStringLiteral("关闭(&C)"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addSpacing(24);
    buttons->addWidget(cmdClose);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(14);
    layout->addWidget(famXx);
    layout->addLayout(buttons);

    // A small dialog of a fixed size; the hint wraps within it.
    constexpr int kWidth = 560;
    lblTishi->setMinimumHeight(lblTishi->heightForWidth(kWidth * 4 / 5));
    setFixedSize(kWidth, sizeHint().height());

    rs_Xxsz = store::dataControl(this, "rs_Xxsz");
    store::BoundField::bind(txtXxmc, rs_Xxsz, QStringLiteral("学校名称"));
    store::BoundField::bind(txtQfdw, rs_Xxsz, QStringLiteral("签发单位"));

    setTabOrder(txtXxmc, txtQfdw);
    setTabOrder(txtQfdw, cmdSave);
    setTabOrder(cmdSave, cmdClose);

    on(cmdSave, &QPushButton::clicked, &frmXxsz::cmdSave_Click);
    on(cmdClose, &QPushButton::clicked, &frmXxsz::cmdClose_Click);
}

void frmXxsz::Form_Load()
{
    rs_Xxsz->setRecordSource(store::SchoolSettings::statement());
    rs_Xxsz->refresh();
    txtXxmc->setFocus();
}

void frmXxsz::Form_Unload() { platform::Forms::show(QStringLiteral("frmmain")); }

void frmXxsz::cmdSave_Click()
{
    // Stored trimmed; a refused save (a colleague changed the same setting meanwhile, the server
    // gone) is told, nothing is kept pending and the settings are read again.
    const QString school = txtXxmc->text().trimmed();
    const QString office = txtQfdw->text().trimmed();
    try {
        if (rs_Xxsz->recordCount() == 0) { // a database older than its settings row
            rs_Xxsz->addNew();
            rs_Xxsz->setField(QStringLiteral("编号"), 1);
        }
        rs_Xxsz->setField(QStringLiteral("学校名称"), school);
        rs_Xxsz->setField(QStringLiteral("签发单位"), office);
        rs_Xxsz->update();
    } catch (const store::DbError& error) {
        reportFailure(error.text());
        if (rs_Xxsz->editMode() != store::DataControl::EditMode::None)
            rs_Xxsz->cancel();
        rs_Xxsz->refreshAfter(error);
        return;
    }
    MsgBox::show(QStringLiteral("保存成功!"), QStringLiteral("成功"), MsgBox::Icon::Information);
    rs_Xxsz->refresh();
}

void frmXxsz::cmdClose_Click() { platform::Forms::unload(this); }
