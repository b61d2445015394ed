#include "readproc/linux/CanberraBeeper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "support/FakeEnvironment.h"
#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

bool FullTheme(const std::string&) {
    return true;
}
bool EmptyTheme(const std::string&) {
    return false;
}

using test::Env;

// Event ids as the beeper's thread plays them.
class Recorder {
  public:
    CanberraBeeper::PlayFunction Play() {
        return [this](const std::string& id) {
            std::lock_guard lock(mutex_);
            ids_.push_back(id);
        };
    }
    std::vector<std::string> Ids() {
        std::lock_guard lock(mutex_);
        return ids_;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> ids_;
};

TEST(BeepEventId, EachSoundHasItsThemeEvent) {
    EXPECT_EQ(BeepEventId(MB_OK, FullTheme), "bell");
    EXPECT_EQ(BeepEventId(MB_ICONASTERISK, FullTheme), "dialog-information");
    EXPECT_EQ(BeepEventId(MB_ICONEXCLAMATION, FullTheme), "dialog-warning");
    EXPECT_EQ(BeepEventId(MB_ICONHAND, FullTheme), "dialog-error");
    EXPECT_EQ(BeepEventId(MB_ICONQUESTION, FullTheme), "dialog-question");
    EXPECT_EQ(BeepEventId(static_cast<BeepType>(99), FullTheme), "bell");
}

TEST(BeepEventId, QuestionFallsBackToInformationWhenTheThemeLacksIt) {
    std::vector<std::string> asked;
    const SoundThemeLookup lacksQuestion = [&](const std::string& id) {
        asked.push_back(id);
        return id != "dialog-question";
    };
    EXPECT_EQ(BeepEventId(MB_ICONQUESTION, lacksQuestion), "dialog-information");
    EXPECT_THAT(asked, ElementsAre("dialog-question"));
    EXPECT_EQ(BeepEventId(MB_ICONQUESTION, nullptr), "dialog-information");
    // The others have no second choice.
    EXPECT_EQ(BeepEventId(MB_ICONHAND, EmptyTheme), "dialog-error");
}

TEST(FreedesktopThemeHas, LooksForTheSoundFilesOfTheTheme) {
    TempFolder temp;
    const fs::path stereo = temp / "share/sounds/freedesktop/stereo";
    fs::create_directories(stereo);
    WriteBytes(stereo / "dialog-question.oga", "");
    WriteBytes(stereo / "bell.disabled", "");
    WriteBytes(stereo / "dialog-error.mp3", "");
    const std::vector<std::string> dirs = {"/nonexistent", (temp / "share").string()};
    EXPECT_TRUE(FreedesktopThemeHas("dialog-question", dirs));
    EXPECT_TRUE(FreedesktopThemeHas("bell", dirs));  // switched off on purpose counts as there
    EXPECT_FALSE(FreedesktopThemeHas("dialog-error", dirs));
    EXPECT_FALSE(FreedesktopThemeHas("dialog-question", {"/nonexistent"}));
}

// sound-theme-freedesktop as installed here: the reason for the fallback.
TEST(FreedesktopThemeHas, InstalledThemeLacksTheQuestionSound) {
    const std::vector<std::string> dirs = {"/usr/share"};
    for (const char* id : {"bell", "dialog-information", "dialog-warning", "dialog-error"}) {
        EXPECT_TRUE(FreedesktopThemeHas(id, dirs)) << id;
    }
    EXPECT_FALSE(FreedesktopThemeHas("dialog-question", dirs));
    EXPECT_EQ(BeepEventId(MB_ICONQUESTION,
                          [&](const std::string& id) { return FreedesktopThemeHas(id, dirs); }),
              "dialog-information");
}

TEST(SoundDataDirs, FollowsTheXdgRules) {
    EXPECT_THAT(SoundDataDirs(Env({{"HOME", "/home/ann"}})),
                ElementsAre("/home/ann/.local/share", "/usr/local/share", "/usr/share"));
    EXPECT_THAT(SoundDataDirs(Env({{"HOME", "/home/ann"},
                                   {"XDG_DATA_HOME", "/data"},
                                   {"XDG_DATA_DIRS", "/a::relative:/b"}})),
                ElementsAre("/data", "/a", "/b"));
    EXPECT_THAT(SoundDataDirs(Env({{"XDG_DATA_HOME", "rel"}, {"XDG_DATA_DIRS", ""}})),
                ElementsAre("/usr/local/share", "/usr/share"));
}

TEST(CanberraBeeper, PlaysTheEventOfEachSoundPosition) {
    Recorder recorder;
    {
        CanberraBeeper beeper(recorder.Play(), FullTheme);
        for (int position = -1; position <= 5; ++position) {
            beeper.MessageBeep(BeepTypeForSound(position));
        }
    }
    EXPECT_THAT(recorder.Ids(), ElementsAre("bell", "bell", "dialog-information", "dialog-warning",
                                            "dialog-error", "dialog-question", "bell"));
}

TEST(CanberraBeeper, QuestionFallsBackThroughTheThemeLookup) {
    Recorder recorder;
    {
        CanberraBeeper beeper(recorder.Play(), EmptyTheme);
        beeper.MessageBeep(MB_ICONQUESTION);
    }
    EXPECT_THAT(recorder.Ids(), ElementsAre("dialog-information"));
}

TEST(CanberraBeeper, BeepReturnsWhileASoundIsStillStarting) {
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    Recorder recorder;
    auto record = recorder.Play();
    bool first = true;
    {
        CanberraBeeper beeper(
            [&](const std::string& id) {
                if (first) {
                    first = false;
                    started.set_value();
                    released.wait();  // a sound system slow to answer
                }
                record(id);
            },
            FullTheme);
        beeper.MessageBeep(MB_OK);
        started.get_future().wait();
        // Reaching here at all shows the UI thread is not held; the burst is cut short.
        for (int i = 0; i < 20; ++i) {
            beeper.MessageBeep(MB_ICONHAND);
        }
        release.set_value();
    }
    const auto ids = recorder.Ids();
    ASSERT_EQ(ids.size(), 1 + CanberraBeeper::kMaxWaiting);
    EXPECT_EQ(ids.front(), "bell");
    EXPECT_EQ(ids.back(), "dialog-error");
}

TEST(CanberraBeeper, NoBeepNoThreadNoSound) {
    Recorder recorder;
    { CanberraBeeper beeper(recorder.Play(), FullTheme); }
    EXPECT_TRUE(recorder.Ids().empty());
}

// The real libcanberra: with no sound card here every play fails, and that must stay silent.
TEST(CanberraBeeper, WithoutASoundDeviceBeepsQuietly) {
    TempFolder temp;
    std::fflush(stderr);
    const int savedStderr = ::dup(2);
    std::FILE* capture = std::fopen((temp / "stderr").c_str(), "w");
    ASSERT_NE(capture, nullptr);
    ::dup2(::fileno(capture), 2);
    {
        CanberraBeeper beeper;
        for (int position = 0; position < 5; ++position) {
            beeper.MessageBeep(BeepTypeForSound(position));
        }
    }
    std::fflush(stderr);
    ::dup2(savedStderr, 2);
    ::close(savedStderr);
    std::fclose(capture);
    EXPECT_EQ(ReadBytes(temp / "stderr"), "");
}

}  // namespace
}  // namespace reradav
