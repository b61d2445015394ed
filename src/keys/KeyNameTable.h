#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "keys/KeyboardPlatform.h"

namespace reradav {

struct KeyName {
    std::int16_t code;  // virtual-key code
    std::string_view name;
};

// The names that may stand between braces in a key string, in lookup order. The table is a
// constant, so it needs no filling before use.
extern const std::array<KeyName, 41> KeyNameTable;

// Key value for the text between the braces: a single character through the layout
// (VkKeyScanA, case matters), otherwise a table name without regard to case or surrounding
// blanks; 0 when the name is unknown.
std::int16_t LookupKeyName(std::string_view name, KeyboardPlatform& platform);

}  // namespace reradav
