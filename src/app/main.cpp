#include "Application.h"

#include "platform/Forms.h"

int main(int argc, char** argv)
{
    Application app(argc, argv);
    Application::prepare();
    QApplication::setQuitOnLastWindowClosed(false); // the program ends when its last window is unloaded
    platform::Forms::show(QStringLiteral("frmCload"));
    return app.exec();
}
