#pragma once

#include <map>
#include <set>
#include <sstream>

#include "keys/KeyboardPlatform.h"

namespace reradav::test {

// What a user sees typed from RecordingKeyboard's events on that layout, Caps Lock on or off
// before them: characters as the modifiers and Caps Lock make them; other keys and chords as
// "{m:vk}", m the modifiers as VkKeyScanA's high byte has them (1 Shift, 2 Control, 4 Alt, 6
// AltGr); last, "{down vk}" for each key left down.
inline std::string TypedText(KeyboardPlatform& layout, const std::string& events,
                             bool capsLock = false) {
    std::map<int, char> typing;  // the key and modifiers that type each character
    for (int c = 255; c > 0; --c)
        typing[layout.VkKeyScanA(static_cast<std::uint8_t>(c))] = static_cast<char>(c);
    std::set<int> down;
    std::string key, how, text;
    for (std::istringstream in(events); in >> key >> how;) {
        const int code = std::stoi(key.substr(key[1] == 'c' ? 2 : 1));
        const int mods = down.contains(16) | down.contains(17) << 1 | down.contains(18) << 2 |
                         (down.contains(165) ? 6 : 0);
        const bool letter = code >= 'A' && code <= 'Z';
        const auto typed = typing.find(code | (letter && capsLock ? mods ^ 1 : mods) << 8);
        if (key[1] == 'c')
            text += how[0] == 'd' ? std::string(1, static_cast<char>(code)) : "";
        else if (how[0] == 'u')
            down.erase(code);
        else if (down.insert(code); code == 20)
            capsLock = !capsLock;
        else if (code != 16 && code != 17 && code != 18 && code != 165)
            text += typed != typing.end()
                        ? std::string(1, typed->second)
                        : "{" + std::to_string(mods) + ":" + std::to_string(code) + "}";
    }
    for (int code : down)
        text += "{down " + std::to_string(code) + "}";
    return text;
}

}  // namespace reradav::test
