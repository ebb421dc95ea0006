#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace store {

class DataControl;

// A text box bound to one field of a data control (DataSource, DataField): it shows the field
// of the current row, and when the row is written it hands over what the user typed, unless
// the handler has already set that field itself.
class BoundField : public QObject {
    Q_OBJECT
public:
    static BoundField* bind(QLineEdit* box, DataControl* control, const QString& field);
    static BoundField* bind(QPlainTextEdit* box, DataControl* control, const QString& field);

    const QString& field() const { return m_field; }

private:
    BoundField(QWidget* box, DataControl* control, const QString& field);
    void show();
    void handOver();
    QString boxText() const;
    void setBoxText(const QString& text);

    QPointer<QWidget> m_box;
    DataControl* m_control;
    QString m_field;
    QString m_shown;
};

} // namespace store
