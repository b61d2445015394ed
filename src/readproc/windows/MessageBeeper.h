#pragma once

#include "readproc/Beeper.h"

namespace reradav {

// The sounds of the user's sound scheme for message boxes. MessageBeep plays them without
// waiting; without a sound device nothing is heard and nothing is said.
class MessageBeeper : public Beeper {
  public:
    void MessageBeep(BeepType type) override;
};

}  // namespace reradav
