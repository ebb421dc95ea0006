#pragma once

#include <QDate>
#include <QDateEdit>

namespace store {

// A date picker: one calendar date (Value), shown as 2006-5-19, with a drop-down calendar.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    QDate value() const { return date(); }
    void setValue(const QDate& value) { setDate(value); }
};

} // namespace store
