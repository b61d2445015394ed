#include "lock/RestoreCheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "support/Fakes.h"

namespace reradav {
namespace {

using ::testing::ElementsAre;

// A main window that, like the window system, raises the resize handler at once whenever its
// state is set, also from inside the handler. Showing and hiding change visibility only.
class FakeTrayWindow : public TrayWindow {
  public:
    std::int16_t WindowState() const override { return state; }
    void SetWindowState(std::int16_t s) override {
        log.push_back("State=" + std::to_string(s));
        state = s;
        Resized();
    }
    void HideWindow() override {
        log.push_back("Hide");
        visible = false;
    }
    void ShowWindow() override {
        log.push_back("Show");
        visible = true;
    }
    std::string AskPassword() override {
        log.push_back("Ask");
        // A read completed while the prompt is open must not find the window shown.
        askedWhileVisible = askedWhileVisible || visible;
        std::string answer = answers.empty() ? std::string() : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return answer;
    }
    void ShowInvalidPassword() override { log.push_back("Invalid"); }
    bool HasTrayIcon() const override { return tray; }
    void ShowAboutModeless() override { log.push_back("About"); }
    void ShowTrayMenu() override { log.push_back("Menu"); }
    void BringToFront() override { log.push_back("Front"); }

    void Resized() {
        ++resizes;
        if (check != nullptr) {
            check->Form_Resize();
        }
    }

    RestoreCheck* check = nullptr;
    std::int16_t state = kStateNormal;
    bool visible = true;
    bool tray = true;
    bool askedWhileVisible = false;
    int resizes = 0;
    std::deque<std::string> answers;
    std::vector<std::string> log;
};

struct FakeFlag : MinimisedFlag {
    bool WasMinimised() const override { return set; }
    void ClearWasMinimised() override { set = false; }
    bool set = false;
};

class RestoreCheckTest : public ::testing::Test {
  protected:
    RestoreCheckTest() { window.check = &check; }

    // The window as it is in the tray: minimised and hidden, the framing tick has seen it.
    void InTray() {
        window.state = kStateMinimised;
        window.visible = false;
        flag.set = true;
        window.log.clear();
    }
    // The user restores the window from outside (window manager, task bar).
    void UserRestores() {
        window.state = kStateNormal;
        window.visible = true;
        check.Form_Resize();
    }

    AppSettings settings;
    FakeTrayWindow window;
    FakeFlag flag;
    RestoreCheck check{window, settings, flag};
};

// Minimising and plain resizes.

TEST_F(RestoreCheckTest, MinimisingHidesTheWindowInTheTray) {
    window.SetWindowState(kStateMinimised);
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.state, kStateMinimised);
    EXPECT_THAT(window.log, ElementsAre("State=1", "Hide"));
}

TEST_F(RestoreCheckTest, AResizeOfAShownWindowChangesNothing) {
    for (std::int16_t state : {kStateNormal, kStateMaximised}) {
        window.state = state;
        window.log.clear();
        check.Form_Resize();
        EXPECT_TRUE(window.log.empty()) << state;
        EXPECT_TRUE(window.visible);
    }
}

TEST_F(RestoreCheckTest, WithoutATrayIconAMinimisedWindowIsNotHidden) {
    window.tray = false;
    window.SetWindowState(kStateMinimised);
    EXPECT_TRUE(window.visible);
    EXPECT_THAT(window.log, ElementsAre("State=1"));
}

// Restoring without a password.

TEST_F(RestoreCheckTest, WithoutAPasswordRestoringAsksNothing) {
    InTray();
    UserRestores();
    EXPECT_TRUE(window.log.empty());
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.state, kStateNormal);
    // Left for the next framing tick to update.
    EXPECT_TRUE(flag.set);
}

TEST_F(RestoreCheckTest, WithoutAPasswordTheGuardIsReleasedForTheNextMinimise) {
    InTray();
    UserRestores();
    flag.set = false;  // the next tick
    window.SetWindowState(kStateMinimised);
    EXPECT_FALSE(window.visible);
}

// Restoring with a password.

TEST_F(RestoreCheckTest, TheExactPasswordRestoresTheWindow) {
    settings.Password = "Secret";
    window.answers = {"Secret"};
    InTray();
    UserRestores();
    EXPECT_THAT(window.log, ElementsAre("Hide", "Ask", "State=0", "Show"));
    EXPECT_FALSE(window.askedWhileVisible);
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.state, kStateNormal);
    EXPECT_FALSE(flag.set);
}

TEST_F(RestoreCheckTest, AnAnswerDifferingOnlyInCaseIsInvalidAndReturnsToTheTray) {
    settings.Password = "Secret";
    window.answers = {"secret"};
    InTray();
    UserRestores();
    EXPECT_THAT(window.log, ElementsAre("Hide", "Ask", "Invalid", "State=1", "Show", "Hide"));
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.state, kStateMinimised);
    EXPECT_FALSE(flag.set);
}

TEST_F(RestoreCheckTest, PasswordsCompareByteForByte) {
    settings.Password = "caf\xe9";  // Windows-1252 e-acute
    window.answers = {"CAF\xc9", "caf\xe9"};
    InTray();
    UserRestores();
    EXPECT_EQ(window.state, kStateMinimised);
    EXPECT_FALSE(window.visible);
    flag.set = true;
    UserRestores();
    EXPECT_EQ(window.state, kStateNormal);
    EXPECT_TRUE(window.visible);
}

TEST_F(RestoreCheckTest, CancelReturnsToTheTraySilently) {
    settings.Password = "Secret";
    window.answers = {""};
    InTray();
    UserRestores();
    EXPECT_THAT(window.log, ElementsAre("Hide", "Ask", "State=1", "Show", "Hide"));
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.state, kStateMinimised);
}

TEST_F(RestoreCheckTest, AttemptsAreUnlimited) {
    settings.Password = "Secret";
    window.answers = {"a", "b", "", "Secret"};
    for (int attempt = 0; attempt < 4; ++attempt) {
        InTray();
        UserRestores();
    }
    EXPECT_EQ(window.state, kStateNormal);
    EXPECT_TRUE(window.visible);
}

TEST_F(RestoreCheckTest, TheHandlersOwnChangesDoNotAskAgain) {
    // Setting the state to normal re-enters the handler while the flag is still set; the
    // guard keeps it to one prompt.
    settings.Password = "Secret";
    window.answers = {"Secret", "Secret"};
    InTray();
    UserRestores();
    EXPECT_THAT(window.log, ElementsAre("Hide", "Ask", "State=0", "Show"));
    EXPECT_EQ(window.resizes, 1);
    EXPECT_EQ(window.answers.size(), 1u);
}

TEST_F(RestoreCheckTest, AWrongPasswordWithoutATrayIconLeavesTheWindowMinimisedButShown) {
    settings.Password = "Secret";
    window.tray = false;
    window.answers = {"wrong"};
    InTray();
    UserRestores();
    EXPECT_EQ(window.state, kStateMinimised);
    EXPECT_TRUE(window.visible);
}

TEST_F(RestoreCheckTest, TheFramingTicksFlagIsReadAndCleared) {
    test::FakeSerial serial;
    test::FakeSettingsControls prefs;
    test::FakeWindow view;
    ReceiveFraming framing{serial, settings, prefs, view, [](std::string& r) { r.clear(); }};
    FramingMinimisedFlag framingFlag(framing);
    RestoreCheck withFraming(window, settings, framingFlag);
    window.check = &withFraming;
    settings.Password = "Secret";
    window.answers = {"Secret"};

    view.minimised = true;
    framing.Timer1_Timer();
    window.state = kStateNormal;
    withFraming.Form_Resize();
    EXPECT_THAT(window.log, ElementsAre("Hide", "Ask", "State=0", "Show"));
    EXPECT_FALSE(framing.WasMinimised());
}

// The tray icon.

TEST_F(RestoreCheckTest, TheTrayIconDoesNothingWhileTheWindowIsShown) {
    for (std::int16_t state : {kStateNormal, kStateMaximised}) {
        window.state = state;
        check.Form_MouseMove(TrayEvent::DoubleClick);
        check.Form_MouseMove(TrayEvent::ContextMenu);
    }
    EXPECT_TRUE(window.log.empty());
}

TEST_F(RestoreCheckTest, InTheTrayDoubleClickShowsTheAboutBoxAndTheContextRequestTheMenu) {
    InTray();
    check.Form_MouseMove(TrayEvent::DoubleClick);
    check.Form_MouseMove(TrayEvent::Other);
    check.Form_MouseMove(TrayEvent::ContextMenu);
    EXPECT_THAT(window.log, ElementsAre("About", "Menu"));
    EXPECT_EQ(window.state, kStateMinimised);
    EXPECT_FALSE(window.visible);
}

// "Open Reradav".

TEST_F(RestoreCheckTest, OpenOnAShownWindowOnlyBringsItToTheFront) {
    check.mnuOpen_Click();
    EXPECT_THAT(window.log, ElementsAre("Front"));
}

TEST_F(RestoreCheckTest, OpenWithoutAPasswordRestoresTheWindow) {
    InTray();
    check.mnuOpen_Click();
    EXPECT_THAT(window.log, ElementsAre("Show", "State=0"));
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.state, kStateNormal);
}

TEST_F(RestoreCheckTest, OpenWithAPasswordAsksForIt) {
    settings.Password = "Secret";
    window.answers = {"nope"};
    InTray();
    check.mnuOpen_Click();
    EXPECT_THAT(window.log, ElementsAre("Show", "State=0", "Hide", "Ask", "Invalid", "State=1",
                                        "Show", "Hide"));
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.state, kStateMinimised);

    window.answers = {"Secret"};
    flag.set = true;
    window.log.clear();
    check.mnuOpen_Click();
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.state, kStateNormal);
}

}  // namespace
}  // namespace reradav
