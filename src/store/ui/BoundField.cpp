#include "BoundField.h"

#include "../DataControl.h"
#include "../DbError.h"
#include "../Value.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace store {

BoundField* BoundField::bind(QLineEdit* box, DataControl* control, const QString& field)
{
    return new BoundField(box, control, field);
}

BoundField* BoundField::bind(QPlainTextEdit* box, DataControl* control, const QString& field)
{
    return new BoundField(box, control, field);
}

BoundField::BoundField(QWidget* box, DataControl* control, const QString& field)
    : QObject(box)
    , m_box(box)
    , m_control(control)
    , m_field(field)
{
    connect(control, &DataControl::currentChanged, this, &BoundField::show);
    connect(control, &DataControl::aboutToUpdate, this, &BoundField::handOver);
    show();
}

QString BoundField::boxText() const
{
    if (auto* line = qobject_cast<QLineEdit*>(m_box.data()))
        return line->text();
    if (auto* text = qobject_cast<QPlainTextEdit*>(m_box.data()))
        return text->toPlainText();
    return {};
}

void BoundField::setBoxText(const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(m_box.data())) {
        line->setText(text);
        line->setCursorPosition(0);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(m_box.data())) {
        if (edit->toPlainText() != text)
            edit->setPlainText(text);
    }
}

void BoundField::show()
{
    if (!m_box)
        return;
    QString text;
    try {
        if (m_control->currentRow() >= 0 && m_control->fieldIndex(m_field) >= 0)
            text = displayText(m_control->field(m_field));
    } catch (const DbError&) {
        text.clear(); // no current row: the box is empty
    }
    m_shown = text;
    setBoxText(text);
}

void BoundField::handOver()
{
    if (!m_box || m_box->property("readOnly").toBool() || !m_box->isEnabled())
        return;
    const QString typed = boxText();
    if (typed == m_shown || m_control->currentRow() < 0)
        return;
    // What a handler wrote into the field wins over the box.
    if (displayText(m_control->field(m_field)) != m_shown)
        return;
    m_control->setField(m_field, typed);
}

} // namespace store
