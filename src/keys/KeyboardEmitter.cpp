#include "keys/KeyboardEmitter.h"

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
    ScopedFlag typing(typing_);
    ResetNextKeyAction();

    KeyboardState saved{};
    platform_.GetKeyboardState(saved);
    platform_.SetKeyboardState(KeyboardState{});
    const bool capsLockWasOn = saved[VK_CAPITAL] != 0;
    if (capsLockWasOn) {
        ToggleCapsLock();
    }
    while (auto action = NextKeyAction()) {
        SendKey(action->code, action->down);
    }
    platform_.SetKeyboardState(saved);
    if (capsLockWasOn) {
        ToggleCapsLock();
    }
    return ParseOk;
}

void KeyboardEmitter::ToggleCapsLock() {
    platform_.keybd_event(VK_CAPITAL, kCapsLockScan, KeyboardPlatform::KEYEVENTF_EXTENDEDKEY);
    platform_.keybd_event(
        VK_CAPITAL, kCapsLockScan,
        KeyboardPlatform::KEYEVENTF_EXTENDEDKEY | KeyboardPlatform::KEYEVENTF_KEYUP);
}

// One event, then at least one step of the millisecond clock before the next, letting the
// program's other events run meanwhile.
void KeyboardEmitter::SendKey(std::uint8_t vk, bool down) {
    auto scan = static_cast<std::uint8_t>(platform_.MapVirtualKeyA(vk, 0) & 0xFF);
    platform_.keybd_event(vk, scan, down ? 0 : KeyboardPlatform::KEYEVENTF_KEYUP);
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
        auto code = static_cast<std::uint8_t>(m.current);
        m.current = 0;
        return KeyAction{code, false};
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
    return KeyAction{static_cast<std::uint8_t>(m.current & 0xFF), true};
}

}  // namespace reradav
