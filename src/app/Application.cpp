#include "Application.h"

#include "platform/Form.h"
#include "accounts/AccountsForms.h"
#include "imports/ui/ImportForms.h"
#include "scores/ScoresForms.h"
#include "records/RecordsForms.h"
#include "shell/ShellForms.h"
#include "students/StudentsForms.h"
#include "platform/MsgBox.h"
#include "store/Connection.h"
#include "store/ui/DataGrid.h"

#include <QCursor>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTranslator>
#include <exception>

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Orlenta"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        platform::Form::reportFailure(QString::fromUtf8(error.what()));
        return false;
    }
}

void Application::prepare()
{
    // Qt's own dialogs and menus (the file dialog, the print dialog and preview, a text box's
    // context menu, the calendar) speak Chinese as the program does, whatever the system's
    // language: Qt's translations (Debian's qt6-translations-l10n) and the Chinese locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    static QTranslator* qtTexts = nullptr;
    if (!qtTexts) {
        qtTexts = new QTranslator(qApp);
        if (qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qtTexts);
    }

    registerShellForms();
    registerAccountsForms();
    registerStudentsForms();
    registerScoresForms();
    registerRecordsForms();
    registerImportForms();
    store::DataGrid::setErrorReporter(&platform::Form::reportFailure);
    // A save waiting for another writer of the SQLite file shows the wait cursor, and when the
    // wait runs out the user may wait once more. Work on another thread (a copy taken in the
    // background) waits silently and is told by whoever started it.
    const auto onScreen = [] { return QThread::currentThread() == qApp->thread(); };
    store::Connection::setWriterWait({
        [onScreen] {
            if (!onScreen())
                return;
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            QGuiApplication::sync(); // the window does not paint while it waits: shown now
        },
        [onScreen] {
            if (onScreen())
                QApplication::restoreOverrideCursor();
        },
        [onScreen](const QString& text) -> std::optional<bool> {
            if (!onScreen())
                return std::nullopt;
            return platform::MsgBox::show(text, QStringLiteral("注意"), platform::MsgBox::Icon::Exclamation,
                       platform::MsgBox::Buttons::RetryCancel)
                == platform::MsgBox::Answer::Retry;
        },
    });
}
