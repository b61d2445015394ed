#include "keys/RecordingKeyboard.h"

#include <string_view>

#include "keys/VirtualKeys.h"

namespace reradav {

std::int16_t UsLayoutVkKeyScan(std::uint8_t c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<std::int16_t>(c - 'a' + 'A');
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<std::int16_t>(0x100 | c);
    }
    if (c >= '0' && c <= '9') {
        return c;
    }
    static constexpr std::string_view kShiftedDigits = ")!@#$%^&*(";
    if (auto i = kShiftedDigits.find(static_cast<char>(c)); i != std::string_view::npos) {
        return static_cast<std::int16_t>(0x100 | ('0' + i));
    }
    struct Oem {
        char plain, shifted;
        std::uint8_t vk;
    };
    static constexpr Oem kOem[] = {{';', ':', 0xBA}, {'=', '+', 0xBB}, {',', '<', 0xBC},
                                   {'-', '_', 0xBD}, {'.', '>', 0xBE}, {'/', '?', 0xBF},
                                   {'`', '~', 0xC0}, {'[', '{', 0xDB}, {'\\', '|', 0xDC},
                                   {']', '}', 0xDD}, {'\'', '"', 0xDE}};
    for (const Oem& k : kOem) {
        if (c == static_cast<std::uint8_t>(k.plain)) {
            return k.vk;
        }
        if (c == static_cast<std::uint8_t>(k.shifted)) {
            return static_cast<std::int16_t>(0x100 | k.vk);
        }
    }
    switch (c) {
        case ' ':
            return kVkSpace;
        case 8:
            return kVkBack;
        case 9:
            return kVkTab;
        case 13:
            return kVkReturn;
        case 27:
            return kVkEscape;
        case 10:
            return 0x200 | kVkReturn;  // Control+Enter
        default:
            return -1;
    }
}

std::int16_t RecordingKeyboard::VkKeyScanA(std::uint8_t character) {
    return UsLayoutVkKeyScan(character);
}

std::uint32_t RecordingKeyboard::MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) {
    return ScanCodeForVk(code, mapType);
}

void RecordingKeyboard::keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    const bool up = (flags & kKeyEventKeyUp) != 0;
    if (vk == kVkCapital && !up) {
        capsLock_ = !capsLock_;
    }
    if (!actions_.empty()) {
        actions_ += ' ';
    }
    const bool character = (flags & kKeyEventUnicode) != 0;
    actions_ += (character ? "(c" + std::to_string(scan) : '(' + std::to_string(vk)) +
                (up ? " u" : " d") + ((flags & kKeyEventExtendedKey) ? "x)" : ")");
    ++events_;
}

void RecordingKeyboard::GetKeyboardState(KeyboardState& state) {
    state = threadState_;
    state[kVkCapital] = static_cast<std::uint8_t>((state[kVkCapital] & 0x80) | (capsLock_ ? 1 : 0));
}

void RecordingKeyboard::SetKeyboardState(const KeyboardState& state) {
    threadState_ = state;
}

std::uint32_t RecordingKeyboard::GetTickCount() {
    if (++reads_ >= clockStep_) {
        reads_ = 0;
        ++now_;
    }
    return now_;
}

void RecordingKeyboard::ServiceEvents() {
    ++serviced_;
    if (onService_) {
        onService_();
    }
}

}  // namespace reradav
