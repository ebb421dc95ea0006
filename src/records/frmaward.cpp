#include "frmaward.h"

#include "store/ui/DataGrid.h"

frmaward::frmaward()
    : LevelRecordsForm({
        QStringLiteral("学生奖励记录管理窗体"),
        QStringLiteral("<>请在以下选择学生"),
        QStringLiteral("<>以下为该生历次奖励情况"),
        QStringLiteral("奖励记录信息表"),
        QStringLiteral("奖励等级代码表"),
        "rs_awardi",
        "rs_awardd",
        "dgdAward",
        "famJdm",
        QStringLiteral("奖励级别代码名称表"),
        "dgdJi",
        "lblAdj",
        QStringLiteral("奖励代码:"),
        "txtAd",
        "lblAmc",
        QStringLiteral("奖励名称:"),
        "txtAm",
        "lblAdata",
        QStringLiteral("奖励日期:"),
        true,
    })
{
    on(recordsGrid(), &store::DataGrid::Click, &frmaward::dgdAward_Click);
    // The grid reports its key code after it has moved the current row.
    connect(recordsGrid(), &store::DataGrid::KeyDown, this, [this](int key) { run([this, key] { dgdAward_KeyDown(key); }); });
}

void frmaward::dgdAward_Click() { recordsGrid_Click(); }
void frmaward::dgdAward_KeyDown(int keyCode) { recordsGrid_KeyDown(keyCode); }
