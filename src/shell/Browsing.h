#pragma once

namespace store {
class DataControl;
}

// The browse buttons "<<", "<", ">", ">>" (cmdFirst, cmdPreive, cmdNext, cmdLast) of the record
// windows, over the record set a window browses.
namespace Browsing {

// Tells "当前没有有效记录供浏览!" when the record set has no rows, and answers whether it did:
// there is then nothing to move.
bool nothingToBrowse(store::DataControl* rows);

// Each moves the current row unless there is nothing to browse. A step past either end comes
// back to the end row, silently.
void first(store::DataControl* rows);
void previous(store::DataControl* rows);
void next(store::DataControl* rows);
void last(store::DataControl* rows);

} // namespace Browsing
