#include "keys/linux/EvdevKeyboard.h"

#include <linux/input.h>

#include "keys/VirtualKeys.h"
#include "keys/linux/LinuxKeyboardCommon.h"

namespace reradav {

EvdevKeyboard::EvdevKeyboard(std::unique_ptr<KeySink> sink, std::unique_ptr<XkbLayout> layout,
                             std::function<void()> serviceEvents, std::string layoutSource)
    : sink_(std::move(sink)),
      layout_(std::move(layout)),
      serviceEvents_(std::move(serviceEvents)),
      layoutSource_(std::move(layoutSource)) {}

EvdevKeyboard::~EvdevKeyboard() {
    for (const std::uint16_t code : down_) {
        sink_->Key(code, false);
    }
}

std::int16_t EvdevKeyboard::VkKeyScanA(std::uint8_t character) {
    return layout_->KeyValue(character);
}

std::uint32_t EvdevKeyboard::MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) {
    return ScanCodeForVk(code, mapType);
}

void EvdevKeyboard::keybd_event(std::uint8_t vk, std::uint8_t /*scan*/, std::uint32_t flags) {
    if ((flags & kKeyEventUnicode) != 0) {
        return;  // the compositor's keymap has no key to lend (CanTypeCharacter says no)
    }
    // Caps Lock by its function: the key the layout's options put it on, if any. A named key
    // the keymap lacks is sent from its usual key, as the user's own keyboard would.
    std::uint16_t code = layout_->KeyForVk(vk);
    if (code == 0 && vk != kVkCapital) {
        code = EvdevCodeForVk(vk);
    }
    if (code == 0) {
        return;  // no such key here
    }
    const bool press = (flags & kKeyEventKeyUp) == 0;
    if (vk == kVkCapital && press) {
        // The compositor echoes the new light late; until then this toggle is the truth.
        ReadLights();
        capsLock_ = !capsLock_;
        ++capsEchoesPending_;
        capsTrustedUntil_ = GetTickCount() + kCapsEchoWaitMs;
    }
    sink_->Key(code, press);
    if (press) {
        down_.insert(code);
    } else {
        down_.erase(code);
    }
}

// The lights follow the lock state shared by all keyboards, which counting our own Caps Lock
// presses could not: the user's physical keyboard toggles it too. Our own toggles are trusted
// over the lights until their echo arrives. Without lights, only our own toggles count.
void EvdevKeyboard::ReadLights() {
    for (const auto& [light, on] : sink_->TakeLights()) {
        switch (light) {
            case LED_CAPSL:
                // While an echo of our own toggle is due, a light that disagrees is the echo of
                // an earlier state; one that agrees is ours. Past the wait, the light wins.
                if (capsEchoesPending_ > 0 &&
                    static_cast<std::int32_t>(capsTrustedUntil_ - GetTickCount()) > 0) {
                    capsEchoesPending_ = on == capsLock_ ? 0 : capsEchoesPending_ - 1;
                } else {
                    capsEchoesPending_ = 0;
                    capsLock_ = on;
                }
                break;
            case LED_NUML:
                numLock_ = on;
                break;
            case LED_SCROLLL:
                scrollLock_ = on;
                break;
            default:
                break;
        }
    }
}

void EvdevKeyboard::GetKeyboardState(KeyboardState& state) {
    ReadLights();
    state = state_;
    auto setLock = [&state](std::uint8_t vk, bool on) {
        state[vk] = static_cast<std::uint8_t>((state[vk] & ~1u) | (on ? 1u : 0u));
    };
    setLock(kVkCapital, capsLock_);
    setLock(kVkNumLock, numLock_);
    setLock(kVkScroll, scrollLock_);
}

// Linux has no per-thread key state to replace: the snapshot is only kept for GetKeyboardState.
void EvdevKeyboard::SetKeyboardState(const KeyboardState& state) {
    state_ = state;
}

std::uint32_t EvdevKeyboard::GetTickCount() {
    return MonotonicMilliseconds();
}

void EvdevKeyboard::ServiceEvents() {
    if (serviceEvents_) {
        serviceEvents_();
    }
}

std::vector<std::int16_t> EvdevKeyboard::DeadKeySequence(std::uint8_t character) {
    return layout_->DeadKeySequence(character);
}

std::string EvdevKeyboard::LayoutName() {
    return layout_->Name();
}

}  // namespace reradav
