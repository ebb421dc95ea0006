#include "Browsing.h"

#include "platform/MsgBox.h"
#include "store/DataControl.h"

using platform::MsgBox;

namespace Browsing {

bool nothingToBrowse(store::DataControl* rows)
{
    if (rows->recordCount() != 0)
        return false;
    MsgBox::show(QStringLiteral("当前没有有效记录供浏览!"), QStringLiteral("提示"), MsgBox::Icon::Information);
    return true;
}

void first(store::DataControl* rows)
{
    if (!nothingToBrowse(rows))
        rows->moveFirst();
}

void previous(store::DataControl* rows)
{
    if (nothingToBrowse(rows))
        return;
    rows->movePrevious();
    if (rows->bof())
        rows->moveFirst();
}

void next(store::DataControl* rows)
{
    if (nothingToBrowse(rows))
        return;
    rows->moveNext();
    if (rows->eof())
        rows->moveLast();
}

void last(store::DataControl* rows)
{
    if (!nothingToBrowse(rows))
        rows->moveLast();
}

} // namespace Browsing
