#include "frmchenggl.h"

#include "CellDelegate.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/StatusPanels.h"
#include "platform/Widgets.h"
#include "reports/ScoreChart.h"
#include "shell/Browsing.h"
#include "shell/Questions.h"
#include "shell/SearchFrame.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/NewRows.h"
#include "store/Sql.h"
#include "store/Value.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"
#include "store/ui/Makers.h"

#include <QAction>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

using platform::MsgBox;
using store::DataControl;
using store::DbError;
using store::dataCombo;
using store::dataControl;
namespace Sql = store::Sql;

namespace {

const QString kAllScores = QStringLiteral(" select * from 学生成绩表  order by 学号   ");
const QString kAllDepartments = QStringLiteral("select * from 院系代码表");
const QString kAllClasses = QStringLiteral("select * from 班级代码表");
const QString kNotFound = QStringLiteral("没有有效记录!");

QString trimmedField(DataControl* rs, const QString& name) { return store::displayText(rs->field(name)).trimmed(); }

} // namespace

frmchenggl::frmchenggl()
{
    setWindowTitle(QStringLiteral("学生成绩管理窗体"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    rs_Kj = dataControl(this, "rs_Kj");
    rs_Xinf = dataControl(this, "rs_Xinf");
    rs_Km = dataControl(this, "rs_Km");
    rs_Bjd = dataControl(this, "rs_Bjd");
    rs_Yxd = dataControl(this, "rs_Yxd");

    // Search frame.
    famCx = new SearchFrame(central, rs_Bjd, rs_Yxd);

    // Browse frame.
    const ui::BrowseButtons browse = ui::browseButtons(central, QStringLiteral("浏览"));
    famLl = browse.frame;
    cmdFirst = browse.first;
    cmdPreive = browse.previous;
    cmdNext = browse.next;
    cmdLast = browse.last;

    // Input area: where a score is entered, marked in red.
    famKe = ui::frame(central, "famKe", QString());
    lblXh = ui::label(famKe, "lblXh", QStringLiteral("学生学号:"), ui::kRequiredRed);
    txtXuehao = ui::textBox(famKe, "txtXuehao");
    ui::lock(txtXuehao, true); // filled by the window alone
    lblKm = ui::label(famKe, "lblKm", QStringLiteral("考试科目:"), ui::kRequiredRed);
    dcbKm = dataCombo(famKe, "dcbKm", rs_Km, QStringLiteral("课程名"));
    dcbKm->setEnabled(false);
    lblCheng = ui::label(famKe, "lblCheng", QStringLiteral("成绩:"), ui::kRequiredRed);
    txtCheng = ui::textBox(famKe, "txtCheng");
    txtCheng->setEnabled(false);
    lblKd = ui::label(famKe, "lblKd", QStringLiteral("考试日期:"), ui::kRequiredRed);
    dpkKd = store::datePicker(famKe, "dpkKd");
    dpkKd->setEnabled(false);
    auto* input = new QGridLayout(famKe);
    const std::pair<QLabel*, QWidget*> inputs[] = { { lblXh, txtXuehao }, { lblKm, dcbKm }, { lblCheng, txtCheng },
        { lblKd, dpkKd } };
    int row = 0;
    for (const auto& [label, field] : inputs) {
        input->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
        input->addWidget(field, row++, 1);
    }
    input->setColumnStretch(1, 1);
    ui::keepReadable(famKe);

    // Management frame.
    famGuanli = ui::frame(central, "famGuanli", QStringLiteral("管理"));
    cmdAdd = ui::button(famGuanli, "cmdAdd", QStringLiteral("添加(&A)"));
    cmdDelet = ui::button(famGuanli, "cmdDelet", QStringLiteral("删除(&D)"));
    cmdEdit = ui::button(famGuanli, "cmdEdit", QStringLiteral("编辑(&E)"));
    cmdUpgrate = ui::button(famGuanli, "cmdUpgrate", QStringLiteral("保存(&S)"));
    cmdClear = ui::button(famGuanli, "cmdClear", QStringLiteral("取消(&C)"));
    cmdUpgrate->setEnabled(false);
    cmdClear->setEnabled(false);
    auto* manage = new QGridLayout(famGuanli);
    manage->addWidget(cmdAdd, 0, 0);
    manage->addWidget(cmdDelet, 0, 1);
    manage->addWidget(cmdEdit, 0, 2);
    manage->addWidget(cmdUpgrate, 1, 0);
    manage->addWidget(cmdClear, 1, 1);
    cmdFbt = ui::button(famGuanli, "cmdFbt", QStringLiteral("成绩分布图…"));
    manage->addWidget(cmdFbt, 1, 2);

    // The score rows.
    lblTs = ui::label(central, "lblTs", QStringLiteral("<>以下为您查询的的结果"));
    schengjiFrame = ui::frame(central, "schengjiFrame", QStringLiteral("学生成绩信息"));
    dgdChengji = new store::DataGrid(schengjiFrame);
    dgdChengji->setObjectName(QStringLiteral("dgdChengji"));
    dgdChengji->setDataSource(rs_Kj);
    QVector<store::DataGrid::ColumnSpec> columns;
    for (const char* name : { "学号", "课程名", "成绩", "院系号", "班级号", "考试时间" })
        columns.push_back({ QString::fromUtf8(name), QString::fromUtf8(name) });
    dgdChengji->setColumns(columns);
    // Only the score and the examination date can be changed, and only after "编辑(&E)".
    dgdChengji->setLockedFields({ QStringLiteral("编号"), QStringLiteral("学号"), QStringLiteral("课程名"),
        QStringLiteral("课程号"), QStringLiteral("学分"), QStringLiteral("院系号"), QStringLiteral("班级号") });
    dgdChengji->setAllowUpdate(false);
    dgdChengji->setItemDelegate(new CellDelegate(dgdChengji));
    // The grid's menu also shows who changed the current score and when.
    auto* separator = new QAction(dgdChengji);
    separator->setSeparator(true);
    dgdChengji->addAction(separator);
    mnuXgjl = new QAction(QStringLiteral("查看修改记录…"), dgdChengji);
    mnuXgjl->setObjectName(QStringLiteral("mnuXgjl"));
    dgdChengji->addAction(mnuXgjl);
    auto* gridLayout = new QVBoxLayout(schengjiFrame);
    gridLayout->addWidget(dgdChengji);

    auto* left = new QVBoxLayout;
    left->addWidget(famCx);
    left->addWidget(famLl);
    left->addWidget(famKe);
    left->addWidget(famGuanli);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(lblTs);
    right->addWidget(schengjiFrame, 1);
    auto* layout = new QHBoxLayout(central);
    layout->addLayout(left, 2);
    layout->addLayout(right, 5);

    using Panel = platform::StatusPanels::Panel;
    stb = new platform::StatusPanels(statusBar(),
        {
            Panel { QStringLiteral("<>请注意:\"添加\"、\"编辑\"考试信息时,红色标注的地方为可输入处!"), 100 },
            Panel { QStringLiteral("当前共有有效记录:"), 30 },
            Panel { QString(), 25.4 },
            Panel { QStringLiteral("条"), 10 },
        });
    statusBar()->setObjectName(QStringLiteral("stb"));
    resize(1000, 640);

    onChosen(famCx->optXh, &frmchenggl::optXh_Click);
    onChosen(famCx->optXm, &frmchenggl::optXm_Click);
    onChosen(famCx->optXy, &frmchenggl::optXy_Click);
    onChosen(famCx->optBj, &frmchenggl::optBj_Click);
    on(famCx->cmdFind, &QPushButton::clicked, &frmchenggl::cmdFind_Click);
    on(cmdFirst, &QPushButton::clicked, &frmchenggl::cmdFirst_Click);
    on(cmdPreive, &QPushButton::clicked, &frmchenggl::cmdPreive_Click);
    on(cmdNext, &QPushButton::clicked, &frmchenggl::cmdNext_Click);
    on(cmdLast, &QPushButton::clicked, &frmchenggl::cmdLast_Click);
    on(dgdChengji, &store::DataGrid::Click, &frmchenggl::dgdChengji_Click);
    on(cmdAdd, &QPushButton::clicked, &frmchenggl::cmdAdd_Click);
    on(cmdEdit, &QPushButton::clicked, &frmchenggl::cmdEdit_Click);
    on(cmdUpgrate, &QPushButton::clicked, &frmchenggl::cmdUpgrate_Click);
    on(cmdDelet, &QPushButton::clicked, &frmchenggl::cmdDelet_Click);
    on(cmdClear, &QPushButton::clicked, &frmchenggl::cmdClear_Click);
    on(cmdFbt, &QPushButton::clicked, &frmchenggl::cmdFbt_Click);
    on(mnuXgjl, &QAction::triggered, &frmchenggl::mnuXgjl_Click);
}

void frmchenggl::Form_Load()
{
    const std::pair<DataControl*, QString> opening[] = {
        { rs_Kj, kAllScores },
        { rs_Xinf, QStringLiteral("select * from 学生个人信息表") },
        { rs_Km, QStringLiteral("select * from 学生课程表") },
        { rs_Bjd, kAllClasses },
        { rs_Yxd, kAllDepartments },
    };
    for (const auto& [rs, statement] : opening) {
        rs->setRecordSource(statement);
        rs->refresh();
    }
    m_covers = QStringLiteral("全部成绩");
}

void frmchenggl::Form_Activate()
{
    // Any step that fails ends the activation there, without a message: with no score rows at
    // all, nothing after the first step happens.
    try {
        txtXuehao->setText(trimmedField(rs_Kj, QStringLiteral("学号")));
        // Focusing the number option selects it when it is not yet, which runs its handler.
        famCx->optXh->setFocus();
        if (!famCx->optXh->isChecked())
            famCx->optXh->setChecked(true);
        dpkKd->setValue(QDate::currentDate());
        showCount();
    } catch (const DbError&) {
    }
}

void frmchenggl::Form_Unload()
{
    try {
        rs_Kj->cancel();
        rs_Kj->refresh();
    } catch (const DbError&) {
        // Closing goes on: nothing pending is written either way.
    }
    platform::Forms::show(QStringLiteral("frmmain"));
}

void frmchenggl::showCount() { stb->setText(3, QString::number(rs_Kj->recordCount())); }

void frmchenggl::enableManagement(bool enabled)
{
    cmdAdd->setEnabled(enabled);
    cmdDelet->setEnabled(enabled);
    cmdEdit->setEnabled(enabled);
}

// ---- choosing a search criterion ----------------------------------------------------------

void frmchenggl::optXh_Click() { famCx->numberChosen(); }

void frmchenggl::optXm_Click() { famCx->nameChosen(); }

void frmchenggl::optXy_Click() { famCx->departmentChosen(); }

void frmchenggl::optBj_Click() { famCx->classChosen(); }

// ---- search -------------------------------------------------------------------------------

void frmchenggl::cmdFind_Click()
{
    // A score being added is abandoned first: the rows it would be added among are replaced.
    abandonAdd();
    // A score changed in the grid is written, as leaving its row would write it (a refusal is
    // told); the search then ends the editing. When the server could not be asked, that has been
    // told and the search would only tell it again.
    if (dgdChengji->allowUpdate()) {
        const bool reached = dgdChengji->writePending();
        leaveEditing();
        if (!reached)
            return;
    }
    try {
        if (famCx->optXh->isChecked()) {
            m_covers = QStringLiteral("学号 ") + famCx->txtXh->text().trimmed();
            findByNumber();
        } else if (famCx->optXm->isChecked()) {
            m_covers = QStringLiteral("姓名 ") + famCx->txtXm->text().trimmed();
            findByName();
        } else if (famCx->optXy->isChecked()) {
            m_covers = QStringLiteral("院系 ") + famCx->dcbYx->text().trimmed();
            findByCode(rs_Yxd, famCx->dcbYx, QStringLiteral("select * from 院系代码表 where 全称="), QStringLiteral("学院编码"),
                QStringLiteral("select * from 学生成绩表  where 院系号="), kAllDepartments);
        } else if (famCx->optBj->isChecked()) {
            m_covers = QStringLiteral("班级 ") + famCx->dcbBj->text().trimmed();
            findByCode(rs_Bjd, famCx->dcbBj, QStringLiteral("select * from 班级代码表 where 全称="), QStringLiteral("班级代码"),
                QStringLiteral("select * from 学生成绩表  where 班级号="), kAllClasses);
        } else {
            throw DbError(kNotFound); // no criterion chosen
        }
    } catch (const DbError& error) {
        searchFailed(error);
    }
}

void frmchenggl::findByNumber()
{
    rs_Kj->setRecordSource(
        QStringLiteral("select * from 学生成绩表  where 学号=") + Sql::quote(famCx->txtXh->text().trimmed()));
    rs_Kj->refresh();
    if (rs_Kj->recordCount() != 0) {
        enableManagement(true);
        txtXuehao->setText(store::displayText(rs_Kj->field(QStringLiteral("学号"))));
        showCount();
    } else {
        MsgBox::show(kNotFound, QStringLiteral("提示"), MsgBox::Icon::Information);
        enableManagement(false);
        txtXuehao->clear();
        famCx->txtXh->clear();
        famCx->txtXh->setFocus();
        showCount();
    }
}

void frmchenggl::findByName()
{
    rs_Xinf->setRecordSource(
        QStringLiteral("select * from 学生个人信息表 where 姓名=") + Sql::quote(famCx->txtXm->text().trimmed()));
    rs_Xinf->refresh();
    m_searchKey = store::displayText(rs_Xinf->field(QStringLiteral("学号")));
    if (!m_searchKey.isEmpty())
        enableManagement(true);
    rs_Kj->setRecordSource(QStringLiteral("select * from 学生成绩表 where 学号=") + Sql::quote(m_searchKey.trimmed()));
    rs_Kj->refresh();
    txtXuehao->setText(store::displayText(rs_Kj->field(QStringLiteral("学号"))));
    m_searchKey.clear();
    showCount();
}

void frmchenggl::findByCode(DataControl* list, store::DataCombo* combo, const QString& lookUpHead,
    const QString& codeField, const QString& scoresHead, const QString& listStatement)
{
    list->setRecordSource(lookUpHead + Sql::quote(combo->text().trimmed()));
    list->refresh();
    m_searchKey = store::displayText(list->field(codeField));
    if (!m_searchKey.isEmpty())
        enableManagement(true);
    rs_Kj->setRecordSource(scoresHead + Sql::quote(m_searchKey.trimmed()));
    rs_Kj->refresh();
    list->setRecordSource(listStatement);
    list->refresh();
    txtXuehao->setText(store::displayText(rs_Kj->field(QStringLiteral("学号"))));
    showCount();
}

void frmchenggl::searchFailed(const DbError& error)
{
    // Nothing found is told as such; a search the server could not answer is told as it is.
    if (error.isRefusal())
        MsgBox::show(kNotFound, QStringLiteral("提示"), MsgBox::Icon::Information);
    else
        reportFailure(error.text());
    enableManagement(false);
    stb->setText(3, QStringLiteral("0"));
    txtXuehao->clear();
    famCx->txtXm->clear();
    famCx->txtXm->setFocus();
    rs_Kj->setRecordSource(QStringLiteral("select * from 学生成绩表  where 学号=") + Sql::quote(QString()));
    m_covers = QStringLiteral("没有查询结果");
    rs_Kj->refreshAfter(error);
}

void frmchenggl::abandonAdd()
{
    if (!m_adding)
        return;
    rs_Kj->cancel();
    leaveAdding();
    dpkKd->setEnabled(false);
}

// ---- browsing -----------------------------------------------------------------------------

void frmchenggl::cmdFirst_Click() { Browsing::first(rs_Kj); }

void frmchenggl::cmdPreive_Click() { Browsing::previous(rs_Kj); }

void frmchenggl::cmdNext_Click() { Browsing::next(rs_Kj); }

void frmchenggl::cmdLast_Click() { Browsing::last(rs_Kj); }

void frmchenggl::dgdChengji_Click()
{
    // A click on the empty new row of an add has no student to take: the input area keeps its own.
    if (rs_Kj->currentRow() < 0 || rs_Kj->editMode() == DataControl::EditMode::Add)
        return;
    txtXuehao->setText(trimmedField(rs_Kj, QStringLiteral("学号")));
}

// ---- editing ------------------------------------------------------------------------------

void frmchenggl::cmdAdd_Click()
{
    rs_Kj->addNew();
    m_adding = true;
    // A score is added, not edited: cells stay read-only until "编辑(&E)", and the save that
    // follows writes the new row, never an empty one.
    dgdChengji->setAllowUpdate(false);
    MsgBox::show(QStringLiteral("现在可以为该生添加记录!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    txtCheng->clear();
    rs_Km->setRecordSource(QStringLiteral("select * from 学生课程表 "));
    rs_Km->refresh();
    cmdUpgrate->setEnabled(true);
    cmdClear->setEnabled(true);
    dcbKm->setEnabled(true);
    txtCheng->setEnabled(true);
    dpkKd->setEnabled(true);
    txtCheng->setFocus();
    cmdAdd->setEnabled(false);
    cmdEdit->setEnabled(false);
    cmdDelet->setEnabled(false);
}

void frmchenggl::cmdEdit_Click()
{
    MsgBox::show(QStringLiteral("可以修改记录,请直接在在表中修改,只能修改成绩和考试时间!"), QStringLiteral("注意"),
        MsgBox::Icon::Information);
    dgdChengji->setAllowUpdate(true);
    cmdUpgrate->setEnabled(true);
    cmdAdd->setEnabled(false);
    cmdDelet->setEnabled(false);
}

void frmchenggl::cmdUpgrate_Click()
{
    // A date typed that the picker cannot hold is told as it is, before anything is written.
    const QDate examined = dgdChengji->allowUpdate() ? QDate() : dpkKd->value();
    try {
        if (dgdChengji->allowUpdate())
            saveEdit();
        else
            saveAdd(examined);
    } catch (const DbError& error) {
        saveFailed(error);
    }
}

void frmchenggl::saveEdit()
{
    rs_Kj->update();
    rs_Kj->refresh();
    dgdChengji->setAllowUpdate(false);
    cmdUpgrate->setEnabled(false);
    cmdClear->setEnabled(false);
    dcbKm->setEnabled(false);
    dpkKd->setEnabled(false);
    txtCheng->setEnabled(false);
    MsgBox::show(QStringLiteral("保存成功!"), QStringLiteral("保存"), MsgBox::Icon::Information);
    cmdEdit->setEnabled(true);
    cmdDelet->setEnabled(true);
    cmdAdd->setEnabled(true);
    cmdAdd->setFocus();
}

void frmchenggl::leaveEditing()
{
    dgdChengji->setAllowUpdate(false);
    cmdUpgrate->setEnabled(false);
    enableManagement(true);
}

void frmchenggl::saveAdd(const QDate& examined)
{
    const QString number = txtXuehao->text().trimmed();
    const QString course = dcbKm->text();
    const QString score = txtCheng->text().trimmed();

    rs_Xinf->setRecordSource(QStringLiteral("select * from 学生个人信息表 where 学号=") + Sql::quote(number));
    rs_Xinf->refresh();
    // The course is found when the names agree once both are trimmed: a name stored with blanks
    // around it is the same course.
    rs_Km->setRecordSource(QStringLiteral("select * from 学生课程表 where trim(课程名)=") + Sql::quote(course.trimmed()));
    rs_Km->refresh();
    m_courseNumber = store::displayText(rs_Km->field(QStringLiteral("课程号")));
    m_credits = store::NewRows::scoreCredits(rs_Km->field(QStringLiteral("学分")));
    m_departmentCode = rs_Xinf->field(QStringLiteral("所在院系编号"));
    m_classCode = rs_Xinf->field(QStringLiteral("所在班级编号"));

    // A browse or a grid click since "添加(&A)" has left the new row; the score is still added
    // as a new row, never written over the row that is current now.
    if (rs_Kj->editMode() != DataControl::EditMode::Add)
        rs_Kj->addNew();
    rs_Kj->setField(QStringLiteral("学号"), number);
    rs_Kj->setField(QStringLiteral("课程名"), course);
    rs_Kj->setField(QStringLiteral("课程号"), m_courseNumber);
    rs_Kj->setField(QStringLiteral("成绩"), score);
    rs_Kj->setField(QStringLiteral("院系号"), m_departmentCode);
    rs_Kj->setField(QStringLiteral("班级号"), m_classCode);
    rs_Kj->setField(QStringLiteral("学分"), m_credits);
    rs_Kj->setField(QStringLiteral("考试时间"), examined);
    rs_Kj->update();
    m_adding = false;
    rs_Kj->refresh();

    MsgBox::show(QStringLiteral("保存成功!"), QStringLiteral("保存"), MsgBox::Icon::Information);
    showCount();
    cmdUpgrate->setEnabled(false);
    cmdClear->setEnabled(false);
    dcbKm->setEnabled(false);
    dpkKd->setEnabled(false);
    txtCheng->setEnabled(false);
    m_departmentCode.clear();
    m_classCode.clear();
    cmdAdd->setEnabled(true);
    cmdEdit->setEnabled(true);
    cmdDelet->setEnabled(true);
    cmdAdd->setFocus();
}

void frmchenggl::saveFailed(const DbError& error)
{
    // A score the table refuses takes the window's own message. A lost server, or a write whose
    // outcome is unknown, is told as it is: "not supported" would say that nothing was stored.
    if (error.isRefusal())
        MsgBox::show(QStringLiteral("此操作不支持保存功能!"), QStringLiteral("注意"), MsgBox::Icon::Information);
    else
        reportFailure(error.text());
    m_adding = false;
    cmdUpgrate->setEnabled(false);
    cmdAdd->setEnabled(true);
    cmdAdd->setFocus();
    cmdEdit->setEnabled(true);
    cmdDelet->setEnabled(true);
    cmdClear->setEnabled(false);
    rs_Kj->cancel();
    rs_Kj->refreshAfter(error);
}

void frmchenggl::cmdDelet_Click()
{
    const bool confirmed = Questions::deleteConfirmed();
    try {
        if (confirmed) {
            rs_Kj->remove();
            rs_Kj->refresh();
            showCount();
        } else {
            rs_Kj->cancel();
            rs_Kj->refresh();
        }
    } catch (const DbError&) {
        // A deletion that fails is silent: the rows are read again.
        rs_Kj->cancel();
        rs_Kj->refresh();
    }
}

void frmchenggl::cmdClear_Click()
{
    rs_Kj->cancel();
    rs_Kj->refresh();
    rs_Km->refresh();
    leaveAdding();
    dpkKd->setValue(QDate::currentDate());
    cmdAdd->setFocus();
}

void frmchenggl::leaveAdding()
{
    m_adding = false;
    enableManagement(true);
    txtCheng->clear();
    txtCheng->setEnabled(false);
    dcbKm->setEnabled(false);
    cmdClear->setEnabled(false);
    cmdUpgrate->setEnabled(false);
}

// ---- the score distribution -------------------------------------------------------------------

// The scores the grid holds, counted by the database from the grid's statement.
void frmchenggl::cmdFbt_Click() { reports::ScoreChart::open(this, rs_Kj->connection(), rs_Kj->recordSource(), m_covers); }

void frmchenggl::mnuXgjl_Click()
{
    // A score not stored yet (a row being added) has no history.
    const int row = rs_Kj->currentRow();
    const QVariant key = row >= 0 && rs_Kj->editMode() != DataControl::EditMode::Add
        ? rs_Kj->valueAt(row, rs_Kj->fieldIndex(QStringLiteral("编号")))
        : QVariant();
    if (key.isNull()) {
        MsgBox::show(QStringLiteral("请先在表中选择一条成绩记录。"), QStringLiteral("提示"), MsgBox::Icon::Information);
        return;
    }
    platform::Form* history = platform::Forms::show(QStringLiteral("frmczjl"));
    if (history)
        QMetaObject::invokeMethod(history, "showRow", Q_ARG(QString, QStringLiteral("学生成绩表")),
            Q_ARG(QString, key.toString()));
}
