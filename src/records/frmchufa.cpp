#include "frmchufa.h"

#include "store/ui/DataGrid.h"

frmchufa::frmchufa()
    : LevelRecordsForm({
        QStringLiteral("学生处罚记录管理窗体"),
        QStringLiteral("<>清在以下选择学生"),
        QStringLiteral("<>以下为该生历次处罚情况"),
        QStringLiteral("处罚等级记录表"),
        QStringLiteral("处罚等级代码表"),
        "rs_chufai",
        "rs_chufad",
        "dgdChufa",
        "famCdm",
        QStringLiteral("处罚级别代码名称表"),
        "dgdCf",
        "lblCdj",
        QStringLiteral("处罚代码:"),
        "txtCd",
        "lblCmc",
        QStringLiteral("处罚名称:"),
        "txtCm",
        "lblCdata",
        QStringLiteral("处罚日期:"),
        false,
    })
{
    on(recordsGrid(), &store::DataGrid::Click, &frmchufa::dgdChufa_Click);
    connect(recordsGrid(), &store::DataGrid::KeyDown, this, [this](int key) { run([this, key] { dgdChufa_KeyDown(key); }); });
}

void frmchufa::dgdChufa_Click() { recordsGrid_Click(); }
void frmchufa::dgdChufa_KeyDown(int keyCode) { recordsGrid_KeyDown(keyCode); }
