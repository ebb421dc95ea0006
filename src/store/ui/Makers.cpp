#include "Makers.h"

#include "../DataControl.h"
#include "DataCombo.h"
#include "DatePicker.h"

namespace store {

DataControl* dataControl(QObject* parent, const char* name)
{
    auto* rs = new DataControl(parent);
    rs->setObjectName(QString::fromLatin1(name));
    return rs;
}

DataCombo* dataCombo(QWidget* parent, const char* name, DataControl* rows, const QString& listField)
{
    auto* combo = new DataCombo(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setRowSource(rows, listField);
    return combo;
}

DatePicker* datePicker(QWidget* parent, const char* name)
{
    auto* picker = new DatePicker(parent);
    picker->setObjectName(QString::fromLatin1(name));
    return picker;
}

} // namespace store
