#include "frmsinfgl.h"

#include "StudentCodes.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/StatusPanels.h"
#include "platform/Widgets.h"
#include "reports/Transcript.h"
#include "shell/Browsing.h"
#include "shell/Questions.h"
#include "shell/SearchFrame.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"
#include "store/Value.h"
#include "store/ui/BoundField.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"
#include "store/ui/Makers.h"

#include <QComboBox>
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
#include <utility>

using platform::MsgBox;
using store::DataControl;
using store::DbError;
using store::dataCombo;
using store::dataControl;
namespace Sql = store::Sql;

namespace {

const QString kAllDepartments = QStringLiteral("select * from 院系代码表 order by 学院编码");
const QString kAllClasses = QStringLiteral("select * from 班级代码表 order by 班级代码");
const QString kAllStatuses = QStringLiteral("select * from 学籍变更代码表 order by 代码");

// A code of the current student as it is appended to a statement, without quotes. A student
// without a code finds no full name (NULL equals nothing), so the box stays empty.
QString codeInStatement(const QVariant& value)
{
    const QString text = store::displayText(value).trimmed();
    if (text.isEmpty())
        return Sql::literal(QVariant(), store::ColumnType::SmallInt);
    return Sql::bare(text);
}

} // namespace

frmsinfgl::frmsinfgl()
{
    setWindowTitle(QStringLiteral("学生信息查询窗体"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    ui::paint(this, ui::kFormBlue);
    ui::paint(central, ui::kFormBlue);

    rs_Sinf = dataControl(this, "rs_Sinf");
    rs_Xjl = dataControl(this, "rs_Xjl");
    rs_Yxl = dataControl(this, "rs_Yxl");
    rs_Bjl = dataControl(this, "rs_Bjl");
    rs_Yxc = dataControl(this, "rs_Yxc");
    rs_Bjc = dataControl(this, "rs_Bjc");
    rs_Yxe = dataControl(this, "rs_Yxe");
    rs_Bje = dataControl(this, "rs_Bje");
    rs_Xj = dataControl(this, "rs_Xj");
    rs_Xjbg = dataControl(this, "rs_Xjbg");
    rs_chengji = dataControl(this, "rs_chengji");
    rs_award = dataControl(this, "rs_award");
    rs_chufa = dataControl(this, "rs_chufa");

    // Search frame.
    famCx = new SearchFrame(central, rs_Bjc, rs_Yxc);

    // Browse frame.
    const ui::BrowseButtons browse = ui::browseButtons(central, QStringLiteral("浏览"));
    famLl = browse.frame;
    cmdFirst = browse.first;
    cmdPreive = browse.previous;
    cmdNext = browse.next;
    cmdLast = browse.last;

    // Student grid.
    dgdXinf = new store::DataGrid(central);
    dgdXinf->setObjectName(QStringLiteral("dgdXinf"));
    dgdXinf->setDataSource(rs_Sinf);
    dgdXinf->setColumns({ { QStringLiteral("学号"), QStringLiteral("学号") }, { QStringLiteral("姓名"), QStringLiteral("姓名") } });

    // Student frame.
    famGinf = ui::frame(central, "famGinf", QStringLiteral("个体信息"));
    auto red = [this](const char* name, const QString& text) { return ui::label(famGinf, name, text, ui::kRequiredRed); };
    auto black = [this](const char* name, const QString& text) { return ui::label(famGinf, name, text); };
    QLabel* lblXuehao = red("lblXuehao", QStringLiteral("学号:"));
    QLabel* lblXinming = red("lblXinming", QStringLiteral("姓名:"));
    QLabel* lblXb = red("lblXb", QStringLiteral("性别:"));
    QLabel* lblYx = red("lblYx", QStringLiteral("所属学院:"));
    QLabel* lblBj = red("lblBj", QStringLiteral("所在班级:"));
    QLabel* lblXj = red("lblXj", QStringLiteral("学籍情况:"));
    QLabel* lblBarth = black("lblBarth", QStringLiteral("出生日期:"));
    QLabel* lblJg = black("lblJg", QStringLiteral("籍贯:"));
    QLabel* lblPhone = black("lblPhone", QStringLiteral("联系电话:"));
    QLabel* lblAddress = black("lblAddress", QStringLiteral("联系地址:"));
    QLabel* lblZm = black("lblZm", QStringLiteral("政治面貌:"));
    QLabel* lblMemo = black("lblMemo", QStringLiteral("备注:"));

    txtXuehao = ui::lockedBox(famGinf, "txtXuehao");
    txtXinming = ui::lockedBox(famGinf, "txtXinming");
    txtXb = ui::lockedBox(famGinf, "txtXb");
    txtBarth = ui::lockedBox(famGinf, "txtBarth");
    txtJg = ui::lockedBox(famGinf, "txtJg");
    txtYx = ui::lockedBox(famGinf, "txtYx");
    txtBj = ui::lockedBox(famGinf, "txtBj");
    txtPhone = ui::lockedBox(famGinf, "txtPhone");
    txtAddress = ui::lockedBox(famGinf, "txtAddress");
    txtZm = ui::lockedBox(famGinf, "txtZm");
    txtXj = ui::lockedBox(famGinf, "txtXj");
    txtMemo = ui::memoBox(famGinf, "txtMemo");
    ui::lock(txtMemo, true);

    dpkBarth = store::datePicker(famGinf, "dpkBarth");
    cbmian = new QComboBox(famGinf);
    cbmian->setObjectName(QStringLiteral("cbmian"));
    cbmian->addItems({ QStringLiteral("群众"), QStringLiteral("团员"), QStringLiteral("党员") });
    cbmian->setCurrentIndex(-1);
    dcbXueyuan = dataCombo(famGinf, "dcbXueyuan", rs_Yxe, QStringLiteral("全称"));
    dcbClass = dataCombo(famGinf, "dcbClass", rs_Bje, QStringLiteral("全称"));
    dcbXj = dataCombo(famGinf, "dcbXj", rs_Xj, QStringLiteral("全称"));

    store::BoundField::bind(txtXuehao, rs_Sinf, QStringLiteral("学号"));
    store::BoundField::bind(txtXinming, rs_Sinf, QStringLiteral("姓名"));
    store::BoundField::bind(txtXb, rs_Sinf, QStringLiteral("性别"));
    store::BoundField::bind(txtBarth, rs_Sinf, QStringLiteral("出生日期"));
    store::BoundField::bind(txtJg, rs_Sinf, QStringLiteral("籍贯"));
    store::BoundField::bind(txtPhone, rs_Sinf, QStringLiteral("联系电话"));
    store::BoundField::bind(txtAddress, rs_Sinf, QStringLiteral("联系地址"));
    store::BoundField::bind(txtZm, rs_Sinf, QStringLiteral("政治面貌"));
    store::BoundField::bind(txtMemo, rs_Sinf, QStringLiteral("备注"));
    store::BoundField::bind(txtXj, rs_Xjl, QStringLiteral("全称"));
    store::BoundField::bind(txtYx, rs_Yxl, QStringLiteral("全称"));
    store::BoundField::bind(txtBj, rs_Bjl, QStringLiteral("全称"));

    // Each editing control shares the cell of the box it stands in for.
    auto* fields = new QGridLayout(famGinf);
    auto pair = [fields](int row, int column, QLabel* label, QWidget* box, QWidget* editor = nullptr, int span = 1) {
        fields->addWidget(label, row, column, Qt::AlignRight | Qt::AlignVCenter);
        fields->addWidget(box, row, column + 1, 1, span);
        if (editor)
            fields->addWidget(editor, row, column + 1, 1, span);
    };
    pair(0, 0, lblXuehao, txtXuehao);
    pair(0, 2, lblXinming, txtXinming);
    pair(1, 0, lblXb, txtXb);
    pair(1, 2, lblBarth, txtBarth, dpkBarth);
    pair(2, 0, lblJg, txtJg);
    pair(2, 2, lblZm, txtZm, cbmian);
    pair(3, 0, lblYx, txtYx, dcbXueyuan);
    pair(3, 2, lblBj, txtBj, dcbClass);
    pair(4, 0, lblXj, txtXj, dcbXj);
    pair(4, 2, lblPhone, txtPhone);
    pair(5, 0, lblAddress, txtAddress, nullptr, 3);
    fields->addWidget(lblMemo, 6, 0, Qt::AlignRight | Qt::AlignTop);
    fields->addWidget(txtMemo, 6, 1, 1, 3);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    fields->setRowStretch(6, 1);
    ui::keepReadable(famGinf);

    // Management frame.
    famGuanli = ui::frame(central, "famGuanli", QStringLiteral("管理"));
    cmdAdd = ui::button(famGuanli, "cmdAdd", QStringLiteral("添加(&A)"));
    cmdDelet = ui::button(famGuanli, "cmdDelet", QStringLiteral("删除(&D)"));
    cmdEdit = ui::button(famGuanli, "cmdEdit", QStringLiteral("编辑(&E)"));
    cmdUpgrate = ui::button(famGuanli, "cmdUpgrate", QStringLiteral("保存(&S)"));
    cmdClear = ui::button(famGuanli, "cmdClear", QStringLiteral("重置(&C)"));
    cmdDycjd = ui::button(famGuanli, "cmdDycjd", QStringLiteral("打印成绩单…"));
    auto* manage = new QHBoxLayout(famGuanli);
    for (QPushButton* b : { cmdAdd, cmdDelet, cmdEdit, cmdUpgrate, cmdClear, cmdDycjd })
        manage->addWidget(b);

    for (QWidget* f : std::initializer_list<QWidget*> { famCx, famLl, famGinf, famGuanli })
        ui::paint(f, ui::kFormBlue);
    for (QPushButton* b :
        { famCx->cmdFind, cmdFirst, cmdPreive, cmdNext, cmdLast, cmdAdd, cmdDelet, cmdEdit, cmdUpgrate, cmdClear, cmdDycjd })
        ui::paint(b, ui::kButtonGreen);

    auto* left = new QVBoxLayout;
    left->addWidget(famCx);
    left->addWidget(famLl);
    left->addWidget(dgdXinf, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(famGinf, 1);
    right->addWidget(famGuanli);
    auto* layout = new QHBoxLayout(central);
    layout->addLayout(left, 2);
    layout->addLayout(right, 5);

    using Panel = platform::StatusPanels::Panel;
    stb = new platform::StatusPanels(statusBar(),
        {
            Panel { QStringLiteral("<>请注意:\"编辑\"学生信息时,红色标注的信息不可缺少!添加完新信息自动刷新!"), 110 },
            Panel { QStringLiteral("当前共有有效记录:"), 30 },
            Panel { QString(), 25.4 },
        });
    statusBar()->setObjectName(QStringLiteral("stb"));

    setEditState(false);
    resize(1000, 640);

    onChosen(famCx->optXh, &frmsinfgl::optXh_Click);
    onChosen(famCx->optXm, &frmsinfgl::optXm_Click);
    onChosen(famCx->optBj, &frmsinfgl::optBj_Click);
    onChosen(famCx->optXy, &frmsinfgl::optXy_Click);
    on(famCx->cmdFind, &QPushButton::clicked, &frmsinfgl::cmdFind_Click);
    on(cmdFirst, &QPushButton::clicked, &frmsinfgl::cmdFirst_Click);
    on(cmdPreive, &QPushButton::clicked, &frmsinfgl::cmdPreive_Click);
    on(cmdNext, &QPushButton::clicked, &frmsinfgl::cmdNext_Click);
    on(cmdLast, &QPushButton::clicked, &frmsinfgl::cmdLast_Click);
    on(dgdXinf, &store::DataGrid::Click, &frmsinfgl::dgdXinf_Click);
    // The grid reports its key code after it has moved the current row.
    connect(dgdXinf, &store::DataGrid::KeyDown, this, [this](int key) { run([this, key] { dgdXinf_KeyDown(key); }); });
    on(cmdAdd, &QPushButton::clicked, &frmsinfgl::cmdAdd_Click);
    on(cmdDelet, &QPushButton::clicked, &frmsinfgl::cmdDelet_Click);
    on(cmdEdit, &QPushButton::clicked, &frmsinfgl::cmdEdit_Click);
    on(cmdUpgrate, &QPushButton::clicked, &frmsinfgl::cmdUpgrate_Click);
    on(cmdClear, &QPushButton::clicked, &frmsinfgl::cmdClear_Click);
    on(cmdDycjd, &QPushButton::clicked, &frmsinfgl::cmdDycjd_Click);
}

void frmsinfgl::Form_Load()
{
    const std::pair<DataControl*, QString> opening[] = {
        { rs_Sinf, QStringLiteral("select * from 学生个人信息表 order by 学号") },
        { rs_Xjl, QStringLiteral("select * from 学籍变更代码表") },
        { rs_Yxl, QStringLiteral("select * from 院系代码表") },
        { rs_Bjl, QStringLiteral("select * from 班级代码表") },
        { rs_Yxc, kAllDepartments },
        { rs_Bjc, kAllClasses },
        { rs_Yxe, kAllDepartments },
        { rs_Bje, kAllClasses },
        { rs_Xj, kAllStatuses },
        { rs_Xjbg, QStringLiteral("select * from 学籍变更信息表") },
        { rs_chengji, QStringLiteral("select * from 学生成绩表") },
        { rs_award, QStringLiteral("select * from 奖励记录信息表") },
        { rs_chufa, QStringLiteral("select * from 处罚等级记录表") },
    };
    for (const auto& [rs, statement] : opening) {
        rs->setRecordSource(statement);
        rs->refresh();
    }
    // The full-name boxes show nothing until a student is current.
    clearFullNames();
    showCount();
}

void frmsinfgl::Form_Activate()
{
    const bool lossTold = std::exchange(m_lossTold, false);
    try {
        rs_Sinf->refresh();
    } catch (const DbError& error) {
        if (error.isRefusal() || !lossTold)
            throw;
        // Still gone, and already told: no student is shown until the next search.
        clearFullNames();
        return;
    }
    dpkBarth->setValue(QDate::currentDate());
    showFullNamesOrNone();
}

void frmsinfgl::Form_Unload()
{
    rs_Sinf->cancel();
    platform::Forms::show(QStringLiteral("frmmain"));
}

void frmsinfgl::ShowFullNames()
{
    rs_Xjl->setRecordSource(
        QStringLiteral("select * from 学籍变更代码表 where 代码=") + codeInStatement(rs_Sinf->field(QStringLiteral("学籍情况"))));
    rs_Xjl->refresh();
    rs_Yxl->setRecordSource(QStringLiteral("select * from 院系代码表 where 学院编码=")
        + codeInStatement(rs_Sinf->field(QStringLiteral("所在院系编号"))) + QStringLiteral(" "));
    rs_Yxl->refresh();
    rs_Bjl->setRecordSource(
        QStringLiteral("select * from 班级代码表 where 班级代码=") + codeInStatement(rs_Sinf->field(QStringLiteral("所在班级编号"))));
    rs_Bjl->refresh();
}

void frmsinfgl::showFullNamesOrNone()
{
    if (rs_Sinf->currentRow() < 0)
        clearFullNames();
    else
        ShowFullNames();
}

void frmsinfgl::clearFullNames()
{
    txtXj->clear();
    txtYx->clear();
    txtBj->clear();
}

void frmsinfgl::showCount() { stb->setText(3, QString::number(rs_Sinf->recordCount())); }

void frmsinfgl::setFoundButtons(bool found)
{
    cmdDelet->setEnabled(found);
    cmdEdit->setEnabled(found);
}

// ---- choosing a search criterion ----------------------------------------------------------

void frmsinfgl::optXh_Click() { famCx->numberChosen(); }

void frmsinfgl::optXm_Click() { famCx->nameChosen(); }

void frmsinfgl::optBj_Click() { famCx->classChosen(); }

void frmsinfgl::optXy_Click() { famCx->departmentChosen(); }

// ---- search -------------------------------------------------------------------------------

void frmsinfgl::cmdFind_Click()
{
    if (famCx->optXh->isChecked()) {
        findBy(QStringLiteral("select * from 学生个人信息表 where 学号=") + Sql::quote(famCx->txtXh->text().trimmed()),
            famCx->txtXh);
    } else if (famCx->optXm->isChecked()) {
        findBy(QStringLiteral("select * from 学生个人信息表 where 姓名=") + Sql::quote(famCx->txtXm->text().trimmed()),
            famCx->txtXm);
    } else if (famCx->optXy->isChecked()) {
        findByCode(rs_Yxc, famCx->dcbYx, QStringLiteral("select * from 院系代码表 where 全称="), QStringLiteral("学院编码"),
            kAllDepartments, QStringLiteral("select * from 学生个人信息表 where 所在院系编号="), m_departmentCode,
            StudentCodes::chooseFrom(QStringLiteral("所属院系"), QStringLiteral("院系")));
    } else if (famCx->optBj->isChecked()) {
        findByCode(rs_Bjc, famCx->dcbBj, QStringLiteral("select * from 班级代码表 where 全称="), QStringLiteral("班级代码"),
            kAllClasses, QStringLiteral("select * from 学生个人信息表 where 所在班级编号="), m_classCode,
            StudentCodes::chooseFrom(QStringLiteral("所属班级"), QStringLiteral("班级")));
    }
}

void frmsinfgl::refreshStudents()
{
    try {
        rs_Sinf->refresh();
    } catch (const DbError&) {
        // No names or count of a student from before the search stay on screen.
        clearFullNames();
        stb->setText(3, QStringLiteral("0"));
        setFoundButtons(false);
        throw;
    }
}

void frmsinfgl::findBy(const QString& statement, QLineEdit* box)
{
    rs_Sinf->setRecordSource(statement);
    refreshStudents();
    if (rs_Sinf->recordCount() != 0) {
        setFoundButtons(true);
        ShowFullNames();
    } else {
        clearFullNames();
        setFoundButtons(false);
        MsgBox::show(QStringLiteral("没有有效记录!"), QStringLiteral("提示"), MsgBox::Icon::Information);
        box->clear();
        box->setFocus();
    }
    showCount();
}

void frmsinfgl::findByCode(DataControl* list, store::DataCombo* combo, const QString& lookUpHead,
    const QString& codeField, const QString& listStatement, const QString& studentsHead, QString& chosen,
    const QString& missing)
{
    list->setRecordSource(lookUpHead + Sql::quote(combo->text()));
    list->refresh();
    if (list->currentRow() < 0) {
        // Nothing chosen, or a text that is not in the list: the students stay as they are.
        list->setRecordSource(listStatement);
        list->refresh();
        MsgBox::show(missing, QStringLiteral("提示"), MsgBox::Icon::Information);
        return;
    }
    chosen = store::displayText(list->field(codeField)).trimmed();
    rs_Sinf->setRecordSource(studentsHead + Sql::quote(chosen) + QStringLiteral(" order by 学号"));
    refreshStudents();
    if (rs_Sinf->recordCount() != 0) {
        showCount();
        ShowFullNames();
        list->setRecordSource(listStatement);
        list->refresh();
        setFoundButtons(true);
    } else {
        stb->setText(3, QStringLiteral("0"));
        clearFullNames();
        list->setRecordSource(listStatement);
        list->refresh();
        setFoundButtons(false);
        MsgBox::show(QStringLiteral("没有有效记录!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    }
}

// ---- browsing -----------------------------------------------------------------------------

void frmsinfgl::cmdFirst_Click()
{
    if (Browsing::nothingToBrowse(rs_Sinf))
        return;
    rs_Sinf->moveFirst();
    ShowFullNames();
}

void frmsinfgl::cmdPreive_Click()
{
    if (Browsing::nothingToBrowse(rs_Sinf))
        return;
    try {
        rs_Sinf->movePrevious();
        ShowFullNames();
    } catch (const DbError&) {
        // Stepped before the first row: the first row comes back.
        rs_Sinf->moveFirst();
        ShowFullNames();
    }
}

void frmsinfgl::cmdNext_Click()
{
    if (Browsing::nothingToBrowse(rs_Sinf))
        return;
    try {
        rs_Sinf->moveNext();
        ShowFullNames();
    } catch (const DbError&) {
        rs_Sinf->moveLast();
        ShowFullNames();
    }
}

void frmsinfgl::cmdLast_Click()
{
    if (Browsing::nothingToBrowse(rs_Sinf))
        return;
    rs_Sinf->moveLast();
    ShowFullNames();
}

void frmsinfgl::dgdXinf_Click()
{
    const std::pair<DataControl*, const char*> narrowed[] = {
        { rs_chufa, "select * from 处罚等级记录表 where 学号=" },
        { rs_award, "select * from 奖励记录信息表 where 学号=" },
        { rs_chengji, "select * from 学生成绩表 where 学号=" },
    };
    for (const auto& [rs, head] : narrowed) {
        try {
            rs->setRecordSource(QString::fromUtf8(head) + Sql::bare(rs_Sinf->field(QStringLiteral("学号")).toString().trimmed()));
            rs->refresh();
        } catch (const DbError&) {
        }
    }
    try {
        ShowFullNames();
    } catch (const DbError&) {
    }
}

void frmsinfgl::dgdXinf_KeyDown(int keyCode)
{
    // Moving through the grid by keyboard changes the current student as a click does: the
    // full names follow, so that they never belong to another student.
    switch (keyCode) {
    case 33: case 34: case 35: case 36: case 38: case 40:
        showFullNamesOrNone();
        break;
    default:
        break;
    }
}

// ---- editing ------------------------------------------------------------------------------

void frmsinfgl::setEditState(bool editing)
{
    m_editing = editing;
    cmdAdd->setEnabled(!editing);
    cmdDelet->setEnabled(!editing);
    cmdEdit->setEnabled(true);
    cmdUpgrate->setEnabled(editing);
    cmdClear->setEnabled(editing);
    for (QLineEdit* box : { txtXuehao, txtXinming, txtXb, txtBarth, txtJg, txtPhone, txtAddress })
        ui::lock(box, !editing);
    ui::lock(txtMemo, true);
    for (QWidget* box : std::initializer_list<QWidget*> { txtBarth, txtZm, txtYx, txtBj, txtXj })
        box->setVisible(!editing);
    for (QWidget* editor : std::initializer_list<QWidget*> { dpkBarth, cbmian, dcbXueyuan, dcbClass, dcbXj })
        editor->setVisible(editing);
    dgdXinf->setEnabled(!editing);
    famLl->setEnabled(!editing);
    famCx->cmdFind->setEnabled(!editing);
}

void frmsinfgl::showStoredValues()
{
    const std::pair<QLineEdit*, const char*> boxes[] = {
        { txtXuehao, "学号" }, { txtXinming, "姓名" }, { txtXb, "性别" }, { txtBarth, "出生日期" },
        { txtJg, "籍贯" }, { txtPhone, "联系电话" }, { txtAddress, "联系地址" }, { txtZm, "政治面貌" },
    };
    const bool current = rs_Sinf->currentRow() >= 0;
    for (const auto& [box, field] : boxes) {
        box->setText(current ? store::displayText(rs_Sinf->field(QString::fromUtf8(field))) : QString());
        box->setCursorPosition(0);
    }
}

void frmsinfgl::fillEditorsFromRow()
{
    // The editors start from the student's stored values, so that a save that changes one field
    // keeps the others: the birth date, the political status and the three codes. A value an
    // editor cannot show (no birth date, a political status not in the list, a code without a
    // full name) is written back as it is stored unless the user chooses another.
    m_filled = Filled();
    if (rs_Sinf->currentRow() < 0)
        return;
    m_filled.valid = true;
    dpkBarth->setStored(rs_Sinf->field(QStringLiteral("出生日期")));
    m_filled.political = rs_Sinf->field(QStringLiteral("政治面貌"));
    cbmian->setCurrentIndex(cbmian->findText(m_filled.political.toString().trimmed()));
    m_filled.politicalIndex = cbmian->currentIndex();
    const std::pair<store::DataCombo*, QLineEdit*> combos[] = { { dcbXueyuan, txtYx }, { dcbClass, txtBj }, { dcbXj, txtXj } };
    const char* fields[] = { "所在院系编号", "所在班级编号", "学籍情况" };
    for (int i = 0; i < 3; ++i) {
        combos[i].first->setText(combos[i].second->text());
        m_filled.names[i] = combos[i].second->text();
        m_filled.codes[i] = rs_Sinf->field(QString::fromUtf8(fields[i]));
    }
}

void frmsinfgl::beginNewRows()
{
    try {
        // A record set that a failure left closed is read again first.
        for (DataControl* rs : { rs_Sinf, rs_chufa, rs_award, rs_chengji })
            if (!rs->isOpen())
                rs->refresh();
        rs_Sinf->addNew();
        rs_chufa->addNew();
        rs_award->addNew();
        rs_chengji->addNew();
    } catch (const DbError&) {
        for (DataControl* rs : { rs_Sinf, rs_chufa, rs_award, rs_chengji })
            rs->cancel();
        throw;
    }
}

void frmsinfgl::cmdAdd_Click()
{
    beginNewRows();
    platform::Forms::show(QStringLiteral("frmAdd"));
    platform::Forms::hide(this);
}

void frmsinfgl::cmdDelet_Click()
{
    const bool confirmed = Questions::deleteConfirmed();
    try {
        if (!confirmed) {
            rs_Sinf->cancel();
            rs_Sinf->refresh();
        } else {
            rs_Sinf->remove();
            rs_Sinf->moveNext();
            if (rs_Sinf->eof())
                rs_Sinf->moveLast();
            rs_Sinf->refresh();
            showCount();
        }
    } catch (const DbError&) {
        // A deletion that fails is silent: the record set is read again below.
    }
    rs_Sinf->cancel();
    rs_Sinf->refresh();
    showFullNamesOrNone();
}

void frmsinfgl::cmdEdit_Click()
{
    MsgBox::show(QStringLiteral("可以编辑信息!"), QStringLiteral("注意"), MsgBox::Icon::Information);
    rs_Xj->setRecordSource(kAllStatuses);
    rs_Xj->refresh();
    rs_Yxe->setRecordSource(kAllDepartments);
    rs_Yxe->refresh();
    rs_Bje->setRecordSource(kAllClasses);
    rs_Bje->refresh();
    // Pressed again while editing, it keeps what the user has chosen so far.
    const bool editing = m_editing;
    setEditState(true);
    if (!editing)
        fillEditorsFromRow();
}

void frmsinfgl::cmdUpgrate_Click()
{
    // A birth date typed that the picker cannot hold is told before anything changes.
    const QVariant birth = dpkBarth->chosen();
    setEditState(false);
    cmdAdd->setFocus();

    // Everything typed is taken before any field is written: writing a field shows the row
    // again in every bound box.
    const QString number = txtXuehao->text();
    const QString name = txtXinming->text();
    const QString sex = txtXb->text();
    const QString place = txtJg->text().trimmed();
    const QString phone = txtPhone->text().trimmed();
    const QString address = txtAddress->text().trimmed();
    const bool politicalKept = m_filled.valid && cbmian->currentIndex() == m_filled.politicalIndex
        && m_filled.politicalIndex < 0;
    const QVariant political = politicalKept ? m_filled.political : QVariant(cbmian->currentText().trimmed());
    const QString department = dcbXueyuan->text();
    const QString className = dcbClass->text();
    const QString status = dcbXj->text();

    // A text of blanks only is as empty as no text: it would be stored as an empty field.
    bool missing = false;
    const std::pair<const QString*, const char*> required[] = {
        { &number, "学号不能为空!" }, { &name, "姓名不能为空!" }, { &sex, "性别不能为空!" },
    };
    for (const auto& [typed, message] : required) {
        if (typed->trimmed().isEmpty()) {
            MsgBox::show(QString::fromUtf8(message), QStringLiteral("注意"), MsgBox::Icon::Information);
            missing = true;
        }
    }
    if (missing) {
        showStoredValues();
        return;
    }

    const QString stored = rs_Sinf->currentRow() >= 0
        ? store::displayText(rs_Sinf->field(QStringLiteral("学号"))).trimmed()
        : QString();
    bool writing = false;
    try {
        rs_Sinf->setField(QStringLiteral("学号"), number.trimmed());
        rs_Sinf->setField(QStringLiteral("姓名"), name.trimmed());
        rs_Sinf->setField(QStringLiteral("性别"), sex.trimmed());
        rs_Sinf->setField(QStringLiteral("出生日期"), birth);
        rs_Sinf->setField(QStringLiteral("籍贯"), place);
        rs_Sinf->setField(QStringLiteral("联系电话"), phone);
        rs_Sinf->setField(QStringLiteral("联系地址"), address);

        // A code whose full name the list could not show, left as it was, is kept as stored.
        QVariant codes[3];
        const QString chosen[] = { department, className, status };
        for (int i = 0; i < 3; ++i)
            if (m_filled.valid && m_filled.names[i].isEmpty() && chosen[i].isEmpty())
                codes[i] = m_filled.codes[i];
        if (!codes[0].isValid())
            codes[0] = StudentCodes::lookUp(rs_Yxe, QStringLiteral("select 学院编码 from 院系代码表 where 全称="), department,
                QStringLiteral("学院编码"), StudentCodes::chooseFrom(QStringLiteral("所属学院"), QStringLiteral("学院")));
        if (!codes[1].isValid())
            codes[1] = StudentCodes::lookUp(rs_Bje, QStringLiteral("select 班级代码 from 班级代码表 where 全称="), className,
                QStringLiteral("班级代码"), StudentCodes::chooseFrom(QStringLiteral("所在班级"), QStringLiteral("班级")));
        if (!codes[2].isValid())
            codes[2] = StudentCodes::lookUp(rs_Xj, QStringLiteral("select 代码 from 学籍变更代码表 where 全称="), status,
                QStringLiteral("代码"), StudentCodes::chooseFrom(QStringLiteral("学籍情况"), QStringLiteral("学籍情况")));
        m_savedDepartment = codes[0].toInt();
        m_savedClass = codes[1].toInt();
        m_savedStatus = codes[2].toInt();

        // The status-change row and the student row are stored together or not at all.
        {
            writing = true;
            store::Transaction transaction(rs_Sinf->connection());
            rs_Xjbg->addNew();
            rs_Xjbg->setField(QStringLiteral("学号"), number.trimmed());
            rs_Xjbg->setField(QStringLiteral("变更代码"), codes[2]);
            rs_Xjbg->setField(QStringLiteral("记录时间"), QDate::currentDate());
            rs_Xjbg->update();
            rs_Xjbg->refresh();

            rs_Sinf->setField(QStringLiteral("所在院系编号"), codes[0]);
            rs_Sinf->setField(QStringLiteral("所在班级编号"), codes[1]);
            rs_Sinf->setField(QStringLiteral("学籍情况"), codes[2]);
            rs_Sinf->setField(QStringLiteral("政治面貌"), political);
            rs_Sinf->update();
            transaction.commit();
            writing = false;
        }
        rs_Sinf->refresh();
        // A student found by number or name whose number or name was just changed is no longer
        // in the result: the full-name boxes are then empty.
        showFullNamesOrNone();
        MsgBox::show(QStringLiteral("信息保存成功!"), QStringLiteral("成功"), MsgBox::Icon::Information);
    } catch (const DbError& error) {
        // A refusal is explained; a lost session or a save of unknown outcome is told as it is.
        QString text = error.text();
        if (writing && error.isRefusal()) {
            text = StudentCodes::notSaved(text);
            try {
                if (number.trimmed() != stored && StudentCodes::numberTaken(rs_Sinf->connection(), number.trimmed()))
                    text = StudentCodes::numberTakenText(number.trimmed());
            } catch (const DbError&) {
            }
        }
        MsgBox::show(text);
        // Nothing of the failed save stays pending, whatever fails from here on: browsing on must
        // never write it later. Then the record sets are read again, as far as the database lets.
        rs_Xjbg->cancel();
        rs_Sinf->cancel();
        try {
            if (writing)
                rs_Xjbg->refresh();
        } catch (const DbError&) {
        }
        try {
            rs_Sinf->refresh();
            showFullNamesOrNone();
        } catch (const DbError&) {
            clearFullNames();
            stb->setText(3, QStringLiteral("0"));
        }
    }
}

void frmsinfgl::cmdClear_Click()
{
    setEditState(false);
    cmdAdd->setFocus();
    // What was typed is not stored: the boxes show the stored values again.
    showStoredValues();
}

// ---- the transcript ---------------------------------------------------------------------------

// The print preview of the current student's transcript, as stored (an edit not yet saved is
// not on it).
void frmsinfgl::cmdDycjd_Click()
{
    if (rs_Sinf->currentRow() < 0) {
        MsgBox::show(QStringLiteral("请先选择一名学生!"), QStringLiteral("提示"), MsgBox::Icon::Information);
        return;
    }
    const QString number = store::displayText(rs_Sinf->field(QStringLiteral("学号"))).trimmed();
    reports::Transcript::preview(this, rs_Sinf->connection(), number);
}
