#include "Controls.h"

#include "platform/Forms.h"
#include "store/DataControl.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DataGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace Controls {

platform::Form* open(const QString& name)
{
    platform::Form* form = platform::Forms::open(name);
    Gui::activate(form);
    return form;
}

store::DataControl* rs(QWidget* window, const char* name) { return c<store::DataControl>(window, name); }

QString panel(QWidget* window, int number)
{
    return window->findChild<QLabel*>(QStringLiteral("panel%1").arg(number))->text();
}

QString text(QWidget* window, const char* box) { return Gui::text(window, QString::fromUtf8(box)); }

bool locked(QWidget* window, const char* box)
{
    if (auto* line = window->findChild<QLineEdit*>(QString::fromUtf8(box)))
        return line->isReadOnly();
    return c<QPlainTextEdit>(window, box)->isReadOnly();
}

bool enabled(QWidget* window, const char* name) { return c<QWidget>(window, name)->isEnabled(); }

bool focused(QWidget* window, const char* name) { return QApplication::focusWidget() == c<QWidget>(window, name); }

void press(QWidget* window, const char* button) { Gui::press(window, QString::fromUtf8(button)); }

void type(QWidget* window, const char* box, const QString& value) { Gui::type(window, QString::fromUtf8(box), value); }

void choose(QWidget* window, const char* option) { c<QRadioButton>(window, option)->setChecked(true); }

void pick(QWidget* window, const char* combo, const QString& value) { c<store::DataCombo>(window, combo)->setText(value); }

void clickRow(store::DataGrid* grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, grid->horizontalHeader()->logicalIndex(0)));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    Gui::settle();
}

void typeInCell(store::DataGrid* grid, int row, const QString& field, const QString& text)
{
    const QModelIndex at = grid->model()->index(row, grid->dataSource()->fieldIndex(field));
    grid->setFocus();
    grid->setCurrentIndex(at);
    grid->edit(at);
    Gui::settle();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!editor || !grid->isAncestorOf(editor)) {
        qWarning("no editor opened in %s", qPrintable(grid->objectName()));
        return;
    }
    editor->selectAll();
    editor->insert(text); // as typed over the selection, in any script
}

void accessKey(QWidget* window, Qt::Key key)
{
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : window, key, Qt::AltModifier);
    QTest::qWait(150); // a button pressed by its access key clicks 100 ms later
    Gui::settle();
}

QStringList shownCaptions(store::DataGrid* grid)
{
    QStringList captions;
    for (int i = 0; i < grid->model()->columnCount(); ++i) {
        const int logical = grid->horizontalHeader()->logicalIndex(i);
        if (!grid->isColumnHidden(logical))
            captions << grid->model()->headerData(logical, Qt::Horizontal).toString();
    }
    return captions;
}

QString longText(int length)
{
    QString out;
    while (out.size() < length)
        out += QStringLiteral("很长的文字O'Neil\\%_;");
    return out.left(length);
}

} // namespace Controls
