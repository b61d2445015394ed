#include "keys/KeyboardEmitter.h"

#include <utility>

#include "common/ScopedFlag.h"
#include "keys/VirtualKeys.h"

namespace reradav {
namespace {

constexpr std::uint8_t kCapsLockScan = 69;

}  // namespace

ParseResult KeyboardEmitter::SimKeys(std::string_view keyString) {
    ParseResult r = parser_.ParseKeyString(keyString, queue_);
    if (r != ParseOk) {
        return r;
    }
    for (char c : parser_.Untypable()) {
        if (untypable_.find(c) == std::string::npos) {
            untypable_.push_back(c);
        }
    }
    if (StopDue()) {
        return ParseOk;
    }
    ScopedFlag typing(typing_);
    ResetNextKeyAction();

    KeyboardState saved{};
    platform_.GetKeyboardState(saved);
    platform_.SetKeyboardState(KeyboardState{});
    const bool capsLockWasOn = saved[kVkCapital] != 0;
    if (capsLockWasOn) {
        ToggleCapsLock();
    }
    while (auto action = NextKeyAction()) {
        SendKey(*action);
        if (!modifiers_.releasePending && StopDue()) {
            const std::pair<bool, std::int16_t> held[] = {{modifiers_.shift, kShiftToggle},
                                                          {modifiers_.control, kControlToggle},
                                                          {modifiers_.alt, kAltToggle},
                                                          {modifiers_.altGr, kAltGrToggle}};
            for (const auto& [down, code] : held) {
                if (down) {
                    SendKey({static_cast<std::uint8_t>(code), false});
                }
            }
            break;
        }
    }
    platform_.SetKeyboardState(saved);
    if (capsLockWasOn) {
        ToggleCapsLock();
    }
    return ParseOk;
}

void KeyboardEmitter::RequestStop() {
    if (!stopRequested_) {
        stopRequested_ = true;
        stopAt_ = platform_.GetTickCount() + kStopGraceMs;
        platform_.StopWaitingAt(stopAt_);
    }
}

bool KeyboardEmitter::StopDue() {
    return stopRequested_ && static_cast<std::int32_t>(platform_.GetTickCount() - stopAt_) >= 0;
}

void KeyboardEmitter::ToggleCapsLock() {
    platform_.keybd_event(kVkCapital, kCapsLockScan, KeyboardPlatform::kKeyEventExtendedKey);
    platform_.keybd_event(
        kVkCapital, kCapsLockScan,
        KeyboardPlatform::kKeyEventExtendedKey | KeyboardPlatform::kKeyEventKeyUp);
}

// One event, then at least one step of the millisecond clock before the next, letting the
// program's other events run meanwhile.
void KeyboardEmitter::SendKey(const KeyAction& action) {
    const std::uint32_t up = action.down ? 0 : KeyboardPlatform::kKeyEventKeyUp;
    if (action.character) {
        platform_.keybd_event(0, action.code, KeyboardPlatform::kKeyEventUnicode | up);
    } else {
        const auto scan = static_cast<std::uint8_t>(platform_.MapVirtualKeyA(action.code, 0));
        platform_.keybd_event(action.code, scan, up);
    }
    const std::uint32_t t0 = platform_.GetTickCount();
    while (platform_.GetTickCount() == t0) {
        platform_.ServiceEvents();
    }
}

void KeyboardEmitter::ResetNextKeyAction() {
    modifiers_ = ModifierState{};
    queue_.readIndex = 0;
}

std::optional<KeyAction> KeyboardEmitter::NextKeyAction() {
    ModifierState& m = modifiers_;
    if (m.releasePending) {
        m.releasePending = false;
        const std::int16_t code = m.current;
        m.current = 0;
        return KeyAction{static_cast<std::uint8_t>(code), false, code >= kCharacterCode};
    }
    if (queue_.readIndex == queue_.writeIndex) {
        return std::nullopt;
    }
    m.current = queue_.codes[static_cast<std::size_t>(queue_.readIndex++)];
    bool* toggle = m.current == kShiftToggle     ? &m.shift
                   : m.current == kControlToggle ? &m.control
                   : m.current == kAltToggle     ? &m.alt
                   : m.current == kAltGrToggle   ? &m.altGr
                                                 : nullptr;
    if (toggle) {
        *toggle = !*toggle;
        return KeyAction{static_cast<std::uint8_t>(m.current), *toggle};
    }
    m.releasePending = true;
    return KeyAction{static_cast<std::uint8_t>(m.current & 0xFF), true,
                     m.current >= kCharacterCode};
}

}  // namespace reradav
