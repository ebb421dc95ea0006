#pragma once

#include <QDate>
#include <QDateEdit>
#include <QVariant>

namespace store {

// A date picker: one calendar date (Value), shown as 2006-5-19, with a drop-down calendar.
//
// Filled from a stored field, it keeps what it cannot show (no date, or a date outside its range)
// and gives it back as it was unless the user picks a date: what is stored is what the box
// showed. Such a value is shown as its text, or blank for no date.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    QDate value() const { return date(); }
    void setValue(const QDate& value);

    // The field's value; chosen() gives it back until the user picks another date.
    void setStored(const QVariant& stored);
    QVariant chosen() const;
    bool isPicked() const { return m_picked; }

private:
    QVariant m_stored;
    bool m_holdsStored = false;
    bool m_picked = false;
    bool m_setting = false;
};

} // namespace store
