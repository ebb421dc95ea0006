#include "StudentsForms.h"

#include "frmAdd.h"
#include "frmallinf.h"
#include "frmsinfgl.h"

#include "platform/Forms.h"

void registerStudentsForms()
{
    platform::Forms::add<frmsinfgl>(QStringLiteral("学生信息管理窗体.htm"));
    platform::Forms::add<frmAdd>(QStringLiteral("学生信息管理窗体.htm#frmAdd"));
    platform::Forms::add<frmallinf>(QStringLiteral("学生信息管理窗体.htm#frmallinf"));
    // The new-student window works on new rows of the student window, which is loaded behind it
    // without being shown.
    platform::Forms::addOpening(QStringLiteral("frmAdd"), []() -> platform::Form* {
        frmsinfgl* owner = platform::Forms::load<frmsinfgl>();
        if (!owner)
            return nullptr;
        try {
            owner->beginNewRows();
        } catch (...) {
            if (!owner->isVisible())
                platform::Forms::unload(owner);
            throw;
        }
        return platform::Forms::show(QStringLiteral("frmAdd"));
    });
}
