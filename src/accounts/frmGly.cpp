#include "frmGly.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Widgets.h"
#include "shell/Questions.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Schema.h"
#include "store/ui/DataGrid.h"
#include "store/ui/Makers.h"

#include <QGroupBox>
#include <QPushButton>

using platform::MsgBox;

namespace {
const QString kAccounts = QStringLiteral("管理员身份认证表");
}

frmGly::frmGly()
{
    setWindowTitle(QStringLiteral("系统管理员窗口"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    rs_gly = store::dataControl(this, "rs_gly");

    famInf = ui::frame(central, "famInf", QString());
    dtgGly = new store::DataGrid(famInf);
    dtgGly->setObjectName(QStringLiteral("dtgGly"));
    dtgGly->setDataSource(rs_gly);
    dtgGly->setColumns({ { QStringLiteral("用户名"), QStringLiteral("name") },
        { QStringLiteral("密码"), QStringLiteral("pwd") }, { QStringLiteral("用户类型"), QStringLiteral("style") } });
    dtgGly->setAllowUpdate(false); // cells take input only after 修改

    famOption = ui::frame(central, "famOption", QString());
    cmdAdd = ui::button(famOption, "cmdAdd", QStringLiteral("添加(&A)"));
    cmdEdit = ui::button(famOption, "cmdEdit", QStringLiteral("修改(&E)"));
    cmdUpdate = ui::button(famOption, "cmdUpdate", QStringLiteral("更新&U)")); // no opening bracket
    cmdUpdate->setEnabled(false);
    cmdDelet = ui::button(famOption, "cmdDelet", QStringLiteral("删除(&D)"));
    cmdCancel = ui::button(famOption, "cmdCancel", QStringLiteral("取消(&C)"));

    ui::gridAndButtons(central, famInf, dtgGly, famOption, { cmdAdd, cmdEdit, cmdUpdate, cmdDelet, cmdCancel });

    on(cmdAdd, &QPushButton::clicked, &frmGly::cmdAdd_Click);
    on(cmdEdit, &QPushButton::clicked, &frmGly::cmdEdit_Click);
    on(cmdUpdate, &QPushButton::clicked, &frmGly::cmdUpdate_Click);
    on(cmdDelet, &QPushButton::clicked, &frmGly::cmdDelet_Click);
    on(cmdCancel, &QPushButton::clicked, &frmGly::cmdCancel_Click);
    resize(600, 420);
}

void frmGly::Form_Load()
{
    rs_gly->setRecordSource(QStringLiteral("select * from 管理员身份认证表 order by style"));
    rs_gly->refresh();
}

void frmGly::Form_Unload() { platform::Forms::show(QStringLiteral("frmmain")); }

void frmGly::cmdAdd_Click()
{
    MsgBox::show(QStringLiteral("可以添加新用户!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    rs_gly->addNew();
    platform::Forms::show(QStringLiteral("frmglyadd"));
}

void frmGly::cmdEdit_Click()
{
    MsgBox::show(QStringLiteral("可以修改请在表格中直接修改!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    dtgGly->setAllowUpdate(true);
    cmdUpdate->setEnabled(true);
}

void frmGly::cmdUpdate_Click()
{
    // Success is told only once the row is stored. A refused write (a name that another account
    // has, a row deleted by another user) is told with the database's text; what was pending is
    // dropped and the accounts are read again, and editing stays on for another try.
    try {
        rs_gly->update();
    } catch (const store::DbError& error) {
        reportFailure(error.text());
        abandonPending();
        rs_gly->refreshAfter(error);
        return;
    }
    MsgBox::show(QStringLiteral("更新成功!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    rs_gly->refresh();
    dtgGly->setAllowUpdate(false);
    cmdUpdate->setEnabled(false);
}

void frmGly::cmdDelet_Click()
{
    const bool confirmed = Questions::deleteConfirmed();
    // The row that is current after the deletion; the refreshes below make the first row
    // current, so the position is put back on it afterwards.
    QVariant after;
    try {
        if (confirmed) {
            rs_gly->remove();
            rs_gly->moveNext();
            if (rs_gly->eof())
                rs_gly->moveLast();
            after = currentKey();
        } else {
            abandonPending();
        }
        rs_gly->refresh();
    } catch (const store::DbError&) {
        // A failed deletion is not told: the accounts are simply read again.
    }
    abandonPending();
    rs_gly->refresh();
    moveToKey(after);
}

void frmGly::cmdCancel_Click()
{
    if (!Questions::cancelConfirmed())
        return;
    abandonPending();
    rs_gly->refresh();
    dtgGly->setAllowUpdate(false);
}

void frmGly::abandonPending() { rs_gly->cancel(); }

QVariant frmGly::currentKey()
{
    if (rs_gly->currentRow() < 0)
        return {};
    return rs_gly->field(store::Schema::table(kAccounts)->key);
}

void frmGly::moveToKey(const QVariant& key)
{
    if (key.isNull())
        return;
    const int column = rs_gly->fieldIndex(store::Schema::table(kAccounts)->key);
    const int count = rs_gly->recordCount();
    for (int row = 0; row < count; ++row) {
        if (rs_gly->valueAt(row, column).toString() == key.toString()) {
            rs_gly->moveTo(row);
            return;
        }
    }
}
