#include "frmallinf.h"

#include "platform/Forms.h"
#include "platform/Widgets.h"
#include "store/DataControl.h"
#include "store/ui/BoundField.h"
#include "store/ui/DataGrid.h"
#include "store/ui/Makers.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <limits>

frmallinf::frmallinf()
{
    setWindowTitle(QStringLiteral("全部学生信息浏览窗口"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    ui::paint(this, ui::kFormBlue);
    ui::paint(central, ui::kFormBlue);

    rs_Allinf = store::dataControl(this, "rs_Allinf");
    rs_Allinf->setCommandType(store::DataControl::CommandType::Table);

    QLabel* lblTitle = ui::label(central, "lblTitle", QStringLiteral("所有学生信息"), QColor(255, 0, 0));
    QFont heading(QStringLiteral("幼圆"));
    heading.setFamilies({ QStringLiteral("幼圆"), QStringLiteral("YouYuan"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("WenQuanYi Micro Hei") });
    heading.setPointSizeF(26.25);
    heading.setBold(true);
    lblTitle->setFont(heading);
    QWidget* line = ui::line(central, "Line1");
    QLabel* lblHint = ui::label(central, "lblHint", QStringLiteral("<>单击下表进行学生信息浏览"), ui::kRequiredRed);

    famInfa = ui::frame(central, "famInfa", QStringLiteral("全部学生信息"));
    dgdInf = new store::DataGrid(famInfa);
    dgdInf->setObjectName(QStringLiteral("dgdInf"));
    dgdInf->setDataSource(rs_Allinf);
    dgdInf->setAllowUpdate(false);
    auto* gridLayout = new QVBoxLayout(famInfa);
    gridLayout->addWidget(dgdInf);

    famInf = ui::frame(central, "famInf", QString());
    auto* fields = new QGridLayout(famInf);
    int row = 0;
    auto bound = [&](const char* name, const QString& caption, const QString& field) {
        QLineEdit* box = ui::textBox(famInf, name);
        box->setMaxLength(std::numeric_limits<int>::max());
        ui::lock(box, true);
        store::BoundField::bind(box, rs_Allinf, field);
        QString labelName = QString::fromLatin1(name);
        labelName.replace(0, 3, QStringLiteral("lbl"));
        fields->addWidget(ui::label(famInf, labelName.toLatin1().constData(), caption), row, 0, Qt::AlignRight);
        fields->addWidget(box, row++, 1);
        return box;
    };
    txtXuehao = bound("txtXuehao", QStringLiteral("学号:"), QStringLiteral("学号"));
    txtXinming = bound("txtXinming", QStringLiteral("姓名:"), QStringLiteral("姓名"));
    txtXb = bound("txtXb", QStringLiteral("性别:"), QStringLiteral("性别"));
    txtCd = bound("txtCd", QStringLiteral("出生日期:"), QStringLiteral("出生日期"));
    txtJg = bound("txtJg", QStringLiteral("籍贯:"), QStringLiteral("籍贯"));
    txtXy = bound("txtXy", QStringLiteral("所属学院:"), QStringLiteral("所在院系编号"));
    txtClass = bound("txtClass", QStringLiteral("所在班级:"), QStringLiteral("所在班级编号"));
    txtPhone = bound("txtPhone", QStringLiteral("联系电话:"), QStringLiteral("联系电话"));
    txtAddress = bound("txtAddress", QStringLiteral("联系地址:"), QStringLiteral("联系地址"));
    txtMian = bound("txtMian", QStringLiteral("政治面貌:"), QStringLiteral("政治面貌"));
    txtXueji = bound("txtXueji", QStringLiteral("学籍情况:"), QStringLiteral("学籍情况"));
    txtMemo = ui::memoBox(famInf, "txtMemo");
    ui::lock(txtMemo, true);
    store::BoundField::bind(txtMemo, rs_Allinf, QStringLiteral("备注"));
    fields->addWidget(ui::label(famInf, "lblMemo", QStringLiteral("备注:")), row, 0, Qt::AlignRight | Qt::AlignTop);
    fields->addWidget(txtMemo, row, 1);
    fields->setRowStretch(row, 1);
    fields->setColumnStretch(1, 1);
    ui::keepReadable(famInf);

    ui::paint(famInfa, ui::kFormBlue);
    ui::paint(famInf, ui::kFormBlue);

    auto* body = new QHBoxLayout;
    body->addWidget(famInfa, 3);
    body->addWidget(famInf, 1);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(lblTitle, 0, Qt::AlignHCenter);
    layout->addWidget(line);
    layout->addWidget(lblHint);
    layout->addLayout(body, 1);
    resize(1100, 640);
}

void frmallinf::Form_Load()
{
    // The table is named itself; its rows are read once, here.
    rs_Allinf->setRecordSource(QStringLiteral("学生个人信息表"));
    rs_Allinf->refresh();
}

void frmallinf::Form_Activate() { dgdInf->setFocus(); }

void frmallinf::Form_Unload() { platform::Forms::show(QStringLiteral("frmmain")); }
