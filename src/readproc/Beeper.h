#pragma once

namespace reradav {

// MessageBeep sound types: the values of windows.h's MB_ macros, under names of their own so
// that windows.h can be included beside this header.
enum BeepType : unsigned {
    kMbOk = 0,
    kMbIconHand = 16,
    kMbIconQuestion = 32,
    kMbIconExclamation = 48,
    kMbIconAsterisk = 64,
};

class Beeper {
  public:
    virtual ~Beeper() = default;
    virtual void MessageBeep(BeepType type) = 0;
};

// The sound for a position of the sound list: Default Sound, Asterisk, Exclamation, Hand,
// Question; anything else is the default sound.
inline BeepType BeepTypeForSound(int position) {
    constexpr BeepType kTypes[] = {kMbOk, kMbIconAsterisk, kMbIconExclamation, kMbIconHand,
                                   kMbIconQuestion};
    return position >= 0 && position < 5 ? kTypes[position] : kMbOk;
}

}  // namespace reradav
