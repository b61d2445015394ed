#include "readproc/linux/CanberraBeeper.h"

#include <gmock/gmock.h>

#include "support/FakeEnvironment.h"
#include "support/TempFolder.h"

namespace reradav {

// The freedesktop theme lacks the question sound: it falls back to the information sound. The
// sounds play in order on the beeper's own thread, all of them before it ends.
TEST(CanberraBeeper, PlaysTheThemeEventOfEachBeepFoundInTheXdgFolders) {
    test::TempFolder temp;
    std::filesystem::create_directories(temp / "sounds/freedesktop/stereo");
    test::WriteBytes(temp / "sounds/freedesktop/stereo/bell.disabled", "");  // off on purpose
    const std::vector<std::string> dirs = {"/no/dir", temp.path().string()};
    const auto has = [&](const std::string& id) { return FreedesktopThemeHas(id, dirs); };
    std::string played;
    {
        CanberraBeeper beeper([&](const std::string& id) { played += id + " "; }, has);
        for (BeepType type : {kMbOk, kMbIconAsterisk, kMbIconExclamation, kMbIconHand,
                              kMbIconQuestion, BeepType(99)}) {
            beeper.MessageBeep(type);
        }
    }
    EXPECT_EQ(played,
              "bell dialog-information dialog-warning dialog-error dialog-information bell ");
    EXPECT_EQ(BeepEventId(kMbIconQuestion, [](auto&) { return true; }), "dialog-question");
    EXPECT_EQ(BeepEventId(kMbIconQuestion, nullptr), "dialog-information");
    EXPECT_TRUE(has("bell"));
    EXPECT_THAT(SoundDataDirs(test::Env({{"HOME", "/h"}, {"XDG_DATA_DIRS", "/a::r:/b"}})),
                testing::ElementsAre("/h/.local/share", "/a", "/b"));
    EXPECT_THAT(SoundDataDirs(test::Env({{"HOME", "r"}, {"XDG_DATA_HOME", "/d"}})),
                testing::ElementsAre("/d", "/usr/local/share", "/usr/share"));
    EXPECT_THAT(
        SoundDataDirs(test::Env({{"HOME", "r"}, {"XDG_DATA_HOME", "r"}, {"XDG_DATA_DIRS", ""}})),
        testing::ElementsAre("/usr/local/share", "/usr/share"));
}

}  // namespace reradav
