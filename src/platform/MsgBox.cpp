#include "MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>

namespace platform {

namespace {
struct Script {
    bool scripted = false;
    QQueue<MsgBox::Answer> answers;
    QVector<MsgBox::Shown> shown;
    std::function<void(const MsgBox::Shown&)> observer;
};
Script& script()
{
    static Script s;
    return s;
}

QMessageBox::Icon qtIcon(MsgBox::Icon icon)
{
    switch (icon) {
    case MsgBox::Icon::Information: return QMessageBox::Information;
    case MsgBox::Icon::Exclamation: return QMessageBox::Warning;
    case MsgBox::Icon::Question: return QMessageBox::Question;
    case MsgBox::Icon::Critical: return QMessageBox::Critical;
    case MsgBox::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

MsgBox::Answer MsgBox::show(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    const QString caption = title.isEmpty() ? QStringLiteral("Orlenta") : title;
    Script& s = script();
    if (s.scripted) {
        Answer answer = buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
        if (!s.answers.isEmpty())
            answer = s.answers.dequeue();
        s.shown.push_back({ text, caption, icon, buttons, answer });
        if (s.observer)
            s.observer(s.shown.last());
        return answer;
    }

    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    QAbstractButton* ok = nullptr;
    QAbstractButton* cancel = nullptr;
    QAbstractButton* yes = nullptr;
    QAbstractButton* no = nullptr;
    switch (buttons) {
    case Buttons::Ok: ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole); break;
    case Buttons::OkCancel:
        ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        break;
    case Buttons::YesNo:
        yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setEscapeButton(no);
        break;
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(ok ? ok : yes));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked && clicked == ok)
        return Answer::Ok;
    if (clicked && clicked == yes)
        return Answer::Yes;
    if (buttons == Buttons::YesNo)
        return Answer::No;
    if (buttons == Buttons::OkCancel)
        return Answer::Cancel;
    Q_UNUSED(cancel);
    Q_UNUSED(no);
    return Answer::Ok;
}

void MsgBox::setScripted(bool scripted) { script().scripted = scripted; }
bool MsgBox::isScripted() { return script().scripted; }
void MsgBox::answerNext(Answer answer) { script().answers.enqueue(answer); }
const QVector<MsgBox::Shown>& MsgBox::shown() { return script().shown; }

void MsgBox::clear()
{
    script().answers.clear();
    script().shown.clear();
}

void MsgBox::setObserver(std::function<void(const Shown&)> observer) { script().observer = std::move(observer); }

} // namespace platform
