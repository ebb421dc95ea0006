#include "frmXjgl.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Widgets.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"
#include "store/ui/Makers.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using platform::MsgBox;
using store::DataControl;
using store::datePicker;
namespace Sql = store::Sql;

namespace {

const QString kChanges
    = QStringLiteral("select * from 学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码 ");
const QString kNothing = QStringLiteral("抱歉当前没有有效记录!");

} // namespace

frmXjgl::frmXjgl()
{
    setWindowTitle(QStringLiteral("学生学籍查询窗体"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    ui::paint(this, ui::kFormBlue);
    ui::paint(central, ui::kFormBlue);

    rs_Xueji = store::dataControl(this, "rs_Xueji");

    famInf = ui::frame(central, "famInf", QStringLiteral("请选择查询项目、查询条件"));
    optDate = ui::option(famInf, "optDate", QStringLiteral("所查日期范围:"));
    dpkFd = datePicker(famInf, "dpkFd");
    dpkTd = datePicker(famInf, "dpkTd");
    optXh = ui::option(famInf, "optXh", QStringLiteral("所查学生学号:"));
    txtXh = ui::textBox(famInf, "txtXh");
    ui::lock(txtXh, true);
    cmdFind = ui::button(famInf, "cmdFind", QStringLiteral("查询(&F)"));
    ui::paint(cmdFind, ui::kButtonGreen);
    auto* criteria = new QGridLayout(famInf);
    criteria->addWidget(optDate, 0, 0);
    criteria->addWidget(ui::label(famInf, "lblF", QStringLiteral("从")), 0, 1, Qt::AlignRight);
    criteria->addWidget(dpkFd, 0, 2);
    criteria->addWidget(ui::label(famInf, "lblT", QStringLiteral("到")), 0, 3, Qt::AlignRight);
    criteria->addWidget(dpkTd, 0, 4);
    criteria->addWidget(optXh, 1, 0);
    criteria->addWidget(txtXh, 1, 2, 1, 3);
    criteria->addWidget(cmdFind, 0, 5, 2, 1, Qt::AlignVCenter);
    criteria->setColumnStretch(2, 1);
    criteria->setColumnStretch(4, 1);

    lblts1 = ui::label(central, "lblts1", QStringLiteral("<>编辑信息时可直接在下表修改"), ui::kRequiredRed);

    famInfor = ui::frame(central, "famInfor", QString());
    QLabel* caption = ui::label(famInfor, "lblXjCaption", QStringLiteral("学生学籍情况"));
    caption->setAlignment(Qt::AlignCenter);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    dgdXj = new store::DataGrid(famInfor);
    dgdXj->setObjectName(QStringLiteral("dgdXj"));
    dgdXj->setDataSource(rs_Xueji);
    dgdXj->setColumns({ { QStringLiteral("学号"), QStringLiteral("学号") }, { QStringLiteral("学籍情况"), QStringLiteral("全称") },
        { QStringLiteral("记录时间"), QStringLiteral("记录时间") } });
    // A change is corrected in place; the status's full name belongs to the code table, and
    // writing it would rename the status for every student.
    dgdXj->setAllowUpdate(true);
    dgdXj->setLockedFields({ QStringLiteral("全称"), QStringLiteral("代码") });
    auto* grid = new QVBoxLayout(famInfor);
    grid->addWidget(caption);
    grid->addWidget(dgdXj, 1);

    for (QWidget* f : std::initializer_list<QWidget*> { famInf, famInfor })
        ui::paint(f, ui::kFormBlue);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(famInf);
    layout->addWidget(lblts1);
    layout->addWidget(famInfor, 1);
    resize(640, 560);

    onChosen(optDate, &frmXjgl::optDate_Click);
    onChosen(optXh, &frmXjgl::optXh_Click);
    on(cmdFind, &QPushButton::clicked, &frmXjgl::cmdFind_Click);
}

void frmXjgl::Form_Load()
{
    rs_Xueji->setRecordSource(kChanges + QStringLiteral("order by a.学号"));
    rs_Xueji->refresh();
}

void frmXjgl::Form_Activate()
{
    dpkFd->setValue(QDate::currentDate());
    dpkTd->setValue(QDate::currentDate());
}

void frmXjgl::Form_Unload()
{
    // A cell edited in the grid is written when the user leaves its row; closing the window
    // writes it too, rather than dropping it with the rows.
    dgdXj->writePending();
    platform::Forms::show(QStringLiteral("frmmain"));
}

void frmXjgl::optDate_Click()
{
    dpkFd->setEnabled(true);
    dpkTd->setEnabled(true);
    txtXh->clear();
    ui::lock(txtXh, true);
}

void frmXjgl::optXh_Click()
{
    txtXh->setFocus();
    dpkFd->setValue(QDate::currentDate());
    dpkTd->setValue(QDate::currentDate());
    dpkFd->setEnabled(false);
    dpkTd->setEnabled(false);
    ui::lock(txtXh, false);
}

void frmXjgl::cmdFind_Click()
{
    // So does a search. When the server could not be asked, that has been told, and the search
    // would only tell it again.
    if (!dgdXj->writePending())
        return;
    if (optDate->isChecked()) {
        // Both ends are whole days and belong to the range.
        rs_Xueji->setRecordSource(kChanges + QStringLiteral("where 记录时间 between ")
            + Sql::quote(Sql::dateText(dpkFd->value())) + QStringLiteral(" and ")
            + Sql::quote(Sql::dateText(dpkTd->value())) + QStringLiteral("order by a.学号 "));
        rs_Xueji->refresh();
        if (rs_Xueji->recordCount() == 0)
            MsgBox::show(kNothing, QStringLiteral("抱歉"), MsgBox::Icon::Information);
    } else if (optXh->isChecked()) {
        rs_Xueji->setRecordSource(
            kChanges + QStringLiteral("where 学号=") + Sql::quote(txtXh->text().trimmed()) + QStringLiteral("order by a.学号"));
        rs_Xueji->refresh();
        if (rs_Xueji->recordCount() == 0) {
            MsgBox::show(kNothing, QStringLiteral("抱歉"), MsgBox::Icon::Information);
            txtXh->clear();
            txtXh->setFocus();
        }
    }
}
