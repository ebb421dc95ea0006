#pragma once

#include <QColor>
#include <QString>
#include <initializer_list>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// Small makers for the controls of the windows: each gets its control name as objectName,
// labels show their text as written (never as markup), buttons take Enter when focused.
namespace ui {

inline const QColor kRequiredRed(192, 0, 0);
inline const QColor kFormBlue(192, 192, 255);
inline const QColor kButtonGreen(192, 255, 192);

QLabel* label(QWidget* parent, const char* name, const QString& text, const QColor& color = QColor());
QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& icon = QString());
QLineEdit* textBox(QWidget* parent, const char* name);
// A text box that starts locked (see lock below): one that shows a value until a window unlocks it.
QLineEdit* lockedBox(QWidget* parent, const char* name);
// What every text box of the program does (textBox calls it): takes texts of any length and
// drops NUL characters as they are typed or pasted. For line edits made elsewhere (a combo's,
// a grid's cell editor).
void takeWhole(QLineEdit* box);
QLineEdit* passwordBox(QWidget* parent, const char* name);
QPlainTextEdit* memoBox(QWidget* parent, const char* name);
QGroupBox* frame(QWidget* parent, const char* name, const QString& title);
QRadioButton* option(QWidget* parent, const char* name, const QString& text);
QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text);
QFrame* line(QWidget* parent, const char* name);

// The browse frame of the record windows: "<<", "<", ">", ">>" in a row (cmdFirst, cmdPreive,
// cmdNext, cmdLast) inside a frame famLl.
struct BrowseButtons {
    QGroupBox* frame;
    QPushButton* first;
    QPushButton* previous;
    QPushButton* next;
    QPushButton* last;
};
BrowseButtons browseButtons(QWidget* parent, const QString& title);

// The layout of the windows that are one grid with a row of buttons below it (the courses, the
// staff accounts): the grid fills its frame, the buttons stand evenly spaced in theirs, and Tab
// goes from the grid along the buttons in their order.
void gridAndButtons(QWidget* central, QGroupBox* gridFrame, QWidget* grid, QGroupBox* buttonFrame,
    std::initializer_list<QPushButton*> buttons);

// Keeps the boxes of a panel beside a grid readable when the window is narrowed: each box, list
// and date picker in it at least as wide as `characters` digits or half as many Chinese characters.
void keepReadable(QWidget* panel, int characters = 12);

// Paints a window or frame in one colour (the student windows' blue, the buttons' green).
void paint(QWidget* widget, const QColor& colour);

// A read-only box keeps its text selectable but takes no typing (the Locked of the windows).
void lock(QLineEdit* box, bool locked);
void lock(QPlainTextEdit* box, bool locked);

} // namespace ui
