#include "shell/SettingsStore.h"

#include <gmock/gmock.h>
#include <map>

#include "support/Fakes.h"
#include "support/TempFolder.h"

namespace reradav {
namespace {

using namespace test;

// Everything the load touches; each translation entry starts recognisable.
struct State {
    State() {
        for (std::size_t i = 0; i < 256; ++i)
            settings.KeyTrans[i] = "<" + std::to_string(i) + ">";
    }
    AppSettings settings;
    FakeSettingsControls controls;
    ComDevices devices;
};

// The sample's keys are in the save order, so a save into an empty profile gives its start.
TEST(SettingsStoreTest, TheWindowsSampleLoadsInStartUpOrderAndSavesByteForByte) {
    TempFolder folder;
    const std::filesystem::path file = folder / "default.vav";
    const std::string original = ReadBytes(RERADAV_TEST_DATA_DIR "/windows-default.vav");
    WriteBytes(file, original);
    State s;
    ASSERT_EQ(LoadSettings(file, "", s.settings, s.controls, s.devices), "");
    EXPECT_EQ(s.controls.log,
              (std::vector<std::string>{
                  "set BeepOnInput=1", "click BeepOnInput", "set cboSound=2",
                  "set LoadWithWindows=0", "set RemoveCRs=1", "set NumFilter=0", "set IgnoreDups=1",
                  "set TermKeyCombo={TAB}", "set Combo1=3", "set WindowState=1"}));
    ASSERT_EQ(SaveSettings(file, s.settings, s.controls, s.devices), "");
    EXPECT_TRUE(ReadBytes(file) == original) << "the saved file differs from the sample";
    ProfileFile fresh;
    SaveSettings(fresh, s.settings, s.controls, s.devices);
    EXPECT_TRUE(original.rfind(fresh.Text(), 0) == 0 && fresh.Text().size() > 3000);
}

// Device<n> keys override COMn; an empty one, or one cleared, is written back empty.
TEST(SettingsStoreTest, DevicesLoadWhenPresentAndSaveWhenSetOrAlreadyInTheFile) {
    State s;
    s.devices.Set(3, "/dev/kept");
    s.devices.Set(4, "/dev/old");
    ProfileFile profile(
        "[Reradav]\r\nDevice2=/dev/U7\r\ndevice4=\r\nDevice16=\"/dev/a b\"\r\n"
        "Device17=/dev/no\r\nDevice5=/dev/gone\r\n");
    LoadSettings(profile, "", s.settings, s.controls, s.devices);
    EXPECT_EQ(s.devices.Overrides(),
              (std::map<int, std::string>{
                  {2, "/dev/U7"}, {3, "/dev/kept"}, {5, "/dev/gone"}, {16, "/dev/a b"}}));
    s.devices.Clear(5);
    SaveSettings(profile, s.settings, s.controls, s.devices);
    const std::string text = profile.Text();
    const std::string head =
        "[Reradav]\r\nDevice2=/dev/U7\r\ndevice4=\r\nDevice16=\"/dev/a "
        "b\"\r\nDevice17=/dev/no\r\nDevice5=\r\n";
    const std::string tail = "KeyTrans255=<255>\r\nDevice3=/dev/kept\r\n";
    EXPECT_EQ(text.substr(0, head.size()) + text.substr(text.size() - tail.size()), head + tail);
}

// The load's control values in order, then the handshake.
std::string Loaded(const std::string& text) {
    State s;
    LoadSettings(ProfileFile("[Reradav]\n" + text), "", s.settings, s.controls, s.devices);
    std::string values;
    for (const std::string& entry : s.controls.log)
        values += entry.substr(entry.find('=') + 1) + ",";
    return values + std::to_string(s.settings.Handshake);
}

// Hand-edited values load as values the controls can take.
TEST(SettingsStoreTest, UnusableValuesAreMappedToUsableOnes) {
    EXPECT_EQ(Loaded("ComPort=16\nBeepSound=-1\nBeep=3\nAutoLoad=-1\nRemoveReturns=2\n"
                     "NumericFilter=1\nIgnoreDups=65537\nWindowState=2\nHandshake=-70000"),
              "0,click BeepOnInput,-1,0,2,1,0,,16,2,-32768");
    EXPECT_EQ(Loaded("ComPort=17\nBeepSound=4\nBeep=2\nAutoLoad=1\nWindowState=3\nHandshake=70000"),
              "2,click BeepOnInput,4,1,0,0,0,,0,0,32767");
}

// A key another editor changed while the program ran stays as they left it, unless the
// program changed it too: then the program's value is saved, and the key named.
TEST(SettingsStoreTest, AnotherEditorsChangesSurviveTheSave) {
    TempFolder folder;
    const std::filesystem::path file = folder / "default.vav";
    WriteBytes(file, "[Reradav]\r\nPassword=a\r\nPostamble={TAB}\r\nBeep=1\r\n");
    State s;
    SettingValues saved;
    ASSERT_EQ(LoadSettings(file, "", s.settings, s.controls, s.devices, &saved), "");
    WriteBytes(file, "[Reradav]\r\nPassword=b\r\nPostamble={ENTER}\r\nBeep=1\r\n");
    s.controls.postamble = "{F1}";
    s.controls.Box(CheckBox::BeepOnInput) = 0;
    std::string note;
    ASSERT_EQ(SaveSettings(file, s.settings, s.controls, s.devices, &saved, &note), "");
    EXPECT_THAT(ReadBytes(file), testing::AllOf(testing::HasSubstr("Password=b\r\n"),
                                                testing::HasSubstr("Postamble={F1}\r\n"),
                                                testing::HasSubstr("Beep=0\r\n")));
    EXPECT_EQ(note, "changed in the file and here, saved as here: Postamble");
}

// An unreadable file, or one that is not text, loads as defaults and is not overwritten.
TEST(SettingsStoreTest, AnUnreadableFileIsNotOverwritten) {
    TempFolder folder;
    const std::filesystem::path file = folder / "default.vav";
    State s;
    EXPECT_EQ(LoadSettings(file, "", s.settings, s.controls, s.devices), "");  // first start
    std::filesystem::create_directory(file);
    s.controls.log.clear();
    EXPECT_NE(LoadSettings(file, "/M", s.settings, s.controls, s.devices), "");
    EXPECT_EQ(s.controls.log[9], "set WindowState=1");  // loaded all the same
    const std::string error = SaveSettings(file, s.settings, s.controls, s.devices);
    EXPECT_EQ(error.substr(error.size() - 20), "; settings not saved");
    EXPECT_THAT(s.controls.log, testing::Contains("RegisterStartup"));  // runs all the same
    EXPECT_TRUE(std::filesystem::is_directory(file));
    std::filesystem::remove(file);
    using namespace std::string_literals;
    for (const std::string& bytes : {"\xFF\xFE[\0R\0\0"s, "\xFE\xFF\xDC\0"s, "\xFF\xFE\xFF\xDF"s,
                                     "\xEF\xBB\xBF\xC3["s, "[R]\0"s}) {
        WriteBytes(file, bytes);
        EXPECT_THAT(LoadSettings(file, "", s.settings, s.controls, s.devices),
                    testing::HasSubstr("is not text"));
        EXPECT_NE(SaveSettings(file, s.settings, s.controls, s.devices), "");
        EXPECT_TRUE(ReadBytes(file) == bytes);
    }
}

}  // namespace
}  // namespace reradav
