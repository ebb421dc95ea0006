#include "frmyzj.h"

#include "frmZcj.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Widgets.h"
#include "shell/BasVal.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/UserQuery.h"
#include "store/Value.h"
#include "store/ui/DataCombo.h"
#include "store/ui/Makers.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::MsgBox;
using store::DbError;
namespace UserQuery = store::UserQuery;

frmyzj::frmyzj()
{
    setWindowTitle(QStringLiteral("用户自定义查询窗口"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    ui::paint(this, ui::kFormBlue);
    ui::paint(central, ui::kFormBlue);

    rs_Abm = store::dataControl(this, "rs_Abm");
    rs_Lm = store::dataControl(this, "rs_Lm");

    famYzj = ui::frame(central, "famYzj", QStringLiteral("高级检索"));
    famTj = ui::frame(famYzj, "famTj", QString());
    dcbBm = store::dataCombo(famTj, "dcbBm", rs_Abm, QStringLiteral("表名"));
    cbLn = new QComboBox(famTj);
    cbLn->setObjectName(QStringLiteral("cbLn"));
    cbLn->setMaxVisibleItems(20);
    cbKey = new QComboBox(famTj);
    cbKey->setObjectName(QStringLiteral("cbKey"));
    cbKey->addItems(UserQuery::comparisons());
    cbKey->setCurrentIndex(-1);
    txtTj = ui::textBox(famTj, "txtTj");
    auto* rows = new QGridLayout(famTj);
    int row = 0;
    auto pair = [&](const char* label, const QString& caption, QWidget* box) {
        rows->addWidget(ui::label(famTj, label, caption), row, 0, Qt::AlignRight | Qt::AlignVCenter);
        rows->addWidget(box, row++, 1);
    };
    pair("lblBn", QStringLiteral("请选择检索用表:"), dcbBm);
    pair("lblLn", QStringLiteral("该表所具有的字段:"), cbLn);
    pair("lbltiaojan", QStringLiteral("查询关键字:"), cbKey);
    pair("lblTj", QStringLiteral("查询条件:"), txtTj);
    rows->setColumnStretch(1, 1);

    cmdCx = ui::button(famYzj, "cmdCx", QStringLiteral("检索(&F)"));
    cmdExit = ui::button(famYzj, "cmdExit", QStringLiteral("离开(&E)"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCx);
    buttons->addWidget(cmdExit);
    auto* inner = new QVBoxLayout(famYzj);
    inner->addWidget(famTj);
    inner->addLayout(buttons);

    for (QWidget* f : std::initializer_list<QWidget*> { famYzj, famTj })
        ui::paint(f, ui::kFormBlue);
    for (QPushButton* b : { cmdCx, cmdExit })
        ui::paint(b, ui::kButtonGreen);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(famYzj);
    layout->addStretch(1);
    resize(460, 230);

    // Any click in the table list: its text, its button, or an entry of its list.
    dcbBm->installEventFilter(this);
    dcbBm->lineEdit()->installEventFilter(this);
    on(dcbBm, &QComboBox::activated, &frmyzj::dcbBm_Click);
    // A table typed or chosen by keyboard has no fields listed until it is clicked: the fields
    // of the table listed before are not its own.
    connect(dcbBm, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (text.trimmed() != m_listed) {
            cbLn->clear();
            m_listed.clear();
        }
    });
    on(cmdCx, &QPushButton::clicked, &frmyzj::cmdCx_Click);
    on(cmdExit, &QPushButton::clicked, &frmyzj::cmdExit_Click);
}

bool frmyzj::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && (watched == dcbBm || watched == dcbBm->lineEdit()))
        run([this] { dcbBm_Click(); });
    return Form::eventFilter(watched, event);
}

void frmyzj::Form_Load()
{
    rs_Abm->setRecordSource(UserQuery::tableListStatement());
    rs_Abm->refresh();
    rs_Lm->setRecordSource(QStringLiteral("select * from 全表名"));
    // The list opens on the first table of 全表名 as it is stored; the record set lists them in
    // the order of their names.
    const auto first = rs_Abm->connection().select(UserQuery::tableListStatement() + QStringLiteral(" limit 1"));
    if (!first.rows.isEmpty())
        dcbBm->setText(store::displayText(first.rows[0].value(0)));
}

void frmyzj::Form_Activate()
{
    txtTj->clear();
    BasVal::QueryStatement.clear();
    fillFieldList();
}

void frmyzj::Form_Unload() { platform::Forms::show(QStringLiteral("frmmain")); }

QStringList frmyzj::offeredTables()
{
    QStringList names;
    const int column = rs_Abm->fieldIndex(QStringLiteral("表名"));
    const int count = rs_Abm->recordCount();
    for (int i = 0; i < count && column >= 0; ++i)
        names << store::displayText(rs_Abm->valueAt(i, column));
    return names;
}

void frmyzj::fillFieldList()
{
    // Emptied first: whatever happens, the list never shows the fields of another table.
    cbLn->clear();
    m_listed.clear();
    rs_Lm->setRecordSource(UserQuery::fieldListStatement(dcbBm->text(), offeredTables()));
    rs_Lm->refresh();
    cbLn->addItems(rs_Lm->fieldNames());
    cbLn->setCurrentIndex(-1);
    m_listed = dcbBm->text().trimmed();
}

void frmyzj::dcbBm_Click() { fillFieldList(); }

void frmyzj::cmdCx_Click()
{
    if (txtTj->text().isEmpty()) {
        MsgBox::show(QStringLiteral("请输入查询条件!"), QStringLiteral("注意"), MsgBox::Icon::Information);
        txtTj->setFocus();
        return;
    }
    UserQuery::Choice choice;
    choice.offered = offeredTables();
    choice.table = dcbBm->text();
    for (int i = 0; i < cbLn->count(); ++i)
        choice.fields << cbLn->itemText(i);
    choice.field = cbLn->currentText();
    choice.comparison = cbKey->currentText();
    choice.keyword = txtTj->text();

    frmZcj* results = nullptr;
    try {
        const QString statement = UserQuery::statement(choice, rs_Abm->connection().engine());
        BasVal::QueryStatement = statement;
        results = platform::Forms::load<frmZcj>();
        results->rs_Zdc->setRecordSource(statement);
        results->rs_Zdc->refresh();
    } catch (const DbError& error) {
        MsgBox::show(error.text());
        if (results && !results->isVisible())
            platform::Forms::unload(results);
        txtTj->clear();
        txtTj->setFocus();
        return;
    }
    platform::Forms::hide(this);
    platform::Forms::show(results);
}

void frmyzj::cmdExit_Click() { platform::Forms::unload(this); }
