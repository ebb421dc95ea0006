#include "AccountsForms.h"

#include "frmGly.h"
#include "frmczjl.h"
#include "frmglyadd.h"
#include "frmputong.h"

#include "platform/Forms.h"

void registerAccountsForms()
{
    platform::Forms::add<frmGly>(QStringLiteral("用户管理窗体.htm"));
    platform::Forms::add<frmglyadd>(QStringLiteral("用户管理窗体.htm#frmglyadd"));
    platform::Forms::add<frmputong>(QStringLiteral("用户管理窗体.htm#frmputong"));
    platform::Forms::add<frmczjl>(QStringLiteral("操作记录窗体.htm"));
}
