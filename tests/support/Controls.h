#pragma once

#include "Gui.h"
#include "PgProxy.h"
#include "TestDb.h"

#include "platform/Forms.h"

#include <QString>
#include <QScopeGuard>
#include <QStringList>

class QWidget;
namespace platform {
class Form;
}
namespace store {
class DataControl;
class DataGrid;
}

// The short forms the window tests are written in: controls named as in the window's code
// (plain C strings), read and driven as a user would. On Gui, which does the work.
namespace Controls {

template <typename T>
T* c(QWidget* window, const char* name)
{
    return Gui::control<T>(window, QString::fromUtf8(name));
}

// Opens a window as the main window does (loaded and shown) and makes it the active one.
platform::Form* open(const QString& name);

store::DataControl* rs(QWidget* window, const char* name);
// The text of a status bar panel, counted from 1.
QString panel(QWidget* window, int number);
// The text of a box, of one line or several.
QString text(QWidget* window, const char* box);
bool locked(QWidget* window, const char* box);
bool enabled(QWidget* window, const char* name);
bool focused(QWidget* window, const char* name);

void press(QWidget* window, const char* button);
void type(QWidget* window, const char* box, const QString& value);
void choose(QWidget* window, const char* option);
// Types a text into a data combo, as choosing it from the list would.
void pick(QWidget* window, const char* combo, const QString& value);

// Clicks a row of a grid in its first shown column, which makes it the current row.
void clickRow(store::DataGrid* grid, int row);
// Opens the editor of a cell of a grid and types into it, leaving it open (as a user who has not
// yet left the cell): the record set has not been told of the text.
void typeInCell(store::DataGrid* grid, int row, const QString& field, const QString& text);
// Presses Alt and a key where the focus is, as the access key of a button; the button's click,
// which comes a moment later, is waited for.
void accessKey(QWidget* window, Qt::Key key);
// The captions of a grid's shown columns, in the order they are shown.
QStringList shownCaptions(store::DataGrid* grid);

// The program reaches the test database through `proxy` (PostgreSQL) until the guard this
// returns goes, which first closes every window.
[[nodiscard]] inline auto throughProxy(PgProxy& proxy)
{
    TestDb::addProxySource(QStringLiteral("Orlenta"), proxy.port());
    return qScopeGuard([] {
        platform::Forms::discardAll();
        TestDb::restoreSources();
    });
}

// A text of `length` characters with quotes, a backslash and the pattern characters of like in it.
QString longText(int length);

} // namespace Controls
