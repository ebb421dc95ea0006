#include "ShellForms.h"

#include "frmAbout.h"
#include "frmCload.h"
#include "frmLoad.h"
#include "frmStudent.h"
#include "frmXxsz.h"
#include "frmmain.h"
#include "frmsload.h"

#include "platform/Forms.h"

void registerShellForms()
{
    platform::Forms::add<frmCload>(QStringLiteral("用户登录窗体.htm"));
    platform::Forms::add<frmLoad>(QStringLiteral("用户登录窗体.htm#frmLoad"));
    platform::Forms::add<frmmain>(QStringLiteral("主窗体.htm"));
    platform::Forms::add<frmsload>(QStringLiteral("学生登陆窗体.htm"));
    platform::Forms::add<frmStudent>(QStringLiteral("学生登陆窗体.htm#frmStudent"));
    platform::Forms::add<frmAbout>(QStringLiteral("关于窗体.htm"));
    platform::Forms::add<frmXxsz>(QStringLiteral("主窗体.htm#frmXxsz"));
}
