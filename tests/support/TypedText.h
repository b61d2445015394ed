#pragma once

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "keys/KeyboardPlatform.h"

namespace reradav::test {

// What a user sees typed from RecordingKeyboard's events on that layout: characters as Shift,
// Control, Alt, AltGr and Caps Lock make them, other keys and chords as "{^%+vk}" with the
// virtual-key number, and last "{down 16}" for each key left down.
inline std::string TypedText(KeyboardPlatform& layout, const std::string& events,
                             bool capsLock = false) {
    std::map<int, char> typing;  // the key and modifiers that type each character
    for (int c = 255; c > 0; --c)
        typing[layout.VkKeyScanA(static_cast<std::uint8_t>(c))] = static_cast<char>(c);
    std::set<int> down;
    std::istringstream in(events);
    std::string text;
    for (std::string key, how; in >> key >> how;) {
        const int code = std::stoi(key.substr(key[1] == 'c' ? 2 : 1));
        const int mods = (down.contains(16) ? 0x100 : 0) | (down.contains(17) ? 0x200 : 0) |
                         (down.contains(18) ? 0x400 : 0) | (down.contains(165) ? 0x600 : 0);
        const bool flip = capsLock && code >= 'A' && code <= 'Z';
        const auto typed = typing.find(code | (flip ? mods ^ 0x100 : mods));
        if (key[1] == 'c') {
            text += how[0] == 'd' ? std::string(1, static_cast<char>(code)) : "";
        } else if (how[0] == 'u') {
            down.erase(code);
        } else if (down.insert(code); code == 20) {
            capsLock = !capsLock;
        } else if (code != 16 && code != 17 && code != 18 && code != 165) {
            text += typed != typing.end()
                        ? std::string(1, typed->second)
                        : std::string("{") + (mods & 0x200 ? "^" : "") + (mods & 0x400 ? "%" : "") +
                              (mods & 0x100 ? "+" : "") + std::to_string(code) + "}";
        }
    }
    for (int code : down)
        text += "{down " + std::to_string(code) + "}";
    return text;
}

}  // namespace reradav::test
