#include "frmczjl.h"

#include "platform/Forms.h"
#include "platform/StatusPanels.h"
#include "platform/Widgets.h"
#include "store/ChangeLog.h"
#include "store/DataControl.h"
#include "store/Schema.h"
#include "store/Sql.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"
#include "store/ui/Makers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace Sql = store::Sql;

namespace {
const QString kEveryTable = QStringLiteral("（全部）");
}

frmczjl::frmczjl()
{
    setWindowTitle(QStringLiteral("操作记录"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    rs_Czjl = store::dataControl(this, "rs_Czjl");

    famTj = ui::frame(central, "famTj", QStringLiteral("查询条件"));
    txtYh = ui::textBox(famTj, "txtYh");
    cbBm = new QComboBox(famTj);
    cbBm->setObjectName(QStringLiteral("cbBm"));
    cbBm->addItem(kEveryTable);
    for (const store::Table& table : store::Schema::tables())
        if (table.name != store::ChangeLog::table())
            cbBm->addItem(table.name);
    txtJ = ui::textBox(famTj, "txtJ");
    txtXh = ui::textBox(famTj, "txtXh");
    chkRq = ui::checkBox(famTj, "chkRq", QStringLiteral("日期从"));
    dpkFd = store::datePicker(famTj, "dpkFd");
    dpkTd = store::datePicker(famTj, "dpkTd");
    dpkFd->setEnabled(false);
    dpkTd->setEnabled(false);
    cmdFind = ui::button(famTj, "cmdFind", QStringLiteral("查询(&F)"));

    auto* criteria = new QGridLayout(famTj);
    criteria->setHorizontalSpacing(8);
    criteria->addWidget(ui::label(famTj, "lblYh", QStringLiteral("用户:")), 0, 0);
    criteria->addWidget(txtYh, 0, 1);
    criteria->addWidget(ui::label(famTj, "lblBm", QStringLiteral("表名:")), 0, 2);
    criteria->addWidget(cbBm, 0, 3);
    criteria->addWidget(ui::label(famTj, "lblJ", QStringLiteral("键:")), 0, 4);
    criteria->addWidget(txtJ, 0, 5);
    criteria->addWidget(ui::label(famTj, "lblXh", QStringLiteral("学号:")), 1, 0);
    criteria->addWidget(txtXh, 1, 1);
    criteria->addWidget(chkRq, 1, 2);
    criteria->addWidget(dpkFd, 1, 3);
    criteria->addWidget(ui::label(famTj, "lblDao", QStringLiteral("到")), 1, 4, Qt::AlignRight);
    criteria->addWidget(dpkTd, 1, 5);
    criteria->addWidget(cmdFind, 0, 6, 2, 1, Qt::AlignVCenter);
    for (int column : { 1, 3, 5 })
        criteria->setColumnStretch(column, 1);
    ui::keepReadable(famTj, 10);

    lblRow = ui::label(central, "lblRow", QString());
    lblRow->setVisible(false);

    famJl = ui::frame(central, "famJl", QStringLiteral("操作记录（最新的在前）"));
    dgdCzjl = new store::DataGrid(famJl);
    dgdCzjl->setObjectName(QStringLiteral("dgdCzjl"));
    dgdCzjl->setDataSource(rs_Czjl);
    QVector<store::DataGrid::ColumnSpec> columns;
    for (const char* field : { "编号", "时间", "用户", "工作站", "操作", "表名", "键", "学号", "字段", "原值", "新值" })
        columns.append({ QString::fromUtf8(field), QString::fromUtf8(field) });
    dgdCzjl->setColumns(columns);
    dgdCzjl->setAllowUpdate(false); // records are only ever added
    auto* grid = new QVBoxLayout(famJl);
    grid->addWidget(dgdCzjl);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(famTj);
    layout->addWidget(lblRow);
    layout->addWidget(famJl, 1);

    using Panel = platform::StatusPanels::Panel;
    stb = new platform::StatusPanels(statusBar(),
        { Panel { QStringLiteral("当前共有记录:"), 30 }, Panel { QString(), 25.4 }, Panel { QStringLiteral("条"), 10 } });
    statusBar()->setObjectName(QStringLiteral("stb"));
    resize(1000, 600);

    setTabOrder(txtYh, cbBm);
    setTabOrder(cbBm, txtJ);
    setTabOrder(txtJ, txtXh);
    setTabOrder(txtXh, chkRq);
    setTabOrder(chkRq, dpkFd);
    setTabOrder(dpkFd, dpkTd);
    setTabOrder(dpkTd, cmdFind);

    on(chkRq, &QCheckBox::toggled, &frmczjl::chkRq_Click);
    on(cmdFind, &QPushButton::clicked, &frmczjl::cmdFind_Click);
}

void frmczjl::Form_Load()
{
    dpkFd->setValue(QDate::currentDate());
    dpkTd->setValue(QDate::currentDate());
    search();
}

void frmczjl::Form_Unload()
{
    if (m_openerGone)
        return; // that window brings back what it brings back
    if (m_opener)
        platform::Forms::show(m_opener.data());
    else
        platform::Forms::show(QStringLiteral("frmmain"));
}

void frmczjl::chkRq_Click()
{
    dpkFd->setEnabled(chkRq->isChecked());
    dpkTd->setEnabled(chkRq->isChecked());
}

void frmczjl::cmdFind_Click() { search(); }

void frmczjl::showRow(const QString& table, const QString& key)
{
    auto* active = qobject_cast<platform::Form*>(QApplication::activeWindow());
    if (active && active != this && active != m_opener) {
        m_opener = active;
        // The history goes with the window it belongs to.
        connect(active, &QObject::destroyed, this, [this] {
            m_openerGone = true;
            platform::Forms::unload(this);
        });
    }
    txtYh->clear();
    cbBm->setCurrentText(table);
    txtJ->setText(key);
    txtXh->clear();
    chkRq->setChecked(false);
    // The history of this row only: the filters stay as they are.
    famTj->setEnabled(false);
    const store::Table* described = store::Schema::table(table);
    lblRow->setText(QStringLiteral("%1中%2为 %3 的行的修改记录").arg(table, described ? described->key : QStringLiteral("键"), key));
    lblRow->setVisible(true);
    search();
}

QString frmczjl::statement() const
{
    QStringList where;
    auto equals = [&](const char* column, const QString& value) {
        if (!value.trimmed().isEmpty())
            where << QString::fromUtf8(column) + QStringLiteral(" = ") + Sql::quote(value.trimmed());
    };
    equals("用户", txtYh->text());
    if (cbBm->currentText() != kEveryTable)
        equals("表名", cbBm->currentText());
    equals("键", txtJ->text());
    equals("学号", txtXh->text());
    if (chkRq->isChecked()) {
        // Whole days at both ends: 时间 holds "2024-05-19 08:30:00", so the end is the next day.
        where << QStringLiteral("时间 >= ") + Sql::quote(dpkFd->value().toString(QStringLiteral("yyyy-MM-dd")))
            << QStringLiteral("时间 < ") + Sql::quote(dpkTd->value().addDays(1).toString(QStringLiteral("yyyy-MM-dd")));
    }
    return QStringLiteral("select * from ") + store::ChangeLog::table()
        + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where.join(QStringLiteral(" and ")))
        + QStringLiteral(" order by 编号 desc");
}

void frmczjl::search()
{
    rs_Czjl->setRecordSource(statement());
    rs_Czjl->refresh();
    stb->setText(2, QString::number(rs_Czjl->recordCount()));
}
