#include "frmStudent.h"

#include "Browsing.h"
#include "PasswordChange.h"

#include "BasVal.h"

#include "platform/Program.h"
#include "platform/Widgets.h"
#include "reports/Transcript.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"
#include "store/ui/BoundField.h"
#include "store/ui/DataGrid.h"
#include "store/ui/Makers.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using store::BoundField;
using store::Sql::quote;

namespace {

// The condition on a code column that finds the row of a code read from the student's row.
// A null code has no row; "= NULL" matches nothing on every engine, where '' would be refused
// as a number by some.
QString codeIs(const QString& code)
{
    return code.isNull() ? QStringLiteral("=") + store::Sql::literal(QVariant(), store::ColumnType::SmallInt)
                         : QStringLiteral("=") + quote(code);
}

QString codeText(const QVariant& value) { return value.isNull() ? QString() : value.toString(); }

} // namespace

frmStudent::frmStudent()
{
    setWindowTitle(QStringLiteral("学生个人信息浏览窗体"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    rs_Infl = store::dataControl(this, "rs_Infl");
    rs_Cjl = store::dataControl(this, "rs_Cjl");
    rs_Yx = store::dataControl(this, "rs_Yx");
    rs_Bj = store::dataControl(this, "rs_Bj");
    rs_Xj = store::dataControl(this, "rs_Xj");

    lblAinf = ui::label(central, "lblAinf", QStringLiteral("学生个人信息"));
    QFont big = lblAinf->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblAinf->setFont(big);
    lblAinf->setAlignment(Qt::AlignCenter);

    // The personal record, one labelled box per field.
    famInf = ui::frame(central, "famInf", QStringLiteral("学生基本信息"));
    txtXuehao = ui::lockedBox(famInf, "txtXuehao");
    txtXinming = ui::lockedBox(famInf, "txtXinming");
    txtXb = ui::lockedBox(famInf, "txtXb");
    txtCd = ui::lockedBox(famInf, "txtCd");
    txtJg = ui::lockedBox(famInf, "txtJg");
    txtXy = ui::lockedBox(famInf, "txtXy");
    txtClass = ui::lockedBox(famInf, "txtClass");
    txtPhone = ui::lockedBox(famInf, "txtPhone");
    txtAddress = ui::lockedBox(famInf, "txtAddress");
    txtMian = ui::lockedBox(famInf, "txtMian");
    txtXueji = ui::lockedBox(famInf, "txtXueji");
    txtMemo = ui::memoBox(famInf, "txtMemo");
    ui::lock(txtMemo, true);
    auto* info = new QGridLayout(famInf);
    info->setVerticalSpacing(6);
    const struct {
        const char* label;
        const char* text;
        QWidget* box;
    } rows[] = {
        { "lblXuehao", "学号:", txtXuehao },
        { "lblXinming", "姓名:", txtXinming },
        { "lblXb", "性别:", txtXb },
        { "lblCd", "出生日期:", txtCd },
        { "lblJg", "籍贯:", txtJg },
        { "lblXy", "所属学院:", txtXy },
        { "lblClass", "所在班级:", txtClass },
        { "lblPhone", "联系电话:", txtPhone },
        { "lblAddress", "联系地址:", txtAddress },
        { "lblMian", "政治面貌:", txtMian },
        { "lblXueji", "学籍情况:", txtXueji },
        { "lblMemo", "备注:", txtMemo },
    };
    int row = 0;
    for (const auto& r : rows) {
        QLabel* label = ui::label(famInf, r.label, QString::fromUtf8(r.text));
        info->addWidget(label, row, 0, r.box == txtMemo ? Qt::AlignTop : Qt::Alignment());
        info->addWidget(r.box, row, 1);
        ++row;
    }
    info->setRowStretch(row - 1, 1);
    info->setColumnStretch(1, 1);
    txtMemo->setMinimumHeight(60);
    ui::keepReadable(famInf);

    BoundField::bind(txtXuehao, rs_Infl, QStringLiteral("学号"));
    BoundField::bind(txtXinming, rs_Infl, QStringLiteral("姓名"));
    BoundField::bind(txtXb, rs_Infl, QStringLiteral("性别"));
    BoundField::bind(txtCd, rs_Infl, QStringLiteral("出生日期"));
    BoundField::bind(txtJg, rs_Infl, QStringLiteral("籍贯"));
    BoundField::bind(txtXy, rs_Yx, QStringLiteral("全称"));
    BoundField::bind(txtClass, rs_Bj, QStringLiteral("全称"));
    BoundField::bind(txtPhone, rs_Infl, QStringLiteral("联系电话"));
    BoundField::bind(txtAddress, rs_Infl, QStringLiteral("联系地址"));
    BoundField::bind(txtMian, rs_Infl, QStringLiteral("政治面貌"));
    BoundField::bind(txtXueji, rs_Xj, QStringLiteral("全称"));
    BoundField::bind(txtMemo, rs_Infl, QStringLiteral("备注"));

    // The scores: the current one in boxes, all of them in the grid, and the browsing buttons.
    famCj = ui::frame(central, "famCj", QStringLiteral("学生成绩信息"));
    txtKm = ui::lockedBox(famCj, "txtKm");
    Text1 = ui::lockedBox(famCj, "Text1");
    Text2 = ui::lockedBox(famCj, "Text2");
    BoundField::bind(txtKm, rs_Cjl, QStringLiteral("课程名"));
    BoundField::bind(Text1, rs_Cjl, QStringLiteral("考试时间"));
    BoundField::bind(Text2, rs_Cjl, QStringLiteral("成绩"));
    dgdCinf = new store::DataGrid(famCj);
    dgdCinf->setObjectName(QStringLiteral("dgdCinf"));
    dgdCinf->setDataSource(rs_Cjl);
    dgdCinf->setColumns({ { QStringLiteral("编号"), QStringLiteral("编号") }, { QStringLiteral("学号"), QStringLiteral("学号") },
        { QStringLiteral("考试科目"), QStringLiteral("课程名") }, { QStringLiteral("成绩"), QStringLiteral("成绩") },
        { QStringLiteral("考试时间"), QStringLiteral("考试时间") } });
    dgdCinf->setAllowUpdate(false); // a student reads the own scores, never edits them

    const ui::BrowseButtons browse = ui::browseButtons(famCj, QStringLiteral("浏览"));
    famLl = browse.frame;
    cmdFirst = browse.first;
    cmdPreive = browse.previous;
    cmdNext = browse.next;
    cmdLast = browse.last;

    auto* current = new QGridLayout;
    current->addWidget(ui::label(famCj, "lblKm", QStringLiteral("考试科目:")), 0, 0);
    current->addWidget(txtKm, 0, 1, 1, 3);
    current->addWidget(ui::label(famCj, "lblKs", QStringLiteral("考试日期:")), 1, 0);
    current->addWidget(Text1, 1, 1);
    current->addWidget(ui::label(famCj, "lblCj", QStringLiteral("成绩:")), 1, 2);
    current->addWidget(Text2, 1, 3);
    current->setColumnStretch(1, 1);
    current->setColumnStretch(3, 1);
    auto* scores = new QVBoxLayout(famCj);
    scores->addLayout(current);
    scores->addWidget(dgdCinf, 1);
    scores->addWidget(famLl, 0, Qt::AlignHCenter);

    // The password change and its note.
    famCm = ui::frame(central, "famCm", QStringLiteral("密码更改"));
    lblMm = ui::label(famCm, "lblMm", QStringLiteral("您的新密码:"));
    txtMm = ui::passwordBox(famCm, "txtMm");
    lblQmm = ui::label(famCm, "lblQmm", QStringLiteral("确认新密码:"));
    txtXmm = ui::passwordBox(famCm, "txtXmm");
    cmdYes = ui::button(famCm, "cmdYes", QStringLiteral("确认"));
    cmdNo = ui::button(famCm, "cmdNo", QStringLiteral("取消"));
    auto* password = new QGridLayout(famCm);
    password->addWidget(lblMm, 0, 0);
    password->addWidget(txtMm, 0, 1);
    password->addWidget(lblQmm, 1, 0);
    password->addWidget(txtXmm, 1, 1);
    auto* confirm = new QHBoxLayout;
    confirm->addStretch();
    confirm->addWidget(cmdYes);
    confirm->addWidget(cmdNo);
    password->addLayout(confirm, 2, 0, 1, 2);
    password->setColumnStretch(1, 1);

    famZhuyi = ui::frame(central, "famZhuyi", QStringLiteral("请注意"));
    lblTishi = ui::label(famZhuyi,
        "lblTishi",
        QStringLiteral("    请在\"密码更改\"窗口更改您的密码。密码更改后下次登陆将生效,请保管好您的新密码。若密码丢失请与系统管理员联系!"));
    lblTishi->setWordWrap(true);
    lblTishi->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* note = new QVBoxLayout(famZhuyi);
    note->addWidget(lblTishi);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(famCm, 1);
    bottom->addWidget(famZhuyi, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(famCj, 1);
    right->addLayout(bottom);
    auto* middle = new QHBoxLayout;
    middle->addWidget(famInf, 2);
    middle->addLayout(right, 3);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(14, 10, 14, 14);
    // The transcript's button stands at the right end of the heading's row; the heading stays
    // centred over the window.
    cmdDycjd = ui::button(central, "cmdDycjd", QStringLiteral("打印成绩单…"));
    auto* heading = new QGridLayout;
    heading->addWidget(lblAinf, 0, 0);
    heading->addWidget(cmdDycjd, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    layout->addLayout(heading);
    layout->addLayout(middle, 1);

    setTabOrder(txtMm, txtXmm);
    setTabOrder(txtXmm, cmdYes);
    setTabOrder(cmdYes, cmdNo);
    resize(1000, 640);

    on(cmdFirst, &QPushButton::clicked, &frmStudent::cmdFirst_Click);
    on(cmdPreive, &QPushButton::clicked, &frmStudent::cmdPreive_Click);
    on(cmdNext, &QPushButton::clicked, &frmStudent::cmdNext_Click);
    on(cmdLast, &QPushButton::clicked, &frmStudent::cmdLast_Click);
    on(cmdYes, &QPushButton::clicked, &frmStudent::cmdYes_Click);
    on(cmdNo, &QPushButton::clicked, &frmStudent::cmdNo_Click);
    on(cmdDycjd, &QPushButton::clicked, &frmStudent::cmdDycjd_Click);
}

void frmStudent::Form_Load()
{
    rs_Infl->setRecordSource(QStringLiteral("select * from 学生个人信息表"));
    rs_Cjl->setRecordSource(QStringLiteral("select * from 学生成绩表"));
    rs_Yx->setRecordSource(QStringLiteral("select * from 院系代码表"));
    rs_Bj->setRecordSource(QStringLiteral("select * from 班级代码表"));
    rs_Xj->setRecordSource(QStringLiteral("select * from 学籍变更代码表"));
    for (store::DataControl* control : { rs_Infl, rs_Cjl, rs_Yx, rs_Bj, rs_Xj })
        control->refresh();
}

void frmStudent::Form_Activate()
{
    rs_Cjl->setRecordSource(QStringLiteral("select * from 学生成绩表 where 学号=") + quote(BasVal::UserName));
    rs_Cjl->refresh();
    rs_Infl->setRecordSource(QStringLiteral("select * from 学生个人信息表 where 学号=") + quote(BasVal::UserName));
    rs_Infl->refresh();

    m_yxCode = codeText(rs_Infl->field(QStringLiteral("所在院系编号")));
    m_bjCode = codeText(rs_Infl->field(QStringLiteral("所在班级编号")));
    m_xjCode = codeText(rs_Infl->field(QStringLiteral("学籍情况")));

    // A code without a row (null, or one the code table does not have) leaves its name empty.
    rs_Yx->setRecordSource(QStringLiteral("select * from 院系代码表 where 学院编码") + codeIs(m_yxCode));
    rs_Yx->refresh();
    rs_Bj->setRecordSource(QStringLiteral("select * from 班级代码表 where 班级代码") + codeIs(m_bjCode));
    rs_Bj->refresh();
    rs_Xj->setRecordSource(QStringLiteral("select * from 学籍变更代码表 where 代码") + codeIs(m_xjCode));
    rs_Xj->refresh();
}

void frmStudent::cmdFirst_Click() { Browsing::first(rs_Cjl); }

void frmStudent::cmdPreive_Click() { Browsing::previous(rs_Cjl); }

void frmStudent::cmdNext_Click() { Browsing::next(rs_Cjl); }

void frmStudent::cmdLast_Click() { Browsing::last(rs_Cjl); }

void frmStudent::cmdYes_Click()
{
    if (!changePassword(txtMm, txtXmm, rs_Infl, QStringLiteral("密码")))
        return;
    txtMm->clear();
    txtXmm->clear();
}

void frmStudent::cmdNo_Click()
{
    txtMm->clear();
    txtXmm->clear();
    txtMm->setFocus();
}

// The print preview of the signed-in student's own transcript.
void frmStudent::cmdDycjd_Click() { reports::Transcript::preview(this, rs_Infl->connection(), BasVal::UserName); }
