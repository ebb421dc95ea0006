#include "MsgBox.h"

#include <QApplication>
#include <QIcon>
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

QString iconResource(MsgBox::Icon icon)
{
    switch (icon) {
    case MsgBox::Icon::Information: return QStringLiteral(":/icons/msg-information.svg");
    case MsgBox::Icon::Exclamation: return QStringLiteral(":/icons/msg-warning.svg");
    case MsgBox::Icon::Question: return QStringLiteral(":/icons/msg-question.svg");
    case MsgBox::Icon::Critical: return QStringLiteral(":/icons/msg-error.svg");
    case MsgBox::Icon::None: break;
    }
    return {};
}
} // namespace

MsgBox::Answer MsgBox::show(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    if (text.isEmpty())
        return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
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

    const auto box = makeBox(text, caption, icon, buttons, QApplication::activeWindow());
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    const QMessageBox::ButtonRole role = clicked ? box->buttonRole(clicked) : QMessageBox::InvalidRole;
    if (role == QMessageBox::AcceptRole)
        return buttons == Buttons::RetryCancel ? Answer::Retry : Answer::Ok;
    if (role == QMessageBox::YesRole)
        return Answer::Yes;
    if (buttons == Buttons::YesNo)
        return Answer::No;
    if (buttons == Buttons::OkCancel || buttons == Buttons::RetryCancel)
        return Answer::Cancel;
    return Answer::Ok;
}

QPixmap MsgBox::iconPixmap(Icon icon, qreal devicePixelRatio)
{
    const QString resource = iconResource(icon);
    if (resource.isEmpty())
        return {};
    return QIcon(resource).pixmap(QSize(IconSize, IconSize), devicePixelRatio);
}

std::unique_ptr<QMessageBox> MsgBox::makeBox(const QString& text, const QString& title, Icon icon, Buttons buttons,
    QWidget* parent)
{
    const QString caption = title.isEmpty() ? QStringLiteral("Orlenta") : title;
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, caption, text, QMessageBox::NoButton, parent);
    if (icon != Icon::None) {
        const qreal scale = parent ? parent->devicePixelRatioF() : qApp->devicePixelRatio();
        box->setIconPixmap(iconPixmap(icon, scale));
    }
    QAbstractButton* first = nullptr;
    switch (buttons) {
    case Buttons::Ok: first = box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole); break;
    case Buttons::OkCancel:
        first = box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        break;
    case Buttons::RetryCancel:
        first = box->addButton(QStringLiteral("重试(&R)"), QMessageBox::AcceptRole);
        box->setEscapeButton(box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
        break;
    case Buttons::YesNo: {
        first = box->addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        box->setEscapeButton(box->addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole));
        break;
    }
    }
    box->setDefaultButton(qobject_cast<QPushButton*>(first));
    return box;
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
