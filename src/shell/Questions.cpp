#include "Questions.h"

#include "platform/MsgBox.h"
#include "platform/Program.h"

using platform::MsgBox;

namespace Questions {

bool deleteConfirmed()
{
    platform::Program::beep();
    return MsgBox::show(QStringLiteral("要删除此条信息吗?"), QStringLiteral("询问"), MsgBox::Icon::Question,
               MsgBox::Buttons::OkCancel)
        == MsgBox::Answer::Ok;
}

bool cancelConfirmed()
{
    platform::Program::beep();
    return MsgBox::show(QStringLiteral("是否取消此次操作!"), QStringLiteral("询问"), MsgBox::Icon::Question,
               MsgBox::Buttons::YesNo)
        == MsgBox::Answer::Yes;
}

} // namespace Questions
