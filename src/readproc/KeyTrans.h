#pragma once

#include "common/AppSettings.h"

namespace reradav {

// Built-in key strings for every character code: printable characters type themselves,
// notation characters are braced, a few control characters are named keys, the rest type
// nothing, and "$" and "%" are F9 and F10.
void InitKeyTrans(KeyTransTable& keyTrans);

}  // namespace reradav
