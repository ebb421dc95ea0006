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
    registerShellForms();
    registerAccountsForms();
    registerStudentsForms();
    registerScoresForms();
    registerRecordsForms();
    registerImportForms();
    store::DataGrid::setErrorReporter(&platform::Form::reportFailure);
}
