#pragma once

#include <QDate>
#include <QDateEdit>
#include <QVariant>
#include <optional>

namespace store {

// A date picker: one calendar date (Value), shown as 2006-5-19, with a drop-down calendar.
//
// Filled from a stored field, it keeps what it cannot show (no date, or a date outside its range)
// and gives it back as it was unless the user picks a date: what is stored is what the box
// showed. Such a value is shown as its text, or blank for no date.
//
// A date typed that it cannot hold (no such day, 2100-2-29, or outside 1900-1-1 to 2999-12-31)
// stays as typed, never replaced by another date: reading the value then throws DbError, a
// refusal that tells why, so that nothing runs with a date the user did not type.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    QDate value() const;
    void setValue(const QDate& value);

    // The field's value; chosen() gives it back until the user picks another date.
    void setStored(const QVariant& stored);
    QVariant chosen() const;
    bool isPicked() const { return m_picked; }

    // True while the box holds a typed text that is no date it can hold.
    bool holdsRefusedText() const;

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The date typed, when the box shows something else than its value.
    std::optional<QDate> typedDate() const;

    QVariant m_stored;
    bool m_holdsStored = false;
    bool m_picked = false;
    bool m_setting = false;
};

} // namespace store
