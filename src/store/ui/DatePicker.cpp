#include "DatePicker.h"

#include "../Sql.h"

namespace store {

namespace {
const QDate kFirst(1900, 1, 1);
const QDate kLast(2999, 12, 31);
// The day before the range stands for a value the picker cannot show; its text is that value's.
const QDate kUnshown = kFirst.addDays(-1);
} // namespace

DatePicker::DatePicker(QWidget* parent)
    : QDateEdit(QDate::currentDate(), parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("yyyy-M-d"));
    setMinimumDate(kFirst);
    setMaximumDate(kLast);
    connect(this, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        if (m_setting)
            return;
        m_picked = true;
        if (date != kUnshown && minimumDate() != kFirst) {
            m_setting = true;
            setSpecialValueText(QString());
            setMinimumDate(kFirst);
            m_setting = false;
        }
    });
}

void DatePicker::setValue(const QDate& value)
{
    m_setting = true;
    m_holdsStored = false;
    m_picked = false;
    setSpecialValueText(QString());
    setMinimumDate(kFirst);
    setDate(std::clamp(value, kFirst, kLast));
    m_setting = false;
}

void DatePicker::setStored(const QVariant& stored)
{
    const QDate date = stored.toDate();
    if (!stored.isNull() && date.isValid() && date >= kFirst && date <= kLast) {
        setValue(date);
        return;
    }
    m_setting = true;
    m_stored = stored;
    m_holdsStored = true;
    m_picked = false;
    // A blank special text would not show at all: one blank stands for no date.
    setMinimumDate(kUnshown);
    setSpecialValueText(stored.isNull() || !date.isValid() ? QStringLiteral(" ") : Sql::dateText(date));
    setDate(kUnshown);
    m_setting = false;
}

QVariant DatePicker::chosen() const
{
    if (m_holdsStored && (!m_picked || date() == kUnshown))
        return m_stored;
    return QVariant(date());
}

} // namespace store
