#include "SearchFrame.h"

#include "platform/Widgets.h"
#include "store/DataControl.h"
#include "store/ui/DataCombo.h"
#include "store/ui/Makers.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString kAllClasses = QStringLiteral("select * from 班级代码表");
const QString kAllDepartments = QStringLiteral("select * from 院系代码表");

void readAgain(store::DataCombo* list, const QString& statement)
{
    list->rowSource()->setRecordSource(statement);
    list->rowSource()->refresh();
}

} // namespace

SearchFrame::SearchFrame(QWidget* parent, store::DataControl* classes, store::DataControl* departments)
    : QGroupBox(QStringLiteral("查询"), parent)
{
    setObjectName(QStringLiteral("famCx"));
    optXh = ui::option(this, "optXh", QStringLiteral("学生学号"));
    txtXh = ui::lockedBox(this, "txtXh");
    optXm = ui::option(this, "optXm", QStringLiteral("学生姓名"));
    txtXm = ui::lockedBox(this, "txtXm");
    optBj = ui::option(this, "optBj", QStringLiteral("所属班级"));
    dcbBj = store::dataCombo(this, "dcbBj", classes, QStringLiteral("全称"));
    dcbBj->setLocked(true);
    optXy = ui::option(this, "optXy", QStringLiteral("所属院系"));
    dcbYx = store::dataCombo(this, "dcbYx", departments, QStringLiteral("全称"));
    dcbYx->setLocked(true);
    cmdFind = ui::button(this, "cmdFind", QStringLiteral("查询(&F)"));
    auto* search = new QGridLayout(this);
    search->addWidget(optXh, 0, 0);
    search->addWidget(txtXh, 0, 1);
    search->addWidget(optXm, 1, 0);
    search->addWidget(txtXm, 1, 1);
    search->addWidget(optBj, 2, 0);
    search->addWidget(dcbBj, 2, 1);
    search->addWidget(optXy, 3, 0);
    search->addWidget(dcbYx, 3, 1);
    search->addWidget(cmdFind, 4, 1, Qt::AlignRight);
    search->setColumnStretch(1, 1);
}

void SearchFrame::numberChosen() { boxChosen(txtXh, txtXm); }

void SearchFrame::nameChosen() { boxChosen(txtXm, txtXh); }

void SearchFrame::classChosen() { listChosen(dcbBj, kAllClasses, dcbYx); }

void SearchFrame::departmentChosen() { listChosen(dcbYx, kAllDepartments, dcbBj); }

void SearchFrame::boxChosen(QLineEdit* chosen, QLineEdit* other)
{
    readAgain(dcbYx, kAllDepartments);
    readAgain(dcbBj, kAllClasses);
    ui::lock(chosen, false);
    ui::lock(other, true);
    dcbBj->setLocked(true);
    dcbYx->setLocked(true);
    chosen->clear();
    other->clear();
    chosen->setFocus();
}

void SearchFrame::listChosen(store::DataCombo* chosen, const QString& allRows, store::DataCombo* other)
{
    readAgain(chosen, allRows);
    chosen->setLocked(false);
    ui::lock(txtXh, true);
    ui::lock(txtXm, true);
    other->setLocked(true);
    txtXh->clear();
    txtXm->clear();
}
