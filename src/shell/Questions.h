#pragma once

// The questions the record windows ask, with a beep, before they drop something.
namespace Questions {

// "要删除此条信息吗?" (询问, OK and Cancel): whether OK was chosen.
bool deleteConfirmed();

// "是否取消此次操作!" (询问, Yes and No): whether Yes was chosen.
bool cancelConfirmed();

} // namespace Questions
