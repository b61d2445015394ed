#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/AppSettings.h"
#include "common/MainWindowView.h"
#include "common/SettingsControls.h"
#include "keys/KeyboardEmitter.h"
#include "readproc/Beeper.h"
#include "readproc/DateTokens.h"
#include "serial/SerialComponent.h"

namespace reradav {

// The bytes sent back to the scanner for a beep string such as "7" or "27,66": each
// comma-separated field is a number, rounded, of which the low 8 bits are sent; an empty field
// is 0. nullopt when a value does not fit 32 bits (then nothing is sent).
std::optional<std::string> ParseByteList(std::string_view text);

// "nothing is typed for byte 0x80: its translation entry is empty"; empty if no characters.
std::string EmptyEntriesText(const std::string& characters);

// "cannot type 'x', 'y' on layout us" for the characters a read could not type; empty if none.
std::string UntypableText(const std::string& characters, const std::string& layout);

struct ReadHandlerDeps {
    AppSettings& settings;
    SettingsControls& preferences;
    SerialComponent& serial;
    Beeper& beeper;
    MainWindowView& window;
    Clock& clock;
    KeyboardEmitter* keyboard;  // null when no keyboard output could be opened
};

// What happens to one completed read: the Opto-RS gate, line-end removal, beep, scanner beep
// string, duplicate test, display, and typing through `KeyTrans` plus the postamble.
class ReadHandler {
  public:
    explicit ReadHandler(ReadHandlerDeps deps) : d_(deps) {}

    // Takes the read out of `pendingRead`, which is empty afterwards.
    void ProcessRead(std::string& pendingRead);

    const std::string& LastRead() const { return lastRead_; }

  private:
    ReadHandlerDeps d_;
    std::string lastRead_;
    bool pollToggle_ = false;
};

}  // namespace reradav
