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
            return VK_SPACE;
        case 8:
            return VK_BACK;
        case 9:
            return VK_TAB;
        case 13:
            return VK_RETURN;
        case 27:
            return VK_ESCAPE;
        case 10:
            return 0x200 | VK_RETURN;  // Control+Enter
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
    const bool up = (flags & KEYEVENTF_KEYUP) != 0;
    if (vk == VK_CAPITAL && !up) {
        capsLock_ = !capsLock_;
    }
    if (!actions_.empty()) {
        actions_ += ' ';
    }
    const bool character = (flags & KEYEVENTF_UNICODE) != 0;
    actions_ += (character ? "(c" + std::to_string(scan) : '(' + std::to_string(vk)) +
                (up ? " u" : " d") + ((flags & KEYEVENTF_EXTENDEDKEY) ? "x)" : ")");
    ++events_;
}

void RecordingKeyboard::GetKeyboardState(KeyboardState& state) {
    state = threadState_;
    state[VK_CAPITAL] = static_cast<std::uint8_t>((state[VK_CAPITAL] & 0x80) | (capsLock_ ? 1 : 0));
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
