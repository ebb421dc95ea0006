#include "frmchz.h"

#include "WaitCursor.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/StatusPanels.h"
#include "platform/Widgets.h"
#include "reports/ScoreChart.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"
#include "store/ui/Makers.h"

#include <QCheckBox>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

using platform::MsgBox;
using store::DataControl;
using store::dataControl;
using store::datePicker;
namespace Sql = store::Sql;

namespace {

const QString kClasses = QStringLiteral("select * from 班级代码表 order by 班级代码");
// The opening list's order: every column, so that it is total.
const QString kOpeningOrder = QStringLiteral("学号, 姓名, 班级名");

// The columns every summary shows, and the joins behind them; the blanks are as the
// statements have always been written.
const QString kSummaryColumns = QStringLiteral("select a.学号,c.姓名,b.全称 as  班级名, sum(成绩) as 总成绩,");
const QString kJoins = QStringLiteral(" from 学生成绩表 as a join 班级代码表 as b on a.班级号=b.班级代码 join 学生个人信息表 "
                                      "as c on a.学号=c.学号 where ");

} // namespace

frmchz::frmchz()
{
    setWindowTitle(QStringLiteral("成绩分类汇总窗口"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    rs_Cj = dataControl(this, "rs_Cj");
    rs_Bm = dataControl(this, "rs_Bm");
    rs_Lc = dataControl(this, "rs_Lc");

    // Date range.
    famCdate = ui::frame(central, "famCdate", QStringLiteral("请选择日期范围"));
    lblF = ui::label(famCdate, "lblF", QStringLiteral("从"));
    dpkFd = datePicker(famCdate, "dpkFd");
    lblT = ui::label(famCdate, "lblT", QStringLiteral("到"));
    dpkTd = datePicker(famCdate, "dpkTd");
    dpkFd->setEnabled(false);
    dpkTd->setEnabled(false);
    cmdChose = ui::button(famCdate, "cmdChose", QStringLiteral("选择"));
    cmdClear = ui::button(famCdate, "cmdClear", QStringLiteral("重置"));
    auto* dates = new QGridLayout(famCdate);
    dates->addWidget(lblF, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    dates->addWidget(dpkFd, 0, 1);
    dates->addWidget(lblT, 1, 0, Qt::AlignRight | Qt::AlignVCenter);
    dates->addWidget(dpkTd, 1, 1);
    auto* dateButtons = new QHBoxLayout;
    dateButtons->addStretch(1);
    dateButtons->addWidget(cmdChose);
    dateButtons->addWidget(cmdClear);
    dates->addLayout(dateButtons, 2, 0, 1, 2);
    dates->setColumnStretch(1, 1);

    // Conditions.
    famTj = ui::frame(central, "famTj", QStringLiteral("请选择汇总条件"));
    chkXh = ui::checkBox(famTj, "chkXh", QStringLiteral("按个人学号"));
    txtXh = ui::textBox(famTj, "txtXh");
    txtXh->setEnabled(false);
    chkClass = ui::checkBox(famTj, "chkClass", QStringLiteral("按班级"));
    dcbClass = store::dataCombo(famTj, "dcbClass", rs_Bm, QStringLiteral("全称"));
    dcbClass->setEnabled(false);
    auto* conditions = new QGridLayout(famTj);
    conditions->addWidget(chkXh, 0, 0);
    conditions->addWidget(txtXh, 0, 1);
    conditions->addWidget(chkClass, 1, 0);
    conditions->addWidget(dcbClass, 1, 1);
    conditions->setColumnStretch(1, 1);

    // Result.
    famInf = ui::frame(central, "famInf", QString());
    dgdCj = new store::DataGrid(famInf);
    dgdCj->setObjectName(QStringLiteral("dgdCj"));
    dgdCj->setDataSource(rs_Cj);
    dgdCj->setAllowUpdate(false);
    cmdCancel = ui::button(famInf, "cmdCancel", QStringLiteral("重置(&C)"));
    cmdHz = ui::button(famInf, "cmdHz", QStringLiteral("汇总(&H)"));
    auto* result = new QVBoxLayout(famInf);
    result->addWidget(dgdCj, 1);
    cmdFbt = ui::button(famInf, "cmdFbt", QStringLiteral("成绩分布图…"));
    auto* resultButtons = new QHBoxLayout;
    resultButtons->addWidget(cmdFbt);
    resultButtons->addStretch(1);
    for (QPushButton* b : { cmdCancel, cmdHz }) {
        b->setMinimumWidth(96);
        resultButtons->addWidget(b);
    }
    result->addLayout(resultButtons);

    auto* top = new QHBoxLayout;
    top->addWidget(famCdate, 1);
    top->addWidget(famTj, 1);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(top);
    layout->addWidget(famInf, 1);

    using Panel = platform::StatusPanels::Panel;
    stb = new platform::StatusPanels(statusBar(),
        {
            Panel { QStringLiteral("清先选择汇总日期范围!"), 60 },
            Panel { QStringLiteral("有效记录数:"), 25.4 },
            Panel { QStringLiteral("0"), 25.4 },
            Panel { QStringLiteral("条"), 10 },
        });
    statusBar()->setObjectName(QStringLiteral("stb"));
    resize(760, 560);

    on(cmdChose, &QPushButton::clicked, &frmchz::cmdChose_Click);
    on(cmdClear, &QPushButton::clicked, &frmchz::cmdClear_Click);
    on(chkXh, &QCheckBox::toggled, &frmchz::chkXh_Click);
    on(chkClass, &QCheckBox::toggled, &frmchz::chkClass_Click);
    on(cmdCancel, &QPushButton::clicked, &frmchz::cmdCancel_Click);
    on(cmdHz, &QPushButton::clicked, &frmchz::cmdHz_Click);
    on(cmdFbt, &QPushButton::clicked, &frmchz::cmdFbt_Click);
    connect(rs_Cj, &DataControl::counted, this, &frmchz::showCount);
}

void frmchz::Form_Load()
{
    // The opening list groups every score row. Ordered by student, its first rows come before the
    // grouping is done where the engine can give them early; the count follows (showCount).
    WaitCursor wait;
    rs_Cj->setResultOrder(kOpeningOrder);
    const std::pair<DataControl*, QString> opening[] = {
        { rs_Cj,
            QStringLiteral("select a.学号,c.姓名,b.全称 as  班级名 from 学生成绩表 as a join 班级代码表 as b on a.班级号=b.班级代码 "
                           "join 学生个人信息表 as c on a.学号=c.学号 group by a.学号,c.姓名,b.全称 ") },
        { rs_Bm, kClasses },
        { rs_Lc, QStringLiteral("select * from 成绩排序临时表") },
    };
    for (const auto& [rs, statement] : opening) {
        rs->setRecordSource(statement);
        rs->refresh();
    }
    m_covers = QStringLiteral("全部成绩");
}

void frmchz::Form_Activate()
{
    dpkFd->setValue(QDate::currentDate());
    dpkTd->setValue(QDate::currentDate());
    WaitCursor wait;
    showCount();
}

void frmchz::Form_Unload() { platform::Forms::show(QStringLiteral("frmmain")); }

// The count of the grid's rows; blank while it is still being read beside the window.
void frmchz::showCount()
{
    stb->setText(3, rs_Cj->countKnown() ? QString::number(rs_Cj->recordCount()) : QString());
}

void frmchz::rereadClasses()
{
    rs_Bm->setRecordSource(kClasses);
    rs_Bm->refresh();
}

void frmchz::cmdChose_Click()
{
    dpkFd->setEnabled(true);
    dpkTd->setEnabled(true);
}

void frmchz::cmdClear_Click()
{
    dpkFd->setValue(QDate::currentDate());
    dpkTd->setValue(QDate::currentDate());
}

void frmchz::chkXh_Click()
{
    if (chkXh->isChecked()) {
        txtXh->setEnabled(true);
        txtXh->clear();
        txtXh->setFocus();
    } else {
        txtXh->setEnabled(false);
        txtXh->clear();
    }
}

void frmchz::chkClass_Click() { dcbClass->setEnabled(chkClass->isChecked()); }

void frmchz::cmdCancel_Click()
{
    chkXh->setChecked(false);
    chkClass->setChecked(false);
    txtXh->clear();
}

void frmchz::cmdHz_Click()
{
    const bool byNumber = chkXh->isChecked();
    const bool byClass = chkClass->isChecked();
    if (!byNumber && !byClass)
        return;
    const QString number = Sql::quote(txtXh->text().trimmed());
    const QString className = Sql::quote(dcbClass->text().trimmed());
    const QString from = Sql::quote(Sql::dateText(dpkFd->value()));
    const QString to = Sql::quote(Sql::dateText(dpkTd->value()));
    QString statement;
    if (byNumber && !byClass)
        statement = kSummaryColumns + QStringLiteral(" avg(成绩) as 平均分,sum(学分) as 总学分") + kJoins
            + QStringLiteral("a.学号=") + number + QStringLiteral(" and a.考试时间  between ") + from
            + QStringLiteral(" and ") + to + QStringLiteral(" group by a.学号,c.姓名,b.全称 ");
    else if (byClass && !byNumber)
        statement = kSummaryColumns + QStringLiteral("avg(成绩) as 平均分,sum(学分) as 总学分") + kJoins
            + QStringLiteral("b.全称=") + className + QStringLiteral(" and a.考试时间  between ") + from
            + QStringLiteral(" and ") + to + QStringLiteral("group by b.全称,a.学号,c.姓名 ");
    else
        statement = kSummaryColumns + QStringLiteral("avg(成绩) as 平均分,sum(学分) as 总学分") + kJoins
            + QStringLiteral("a.学号=") + number + QStringLiteral(" and b.全称=") + className
            + QStringLiteral(" and a.考试时间  between ") + from + QStringLiteral(" and ") + to
            + QStringLiteral("group by a.学号,c.姓名,b.全称 ");

    QStringList covers;
    if (byNumber)
        covers << QStringLiteral("学号 ") + txtXh->text().trimmed();
    if (byClass)
        covers << QStringLiteral("班级 ") + dcbClass->text().trimmed();
    covers << QStringLiteral("考试时间 %1 至 %2").arg(Sql::dateText(dpkFd->value()), Sql::dateText(dpkTd->value()));

    WaitCursor wait;
    rs_Cj->setRecordSource(statement);
    rs_Cj->setResultOrder(QString()); // a summary is read whole, in the statement's own order
    m_covers = covers.join(QStringLiteral("，"));
    try {
        rs_Cj->refresh();
    } catch (const store::DbError&) {
        showCount(); // the grid is empty now, and so is the count under it
        throw;
    }
    if (byClass)
        rereadClasses();
    showCount();
    if (rs_Cj->recordCount() == 0) {
        MsgBox::show(QStringLiteral("抱歉没有有效记录!"), QStringLiteral("抱歉"), MsgBox::Icon::Information);
        if (!byClass)
            txtXh->clear();
        else
            rereadClasses();
        stb->setText(3, QStringLiteral("0"));
    }
}

// The scores behind the grid's rows: the score rows the current summary (or the opening list)
// groups, counted by the database.
void frmchz::cmdFbt_Click() { reports::ScoreChart::open(this, rs_Cj->connection(), rs_Cj->recordSource(), m_covers); }
