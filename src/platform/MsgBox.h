#pragma once

#include <QPixmap>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace platform {

// Message boxes of the program. Every box goes through show(), which tests can script: in
// scripted mode nothing is shown, each box is recorded and answered from the script.
class MsgBox {
public:
    enum class Icon { None, Information, Exclamation, Question, Critical };
    enum class Buttons { Ok, OkCancel, YesNo, RetryCancel };
    enum class Answer { Ok, Cancel, Yes, No, Retry };

    struct Shown {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
        Answer answer;
    };

    // A box with no title of its own carries the program's title, "Orlenta". An empty text is
    // nothing to tell: no box is shown (a failure the user has been told of already).
    static Answer show(const QString& text, const QString& title = {}, Icon icon = Icon::None,
        Buttons buttons = Buttons::Ok);

    // The box that show() puts up, not yet shown (tests render it to look at).
    static std::unique_ptr<QMessageBox> makeBox(const QString& text, const QString& title = {}, Icon icon = Icon::None,
        Buttons buttons = Buttons::Ok, QWidget* parent = nullptr);
    // A box's icon, drawn from the program's own pictures for a screen of the given scale, so that
    // it is sharp at any scale; null for Icon::None.
    static QPixmap iconPixmap(Icon icon, qreal devicePixelRatio);
    static constexpr int IconSize = 40;

    // Test seam: record boxes instead of showing them; answers are taken in order, and an
    // unscripted box gets OK, or No/Cancel where it asks a question.
    static void setScripted(bool scripted);
    static bool isScripted();
    static void answerNext(Answer answer);
    static const QVector<Shown>& shown();
    static void clear();
    // Called after each recorded box (tests use it to act while a box would be open).
    static void setObserver(std::function<void(const Shown&)> observer);
};

} // namespace platform
