#include "Value.h"

#include "Sql.h"

#include <QDate>
#include <QDateTime>

namespace store {

QString displayText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate: return Sql::dateText(value.toDate());
    case QMetaType::QDateTime: return Sql::dateText(value.toDateTime().date());
    case QMetaType::Double:
    case QMetaType::Float: return QString::number(value.toDouble(), 'g', 15);
    default: return value.toString();
    }
}

} // namespace store
