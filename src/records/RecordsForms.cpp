#include "RecordsForms.h"

#include "frmXjgl.h"
#include "frmZcj.h"
#include "frmaward.h"
#include "frmchufa.h"
#include "frmyzj.h"

#include "platform/Forms.h"

void registerRecordsForms()
{
    platform::Forms::add<frmaward>(QStringLiteral("学生奖励记录管理窗体.htm"));
    platform::Forms::add<frmchufa>(QStringLiteral("学生处罚记录管理窗体.htm"));
    platform::Forms::add<frmXjgl>(QStringLiteral("学生学籍查询窗体.htm"));
    platform::Forms::add<frmyzj>(QStringLiteral("用户自定义查询窗口.htm"));
    platform::Forms::add<frmZcj>(QStringLiteral("用户自定义查询结果窗口.htm"));
}
