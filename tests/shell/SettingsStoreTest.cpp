#include "shell/SettingsStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/Fakes.h"
#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
using test::FakeSettingsControls;
namespace {

// The device a settings key set for COMn, "" when the port keeps its built-in one.
std::string Override(const ComDevices& devices, int port) {
    return devices.HasOverride(port) ? devices.DeviceFor(port) : std::string();
}

using ::testing::ElementsAreArray;
using CheckBox = SettingsControls::CheckBox;

// The keys in the order the save writes them.
std::vector<std::string> SaveOrder() {
    std::vector<std::string> keys = {
        "ComPort",     "BeepSound",     "ScannerBeepString", "Handshake",     "Beep",
        "AutoLoad",    "NumericFilter", "IgnoreDups",        "RemoveReturns", "Postamble",
        "WindowState", "Settings",      "Password"};
    for (int i = 0; i < 256; ++i) {
        keys.push_back("KeyTrans" + std::to_string(i));
    }
    return keys;
}

// Stands in for the built-in translation table: every entry recognisable, some empty.
KeyTransTable StartTable() {
    KeyTransTable table;
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = i < 32 ? std::string() : "<" + std::to_string(i) + ">";
    }
    table[32] = "{ }";
    return table;
}

// Everything the load touches, in its start-up state.
struct State {
    AppSettings settings;
    FakeSettingsControls controls;
    ComDevices devices;
    State() { settings.KeyTrans = StartTable(); }
};

void LoadText(State& state, std::string_view fileText, std::string_view commandLine = "reradav") {
    LoadSettings(ProfileFile(fileText), commandLine, state.settings, state.controls, state.devices);
}

// Lines of a file without their CRLF.
std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find("\r\n");
        EXPECT_NE(end, std::string_view::npos) << "line without CRLF";
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
    }
    return lines;
}

std::vector<std::string> SetCalls(const std::vector<std::string>& log) {
    std::vector<std::string> calls;
    for (const std::string& entry : log) {
        if (entry.rfind("set ", 0) == 0 || entry.rfind("click ", 0) == 0) {
            calls.push_back(entry);
        }
    }
    return calls;
}

// ---- The Windows sample ----

struct SampleSource {
    const char* name;
    const char* folder;
    bool mayBeAbsent;
};

void PrintTo(const SampleSource& source, std::ostream* os) {
    *os << source.name;
}

class SampleFileTest : public ::testing::TestWithParam<SampleSource> {
  protected:
    void SetUp() override {
        std::filesystem::path sample =
            std::filesystem::path(GetParam().folder) / "windows-default.vav";
        if (!std::filesystem::exists(sample)) {
            if (GetParam().mayBeAbsent) {
                GTEST_SKIP() << "no shared sample at " << sample;
            }
            FAIL() << "missing " << sample;
        }
        original = ReadBytes(sample);
        WriteBytes(file, original);
    }

    std::string original;
    TempFolder folder;
    std::filesystem::path file = folder / "default.vav";
    State state;
};

TEST_P(SampleFileTest, LoadedAndSavedUnchangedItStaysByteForByte) {
    ASSERT_EQ(LoadSettings(file, "reradav", state.settings, state.controls, state.devices), "");

    // What the sample holds, as its notes describe it.
    EXPECT_EQ(state.controls.combo1, 3);
    EXPECT_EQ(state.controls.sound, 2);
    EXPECT_EQ(state.controls.Box(CheckBox::BeepOnInput), 1);
    EXPECT_EQ(state.controls.Box(CheckBox::IgnoreDups), 1);
    EXPECT_EQ(state.controls.Box(CheckBox::RemoveCRs), 1);
    EXPECT_EQ(state.controls.postamble, "{TAB}");
    EXPECT_EQ(state.controls.windowState, 1);
    EXPECT_EQ(state.settings.Handshake, 1);
    EXPECT_EQ(state.settings.ScannerBeepString, "7");
    EXPECT_EQ(state.settings.Password, "Geheim");
    EXPECT_EQ(state.settings.CommSettings, "19200,E,7,2");
    EXPECT_EQ(state.settings.BaudIndex, 7);
    EXPECT_EQ(state.settings.KeyTrans[13], "{TAB}");
    EXPECT_EQ(state.settings.KeyTrans[233], "e");
    EXPECT_EQ(state.settings.KeyTrans[167], "");
    EXPECT_EQ(state.settings.KeyTrans[232], "\xE8");
    EXPECT_EQ(state.settings.KeyTrans[160], "{ }");

    ASSERT_EQ(SaveSettings(file, state.settings, state.controls, state.devices), "");
    EXPECT_TRUE(ReadBytes(file) == original) << "the saved file differs from the sample";
}

TEST_P(SampleFileTest, OneChangedSettingChangesOnlyItsLine) {
    ASSERT_EQ(LoadSettings(file, "reradav", state.settings, state.controls, state.devices), "");
    state.controls.combo1 = 4;
    state.settings.KeyTrans[233] = "\xE9";
    ASSERT_EQ(SaveSettings(file, state.settings, state.controls, state.devices), "");

    std::vector<std::string> before = Lines(original);
    std::vector<std::string> after = Lines(ReadBytes(file));
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == "ComPort=3") {
            EXPECT_EQ(after[i], "ComPort=4");
        } else if (before[i] == "KeyTrans233=e") {
            EXPECT_EQ(after[i], "KeyTrans233=\xE9");
        } else {
            EXPECT_EQ(after[i], before[i]) << "line " << i + 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleFileTest,
                         ::testing::Values(SampleSource{"Shared", RERADAV_TEST_DATA_DIR, true},
                                           SampleSource{"Repository", RERADAV_TEST_DATA_DIR,
                                                        false}));

TEST(SampleFileCopy, RepositoryCopyMatchesTheSharedSample) {
    std::filesystem::path shared =
        std::filesystem::path(RERADAV_TEST_DATA_DIR) / "windows-default.vav";
    if (!std::filesystem::exists(shared)) {
        GTEST_SKIP() << "no shared sample at " << shared;
    }
    std::filesystem::path copy =
        std::filesystem::path(RERADAV_TEST_DATA_DIR) / "windows-default.vav";
    EXPECT_TRUE(ReadBytes(copy) == ReadBytes(shared))
        << copy << " is not a byte copy of " << shared;
}

// ---- First start ----

TEST(SettingsFirstStart, NoFileGivesTheDefaultsAndTheSaveWritesAllKeysInOrder) {
    TempFolder folder;
    const std::filesystem::path file = folder / "default.vav";
    State state;
    ASSERT_EQ(LoadSettings(file, "reradav", state.settings, state.controls, state.devices), "");

    EXPECT_THAT(state.controls.checkBoxes, ::testing::Each(0));
    EXPECT_EQ(state.controls.sound, 0);
    EXPECT_EQ(state.controls.combo1, 0);
    EXPECT_EQ(state.controls.postamble, "");
    EXPECT_EQ(state.controls.windowState, 0);
    EXPECT_THAT(state.controls.log, ::testing::Contains("click BeepOnInput"));
    EXPECT_EQ(state.settings.Handshake, 0);
    EXPECT_EQ(state.settings.ScannerBeepString, "");
    EXPECT_EQ(state.settings.Password, "");
    EXPECT_EQ(state.settings.CommSettings, "9600,N,8,1");
    EXPECT_EQ(state.settings.BaudIndex, 6);
    EXPECT_EQ(state.settings.ParityIndex, 0);
    EXPECT_EQ(state.settings.DataBitsIndex, 3);
    EXPECT_EQ(state.settings.StopBitsIndex, 0);
    EXPECT_EQ(state.settings.KeyTrans, StartTable());
    EXPECT_TRUE(state.devices.Overrides().empty());
    EXPECT_FALSE(std::filesystem::exists(file));

    // The user picks COM3, the no-selection sound, and minimises before exit.
    state.controls.combo1 = 3;
    state.controls.sound = -1;
    state.controls.windowState = 1;
    ASSERT_EQ(SaveSettings(file, state.settings, state.controls, state.devices), "");

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    std::vector<std::string> lines = Lines(ReadBytes(file));
    ASSERT_EQ(lines.size(), 270u);
    EXPECT_EQ(lines[0], "[Reradav]");
    std::vector<std::string> keys;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        keys.push_back(lines[i].substr(0, lines[i].find('=')));
    }
    EXPECT_THAT(keys, ElementsAreArray(SaveOrder()));
    EXPECT_THAT(lines, ::testing::IsSupersetOf({"ComPort=3", "BeepSound=-1", "Handshake=0",
                                                "WindowState=1", "Settings=9600,N,8,1",
                                                "Password=", "KeyTrans0=", "KeyTrans32={ }",
                                                "KeyTrans65=<65>"}));

    // And the file reads back as the state it was written from.
    State again;
    again.settings.KeyTrans = KeyTransTable{};
    ASSERT_EQ(LoadSettings(file, "reradav", again.settings, again.controls, again.devices), "");
    EXPECT_EQ(again.controls.combo1, 3);
    EXPECT_EQ(again.controls.sound, -1);
    EXPECT_EQ(again.controls.windowState, 1);
    EXPECT_EQ(again.settings.KeyTrans, StartTable());
}

// ---- Load ----

TEST(SettingsLoad, ControlsAreSetInStartUpOrderWithThePortSettingsLoadedFirst) {
    State state;
    std::vector<std::string> atPortChoice;
    std::string keyTransAtWindowState;
    state.controls.onCombo1Change = [&] {
        atPortChoice = {std::to_string(state.settings.Handshake),
                        state.settings.CommSettings,
                        std::to_string(state.settings.BaudIndex),
                        state.settings.Password,
                        Override(state.devices, 2),
                        state.settings.KeyTrans[65]};
    };
    state.controls.onWindowStateChange = [&] {
        keyTransAtWindowState = state.settings.KeyTrans[65];
    };

    LoadText(state,
             "[Reradav]\r\n"
             "KeyTrans65=a\r\n"
             "WindowState=2\r\n"
             "ComPort=2\r\n"
             "Device2=/dev/ttyUSB7\r\n"
             "Password=pw\r\n"
             "Settings=19200,E,7,2\r\n"
             "Postamble={TAB}\r\n"
             "IgnoreDups=1\r\n"
             "NumericFilter=1\r\n"
             "RemoveReturns=1\r\n"
             "AutoLoad=1\r\n"
             "ScannerBeepString=7\r\n"
             "BeepSound=2\r\n"
             "Beep=1\r\n"
             "Handshake=3\r\n");

    EXPECT_THAT(SetCalls(state.controls.log),
                ElementsAreArray({"set BeepOnInput=1", "click BeepOnInput", "set cboSound=2",
                                  "set LoadWithWindows=1", "set RemoveCRs=1", "set NumFilter=1",
                                  "set IgnoreDups=1", "set TermKeyCombo={TAB}", "set Combo1=2",
                                  "set WindowState=2"}));
    EXPECT_THAT(atPortChoice,
                ElementsAreArray({"3", "19200,E,7,2", "7", "pw", "/dev/ttyUSB7", "<65>"}));
    EXPECT_EQ(keyTransAtWindowState, "a");
    EXPECT_EQ(state.settings.ScannerBeepString, "7");
}

TEST(SettingsLoad, TranslationEntriesPresentEmptyOrAbsent) {
    State state;
    LoadText(state, "[Reradav]\r\nKeyTrans65=\r\nkeytrans66 = {F1} \r\nKeyTrans067=x\r\n");
    EXPECT_EQ(state.settings.KeyTrans[65], "");
    EXPECT_EQ(state.settings.KeyTrans[66], "{F1}");
    // "KeyTrans067" is not the key of entry 67.
    EXPECT_EQ(state.settings.KeyTrans[67], "<67>");
    KeyTransTable expected = StartTable();
    expected[65] = "";
    expected[66] = "{F1}";
    EXPECT_EQ(state.settings.KeyTrans, expected);
}

TEST(SettingsLoad, LongTextsAreCutTo199Characters) {
    const std::string postamble = std::string(199, 'p') + std::string(51, 'q');
    const std::string keys = "{TAB}" + std::string(245, 'k');
    State state;
    LoadText(state, "[Reradav]\r\nPostamble=" + postamble + "\r\nKeyTrans9=" + keys +
                        "\r\nPassword=" + std::string(199, 'w') + "\r\n");
    EXPECT_EQ(state.controls.postamble, postamble.substr(0, 199));
    EXPECT_EQ(state.settings.KeyTrans[9], keys.substr(0, 199));
    EXPECT_EQ(state.settings.Password, std::string(199, 'w'));
}

TEST(SettingsLoad, MinimisedSwitchIsUpperCaseMAnywhereOnTheCommandLine) {
    struct Case {
        std::string stored;
        std::string commandLine;
        std::int16_t state;
    };
    for (const Case& c : std::vector<Case>{{"WindowState=0", "reradav /M", 1},
                                           {"WindowState=2", "reradav /M", 1},
                                           {"", "/Mx reradav", 1},
                                           {"WindowState=0", "reradav /m", 0},
                                           {"WindowState=2", "reradav /m", 2},
                                           {"WindowState=2", "reradav -M", 2},
                                           {"WindowState=1", "reradav", 1},
                                           {"", "reradav", 0}}) {
        State state;
        LoadText(state, "[Reradav]\r\n" + c.stored + "\r\n", c.commandLine);
        EXPECT_EQ(state.controls.windowState, c.state) << c.stored << " with " << c.commandLine;
    }
}

std::vector<std::int16_t> Indexes(const AppSettings& s) {
    return {s.BaudIndex, s.ParityIndex, s.DataBitsIndex, s.StopBitsIndex};
}

TEST(SettingsLoad, LineSettingsSetTheDialogPositions) {
    struct Case {
        std::string stored;
        std::string commSettings;
        std::vector<std::int16_t> indexes;
    };
    for (const Case& c :
         std::vector<Case>{{"Settings=19200,E,7,2", "19200,E,7,2", {7, 2, 2, 2}},
                           {"Settings=4800,S,5,1.5", "4800,S,5,1.5", {5, 4, 0, 1}},
                           // A rate not in the list keeps the position the port had.
                           {"Settings=14400,O,8,1", "14400,O,8,1", {8, 1, 3, 0}},
                           {"settings = \"9600,n,8,1\"", "9600,n,8,1", {6, 2, 3, 0}},
                           {"", "9600,N,8,1", {6, 0, 3, 0}}}) {
        State state;
        LoadText(state, "[Reradav]\r\n" + c.stored + "\r\n");
        EXPECT_EQ(state.settings.CommSettings, c.commSettings) << c.stored;
        EXPECT_EQ(Indexes(state.settings), c.indexes) << c.stored;
    }
}

TEST(SettingsLoad, UnknownKeysSectionsAndCommentsSurviveTheSave) {
    const std::string hand =
        "; written by hand\r\n"
        "[Reradav]\r\n"
        "ComPort=1\r\n"
        "Station=Lager 3 \x96 Wareneingang\r\n"
        "  ; keep me\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=1\r\n";
    State state;
    LoadText(state, hand);
    ProfileFile profile(hand);
    SaveSettings(profile, state.settings, state.controls, state.devices);
    std::vector<std::string> lines = Lines(profile.Text());
    ASSERT_EQ(lines.size(), 8u + 268u);
    EXPECT_EQ(lines[0], "; written by hand");
    EXPECT_EQ(lines[1], "[Reradav]");
    EXPECT_EQ(lines[2], "ComPort=1");
    EXPECT_EQ(lines[3], "Station=Lager 3 \x96 Wareneingang");
    EXPECT_EQ(lines[4], "  ; keep me");
    EXPECT_EQ(lines[5], "BeepSound=0");  // new keys follow the section's last line
    EXPECT_EQ(lines[272], "KeyTrans255=<255>");
    EXPECT_EQ(lines[273], "");
    EXPECT_EQ(lines[274], "[Other]");
    EXPECT_EQ(lines[275], "x=1");
}

TEST(SettingsLoad, KeysAddedByHandWhileRunningAreKept) {
    TempFolder folder;
    const std::filesystem::path file = folder / "default.vav";
    WriteBytes(file, "[Reradav]\r\nComPort=0\r\n");
    State state;
    ASSERT_EQ(LoadSettings(file, "", state.settings, state.controls, state.devices), "");
    WriteBytes(file, "[Reradav]\r\nComPort=5\r\nAdded=1\r\n");
    ASSERT_EQ(SaveSettings(file, state.settings, state.controls, state.devices), "");
    std::vector<std::string> lines = Lines(ReadBytes(file));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "ComPort=0");  // the program's value wins
    EXPECT_EQ(lines[2], "Added=1");
}

// ---- Values the controls cannot take ----

struct BadValueCase {
    const char* line;
    std::function<std::int16_t(const State&)> observe;
    std::int16_t expected;
};

void PrintTo(const BadValueCase& c, std::ostream* os) {
    *os << c.line;
}

std::int16_t Port(const State& s) {
    return s.controls.combo1;
}
std::int16_t Sound(const State& s) {
    return s.controls.sound;
}
std::int16_t Handshake(const State& s) {
    return s.settings.Handshake;
}
std::int16_t Window(const State& s) {
    return s.controls.windowState;
}
std::function<std::int16_t(const State&)> Box(CheckBox box) {
    return [box](const State& s) { return s.controls.checkBoxes[static_cast<std::size_t>(box)]; };
}

class SettingsBadValueTest : public ::testing::TestWithParam<BadValueCase> {};

TEST_P(SettingsBadValueTest, LoadsAsAValueTheControlCanTake) {
    State state;
    LoadText(state, std::string("[Reradav]\r\n") + GetParam().line + "\r\n");
    EXPECT_EQ(GetParam().observe(state), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Ports, SettingsBadValueTest,
                         ::testing::Values(BadValueCase{"ComPort=16", Port, 16},
                                           BadValueCase{"ComPort=17", Port, 0},
                                           BadValueCase{"ComPort=-1", Port, 0},
                                           BadValueCase{"ComPort=70000", Port, 0},
                                           BadValueCase{"ComPort=COM3", Port, 0},
                                           BadValueCase{"ComPort= 1 2", Port, 12}));

INSTANTIATE_TEST_SUITE_P(Sounds, SettingsBadValueTest,
                         ::testing::Values(BadValueCase{"BeepSound=4", Sound, 4},
                                           BadValueCase{"BeepSound=-1", Sound, -1},
                                           BadValueCase{"BeepSound=5", Sound, 0},
                                           BadValueCase{"BeepSound=-2", Sound, 0},
                                           BadValueCase{"BeepSound=-40000", Sound, 0}));

INSTANTIATE_TEST_SUITE_P(
    CheckBoxes, SettingsBadValueTest,
    ::testing::Values(BadValueCase{"Beep=2", Box(CheckBox::BeepOnInput), 2},
                      BadValueCase{"Beep=3", Box(CheckBox::BeepOnInput), 0},
                      BadValueCase{"AutoLoad=-1", Box(CheckBox::LoadWithWindows), 0},
                      BadValueCase{"AutoLoad=1", Box(CheckBox::LoadWithWindows), 1},
                      BadValueCase{"RemoveReturns=9", Box(CheckBox::RemoveCRs), 0},
                      BadValueCase{"NumericFilter=1", Box(CheckBox::NumFilter), 1},
                      BadValueCase{"IgnoreDups=65537", Box(CheckBox::IgnoreDups), 0},
                      BadValueCase{"IgnoreDups=1.4", Box(CheckBox::IgnoreDups), 1}));

INSTANTIATE_TEST_SUITE_P(Integers, SettingsBadValueTest,
                         ::testing::Values(BadValueCase{"Handshake=9", Handshake, 9},
                                           BadValueCase{"Handshake=-1", Handshake, -1},
                                           BadValueCase{"Handshake=70000", Handshake, 32767},
                                           BadValueCase{"Handshake=-70000", Handshake, -32768},
                                           BadValueCase{"Handshake=32767.5", Handshake, 32767},
                                           BadValueCase{"Handshake=1e300", Handshake, 32767},
                                           BadValueCase{"Handshake=1e999", Handshake, 32767},
                                           BadValueCase{"Handshake=abc", Handshake, 0},
                                           BadValueCase{"Handshake=", Handshake, 0},
                                           BadValueCase{"Handshake= 2.5", Handshake, 2},
                                           BadValueCase{"Handshake=3.5", Handshake, 4},
                                           BadValueCase{"Handshake=&H2", Handshake, 2}));

INSTANTIATE_TEST_SUITE_P(WindowStates, SettingsBadValueTest,
                         ::testing::Values(BadValueCase{"WindowState=2", Window, 2},
                                           BadValueCase{"WindowState=3", Window, 0},
                                           BadValueCase{"WindowState=-1", Window, 0},
                                           BadValueCase{"WindowState=99999", Window, 0}));

TEST(SettingsBadValue, LineSettingsWithoutACommaGiveTheDefaultLineSettings) {
    for (const char* stored : {"Settings=9600", "Settings=", "Settings=19200 E 7 2"}) {
        State state;
        state.settings.BaudIndex = 1;
        state.settings.ParityIndex = 4;
        state.settings.DataBitsIndex = 0;
        state.settings.StopBitsIndex = 2;
        LoadText(state, std::string("[Reradav]\r\n") + stored + "\r\n");
        EXPECT_EQ(state.settings.CommSettings, "9600,N,8,1") << stored;
        EXPECT_EQ(Indexes(state.settings), (std::vector<std::int16_t>{6, 0, 3, 0})) << stored;
    }
}

// ---- Save ----

TEST(SettingsSave, RegisterStartupRunsBetweenIgnoreDupsAndRemoveReturns) {
    // Fresh file: at the hook, IgnoreDups is written and RemoveReturns is not yet.
    State state;
    ProfileFile profile;
    std::vector<std::string> seen;
    state.controls.onRegisterStartup = [&] {
        for (const std::string& key : SaveOrder()) {
            if (profile.Find(kSettingsSection, key)) {
                seen.push_back(key);
            }
        }
    };
    SaveSettings(profile, state.settings, state.controls, state.devices);
    std::vector<std::string> order = SaveOrder();
    EXPECT_THAT(seen, ElementsAreArray(order.begin(), order.begin() + 8));
    EXPECT_EQ(seen.back(), "IgnoreDups");

    // Existing file: the new IgnoreDups value is there, RemoveReturns still has its old one.
    State changed;
    ProfileFile existing("[Reradav]\r\nIgnoreDups=0\r\nRemoveReturns=0\r\n");
    changed.controls.Box(CheckBox::IgnoreDups) = 1;
    changed.controls.Box(CheckBox::RemoveCRs) = 1;
    std::vector<std::optional<std::string>> atHook;
    changed.controls.onRegisterStartup = [&] {
        atHook = {existing.Find(kSettingsSection, "IgnoreDups"),
                  existing.Find(kSettingsSection, "RemoveReturns")};
    };
    SaveSettings(existing, changed.settings, changed.controls, changed.devices);
    EXPECT_THAT(atHook, ElementsAreArray(
                            {std::optional<std::string>("1"), std::optional<std::string>("0")}));
    EXPECT_EQ(existing.Find(kSettingsSection, "RemoveReturns"), "1");
    EXPECT_EQ(
        std::count(changed.controls.log.begin(), changed.controls.log.end(), "RegisterStartup"), 1);
}

TEST(SettingsSave, ValuesComeFromTheControlsAndTheSettings) {
    State state;
    state.controls.combo1 = 12;
    state.controls.sound = 4;
    state.controls.Box(CheckBox::BeepOnInput) = 1;
    state.controls.Box(CheckBox::LoadWithWindows) = 2;
    state.controls.Box(CheckBox::NumFilter) = 1;
    state.controls.Box(CheckBox::RemoveCRs) = 1;
    state.controls.postamble = "{ENTER}";
    state.controls.windowState = 2;
    state.settings.Handshake = -5;
    state.settings.ScannerBeepString = "7,7";
    state.settings.CommSettings = "1200,M,7,1.5";
    state.settings.Password = " secret ";
    state.settings.KeyTrans[200] = "'quoted'";
    ProfileFile profile;
    SaveSettings(profile, state.settings, state.controls, state.devices);
    std::vector<std::string> lines = Lines(profile.Text());
    ASSERT_EQ(lines.size(), 270u);
    EXPECT_THAT(
        std::vector<std::string>(lines.begin() + 1, lines.begin() + 14),
        ElementsAreArray({"ComPort=12", "BeepSound=4", "ScannerBeepString=7,7", "Handshake=-5",
                          "Beep=1", "AutoLoad=2", "NumericFilter=1", "IgnoreDups=0",
                          "RemoveReturns=1", "Postamble={ENTER}", "WindowState=2",
                          "Settings=1200,M,7,1.5", "Password=\" secret \""}));
    // Both come back as they were.
    State again;
    LoadText(again, profile.Text());
    EXPECT_EQ(again.settings.Password, " secret ");
    EXPECT_EQ(again.settings.KeyTrans[200], "'quoted'");
}

// ---- Port devices ----

TEST(SettingsDevices, LoadedWhenPresentKeptWhenAbsent) {
    State state;
    state.devices.Set(3, "/dev/ttyS9");
    state.devices.Set(4, "/dev/old");
    LoadText(state,
             "[Reradav]\r\n"
             "Device1=/dev/serial/by-id/usb-Scanner_1234-if00\r\n"
             "device4=\r\n"
             "Device16= \"/dev/with blank\" \r\n"
             "Device17=/dev/none\r\n"
             "Device0=/dev/none\r\n");
    EXPECT_EQ(Override(state.devices, 1), "/dev/serial/by-id/usb-Scanner_1234-if00");
    EXPECT_EQ(Override(state.devices, 3), "/dev/ttyS9");
    EXPECT_EQ(Override(state.devices, 4), "");
    EXPECT_EQ(Override(state.devices, 16), "/dev/with blank");
    EXPECT_EQ(Override(state.devices, 0), "");
}

TEST(SettingsDevices, SavedAfterTheTranslationKeysOnlyWhenSetOrAlreadyInTheFile) {
    State state;
    state.devices.Set(5, "/dev/ttyUSB9");
    state.devices.Set(2, "/dev/ttyS1");
    state.devices.Set(16, "");
    ProfileFile profile("[Reradav]\r\nDevice16=/dev/cleared\r\n");
    SaveSettings(profile, state.settings, state.controls, state.devices);
    std::vector<std::string> lines = Lines(profile.Text());
    ASSERT_EQ(lines.size(), 1u + 1u + 269u + 2u);
    EXPECT_EQ(lines[1], "Device16=");  // cleared in place, so it does not come back
    EXPECT_EQ(lines[270], "KeyTrans255=<255>");
    EXPECT_EQ(lines[271], "Device2=/dev/ttyS1");
    EXPECT_EQ(lines[272], "Device5=/dev/ttyUSB9");
}

// ---- Files that cannot be used ----

TEST(SettingsFiles, UnreadableFileLoadsDefaultsAndIsNotOverwritten) {
    TempFolder folder;
    const std::filesystem::path file = folder / "default.vav";
    std::filesystem::create_directory(file);
    State state;
    EXPECT_NE(LoadSettings(file, "/M", state.settings, state.controls, state.devices), "");
    EXPECT_EQ(state.settings.CommSettings, "9600,N,8,1");
    EXPECT_EQ(state.controls.windowState, 1);
    EXPECT_EQ(state.settings.KeyTrans, StartTable());

    EXPECT_NE(SaveSettings(file, state.settings, state.controls, state.devices), "");
    EXPECT_EQ(std::count(state.controls.log.begin(), state.controls.log.end(), "RegisterStartup"),
              1);
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST(SettingsFiles, SaveIntoAMissingFolderIsReported) {
    TempFolder folder;
    State state;
    std::string error = SaveSettings(folder / "gone" / "default.vav", state.settings,
                                     state.controls, state.devices);
    EXPECT_NE(error, "");
    EXPECT_THAT(folder.Names(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace reradav
