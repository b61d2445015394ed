#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "keys/KeyStringParser.h"
#include "keys/KeyboardPlatform.h"

namespace reradav {

struct KeyAction {
    std::uint8_t code;  // virtual key, or the character itself
    bool down;
    bool character = false;  // a character no key types (kKeyEventUnicode)
    bool operator==(const KeyAction&) const = default;
};

// Types key strings as paced key events. Not re-entrant: a caller whose handlers run during
// the pacing wait must hold off further typing until `Typing()` is false.
class KeyboardEmitter {
  public:
    explicit KeyboardEmitter(KeyboardPlatform& platform) : platform_(platform), parser_(platform) {}

    // Parses the key string; only if it parses are its keys typed. The keyboard state and
    // Caps Lock are saved before and restored after, so letters come out as written.
    ParseResult SimKeys(std::string_view keyString);

    // The key actions of the queued codes, one at a time; each normal key's release directly
    // follows its press, and the modifier toggles follow their state.
    std::optional<KeyAction> NextKeyAction();
    void ResetNextKeyAction();

    bool Typing() const { return typing_; }

    // The characters that nothing on the layout could type since the last call, each once.
    std::string TakeUntypable() { return std::exchange(untypable_, {}); }
    std::string LayoutName() { return platform_.LayoutName(); }
    std::string Failure() { return platform_.Failure(); }

    // A quit: typing goes on for up to kStopGraceMs, so a read nearly done still ends whole;
    // then the key being typed is released, every modifier let go, Caps Lock put back, and
    // nothing more is typed.
    void RequestStop();
    static constexpr std::uint32_t kStopGraceMs = 2000;
    // Whether a quit's grace is over: nothing more is typed.
    bool StopDue();

    // For those that queue codes themselves.
    KeyCodeQueue& Queue() { return queue_; }

  private:
    struct ModifierState {
        std::int16_t current = 0;
        bool releasePending = false;
        bool shift = false;
        bool control = false;
        bool alt = false;
        bool altGr = false;
    };

    void SendKey(const KeyAction& action);
    void ToggleCapsLock();

    KeyboardPlatform& platform_;
    KeyStringParser parser_;
    KeyCodeQueue queue_;
    ModifierState modifiers_;
    bool typing_ = false;
    std::string untypable_;
    bool stopRequested_ = false;
    std::uint32_t stopAt_ = 0;  // GetTickCount time
};

}  // namespace reradav
