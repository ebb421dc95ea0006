#include "DatePicker.h"

#include "../DbError.h"
#include "../Sql.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace store {

namespace {
const QDate kFirst(1900, 1, 1);
const QDate kLast(2999, 12, 31);
// The day before the range stands for a value the picker cannot show; its text is that value's.
const QDate kUnshown = kFirst.addDays(-1);

// A text on its way to being a date: digits and separators, nothing else.
bool looksLikeADate(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*[0-9]{0,4}([-/.][0-9]{0,2}){0,2}\\s*$"));
    return form.match(text).hasMatch();
}
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
    if (const auto typed = typedDate())
        return QVariant(*typed);
    if (m_holdsStored && (!m_picked || date() == kUnshown))
        return m_stored;
    return QVariant(date());
}

QDate DatePicker::value() const
{
    if (const auto typed = typedDate())
        return *typed;
    return date();
}

std::optional<QDate> DatePicker::typedDate() const
{
    const QString shown = lineEdit()->text();
    const bool asSet = (!specialValueText().isEmpty() && date() == minimumDate() && shown == specialValueText())
        || shown == textFromDateTime(dateTime());
    if (asSet)
        return std::nullopt;
    const QDate typed = Sql::parseDate(shown);
    if (!typed.isValid() || typed < kFirst || typed > kLast)
        throw DbError(QStringLiteral("“%1”不是可以使用的日期：请输入 %2 到 %3 之间确有的一天，如 2006-5-19。")
                          .arg(shown.trimmed(), Sql::dateText(kFirst), Sql::dateText(kLast)));
    return typed;
}

bool DatePicker::holdsRefusedText() const
{
    try {
        typedDate();
        return false;
    } catch (const DbError&) {
        return true;
    }
}

QValidator::State DatePicker::validate(QString& input, int& pos) const
{
    QString checked = input;
    int at = pos;
    const QValidator::State state = QDateEdit::validate(checked, at);
    if (state == QValidator::Acceptable) {
        input = checked;
        pos = at;
        return state;
    }
    // What the picker cannot hold is still taken as typed: it is refused when the date is used,
    // not replaced by a neighbouring date.
    return looksLikeADate(input) ? QValidator::Intermediate : state;
}

void DatePicker::fixup(QString& input) const
{
    if (!looksLikeADate(input))
        QDateEdit::fixup(input);
}

void DatePicker::focusOutEvent(QFocusEvent* event)
{
    if (!holdsRefusedText()) {
        QDateEdit::focusOutEvent(event);
        return;
    }
    // The spin box would put its last date back in place of the text.
    QCoreApplication::sendEvent(lineEdit(), event);
    QWidget::focusOutEvent(event);
}

void DatePicker::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && holdsRefusedText()) {
        event->ignore(); // as the spin box does, but keeping the text
        return;
    }
    QDateEdit::keyPressEvent(event);
}

} // namespace store
