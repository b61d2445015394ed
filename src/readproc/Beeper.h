#pragma once

namespace reradav {

// MessageBeep sound types.
enum BeepType : unsigned {
    MB_OK = 0,
    MB_ICONHAND = 16,
    MB_ICONQUESTION = 32,
    MB_ICONEXCLAMATION = 48,
    MB_ICONASTERISK = 64,
};

class Beeper {
  public:
    virtual ~Beeper() = default;
    virtual void MessageBeep(BeepType type) = 0;
};

// The sound for a position of the sound list: Default Sound, Asterisk, Exclamation, Hand,
// Question; anything else is the default sound.
inline BeepType BeepTypeForSound(int position) {
    constexpr BeepType kTypes[] = {MB_OK, MB_ICONASTERISK, MB_ICONEXCLAMATION, MB_ICONHAND,
                                   MB_ICONQUESTION};
    return position >= 0 && position < 5 ? kTypes[position] : MB_OK;
}

}  // namespace reradav
