#include "readproc/windows/MessageBeeper.h"

#include <windows.h>

namespace reradav {

static_assert(kMbOk == MB_OK && kMbIconHand == MB_ICONHAND && kMbIconQuestion == MB_ICONQUESTION &&
                  kMbIconExclamation == MB_ICONEXCLAMATION && kMbIconAsterisk == MB_ICONASTERISK,
              "a beep type is passed to MessageBeep as it is");

void MessageBeeper::MessageBeep(BeepType type) {
    ::MessageBeep(type);
}

}  // namespace reradav
