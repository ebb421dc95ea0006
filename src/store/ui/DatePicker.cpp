#include "DatePicker.h"

#include "../DbError.h"
#include "../Sql.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace store {

namespace {
// The dates the program uses.
const QDate kFirst(1900, 1, 1);
const QDate kLast(2999, 12, 31);
// The picker itself takes every year it can show, so that a year typed outside the program's
// range stays as typed (the spin box would put the year it showed before in its place) and is
// refused when the date is used. The first of these days stands for a value the picker cannot
// show; its text is that value's.
const QDate kUnshown(100, 1, 1);
const QDate kWidestFirst = kUnshown.addDays(1);
const QDate kWidestLast(9999, 12, 31);

// A text on its way to being a date: digits and separators, nothing else.
bool looksLikeADate(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*[0-9]{0,4}([-/.][0-9]{0,2}){0,2}\\s*$"));
    return form.match(text).hasMatch();
}

// A whole date as typed (year, month and day), whether or not there is such a day.
bool isWholeDate(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*[0-9]{4}[-/.][0-9]{1,2}[-/.][0-9]{1,2}\\s*$"));
    return form.match(text).hasMatch();
}

DbError refused(const QString& typed)
{
    return DbError(QStringLiteral("“%1”不是可以使用的日期：请输入 %2 到 %3 之间确有的一天，如 2006-5-19。")
                       .arg(typed.trimmed(), Sql::dateText(kFirst), Sql::dateText(kLast)));
}
} // namespace

DatePicker::DatePicker(QWidget* parent)
    : QDateEdit(QDate::currentDate(), parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("yyyy-M-d"));
    setDateRange(kWidestFirst, kWidestLast);
    connect(this, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        if (m_setting)
            return;
        m_picked = true;
        if (date != kUnshown && minimumDate() != kWidestFirst) {
            m_setting = true;
            setSpecialValueText(QString());
            setMinimumDate(kWidestFirst);
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
    setMinimumDate(kWidestFirst);
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
    if (!specialValueText().isEmpty() && date() == minimumDate() && shown == specialValueText())
        return std::nullopt; // the stored value it cannot show
    QDate typed = date();
    if (shown != textFromDateTime(dateTime()))
        typed = Sql::parseDate(shown); // typed and not taken yet
    if (!typed.isValid() || typed < kFirst || typed > kLast)
        throw refused(shown);
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
    // The spin box makes a day that the month does not have its last day (29 February 2100 the
    // 28th): such a date is kept as typed instead, to be refused when it is used.
    const bool noSuchDay = isWholeDate(input) && !Sql::parseDate(input).isValid();
    if (state == QValidator::Acceptable && !noSuchDay) {
        input = checked;
        pos = at;
        return state;
    }
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
    // The spin box would put its last date back in place of what was typed.
    QCoreApplication::sendEvent(lineEdit(), event);
    QWidget::focusOutEvent(event);
}

void DatePicker::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && holdsRefusedText()) {
        event->ignore(); // as the spin box does, but keeping what was typed
        return;
    }
    QDateEdit::keyPressEvent(event);
}

} // namespace store
