// The program without windows: settings in and out of plain values, a pseudo-terminal as the
// scanner, a recording keyboard, and the log lines that stand in for the window.
#include "app/Headless.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "keys/KeyboardEmitter.h"
#include "keys/RecordingKeyboard.h"
#include "readproc/KeyTrans.h"
#include "shell/ProfileFile.h"
#include "support/Fakes.h"
#include "support/KeyTargetDesk.h"

namespace reradav {
namespace {

namespace fs = std::filesystem;
using test::FakeBeeper;
using test::ScannerPty;

// Runs the event loop until `done` or the time is up; whether `done` came true.
template <typename Done>
bool RunUntil(Done done, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(500);
    }
    return true;
}

// What typing these key strings does to a recording keyboard.
std::string TypedBy(const std::vector<std::string>& keyStrings) {
    RecordingKeyboard keyboard;
    KeyboardEmitter emitter(keyboard);
    for (const std::string& keys : keyStrings) {
        emitter.SimKeys(keys);
    }
    return keyboard.Actions();
}

// The key strings of a read through the built-in table, then the postamble.
std::vector<std::string> BuiltInKeys(const std::string& read, const std::string& postamble) {
    KeyTransTable table;
    InitKeyTrans(table);
    std::vector<std::string> keys;
    for (char c : read) {
        keys.push_back(table[static_cast<unsigned char>(c)]);
    }
    keys.push_back(postamble);
    return keys;
}

class HeadlessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/reradav-headless-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
        settings_ = folder_ / "default.vav";
        std::string error;
        ASSERT_TRUE(pty_->Open(&error)) << error;
    }
    void TearDown() override {
        headless_.reset();
        fs::remove_all(folder_);
    }

    void WriteSettings(const std::string& lines) {
        std::ofstream(settings_, std::ios::binary) << "[Reradav]\r\n" << lines;
    }

    // Starts on the settings file, typing into a recording keyboard.
    void Start(
        std::unique_ptr<RecordingKeyboard> keyboard = std::make_unique<RecordingKeyboard>()) {
        keyboard_ = keyboard.get();
        headless_ = std::make_unique<Headless>(beeper_, log_, std::move(keyboard));
        headless_->Load(settings_);
        pty_->CloseSlave();
    }

    std::string Log() const { return log_.str(); }
    bool Logged(const std::string& line) const {
        return Log().find(line + "\n") != std::string::npos;
    }

    // The exit status the quit hands over, once it has.
    std::optional<int> QuitAndWait() {
        std::optional<int> status;
        int calls = 0;
        headless_->Quit([&](int s) {
            status = s;
            ++calls;
        });
        RunUntil([&] { return status.has_value(); });
        headless_->Quit([&](int) { ++calls; });
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, 1) << "the quit ran more than once";
        return status;
    }

    std::string PortLines() const { return "Device16=" + pty_->SlavePath() + "\r\nComPort=16\r\n"; }

    fs::path folder_, settings_;
    std::unique_ptr<ScannerPty> pty_ = std::make_unique<ScannerPty>();
    FakeBeeper beeper_;
    std::ostringstream log_;
    RecordingKeyboard* keyboard_ = nullptr;
    std::unique_ptr<Headless> headless_;
};

TEST_F(HeadlessTest, LoadOpensTheSavedPortAndSaysOnlyTheOutcome) {
    WriteSettings(PortLines());
    Start();
    EXPECT_TRUE(headless_->Wedge().Serial().PortOpen());
    EXPECT_EQ(headless_->Combo1ListIndex(), 16);
    EXPECT_EQ(Log(), "port: Active On COM16\n");
}

TEST_F(HeadlessTest, WithoutAPortTheStatusIsInactive) {
    WriteSettings("Postamble={TAB}\r\n");
    Start();
    EXPECT_FALSE(headless_->Wedge().Serial().PortOpen());
    EXPECT_EQ(Log(), "port: Inactive\n");
}

TEST_F(HeadlessTest, APortThatCannotBeOpenedIsShownWithItsReason) {
    const fs::path gone = folder_ / "gone";
    WriteSettings("Device9=" + gone.string() + "\r\nComPort=9\r\n");
    Start();
    EXPECT_FALSE(headless_->Wedge().Serial().PortOpen());
    EXPECT_EQ(Log().rfind("port: Error: ", 0), 0u) << Log();
    EXPECT_NE(Log().find(gone.string()), std::string::npos) << Log();
    EXPECT_EQ(Log().find("Inactive"), std::string::npos) << Log();
}

TEST_F(HeadlessTest, ALostPortIsLoggedWhenItHappens) {
    WriteSettings(PortLines());
    Start();
    pty_.reset();  // the scanner's side goes away, as an unplugged adapter does
    ASSERT_TRUE(RunUntil([&] { return Log().find("port: Error: ") != std::string::npos; }))
        << Log();
    EXPECT_EQ(Log().rfind("port: Active On COM16\nport: Error: ", 0), 0u) << Log();
}

TEST_F(HeadlessTest, AnUnreadableSettingsFileIsLoggedAndTheDefaultsAreUsed) {
    fs::create_directory(settings_);
    Start();
    EXPECT_NE(Log().find("reradav: Cannot read " + settings_.string()), std::string::npos) << Log();
    EXPECT_NE(Log().find("; the defaults are used\n"), std::string::npos) << Log();
    EXPECT_TRUE(Logged("port: Inactive"));
}

TEST_F(HeadlessTest, AScanIsLoggedAsDisplayedAndTyped) {
    WriteSettings(PortLines() + "RemoveReturns=1\r\nPostamble={TAB}\r\n");
    Start();
    pty_->Scan("4006381333931\r\n");
    ASSERT_TRUE(RunUntil([&] { return Logged("read: 4006381333931{TAB}"); })) << Log();
    EXPECT_EQ(keyboard_->Actions(), TypedBy(BuiltInKeys("4006381333931", "{TAB}")));
}

TEST_F(HeadlessTest, ControlCharactersInAReadAreLoggedAsEscapes) {
    WriteSettings(PortLines());
    Start();
    pty_->Scan("A\tB\\C\x1b\r");
    ASSERT_TRUE(RunUntil([&] { return Log().find("read: ") != std::string::npos; })) << Log();
    RunUntil([&] { return Log().back() == '\n'; });
    EXPECT_TRUE(Logged("read: A\\tB\\\\C\\x1b\\r")) << Log();
    EXPECT_EQ(keyboard_->Actions(), TypedBy(BuiltInKeys("A\tB\\C\x1b\r", "")));
}

TEST_F(HeadlessTest, TheLoadedPreferencesApplyToReads) {
    WriteSettings(PortLines() +
                  "NumericFilter=1\r\nIgnoreDups=1\r\nBeep=1\r\nBeepSound=3\r\n"
                  "Postamble={ENTER}\r\nKeyTrans55=seven\r\n");
    Start();
    pty_->Scan("A:17");
    ASSERT_TRUE(RunUntil([&] { return Logged("read: 17{ENTER}"); })) << Log();
    EXPECT_EQ(keyboard_->Actions(), TypedBy({"1", "seven", "{ENTER}"}));
    ASSERT_EQ(beeper_.beeps.size(), 1u);
    EXPECT_EQ(beeper_.beeps[0], MB_ICONHAND);

    // The same again is a duplicate: beeped, neither shown nor typed. Then a new one is.
    keyboard_->ClearActions();
    pty_->Scan("B17");
    ASSERT_TRUE(RunUntil([&] { return beeper_.beeps.size() == 2; }));
    pty_->Scan("2");
    ASSERT_TRUE(RunUntil([&] { return Logged("read: 2{ENTER}"); })) << Log();
    EXPECT_EQ(keyboard_->Actions(), TypedBy(BuiltInKeys("2", "{ENTER}")));
    EXPECT_EQ(Log().find("read: 17{ENTER}"), Log().rfind("read: 17{ENTER}")) << Log();
}

TEST_F(HeadlessTest, QuitSavesEverySettingUnchangedAndLeavesTheAutostartEntryAlone) {
    const std::string kept =
        "AutoLoad=1\r\nBeep=1\r\nBeepSound=2\r\nRemoveReturns=1\r\nNumericFilter=2\r\n"
        "IgnoreDups=1\r\nPostamble={TAB}\r\nWindowState=2\r\nSettings=19200,E,7,1\r\n"
        "Handshake=1\r\nPassword=secret\r\nScannerBeepString=7\r\nKeyTrans65=x\r\n"
        "Station=by hand\r\n";
    WriteSettings(PortLines() + kept);
    const fs::path config = folder_ / "config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    Start();
    EXPECT_EQ(QuitAndWait(), 0);
    unsetenv("XDG_CONFIG_HOME");

    std::ifstream in(settings_, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const ProfileFile saved(bytes.str());
    const ProfileFile before("[Reradav]\r\n" + PortLines() + kept);
    for (const char* key :
         {"ComPort", "Device16", "AutoLoad", "Beep", "BeepSound", "RemoveReturns", "NumericFilter",
          "IgnoreDups", "Postamble", "WindowState", "Settings", "Handshake", "Password",
          "ScannerBeepString", "KeyTrans65", "Station"}) {
        EXPECT_EQ(saved.Find("Reradav", key), before.Find("Reradav", key)) << key;
    }
    // Everything the window saves is there, the built-in table included.
    EXPECT_TRUE(saved.Find("Reradav", "KeyTrans255").has_value());
    EXPECT_FALSE(fs::exists(config / "autostart"));
}

TEST_F(HeadlessTest, AFailedSaveIsLoggedAndEndsWithStatusOne) {
    WriteSettings(PortLines());
    Start();
    fs::remove(settings_);
    fs::create_directory(settings_);  // what was a file can no longer be written
    EXPECT_EQ(QuitAndWait(), 1);
    EXPECT_NE(Log().find("reradav: the settings could not be saved: "), std::string::npos) << Log();
}

TEST_F(HeadlessTest, AQuitWhileAReadIsTypedWaitsForTheWholeRead) {
    WriteSettings(PortLines() + "Postamble={TAB}\r\n");
    auto owned = std::make_unique<RecordingKeyboard>();
    RecordingKeyboard* keyboard = owned.get();
    keyboard->SetClockStep(3);  // each key waits for the clock, running the event loop
    Start(std::move(owned));

    std::optional<int> status;
    std::string typedAtQuit;
    bool quitAsked = false;
    keyboard->SetOnServiceEvents([&] {
        if (!quitAsked) {
            quitAsked = true;
            headless_->Quit([&](int s) {
                status = s;
                typedAtQuit = keyboard->Actions();
            });
            EXPECT_FALSE(status.has_value()) << "saved in the middle of a read";
        }
        QCoreApplication::processEvents();
    });
    pty_->Scan("ABCDEFGH");
    ASSERT_TRUE(RunUntil([&] { return status.has_value(); }));
    EXPECT_TRUE(quitAsked);
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(typedAtQuit, TypedBy(BuiltInKeys("ABCDEFGH", "{TAB}")));
}

TEST_F(HeadlessTest, WithoutAnyKeyboardTheReasonIsLoggedAndReadsStillAre) {
    if (access("/dev/uinput", W_OK) == 0) {
        GTEST_SKIP() << "this machine has a usable /dev/uinput";
    }
    const std::optional<std::string> display =
        getenv("DISPLAY") ? std::optional<std::string>(getenv("DISPLAY")) : std::nullopt;
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    WriteSettings(PortLines());
    headless_ = std::make_unique<Headless>(beeper_, log_);
    if (display) {
        setenv("DISPLAY", display->c_str(), 1);
    }
    headless_->Load(settings_);
    pty_->CloseSlave();
    const std::string problem = headless_->Wedge().KeyboardProblem();
    ASSERT_FALSE(problem.empty());
    EXPECT_EQ(Log().rfind("keyboard: " + problem, 0), 0u) << Log();
    pty_->Scan("123\r");
    EXPECT_TRUE(RunUntil([&] { return Logged("read: 123\\r"); })) << Log();
}

TEST(ReadableText, ShowsEveryByteUnambiguously) {
    EXPECT_EQ(ReadableText("plain text 123"), "plain text 123");
    EXPECT_EQ(ReadableText("\r\n\t\\"), "\\r\\n\\t\\\\");
    EXPECT_EQ(ReadableText(std::string("\x00\x1b\x7f", 3)), "\\x00\\x1b\\x7f");
    // Windows-1252: 0x80 is the euro sign, 0xE9 e acute; 0x81 is undefined there.
    EXPECT_EQ(ReadableText("\x80\xE9\x81"), "\xE2\x82\xAC\xC3\xA9\\x81");
    EXPECT_EQ(ReadableText("{TAB}~+^%"), "{TAB}~+^%");
}

}  // namespace
}  // namespace reradav
