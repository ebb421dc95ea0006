#include "Application.h"

#include "platform/Form.h"
#include "accounts/AccountsForms.h"
#include "imports/ui/ImportForms.h"
#include "scores/ScoresForms.h"
#include "records/RecordsForms.h"
#include "shell/ShellForms.h"
#include "students/StudentsForms.h"
#include "store/ui/DataGrid.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
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
}
