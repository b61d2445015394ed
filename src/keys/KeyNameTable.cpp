#include "keys/KeyNameTable.h"

#include <string>

#include "keys/VirtualKeys.h"

namespace reradav {

// BREAK is the Pause/Break key. The Control code (17) it once had is also the Control toggle
// of the key queue, so a lone {BREAK} would leave Control held down.
const std::array<KeyName, 41> KeyNameTable = {{
    {20, "CAPSLOCK"}, {144, "NUMLOCK"}, {145, "SCROLLOCK"}, {27, "ESCAPE"}, {27, "ESC"},
    {13, "ENTER"},    {47, "HELP"},     {44, "PRTSC"},      {9, "TAB"},     {kVkPause, "BREAK"},
    {12, "CLEAR"},    {8, "BACKSPACE"}, {8, "BS"},          {8, "BKSP"},    {46, "DELETE"},
    {46, "DEL"},      {45, "INSERT"},   {37, "LEFT"},       {39, "RIGHT"},  {38, "UP"},
    {40, "DOWN"},     {33, "PGUP"},     {34, "PGDN"},       {36, "HOME"},   {35, "END"},
    {112, "F1"},      {113, "F2"},      {114, "F3"},        {115, "F4"},    {116, "F5"},
    {117, "F6"},      {118, "F7"},      {119, "F8"},        {120, "F9"},    {121, "F10"},
    {122, "F11"},     {123, "F12"},     {124, "F13"},       {125, "F14"},   {126, "F15"},
    {127, "F16"},
}};

std::int16_t LookupKeyName(std::string_view name, KeyboardPlatform& platform) {
    if (name.size() == 1) {
        return platform.VkKeyScanA(static_cast<std::uint8_t>(name[0]));
    }
    std::size_t first = name.find_first_not_of(' ');
    std::size_t last = name.find_last_not_of(' ');
    if (first == std::string_view::npos) {
        return 0;
    }
    std::string upper(name.substr(first, last - first + 1));
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (const KeyName& k : KeyNameTable) {
        if (k.name == upper) {
            return k.code;
        }
    }
    return 0;
}

}  // namespace reradav
