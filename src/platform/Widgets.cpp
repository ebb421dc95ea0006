#include "Widgets.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <limits>

namespace ui {

QLabel* label(QWidget* parent, const char* name, const QString& text, const QColor& color)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    if (color.isValid()) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, color);
        l->setPalette(p);
    }
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& icon)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(true); // Enter on a focused button presses it
    if (!icon.isEmpty()) {
        b->setIcon(QIcon(icon));
        b->setIconSize(QSize(20, 20));
    }
    return b;
}

void takeWhole(QLineEdit* box)
{
    // The columns are texts of any length: nothing typed or pasted is cut at Qt's 32,767.
    box->setMaxLength(std::numeric_limits<int>::max());
    // No engine keeps a NUL inside a text: it goes where it is typed or pasted, so that what
    // the box shows is what is stored and what a sign-in compares.
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
        if (!text.contains(QChar(0)))
            return;
        const int cursor = box->cursorPosition() - int(text.left(box->cursorPosition()).count(QChar(0)));
        QString clean = text;
        clean.remove(QChar(0));
        box->setText(clean);
        box->setCursorPosition(cursor);
    });
}

QLineEdit* textBox(QWidget* parent, const char* name)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    takeWhole(box);
    return box;
}

QLineEdit* lockedBox(QWidget* parent, const char* name)
{
    QLineEdit* box = textBox(parent, name);
    lock(box, true);
    return box;
}

QLineEdit* passwordBox(QWidget* parent, const char* name)
{
    QLineEdit* box = textBox(parent, name);
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // every character shows as "*"
    return box;
}

QPlainTextEdit* memoBox(QWidget* parent, const char* name)
{
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box] {
        QTextDocument* document = box->document();
        for (QTextCursor found = document->find(QString(QChar(0))); !found.isNull();
             found = document->find(QString(QChar(0)), found))
            found.removeSelectedText();
    });
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    return box;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& title)
{
    auto* f = new QGroupBox(title, parent);
    f->setObjectName(QString::fromLatin1(name));
    return f;
}

QRadioButton* option(QWidget* parent, const char* name, const QString& text)
{
    auto* o = new QRadioButton(text, parent);
    o->setObjectName(QString::fromLatin1(name));
    return o;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

QFrame* line(QWidget* parent, const char* name)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

BrowseButtons browseButtons(QWidget* parent, const QString& title)
{
    QGroupBox* box = frame(parent, "famLl", title);
    BrowseButtons b { box, button(box, "cmdFirst", QStringLiteral("<<")), button(box, "cmdPreive", QStringLiteral("<")),
        button(box, "cmdNext", QStringLiteral(">")), button(box, "cmdLast", QStringLiteral(">>")) };
    auto* row = new QHBoxLayout(box);
    for (QPushButton* each : { b.first, b.previous, b.next, b.last })
        row->addWidget(each);
    return b;
}

void gridAndButtons(QWidget* central, QGroupBox* gridFrame, QWidget* grid, QGroupBox* buttonFrame,
    std::initializer_list<QPushButton*> buttons)
{
    auto* gridLayout = new QVBoxLayout(gridFrame);
    gridLayout->addWidget(grid);

    auto* row = new QHBoxLayout(buttonFrame);
    row->setSpacing(12);
    for (QPushButton* b : buttons) {
        b->setMinimumWidth(88);
        row->addWidget(b);
    }

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(gridFrame, 1);
    layout->addWidget(buttonFrame);

    QWidget* previous = grid;
    for (QPushButton* b : buttons) {
        QWidget::setTabOrder(previous, b);
        previous = b;
    }
}

void keepReadable(QWidget* panel, int characters)
{
    const QFontMetrics metrics = panel->fontMetrics();
    const int text = std::max(metrics.horizontalAdvance(QString(characters, QLatin1Char('0'))),
        metrics.horizontalAdvance(QChar(0x6C49)) * characters / 2);
    const int width = text + 2 * metrics.averageCharWidth(); // the box's frame and margins
    for (QWidget* box : panel->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(box) || qobject_cast<QComboBox*>(box) || qobject_cast<QAbstractSpinBox*>(box)
            || qobject_cast<QPlainTextEdit*>(box)) {
            if (qobject_cast<QLineEdit*>(box) && qobject_cast<QComboBox*>(box->parentWidget()))
                continue; // a combo's own line
            box->setMinimumWidth(std::max(box->minimumWidth(), width));
        }
    }
}

void paint(QWidget* widget, const QColor& colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Button, colour);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void lock(QLineEdit* box, bool locked) { box->setReadOnly(locked); }
void lock(QPlainTextEdit* box, bool locked) { box->setReadOnly(locked); }

} // namespace ui
