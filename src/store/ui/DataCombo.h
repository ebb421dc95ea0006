#pragma once

#include <QComboBox>

namespace store {

class DataControl;

// A data combo: a pick list of one column (ListField) of the rows of a data control, and the
// chosen or typed text (Text). Choosing writes nothing anywhere; the text stays as it is when
// the list's data control is given another statement.
//
// Typing completes from the list, as an editable combo box does; the completer is made when the
// combo first takes the focus, since it reads the whole list every time the list is read again.
class DataCombo : public QComboBox {
    Q_OBJECT
public:
    explicit DataCombo(QWidget* parent = nullptr);

    void setRowSource(DataControl* control, const QString& listField);
    DataControl* rowSource() const { return m_control; }

    QString text() const { return currentText(); }
    void setText(const QString& text);

    // A locked combo shows its text and takes no choice and no typing.
    void setLocked(bool locked);
    bool isLocked() const { return m_locked; }

    void showPopup() override;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void bindColumn();

    DataControl* m_control = nullptr;
    QString m_listField;
    QString m_kept;
    bool m_locked = false;
};

} // namespace store
