#include "frmkgl.h"

#include "CellDelegate.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Widgets.h"
#include "shell/Questions.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/ui/DataGrid.h"
#include "store/ui/Makers.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>

using platform::MsgBox;

frmkgl::frmkgl()
{
    setWindowTitle(QStringLiteral("课程管理窗体"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    rs_Kgl = store::dataControl(this, "rs_Kgl");

    famInf = ui::frame(central, "famInf", QString());
    dtgGlk = new store::DataGrid(famInf);
    dtgGlk->setObjectName(QStringLiteral("dtgGlk"));
    dtgGlk->setDataSource(rs_Kgl);
    QVector<store::DataGrid::ColumnSpec> columns;
    for (const char* name : { "课程名", "课程号", "学时", "学分" })
        columns.push_back({ QString::fromUtf8(name), QString::fromUtf8(name) });
    dtgGlk->setColumns(columns);
    dtgGlk->setAllowUpdate(false);
    dtgGlk->setItemDelegate(new CellDelegate(dtgGlk));

    famOption = ui::frame(central, "famOption", QString());
    cmdAdd = ui::button(famOption, "cmdAdd", QStringLiteral("添加(&A)"));
    cmdSave = ui::button(famOption, "cmdSave", QStringLiteral("保存&S)")); // no opening bracket
    cmdSave->setEnabled(false);
    cmdEdit = ui::button(famOption, "cmdEdit", QStringLiteral("修改(&E)"));
    cmdDelet = ui::button(famOption, "cmdDelet", QStringLiteral("删除(&D)"));
    cmdExit = ui::button(famOption, "cmdExit", QStringLiteral(" 取消(&Q)"));

    ui::gridAndButtons(central, famInf, dtgGlk, famOption, { cmdAdd, cmdSave, cmdEdit, cmdDelet, cmdExit });

    on(cmdAdd, &QPushButton::clicked, &frmkgl::cmdAdd_Click);
    on(cmdSave, &QPushButton::clicked, &frmkgl::cmdSave_Click);
    on(cmdEdit, &QPushButton::clicked, &frmkgl::cmdEdit_Click);
    on(cmdDelet, &QPushButton::clicked, &frmkgl::cmdDelet_Click);
    on(cmdExit, &QPushButton::clicked, &frmkgl::cmdExit_Click);
    resize(640, 460);
}

void frmkgl::Form_Load()
{
    rs_Kgl->setRecordSource(QStringLiteral("select * from 学生课程表 order by 课程号"));
    rs_Kgl->refresh();
}

void frmkgl::Form_Unload()
{
    // Only "保存&S)" writes: a course still pending when the window closes is dropped.
    rs_Kgl->cancel();
    platform::Forms::show(QStringLiteral("frmmain"));
}

void frmkgl::cmdAdd_Click()
{
    MsgBox::show(QStringLiteral("可以添加新课程信息!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    cmdSave->setEnabled(true);
    rs_Kgl->addNew();
    dtgGlk->setAllowUpdate(true);
}

void frmkgl::cmdEdit_Click()
{
    MsgBox::show(QStringLiteral("可以修改请在表格中直接修改!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    dtgGlk->setAllowUpdate(true);
    cmdSave->setEnabled(true);
}

void frmkgl::cmdSave_Click()
{
    // A course the table refuses (a course number that another course has, hours or credits
    // that are no number) is told; the row stays as typed, pending, to be corrected and saved
    // again or abandoned with " 取消(&Q)". A save whose outcome is unknown may be stored: the
    // courses are read again and the window is left as after a save, so that the user sees what
    // the table holds and nothing invites a second copy.
    try {
        rs_Kgl->update();
    } catch (const store::DbError& error) {
        reportFailure(error.text());
        if (error.kind() == store::DbError::Kind::OutcomeUnknown) {
            rs_Kgl->refreshAfter(error);
            cmdSave->setEnabled(false);
            dtgGlk->setAllowUpdate(false);
        }
        return;
    }
    MsgBox::show(QStringLiteral("保存成功!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    rs_Kgl->refresh();
    cmdSave->setEnabled(false);
    dtgGlk->setAllowUpdate(false);
}

void frmkgl::cmdDelet_Click()
{
    const bool confirmed = Questions::deleteConfirmed();
    try {
        if (confirmed)
            rs_Kgl->remove();
        else
            rs_Kgl->cancel();
        rs_Kgl->refresh();
    } catch (const store::DbError&) {
        // A deletion that fails is silent: what was pending is dropped and the courses are read again.
        rs_Kgl->cancel();
        rs_Kgl->refresh();
    }
}

void frmkgl::cmdExit_Click()
{
    if (!Questions::cancelConfirmed())
        return;
    rs_Kgl->cancel();
    rs_Kgl->refresh();
    dtgGlk->setAllowUpdate(false);
}
