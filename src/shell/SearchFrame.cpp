#include "SearchFrame.h"

#include "platform/Widgets.h"
#include "store/DataControl.h"
#include "store/ui/DataCombo.h"
#include "store/ui/Makers.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

SearchFrame::SearchFrame(QWidget* parent, store::DataControl* classes, store::DataControl* departments)
    : QGroupBox(QStringLiteral("查询"), parent)
    , m_classes(classes)
    , m_departments(departments)
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

void SearchFrame::readClasses()
{
    m_classes->setRecordSource(QStringLiteral("select * from 班级代码表"));
    m_classes->refresh();
}

void SearchFrame::readDepartments()
{
    m_departments->setRecordSource(QStringLiteral("select * from 院系代码表"));
    m_departments->refresh();
}

void SearchFrame::numberChosen()
{
    readDepartments();
    readClasses();
    ui::lock(txtXh, false);
    ui::lock(txtXm, true);
    dcbBj->setLocked(true);
    dcbYx->setLocked(true);
    txtXh->clear();
    txtXm->clear();
    txtXh->setFocus();
}

void SearchFrame::nameChosen()
{
    readDepartments();
    readClasses();
    ui::lock(txtXm, false);
    ui::lock(txtXh, true);
    dcbBj->setLocked(true);
    dcbYx->setLocked(true);
    txtXm->clear();
    txtXh->clear();
    txtXm->setFocus();
}

void SearchFrame::classChosen()
{
    readClasses();
    dcbBj->setLocked(false);
    ui::lock(txtXh, true);
    ui::lock(txtXm, true);
    dcbYx->setLocked(true);
    txtXh->clear();
    txtXm->clear();
}

void SearchFrame::departmentChosen()
{
    readDepartments();
    dcbYx->setLocked(false);
    ui::lock(txtXh, true);
    ui::lock(txtXm, true);
    dcbBj->setLocked(true);
    txtXh->clear();
    txtXm->clear();
}
