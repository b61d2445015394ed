#include "keys/KeyNameTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "keys/RecordingKeyboard.h"

namespace reradav {
namespace {

TEST(LookupKeyName, NamesIgnoreCaseAndSurroundingBlanks) {
    RecordingKeyboard kb;
    for (const char* name : {"ENTER", "enter", "Enter", "  ENTER ", "eNtEr"}) {
        EXPECT_EQ(LookupKeyName(name, kb), 13) << name;
    }
    EXPECT_EQ(LookupKeyName("ESC", kb), 27);
    EXPECT_EQ(LookupKeyName("ESCAPE", kb), 27);
    for (const char* name : {"BS", "BKSP", "BACKSPACE"}) {
        EXPECT_EQ(LookupKeyName(name, kb), 8) << name;
    }
    EXPECT_EQ(LookupKeyName("f16", kb), 127);
    EXPECT_EQ(LookupKeyName("PgDn", kb), 34);
}

TEST(LookupKeyName, UnknownNamesGiveZero) {
    RecordingKeyboard kb;
    for (const char* name : {"SPACE", "SHIFT", "PAUSE", "F17", "SCROLLLOCK", "", "   ", "EN TER"}) {
        EXPECT_EQ(LookupKeyName(name, kb), 0) << '"' << name << '"';
    }
}

TEST(LookupKeyName, OneCharacterGoesThroughTheLayout) {
    RecordingKeyboard kb;
    EXPECT_EQ(LookupKeyName("a", kb), 65);
    EXPECT_EQ(LookupKeyName("A", kb), 321);
    EXPECT_EQ(LookupKeyName("\xE9", kb), -1);
    EXPECT_EQ(LookupKeyName(" ", kb), 32);  // not trimmed away: one character
}

TEST(KeyNameTable, BreakTypesAKeyAndNoNameCollidesWithAModifierToggle) {
    RecordingKeyboard kb;
    std::set<std::string> names;
    for (const KeyName& k : KeyNameTable) {
        EXPECT_TRUE(names.insert(std::string(k.name)).second) << k.name;
        EXPECT_NE(k.code, 16);
        EXPECT_NE(k.code, 17) << k.name << " would leave Control held";
        EXPECT_NE(k.code, 18);
        EXPECT_EQ(k.code & 0x100, 0) << k.name;
        EXPECT_EQ(LookupKeyName(k.name, kb), k.code);
    }
    EXPECT_EQ(names.size(), 41u);
    EXPECT_NE(LookupKeyName("BREAK", kb), 0);
}

}  // namespace
}  // namespace reradav
