#include "lock/RestoreCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace reradav {
namespace {

// A main window in the tray (minimised, hidden, and seen there by the framing tick) that logs
// what is done to it. Like the window system, it runs the resize handler at once whenever its
// state is set, also from inside the handler.
struct Tray : TrayWindow, MinimisedFlag {
    std::int16_t WindowState() const override { return state; }
    void SetWindowState(std::int16_t s) override {
        Log("State=" + std::to_string(s)), state = s, check.Form_Resize();
    }
    void HideWindow() override { Log("Hide"); }
    void ShowWindow() override { Log("Show"); }
    std::string AskPassword() override { return Log("Ask"), answer; }
    void ShowInvalidPassword() override { Log("Invalid"); }
    bool HasTrayIcon() const override { return true; }
    void ShowAboutModeless() override { Log("About"); }
    void ShowTrayMenu() override { Log("Menu"); }
    void BringToFront() override { Log("Front"); }
    bool WasMinimised() const override { return minimised; }
    void ClearWasMinimised() override { Log("Clear"), minimised = false; }
    void Log(const std::string& what) { log += (log.empty() ? "" : " ") + what; }

    AppSettings settings;
    RestoreCheck check{*this, settings, *this};
    std::int16_t state = kStateMinimised;
    bool minimised = true;
    std::string answer;
    std::string log;
};

// The user restores the window from the tray (window manager, task bar).
std::string Restore(const char* password, const char* answer = "") {
    Tray t;
    t.settings.Password = password, t.answer = answer, t.state = kStateNormal;
    t.check.Form_Resize();
    return t.log;
}

TEST(RestoreCheck, RestoringFromTheTrayAsksForThePasswordWhenOneIsSet) {
    EXPECT_EQ(Restore(""), "");  // the flag is left for the next state change
    EXPECT_EQ(Restore("Secret", "Secret"), "Hide Ask State=0 Show Clear");
    EXPECT_EQ(Restore("Secret", "secret"), "Hide Ask Invalid Clear State=1 Show Clear Hide");
}

TEST(RestoreCheck, TheTrayIconAndOpenActOnlyOnAWindowInTheTray) {
    Tray t;
    t.settings.Password = "Secret", t.answer = "nope";
    t.check.Form_MouseMove(TrayEvent::DoubleClick);
    t.check.Form_MouseMove(TrayEvent::ContextMenu);
    t.check.mnuOpen_Click();                 // refused: the window never shows
    t.answer = "", t.check.mnuOpen_Click();  // cancelled
    t.answer = "Secret";
    t.check.mnuOpen_Click();
    t.state = kStateMaximised;
    t.check.Form_MouseMove(TrayEvent::DoubleClick);
    t.check.mnuOpen_Click();
    EXPECT_EQ(t.log, "About Menu Ask Invalid Ask Ask Show State=0 Clear Front");
}

}  // namespace
}  // namespace reradav
