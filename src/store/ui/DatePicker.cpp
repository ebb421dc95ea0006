#include "DatePicker.h"

namespace store {

DatePicker::DatePicker(QWidget* parent)
    : QDateEdit(QDate::currentDate(), parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("yyyy-M-d"));
    setMinimumDate(QDate(1900, 1, 1));
    setMaximumDate(QDate(2999, 12, 31));
}

} // namespace store
