#include "LevelRecordsForm.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/StatusPanels.h"
#include "platform/Widgets.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"
#include "store/Value.h"
#include "store/ui/BoundField.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"
#include "store/ui/Makers.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <exception>

using platform::MsgBox;
using store::DataControl;
using store::DbError;
using store::dataControl;
namespace Sql = store::Sql;

namespace {

const QString kNotFound = QStringLiteral("抱歉,没有该生信息!");

store::DataGrid* dataGrid(QWidget* parent, const char* name, DataControl* source)
{
    auto* grid = new store::DataGrid(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setDataSource(source);
    grid->setAllowUpdate(false);
    return grid;
}

// The label's caption without its colon: "奖励代码:" -> "奖励代码".
QString named(const QString& caption) { return caption.left(caption.size() - 1); }

} // namespace

LevelRecordsForm::LevelRecordsForm(const LevelRecordsDesign& design)
    : m_design(design)
{
    setWindowTitle(design.title);
    auto* central = new QWidget(this);
    setCentralWidget(central);
    ui::paint(this, ui::kFormBlue);
    ui::paint(central, ui::kFormBlue);

    rs_Xinf = dataControl(this, "rs_Xinf");
    m_levels = dataControl(this, design.levelsControl);
    m_records = dataControl(this, design.recordsControl);

    lblts1 = ui::label(central, "lblts1", design.hint, ui::kRequiredRed);

    // Search frame.
    famCx = ui::frame(central, "famCx", QStringLiteral("查询"));
    optXh = ui::option(famCx, "optXh", QStringLiteral("学生学号"));
    optXm = ui::option(famCx, "optXm", QStringLiteral("学生姓名"));
    txtXh = ui::textBox(famCx, "txtXh");
    txtXm = ui::textBox(famCx, "txtXm");
    ui::lock(txtXh, !design.searchBoxesOpenAtLoad);
    ui::lock(txtXm, !design.searchBoxesOpenAtLoad);
    cmdFind = ui::button(famCx, "cmdFind", QStringLiteral("查询(&F)"));
    auto* search = new QGridLayout(famCx);
    search->addWidget(optXh, 0, 0);
    search->addWidget(txtXh, 0, 1);
    search->addWidget(optXm, 1, 0);
    search->addWidget(txtXm, 1, 1);
    search->addWidget(cmdFind, 2, 1, Qt::AlignRight);
    search->setColumnStretch(1, 1);

    // The records of the student.
    faminf = ui::frame(central, "faminf", QStringLiteral("信息浏览区"));
    lblts2 = ui::label(faminf, "lblts2", design.recordsHint, ui::kRequiredRed);
    m_recordsGrid = dataGrid(faminf, design.recordsGrid, m_records);
    m_recordsGrid->setColumns({ { QStringLiteral("学号"), QStringLiteral("学号") },
        { QStringLiteral("级别代码"), QStringLiteral("级别代码") }, { QStringLiteral("记录时间"), QStringLiteral("记录时间") },
        { QStringLiteral("备注"), QStringLiteral("备注") } });
    auto* records = new QVBoxLayout(faminf);
    records->addWidget(lblts2);
    records->addWidget(m_recordsGrid, 1);

    // The levels to choose from.
    m_levelsFrame = ui::frame(central, design.levelsFrame, design.levelsFrameTitle);
    m_levelsGrid = dataGrid(m_levelsFrame, design.levelsGrid, m_levels);
    auto* levels = new QVBoxLayout(m_levelsFrame);
    levels->addWidget(m_levelsGrid);

    // The new record.
    famAdd = ui::frame(central, "famAdd", QStringLiteral("信息添加区"));
    txtXue = ui::lockedBox(famAdd, "txtXue");
    m_codeBox = ui::lockedBox(famAdd, design.codeBox);
    m_nameBox = ui::lockedBox(famAdd, design.nameBox);
    store::BoundField::bind(m_codeBox, m_levels, QStringLiteral("代码"));
    store::BoundField::bind(m_nameBox, m_levels, QStringLiteral("全称"));
    dpkAd = store::datePicker(famAdd, "dpkAd");
    txtMemo = ui::memoBox(famAdd, "txtMemo");
    ui::lock(txtMemo, true);
    auto* fields = new QGridLayout(famAdd);
    auto pair = [&](int row, int column, const char* label, const QString& caption, QWidget* box) {
        fields->addWidget(ui::label(famAdd, label, caption), row, column, Qt::AlignRight | Qt::AlignVCenter);
        fields->addWidget(box, row, column + 1);
    };
    pair(0, 0, "lblXh", QStringLiteral("学生学号:"), txtXue);
    pair(0, 2, design.dateLabel, design.dateCaption, dpkAd);
    pair(1, 0, design.codeLabel, design.codeCaption, m_codeBox);
    pair(1, 2, design.nameLabel, design.nameCaption, m_nameBox);
    fields->addWidget(ui::label(famAdd, "lblMemo", QStringLiteral("备注:")), 2, 0, Qt::AlignRight | Qt::AlignTop);
    fields->addWidget(txtMemo, 2, 1, 1, 3);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    fields->setRowStretch(2, 1);

    famOper = ui::frame(central, "famOper", QString());
    cmdAdd = ui::button(famOper, "cmdAdd", QStringLiteral("添加(&A)"));
    cmdUpgrate = ui::button(famOper, "cmdUpgrate", QStringLiteral("保存(&S)"));
    cmdClear = ui::button(famOper, "cmdClear", QStringLiteral("重置(&C)"));
    auto* operations = new QVBoxLayout(famOper);
    for (QPushButton* b : { cmdAdd, cmdUpgrate, cmdClear })
        operations->addWidget(b);
    operations->addStretch(1);
    cmdUpgrate->setEnabled(false);
    cmdClear->setEnabled(false);

    for (QWidget* f : std::initializer_list<QWidget*> { famCx, faminf, m_levelsFrame, famAdd, famOper })
        ui::paint(f, ui::kFormBlue);
    for (QPushButton* b : { cmdFind, cmdAdd, cmdUpgrate, cmdClear })
        ui::paint(b, ui::kButtonGreen);

    auto* left = new QVBoxLayout;
    left->addWidget(famCx);
    left->addWidget(m_levelsFrame, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 2);
    top->addWidget(faminf, 3);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(famAdd, 1);
    bottom->addWidget(famOper);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(lblts1);
    layout->addLayout(top, 3);
    layout->addLayout(bottom, 2);

    using Panel = platform::StatusPanels::Panel;
    stb = new platform::StatusPanels(statusBar(),
        {
            Panel { QStringLiteral("<>请注意:添加信息时请在\"信息添加区\"添加完整信息!"), 100 },
            Panel { QStringLiteral("当前共有记录:"), 28 },
            Panel { QString(), 20 },
            Panel { QStringLiteral("条"), 10 },
        });
    statusBar()->setObjectName(QStringLiteral("stb"));
    resize(900, 680);

    onChosen(optXh, &LevelRecordsForm::optXh_Click);
    onChosen(optXm, &LevelRecordsForm::optXm_Click);
    onKeyDown(txtXh, &LevelRecordsForm::txtXh_KeyDown);
    onKeyDown(txtXm, &LevelRecordsForm::txtXm_KeyDown);
    on(cmdFind, &QPushButton::clicked, &LevelRecordsForm::cmdFind_Click);
    on(cmdAdd, &QPushButton::clicked, &LevelRecordsForm::cmdAdd_Click);
    on(cmdUpgrate, &QPushButton::clicked, &LevelRecordsForm::cmdUpgrate_Click);
    on(cmdClear, &QPushButton::clicked, &LevelRecordsForm::cmdClear_Click);
}

void LevelRecordsForm::Form_Load()
{
    rs_Xinf->setRecordSource(QStringLiteral("select * from 学生个人信息表"));
    rs_Xinf->refresh();
    m_levels->setRecordSource(QStringLiteral("select * from ") + m_design.levelsTable);
    m_levels->refresh();
    m_records->setRecordSource(QStringLiteral("select * from ") + m_design.recordsTable + QStringLiteral(" order by 学号"));
    m_records->refresh();
    dpkAd->setValue(QDate::currentDate());
}

void LevelRecordsForm::Form_Activate()
{
    optXh->setFocus();
    if (!optXh->isChecked())
        optXh->setChecked(true); // as a focused option button is chosen, with its click
    showCount();
    takeCurrentStudent();
}

void LevelRecordsForm::Form_Unload()
{
    m_records->cancel();
    platform::Forms::show(QStringLiteral("frmmain"));
}

void LevelRecordsForm::takeCurrentStudent()
{
    // Read first: with no current row the read fails and the student taken before stays.
    const QString number = store::displayText(m_records->field(QStringLiteral("学号"))).trimmed();
    m_student = number;
    txtXue->setText(m_student.trimmed());
    txtXue->setCursorPosition(0);
}

void LevelRecordsForm::showCount() { stb->setText(3, QString::number(m_records->recordCount())); }

// ---- search -------------------------------------------------------------------------------

void LevelRecordsForm::optXh_Click()
{
    ui::lock(txtXh, false);
    txtXh->setFocus();
    txtXh->clear();
    ui::lock(txtXm, true);
    txtXm->clear();
}

void LevelRecordsForm::optXm_Click()
{
    ui::lock(txtXm, false);
    txtXm->setFocus();
    txtXm->clear();
    ui::lock(txtXh, true);
    txtXh->clear();
}

void LevelRecordsForm::txtXh_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 39)
        cmdFind->setFocus();
}

void LevelRecordsForm::txtXm_KeyDown(int keyCode)
{
    if (keyCode == 13 || keyCode == 39)
        cmdFind->setFocus();
}

void LevelRecordsForm::cmdFind_Click()
{
    // A record begun and not saved is abandoned: the search replaces the rows it was added to.
    if (m_records->editMode() == DataControl::EditMode::Add) {
        m_records->cancel();
        showBrowsing();
    }
    if (optXh->isChecked()) {
        try {
            searchRecordsOf(txtXh->text().trimmed());
        } catch (const DbError& error) {
            searchFailed(error, txtXh);
        }
    } else if (optXm->isChecked()) {
        try {
            rs_Xinf->setRecordSource(
                QStringLiteral("select 学号 from 学生个人信息表 where 姓名=") + Sql::quote(txtXm->text().trimmed()));
            rs_Xinf->refresh();
            // Students of the same name: the first row the server returns.
            searchRecordsOf(store::displayText(rs_Xinf->field(QStringLiteral("学号"))).trimmed());
        } catch (const DbError& error) {
            searchFailed(error, txtXm);
        }
    } else {
        notFound(txtXh);
    }
}

void LevelRecordsForm::searchRecordsOf(const QString& number)
{
    m_records->setRecordSource(
        QStringLiteral("select * from ") + m_design.recordsTable + QStringLiteral(" where 学号=") + Sql::quote(number));
    m_records->refresh();
    takeCurrentStudent();
    showCount();
}

void LevelRecordsForm::searchFailed(const DbError& error, QLineEdit* box)
{
    // A student without records is told as not found; a search the server could not answer is
    // told as it is, and the box keeps what was typed for another try.
    if (!error.isRefusal()) {
        reportFailure(error.text());
        stb->setText(3, QStringLiteral("0"));
        return;
    }
    notFound(box);
}

void LevelRecordsForm::notFound(QLineEdit* box)
{
    MsgBox::show(kNotFound, QStringLiteral("抱歉"), MsgBox::Icon::Information);
    box->clear();
    box->setFocus();
    stb->setText(3, QStringLiteral("0"));
}

void LevelRecordsForm::recordsGrid_Click() { takeCurrentStudent(); }

void LevelRecordsForm::recordsGrid_KeyDown(int keyCode)
{
    if (keyCode == 38 || keyCode == 40)
        takeCurrentStudent();
}

// ---- adding -------------------------------------------------------------------------------

void LevelRecordsForm::cmdAdd_Click()
{
    MsgBox::show(QStringLiteral("现在可以为该生添加新记录!"), QStringLiteral("可以添加"), MsgBox::Icon::Information);
    m_recordsGrid->setEnabled(false);
    try {
        m_records->addNew();
    } catch (const DbError&) {
        m_recordsGrid->setEnabled(true);
        throw;
    }
    dpkAd->setEnabled(true);
    ui::lock(txtMemo, false);
    txtMemo->setFocus();
    cmdUpgrate->setEnabled(true);
    cmdClear->setEnabled(true);
}

void LevelRecordsForm::cmdUpgrate_Click()
{
    const QString number = txtXue->text().trimmed();
    const QString code = m_codeBox->text().trimmed();
    // A record of no student, or of no level, is no record: nothing is written.
    if (number.isEmpty()) {
        MsgBox::show(QStringLiteral("学生学号不能为空!请先查询学生,再为该生添加记录。"), QStringLiteral("注意"),
            MsgBox::Icon::Information);
        return;
    }
    if (code.isEmpty()) {
        MsgBox::show(QStringLiteral("%1不能为空!请在“%2”中选择级别。").arg(named(m_design.codeCaption), m_design.levelsFrameTitle),
            QStringLiteral("注意"), MsgBox::Icon::Information);
        return;
    }
    try {
        // After a reset nothing is pending: the save begins the new record itself, so that the
        // row current after the reset is never written over.
        if (m_records->editMode() != DataControl::EditMode::Add)
            m_records->addNew();
        m_records->setField(QStringLiteral("学号"), number);
        m_records->setField(QStringLiteral("级别代码"), code);
        m_records->setField(QStringLiteral("记录时间"), dpkAd->value());
        m_records->setField(QStringLiteral("备注"), txtMemo->toPlainText().trimmed());
        m_records->update();
    } catch (const DbError& error) {
        // Refused or not sent: nothing stored, and what was typed stays for another try. Sent with
        // its reply lost: the box says the outcome is unknown, and the record set holds nothing
        // that could send it again; the rows are read again and the form is left as after a
        // save, so that a second press cannot store the same record again unnoticed.
        m_records->cancel();
        MsgBox::show(error.text());
        if (error.kind() == DbError::Kind::OutcomeUnknown) {
            m_records->refreshAfter(error);
            showBrowsing();
            dpkAd->setEnabled(false);
        }
        return;
    }
    m_records->refresh();
    MsgBox::show(QStringLiteral("保存成功!"), QStringLiteral("成功"), MsgBox::Icon::Information);
    showBrowsing();
    dpkAd->setEnabled(false);
}

void LevelRecordsForm::cmdClear_Click()
{
    m_records->cancel();
    // The form is cleared even when no row can be taken (the result is empty); that failure is
    // told afterwards.
    std::exception_ptr failure;
    try {
        m_records->refresh();
        takeCurrentStudent();
    } catch (const DbError&) {
        failure = std::current_exception();
    }
    m_recordsGrid->setEnabled(true);
    txtMemo->clear();
    txtMemo->setFocus();
    dpkAd->setEnabled(true);
    dpkAd->setValue(QDate::currentDate());
    if (failure)
        std::rethrow_exception(failure);
}

void LevelRecordsForm::showBrowsing()
{
    txtMemo->clear();
    ui::lock(txtMemo, true);
    m_recordsGrid->setEnabled(true);
    cmdUpgrate->setEnabled(false);
    cmdClear->setEnabled(false);
}
