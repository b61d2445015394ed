#include <gtest/gtest.h>

#include <map>

#include "shell/ProfileFile.h"
#include "shell/SettingsStore.h"
#include "support/Fakes.h"
#include "support/TempFolder.h"

namespace reradav {
namespace {

using namespace test;

TEST(ProfileFileTest, ReadsByThePrivateProfileRules) {
    const std::string longer = std::string(199, 'y') + "z";
    const ProfileFile profile(
        "a=before any section\n  [ ReRaDaV ]  \r\n \tPostamble \t= \t{TAB} x \t\r\ncomport=3\n"
        "AZaz=case\n; b=commented\nnot a key\nq1=\"x y\"\nq2= 'x y' \nq3=\"\"twice\"\"\n"
        "q4=\"mixed'\nq5=\"\nq6=\"\"\nq7=\"inner\" text\nq8= \" padded \" \nempty=\n"
        "blank=\v\f \r\r\nbytes=\x96\xA0\xFF\nlong=" +
        longer + "\nquoted=\"" + longer +
        "\"\n"
        "dup=first\nDUP=second\n[T]\r\nd=other\n[reradav]\ne=second section");
    std::string seen;
    for (const char* key :
         {"ComPort",   "COMPORT", "postamble", "azAZ",  "ComPor", "a",  "b",  "; b",
          "not a key", "q1",      "q2",        "q3",    "q4",     "q5", "q6", "q7",
          "q8",        "empty",   "blank",     "bytes", "dup",    "d",  "e"})
        seen += profile.GetString("Reradav", key, "?") + "|";
    EXPECT_EQ(seen,
              "3|3|{TAB} x|case|?|?|?|?|?|x y|x y|\"twice\"|\"mixed'|\"||\"inner\" text| padded "
              "|||\x96\xA0\xFF|first|?|?|");
    EXPECT_EQ(*profile.Find("T", "D") + profile.GetString("Reradav2", "ComPort", "?"), "other?");
    EXPECT_EQ(*profile.Find("RERADAV", "long") + *profile.Find("RERADAV", "quoted"),
              longer.substr(0, 199) + longer.substr(0, 199));
}

// One write; lines that are not the key stay as they are, where they are.
TEST(ProfileFileTest, WritesInPlaceAfterTheSectionOrAtTheEnd) {
    const std::string rows[][4] = {
        {"; c\n[s]\na=1\nb=2\n\n[T]\na=9", "A", "4", "; c|[s]|a=4|b=2||[T]|a=9|"},
        {"[S]\n  bEEp = 1 \n", "Beep", "0", "[S]|bEEp=0|"},
        {"[S]\n  a = 1 \n", "a", "1", "[S]|  a = 1 |"},
        {"[S]\na=1\n; n\n\n\n[T]\n", "b", "2", "[S]|a=1|; n|b=2|||[T]|"},
        {"[S]\n\n[T]\n", "a", "1", "[S]|a=1||[T]|"},
        {"[T]\nx=1\n[S]\n\n", "a", "1", "[T]|x=1|[S]|a=1||"},
        {"", "a", "1", "[S]|a=1|"},
        {"[O]\nx=1", "a", "1", "[O]|x=1||[S]|a=1|"},
        {"[O]\r\nx=1\r\n\r\n", "a", "1", "[O]|x=1||[S]|a=1|"},
        {"[S]\nv=old\n", "v", "first\r\n[I]\r\nx=1", "[S]|v=first|"},
        {"[S]\n", "v", " lead", "[S]|v=\" lead\"|"},
        {"[S]\n", "v", "'q'", "[S]|v=\"'q'\"|"},
        {"[S]\n", "v", "t\t", "[S]|v=\"t\t\"|"},
        {"[S]\n", "v", "\"\"", "[S]|v=\"\"\"\"|"}};
    for (const auto& [before, key, value, after] : rows) {
        ProfileFile profile(before);
        profile.WriteString("S", key, value);
        std::string text = profile.Text();
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.replace(at, 2, "|");
        EXPECT_EQ(text, after) << before;
    }
}

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

// An unreadable file loads as defaults and is not overwritten.
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
    EXPECT_EQ(s.controls.log[16], "RegisterStartup");  // runs all the same
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

}  // namespace
}  // namespace reradav
