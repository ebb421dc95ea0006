#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class QWidget;

namespace platform {

// The dialogs that ask where to save a file and which file to open. Like MsgBox it is one seam that tests script: in
// scripted mode nothing is shown, each question is recorded and answered from the script.
class FileDialog {
public:
    struct Asked {
        QString caption;
        QString proposed; // the path or folder the dialog offered
        QString filter;
    };

    // The chosen path, or an empty text when the user cancelled. A name typed without an ending
    // gets `suffix` ("xlsx"); the dialog asks before it names a file that exists already, so a
    // file is replaced only when the user said so there.
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& proposed, const QString& filter,
        const QString& suffix);

    // The chosen existing file, or an empty text when the user cancelled; the dialog opens in
    // `folder`.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filter);

    // Test seam: questions are recorded instead of shown; the answers are taken in order, and an
    // unscripted question is cancelled.
    static void setScripted(bool scripted);
    static void answerNext(const QString& path);
    static const QVector<Asked>& asked();
    static void clear();
};

} // namespace platform
