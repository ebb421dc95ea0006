#pragma once

namespace platform {

// The key code a KeyDown handler compares with (13 Enter, 38 Up, 40 Down...), for a Qt key;
// 0 for keys no handler looks at.
int keyCode(int qtKey);

} // namespace platform
