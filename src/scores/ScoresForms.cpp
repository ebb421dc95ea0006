#include "ScoresForms.h"

#include "frmchenggl.h"
#include "frmchz.h"
#include "frmkgl.h"

#include "platform/Forms.h"

void registerScoresForms()
{
    platform::Forms::add<frmchenggl>(QStringLiteral("学生成绩管理窗体.htm"));
    platform::Forms::add<frmkgl>(QStringLiteral("课程管理窗体.htm"));
    platform::Forms::add<frmchz>(QStringLiteral("成绩分类汇总窗口.htm"));
}
