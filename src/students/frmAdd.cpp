#include "frmAdd.h"

#include "StudentCodes.h"
#include "frmsinfgl.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Widgets.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/NewRows.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DatePicker.h"
#include "store/ui/Makers.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::MsgBox;
using store::DataControl;
using store::DbError;
using store::dataCombo;
using store::dataControl;

namespace {

QComboBox* list(QWidget* parent, const char* name, const QStringList& entries)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->addItems(entries);
    combo->setCurrentIndex(-1);
    return combo;
}

QLineEdit* box(QWidget* parent, const char* name) { return ui::textBox(parent, name); }

} // namespace

frmAdd::frmAdd()
{
    setWindowTitle(QStringLiteral("学生信息添加窗体"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    ui::paint(this, ui::kFormBlue);
    ui::paint(central, ui::kFormBlue);

    rs_Xj = dataControl(this, "rs_Xj");
    rs_Bj = dataControl(this, "rs_Bj");
    rs_Yx = dataControl(this, "rs_Yx");

    famAdd = ui::frame(central, "famAdd", QStringLiteral("信息添加"));
    QLabel* lblHint = ui::label(famAdd, "lblHint", QStringLiteral("<>红色为必填字段"), ui::kRequiredRed);
    txtXuehao = box(famAdd, "txtXuehao");
    txtXinming = box(famAdd, "txtXinming");
    cbsex = list(famAdd, "cbsex", { QStringLiteral("男"), QStringLiteral("女") });
    dpkBarth = store::datePicker(famAdd, "dpkBarth");
    cbmian = list(famAdd, "cbmian", { QStringLiteral("群众"), QStringLiteral("团员"), QStringLiteral("党员") });
    dcbXj = dataCombo(famAdd, "dcbXj", rs_Xj, QStringLiteral("全称"));
    txtJg = box(famAdd, "txtJg");
    dcbXueyuan = dataCombo(famAdd, "dcbXueyuan", rs_Yx, QStringLiteral("全称"));
    dcbClass = dataCombo(famAdd, "dcbClass", rs_Bj, QStringLiteral("全称"));
    txtPhone = box(famAdd, "txtPhone");
    txtAddress = box(famAdd, "txtAddress");
    txtMemo = ui::memoBox(famAdd, "txtMemo");

    auto* fields = new QGridLayout(famAdd);
    fields->addWidget(lblHint, 0, 0, 1, 4);
    auto pair = [this, fields](int row, int column, const char* name, const QString& text, QWidget* control,
                    bool required = false, int span = 1) {
        QLabel* l = ui::label(famAdd, name, text, required ? ui::kRequiredRed : QColor());
        fields->addWidget(l, row, column, Qt::AlignRight | (span > 1 && row == 7 ? Qt::AlignTop : Qt::AlignVCenter));
        fields->addWidget(control, row, column + 1, 1, span);
    };
    pair(1, 0, "lblXuehao", QStringLiteral("学号:"), txtXuehao, true);
    pair(1, 2, "lblXinming", QStringLiteral("姓名:"), txtXinming, true);
    pair(2, 0, "lblsex", QStringLiteral("性别:"), cbsex, true);
    pair(2, 2, "lblBarth", QStringLiteral("出生日期:"), dpkBarth);
    pair(3, 0, "lblmian", QStringLiteral("政治面貌:"), cbmian);
    pair(3, 2, "lblXj", QStringLiteral("学籍情况:"), dcbXj);
    pair(4, 0, "lblJg", QStringLiteral("籍贯:"), txtJg);
    pair(4, 2, "lblXueyuan", QStringLiteral("所属学院:"), dcbXueyuan);
    pair(5, 0, "lblClass", QStringLiteral("所在班级:"), dcbClass);
    pair(5, 2, "lblPhone", QStringLiteral("联系电话:"), txtPhone);
    pair(6, 0, "lblAddress", QStringLiteral("联系地址:"), txtAddress, false, 3);
    pair(7, 0, "lblMemo", QStringLiteral("备注:"), txtMemo, false, 3);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    fields->setRowStretch(7, 1);

    famKuang = ui::frame(central, "famKuang", QString());
    cmdSave = ui::button(famKuang, "cmdSave", QStringLiteral("保存(&S)"));
    cmdClear = ui::button(famKuang, "cmdClear", QStringLiteral("重置(&C)"));
    auto* buttons = new QHBoxLayout(famKuang);
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addSpacing(30);
    buttons->addWidget(cmdClear);
    buttons->addStretch();

    ui::paint(famAdd, ui::kFormBlue);
    ui::paint(famKuang, ui::kFormBlue);
    ui::paint(cmdSave, ui::kButtonGreen);
    ui::paint(cmdClear, ui::kButtonGreen);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(famAdd, 1);
    layout->addWidget(famKuang);

    QWidget* order[] = { txtXuehao, txtXinming, cbsex, dpkBarth, cbmian, dcbXj, txtJg, dcbXueyuan, dcbClass, txtPhone,
        txtAddress, txtMemo, cmdSave, cmdClear };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    resize(640, 460);

    on(cmdSave, &QPushButton::clicked, &frmAdd::cmdSave_Click);
    on(cmdClear, &QPushButton::clicked, &frmAdd::cmdClear_Click);
}

frmsinfgl* frmAdd::studentWindow()
{
    if (frmsinfgl* owner = platform::Forms::find<frmsinfgl>())
        return owner;
    return platform::Forms::load<frmsinfgl>();
}

void frmAdd::Form_Load()
{
    rs_Xj->setRecordSource(QStringLiteral("select * from 学籍变更代码表 order by 代码"));
    rs_Xj->refresh();
    rs_Bj->setRecordSource(QStringLiteral("select * from 班级代码表 order by 班级代码"));
    rs_Bj->refresh();
    rs_Yx->setRecordSource(QStringLiteral("select * from 院系代码表 order by 学院编码"));
    rs_Yx->refresh();
    // Opened by "添加(&A)" or the main window, the new rows are begun already; opened any other
    // way, they are begun here, so that a save can never write into a stored student.
    frmsinfgl* owner = studentWindow();
    if (owner && owner->rs_Sinf->editMode() != DataControl::EditMode::Add)
        owner->beginNewRows();
    txtXuehao->setFocus();
}

void frmAdd::Form_Activate() { dpkBarth->setValue(QDate::currentDate()); }

void frmAdd::Form_Unload()
{
    try {
        if (frmsinfgl* owner = platform::Forms::find<frmsinfgl>()) {
            for (DataControl* rs : { owner->rs_Sinf, owner->rs_chufa, owner->rs_award, owner->rs_chengji }) {
                rs->cancel();
                rs->refresh();
            }
        }
    } catch (const DbError& error) {
        // After a save that could not reach the server, the same loss is not told twice.
        if (!m_lossTold || error.isRefusal())
            reportFailure(error.text());
    }
    // Shown whatever happened above: the student window is the one that is left.
    platform::Forms::show(QStringLiteral("frmsinfgl"));
}

void frmAdd::resetPendingRows(frmsinfgl* owner)
{
    for (DataControl* rs : { owner->rs_Sinf, owner->rs_chufa, owner->rs_award, owner->rs_chengji }) {
        rs->cancel();
        rs->refresh();
        rs->addNew();
    }
}

void frmAdd::cmdSave_Click()
{
    frmsinfgl* owner = studentWindow();
    if (!owner)
        return;
    // A loss told by an earlier try is old news once this one is under way: a new one is told.
    m_lossTold = false;
    owner->setServerLossTold(false);
    if (owner->rs_Sinf->editMode() != DataControl::EditMode::Add)
        owner->beginNewRows();
    DataControl* rs_Sinf = owner->rs_Sinf;

    // A text of blanks only counts as empty: it would store a student without number or name.
    const QString number = txtXuehao->text().trimmed();
    const QDate birth = dpkBarth->value(); // a date the picker cannot hold is told before anything is written
    bool writing = false;
    try {
        if (number.isEmpty()) {
            MsgBox::show(QStringLiteral("学号不能为空!"), QStringLiteral("注意"), MsgBox::Icon::Information);
            resetPendingRows(owner);
            txtXuehao->setFocus();
            return;
        }
        rs_Sinf->setField(QStringLiteral("学号"), number);
        if (txtXinming->text().trimmed().isEmpty()) {
            MsgBox::show(QStringLiteral("姓名不能为空!"), QStringLiteral("注意"), MsgBox::Icon::Information);
            resetPendingRows(owner);
            txtXinming->setFocus();
            return;
        }
        rs_Sinf->setField(QStringLiteral("姓名"), txtXinming->text().trimmed());
        if (cbsex->currentIndex() < 0) {
            MsgBox::show(QStringLiteral("性别不能为空!"), QStringLiteral("注意"), MsgBox::Icon::Information);
            resetPendingRows(owner);
            return;
        }
        rs_Sinf->setField(QStringLiteral("性别"), cbsex->currentText());
        rs_Sinf->setField(QStringLiteral("密码"), store::NewRows::firstPassword(number));
        rs_Sinf->setField(QStringLiteral("出生日期"), birth);
        rs_Sinf->setField(QStringLiteral("籍贯"), txtJg->text().trimmed());
        rs_Sinf->setField(QStringLiteral("联系电话"), txtPhone->text().trimmed());
        rs_Sinf->setField(QStringLiteral("联系地址"), txtAddress->text().trimmed());

        const int department = StudentCodes::lookUp(owner->rs_Yxe,
            QStringLiteral("select 学院编码 from 院系代码表 where 全称="), dcbXueyuan->text(), QStringLiteral("学院编码"),
            StudentCodes::chooseFrom(QStringLiteral("所属学院"), QStringLiteral("学院")));
        const int classCode = StudentCodes::lookUp(owner->rs_Bje,
            QStringLiteral("select 班级代码 from 班级代码表 where 全称="), dcbClass->text(), QStringLiteral("班级代码"),
            StudentCodes::chooseFrom(QStringLiteral("所在班级"), QStringLiteral("班级")));
        const int status = StudentCodes::lookUp(owner->rs_Xj, QStringLiteral("select 代码 from 学籍变更代码表 where 全称="),
            dcbXj->text(), QStringLiteral("代码"), StudentCodes::chooseFrom(QStringLiteral("学籍情况"), QStringLiteral("学籍情况")));

        rs_Sinf->setField(QStringLiteral("所在院系编号"), department);
        rs_Sinf->setField(QStringLiteral("所在班级编号"), classCode);
        rs_Sinf->setField(QStringLiteral("学籍情况"), status);
        rs_Sinf->setField(QStringLiteral("政治面貌"), cbmian->currentText().trimmed());
        rs_Sinf->setField(QStringLiteral("备注"), txtMemo->toPlainText().trimmed());

        // The student and its three placeholder rows are stored together or not at all: a
        // student without them would never be found by the award and punishment windows.
        {
            writing = true;
            store::Transaction transaction(rs_Sinf->connection());
            rs_Sinf->update();
            rs_Sinf->refresh();
            DataControl* const rows[] = { owner->rs_chufa, owner->rs_award, owner->rs_chengji };
            const auto placeholders = store::NewRows::placeholders(number, QDate::currentDate());
            for (int i = 0; i < placeholders.size(); ++i) {
                for (int c = 0; c < placeholders[i].columns.size(); ++c)
                    rows[i]->setField(placeholders[i].columns[c], placeholders[i].values[c]);
                rows[i]->update();
                rows[i]->refresh();
            }
            transaction.commit();
            writing = false;
        }
        MsgBox::show(QStringLiteral("信息保存成功!"), QStringLiteral("成功"), MsgBox::Icon::Information);
        platform::Forms::unload(this);
    } catch (const DbError& error) {
        QString text = error.text();
        if (writing && error.isRefusal()) {
            text = StudentCodes::notSaved(text);
            try {
                if (StudentCodes::numberTaken(rs_Sinf->connection(), number))
                    text = StudentCodes::numberTakenText(number);
            } catch (const DbError&) {
            }
        }
        MsgBox::show(text);
        m_lossTold
            = error.kind() == DbError::Kind::ConnectionLost || error.kind() == DbError::Kind::OutcomeUnknown;
        owner->setServerLossTold(m_lossTold);
        try {
            for (DataControl* rs : { owner->rs_Sinf, owner->rs_chufa, owner->rs_award, owner->rs_chengji }) {
                rs->cancel();
                rs->refresh();
            }
        } catch (const DbError&) {
            // The window closes all the same; closing drops and reads them again.
        }
        platform::Forms::unload(this);
    }
}

void frmAdd::cmdClear_Click()
{
    txtXuehao->clear();
    txtXinming->clear();
    dpkBarth->setValue(QDate::currentDate());
    txtJg->clear();
    txtPhone->clear();
    txtAddress->clear();
    txtMemo->clear();
    rs_Bj->setRecordSource(QStringLiteral(" select * from 班级代码表 order by 班级代码"));
    rs_Bj->refresh();
    rs_Xj->setRecordSource(QStringLiteral("select * from 学籍变更代码表 order by 代码"));
    rs_Xj->refresh();
    rs_Yx->setRecordSource(QStringLiteral("select * from 院系代码表 order by 学院编码"));
    rs_Yx->refresh();
}
