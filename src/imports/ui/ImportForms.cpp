#include "ImportForms.h"

#include "frmDaoru.h"

#include "platform/Forms.h"

void registerImportForms()
{
    platform::Forms::add<frmDaoru>(QStringLiteral("导入窗体.htm"));
    platform::Forms::addOpening(QStringLiteral("frmDaoru/students"), [] { return frmDaoru::openFor(imports::Kind::Students); });
    platform::Forms::addOpening(QStringLiteral("frmDaoru/scores"), [] { return frmDaoru::openFor(imports::Kind::Scores); });
}
