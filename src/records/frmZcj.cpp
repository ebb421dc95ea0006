#include "frmZcj.h"

#include "platform/Forms.h"
#include "platform/Widgets.h"
#include "shell/Browsing.h"
#include "store/DataControl.h"
#include "store/ui/DataGrid.h"
#include "store/ui/Makers.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

frmZcj::frmZcj()
{
    setWindowTitle(QStringLiteral("用户自定义查询结果窗口"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    ui::paint(this, ui::kFormBlue);
    ui::paint(central, ui::kFormBlue);

    rs_Zdc = store::dataControl(this, "rs_Zdc");

    famInf = ui::frame(central, "famInf", QStringLiteral("自定义查询结果"));
    DataGrid1 = new store::DataGrid(famInf);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    DataGrid1->setDataSource(rs_Zdc);
    DataGrid1->setAllowUpdate(false); // the results are for reading only
    auto* grid = new QVBoxLayout(famInf);
    grid->addWidget(DataGrid1);

    const ui::BrowseButtons browse = ui::browseButtons(central, QStringLiteral("信息浏览"));
    famLl = browse.frame;
    cmdFirst = browse.first;
    cmdPreive = browse.previous;
    cmdNext = browse.next;
    cmdLast = browse.last;

    for (QWidget* f : std::initializer_list<QWidget*> { famInf, famLl })
        ui::paint(f, ui::kFormBlue);
    for (QPushButton* b : { cmdFirst, cmdPreive, cmdNext, cmdLast })
        ui::paint(b, ui::kButtonGreen);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(famInf, 1);
    layout->addWidget(famLl);
    resize(860, 560);

    on(cmdFirst, &QPushButton::clicked, &frmZcj::cmdFirst_Click);
    on(cmdPreive, &QPushButton::clicked, &frmZcj::cmdPreive_Click);
    on(cmdNext, &QPushButton::clicked, &frmZcj::cmdNext_Click);
    on(cmdLast, &QPushButton::clicked, &frmZcj::cmdLast_Click);
}

void frmZcj::Form_Load()
{
    // The query window gives the record set its statement before this window is shown; the
    // statement of the design is not run for nothing.
    rs_Zdc->setRecordSource(QStringLiteral("select * from 学生成绩表"));
}

void frmZcj::Form_Unload()
{
    // Closed by the user: back to the query. A results window that was never shown (its search
    // failed) goes quietly.
    if (isVisible())
        platform::Forms::show(QStringLiteral("frmyzj"));
}

void frmZcj::cmdFirst_Click() { Browsing::first(rs_Zdc); }

void frmZcj::cmdLast_Click() { Browsing::last(rs_Zdc); }

void frmZcj::cmdNext_Click() { Browsing::next(rs_Zdc); }

void frmZcj::cmdPreive_Click() { Browsing::previous(rs_Zdc); }
