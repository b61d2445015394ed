// The real program started as a user would: windowed or headless, a scan on COM16 is typed
// into the focused window and a quit in the middle of a read finishes it, then saves; in a
// tray host it starts as an icon and comes back through the icon's menu.
#include <gmock/gmock.h>
#include <signal.h>

#include <random>
#include <regex>
#include <thread>

#include "support/KeyTargetDesk.h"

namespace reradav::test {
namespace {

using namespace std::literals;
using testing::AllOf, testing::HasSubstr;

// Kept out of the user's session: a portable copy (its settings file beside it) in a private
// folder that is also its XDG runtime and config home, a private X server with the key target
// in focus (bare with `withTarget_` false), a pseudo-terminal to be COM16. Standard error of
// every copy started goes to Log().
class ProgramRun : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        if (!desk_.Start(&error, withTarget_)) {
            GTEST_SKIP() << "no X server: " << error;
        }
        ASSERT_TRUE(xdotool_ && pty_.Open(&error)) << "xdotool (tools/install-deps)? " << error;
        std::filesystem::copy_file(RERADAV_PROGRAM_PATH, folder_ / "reradav");
        setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    }
    void TearDown() override { std::for_each(started_.rbegin(), started_.rend(), Stop); }

    void WriteSettings(const std::string& lines) { WriteBytes(settings_, "[Reradav]\r\n" + lines); }
    std::string Saved() const { return ReadBytes(settings_); }
    std::string Log() const { return ReadBytes(folder_ / "reradav.log"); }
    pid_t Start(std::vector<std::string> args) {
        const std::string program = (folder_ / "reradav").string();
        args.insert(args.begin(), {"-c", "exec \"$0\" \"$@\" 2>>" + program + ".log", program});
        return started_.emplace_back(Spawn("/bin/sh", std::move(args)));
    }
    // Sends the signal (0: none); the exit status once it ended.
    int End(pid_t pid, int signal = SIGTERM) {
        kill(pid, signal);
        std::erase(started_, pid);
        return WaitForExit(pid, 30s);
    }
    // Whether xdotool succeeded; for a search, whether it found a window. Or within a time.
    bool Xdo(const std::vector<std::string>& args) const { return RunToEnd(*xdotool_, args) == 0; }
    bool Xdo(const std::vector<std::string>& args, std::chrono::seconds limit) const {
        return WaitUntil([&] { return Xdo(args); }, limit);
    }
    // A window with this title (a regular expression), shown or not ("--name" twice is fine).
    bool Window(const std::string& title, bool shown = false) const {
        return Xdo({"search", shown ? "--onlyvisible" : "--name", "--name", "^" + title + "$"});
    }

    // Focuses the window with this title, types the text, then the key. Each its own xdotool:
    // one that acts on a window which then closes dies of the X error with the key held down,
    // and its autorepeat closes the next menu or dialog.
    void Answer(const std::string& title, const std::string& text, const std::string& key) {
        Xdo({"search", "--onlyvisible", "--name", "^" + title + "$", "windowfocus", "--sync"});
        Xdo({"type", text});
        Xdo({"key", key});
    }

    bool withTarget_ = true;
    KeyTargetDesk desk_;
    ScannerPty pty_;
    const std::filesystem::path folder_ = desk_.Folder(), settings_ = folder_ / "default.vav";
    std::optional<std::string> xdotool_ = FindProgram("xdotool");
    std::vector<pid_t> started_;
};

// The same behaviour from both front ends; the parameter: headless.
class FrontEnd : public ProgramRun, public ::testing::WithParamInterface<bool> {
  protected:
    // The port status as shown: the window's caption, or headless, the log's first line (the
    // status passes through others while the settings load: only the outcome is logged).
    bool Shows(const std::string& status) {
        return GetParam() ? std::regex_search(Log(), std::regex("(^|\n)port: " + status + "\n"))
                          : Window("Reradav \\(" + status + "\\)");
    }
};

TEST_P(FrontEnd, ScansAreTypedAndAQuitInAReadFinishesItThenSaves) {
    WriteSettings("RemoveReturns=1\r\nPostamble={TAB}\r\nDevice16=" + pty_.SlavePath() +
                  "\r\nComPort=16\r\nStation=by hand\r\nAutoLoad=1\r\n");
    const pid_t program = Start({GetParam() ? "--headless" : "--"});
    ASSERT_TRUE(WaitUntil([&] { return Shows("Active On COM16"); }, 20s)) << Log();
    pty_.CloseSlave();
    pty_.Scan("4006381333931\r\n");
    const std::string first = "4006381333931<Tab>";
    ASSERT_TRUE(WaitUntil([&] { return desk_.Received().size() >= first.size(); }, 10s));
    if (GetParam()) {
        EXPECT_THAT(Log(), HasSubstr("read: 4006381333931{TAB}\n"));
        const pid_t second = Spawn("/usr/bin/env", {"-u", "XDG_RUNTIME_DIR",
                                                    (folder_ / "reradav").string(), "--headless"});
        EXPECT_EQ(WaitForExit(second, 10s), 1)
            << "a second copy is refused, whatever its environment";
    }
    const std::string letters = std::string(100, 'x') + std::string(100, 'y');
    pty_.Scan(letters);
    ASSERT_TRUE(WaitUntil([&] { return desk_.Received().size() >= first.size() + 20; }, 10s));
    EXPECT_EQ(std::filesystem::exists(folder_ / "config/autostart/reradav.desktop"), !GetParam())
        << "the window writes the start-at-logon entry at start-up too";
    EXPECT_EQ(End(program), 0);
    EXPECT_EQ(desk_.Received(), first + letters + "<Tab>");
    EXPECT_THAT(Saved(), AllOf(HasSubstr("\nComPort=16\r\n"), HasSubstr("\nPostamble={TAB}\r\n"),
                               HasSubstr("\nStation=by hand\r\n"), HasSubstr("\nKeyTrans255=")));
    // Starting at logon is the window's: headless leaves the entry alone.
    EXPECT_EQ(std::filesystem::exists(folder_ / "config/autostart/reradav.desktop"), !GetParam());
}

// A read that would type for a minute stops between two keys within the quit's two seconds of
// grace, and the settings are saved; reads waiting behind it are counted, not typed. (How soon
// the program ends: x11_typing_bench.)
TEST_P(FrontEnd, AQuitStopsALongReadSoon) {
    WriteSettings("Device16=" + pty_.SlavePath() + "\r\nComPort=16\r\n");
    const pid_t program = Start({GetParam() ? "--headless" : "--"});
    ASSERT_TRUE(WaitUntil([&] { return Shows("Active On COM16"); }, 20s)) << Log();
    std::size_t typed = 0;
    // Keys go one a millisecond at most: 200 more characters typed are a pause that ends the
    // read sent before, and the program has taken it in.
    for (const std::string& scan : {std::string(20000, 'z'), "waits1\r"s, "waits2\r"s}) {
        pty_.Scan(scan);
        ASSERT_TRUE(WaitUntil([&] { return desk_.Received().size() >= typed + 200; }, 10s));
        typed = desk_.Received().size();
    }
    EXPECT_EQ(End(program), 0);
    // The grace holds 2,000 key events, 1,000 characters; as many again allow for the keys
    // typed between the count and the quit.
    EXPECT_LT(desk_.Received().size(), typed + 2000) << "typing went on after the grace";
    EXPECT_EQ(desk_.Received().find_first_not_of('z'), std::string::npos);
    if (GetParam()) {
        EXPECT_THAT(Log(), AllOf(HasSubstr("port: 2 reads were not typed: Reradav was quitting\n"),
                                 testing::Not(HasSubstr("waits"))));
    }
    EXPECT_THAT(Saved(), HasSubstr("\nComPort=16\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Program, FrontEnd, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Headless" : "Windowed"; });

// A click on Settings! while a read is typed opens the dialog only once the read is typed: no
// key is held down into it, and nothing of the read lands in it.
TEST_F(ProgramRun, ADialogClickedOpenDuringTypingWaitsForTheRead) {
    WriteSettings("Device16=" + pty_.SlavePath() + "\r\nComPort=16\r\nScannerBeepString=7\r\n");
    Start({"--"});
    ASSERT_TRUE(WaitUntil([&] { return Window("Reradav \\(Active On COM16\\)"); }, 20s)) << Log();
    pty_.Scan(std::string(2000, 'j'));
    ASSERT_TRUE(WaitUntil([&] { return desk_.Received().size() >= 20; }, 10s));
    Xdo({"search", "--name", "^Reradav \\(Active", "mousemove", "--window", "%1", "68", "8",
         "click", "1"});
    ASSERT_TRUE(WaitUntil([&] { return Window("Reradav Serial Port Settings", true); }, 20s));
    EXPECT_TRUE(desk_.X().KeyboardSnapshot().ends_with("down:")) << "a key would repeat in it";
    EXPECT_EQ(desk_.Received(), std::string(2000, 'j'));
    Answer("Reradav Serial Port Settings", "", "Return");
    EXPECT_TRUE(WaitUntil([&] { return !Window("Reradav Serial Port Settings", true); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return Saved().find("KeyTrans255=") != std::string::npos; }, 5s))
        << "saved when the dialog closed with OK";
    EXPECT_EQ(End(started_.back()), 0);
    EXPECT_THAT(Saved(), HasSubstr("\nScannerBeepString=7\r\n"));
}

// An adapter unplugged 30 ms after a scan and plugged in again 50 ms later, 20 times: the port
// comes back by itself each time (how soon, port_bench measures), even when replying
// to the scanner found the port gone and a 2,000-character read is still typed; every scan is
// typed exactly once, and no descriptor is left behind.
TEST_F(ProgramRun, TheUnpluggedPortComesBackByItself) {
    const std::filesystem::path link = folder_ / "scanner";
    auto plugIn = [&](const ScannerPty& pty) {
        std::filesystem::create_symlink(pty.SlavePath(), folder_ / "next");
        std::filesystem::rename(folder_ / "next", link);
    };
    plugIn(pty_);
    WriteSettings("Device16=" + link.string() + "\r\nComPort=16\r\nRemoveReturns=1\r\n" +
                  "Postamble={TAB}\r\nScannerBeepString=7\r\n");
    const pid_t program = Start({"--headless"});
    auto opened = [&](long times) {
        const std::string log = Log();
        const std::regex active("port: Active On COM16\n");
        return std::distance(std::sregex_iterator(log.begin(), log.end(), active), {}) >= times;
    };
    ASSERT_TRUE(WaitUntil([&] { return opened(1); }, 20s)) << Log();
    const auto descriptors = [&] {
        const auto fds = std::filesystem::path("/proc") / std::to_string(program) / "fd";
        return std::distance(std::filesystem::directory_iterator(fds), {});
    };
    long before = 0;  // once the keyboard has typed: its guard holds a socket
    std::string expected;
    std::unique_ptr<ScannerPty> device;
    for (int cycle = 0; cycle < 20; ++cycle) {
        ScannerPty& pty = cycle == 0 ? pty_ : *device;
        pty.CloseSlave();
        for (int scan = 0; scan < 2; ++scan) {
            const std::string code = cycle == 10 && scan == 1
                                         ? std::string(2000, 'L')
                                         : "C" + std::to_string(cycle) + "S" + std::to_string(scan);
            pty.Scan(code + "\r");
            expected += code + "<Tab>";
            std::this_thread::sleep_for(scan == 0 ? 250ms : 30ms);
        }
        pty.HangUp();
        auto next = std::make_unique<ScannerPty>();
        std::string error;
        ASSERT_TRUE(next->Open(&error)) << error;
        std::this_thread::sleep_for(50ms);
        plugIn(*next);
        EXPECT_TRUE(WaitUntil([&] { return opened(cycle + 2); }, 10s)) << "cycle " << cycle;
        EXPECT_TRUE(WaitUntil([&] { return desk_.Received().size() >= expected.size(); }, 60s));
        before = cycle == 0 ? descriptors() : before;
        device = std::move(next);
    }
    EXPECT_EQ(desk_.Received(), expected);
    EXPECT_EQ(descriptors(), before);
    EXPECT_EQ(End(program, SIGHUP), 0);
}

// An X server that dies takes the program with it, but not its settings: they are saved (and
// the window's start-at-logon entry written) on the way out, with a failure's exit status.
TEST_P(FrontEnd, SettingsSurviveTheXServersDeath) {
    WriteSettings("ComPort=0\r\nAutoLoad=1\r\n");
    const pid_t program = Start({GetParam() ? "--headless" : "--"});
    ASSERT_TRUE(WaitUntil([&] { return Shows("Inactive"); }, 20s)) << Log();
    desk_.X().Kill();
    std::erase(started_, program);
    EXPECT_EQ(WaitForExit(program, 10s), 1) << Log();
    EXPECT_THAT(Saved(), HasSubstr("\nKeyTrans255="));
    EXPECT_EQ(std::filesystem::exists(folder_ / "config/autostart/reradav.desktop"), !GetParam());
}

// A quit signal ends the program from a message box that waits at start-up; the failed save
// is told on standard error, not in a second box.
TEST_F(ProgramRun, AQuitSignalEndsTheProgramFromAStartUpMessage) {
    std::filesystem::create_directory(settings_);
    const pid_t program = Start({"--"});
    const auto message = [&] {
        return Window("Reradav \\(Inactive\\)", true) && Window("Reradav", true);
    };
    ASSERT_TRUE(WaitUntil(message, 20s)) << Log();
    EXPECT_EQ(End(program), 0);
    EXPECT_THAT(Log(), HasSubstr("The settings could not be saved."));
}

// A file beside the program in a folder everyone can write to is not trusted, nor changed: the
// user's own file is used, and the log says why.
TEST_F(ProgramRun, SettingsWhereOthersCanWriteAreNotUsed) {
    WriteSettings("KeyTrans49=planted\r\n");
    std::filesystem::permissions(folder_, std::filesystem::perms::all);
    const pid_t program = Start({"--headless"});
    ASSERT_TRUE(WaitUntil([&] { return Log().find("port: ") != std::string::npos; }, 20s));
    EXPECT_THAT(Log(),
                HasSubstr("settings: Not " + settings_.string() + ": others can write there.\n"));
    EXPECT_EQ(End(program), 0);
    EXPECT_EQ(Saved(), "[Reradav]\r\nKeyTrans49=planted\r\n");
    EXPECT_THAT(ReadBytes(folder_ / "config/reradav/default.vav"), HasSubstr("\nKeyTrans49=1\r"));
}

// Killed at any moment of a read, the program leaves no key down (Shift, a letter, a lent key)
// and the keymap as it was: its guard releases the keys and clears the loans.
TEST_F(ProgramRun, AKilledProgramLeavesNoKeyDownAndTheKeymapAsItWas) {
    WriteSettings("Device16=" + pty_.SlavePath() + "\r\nComPort=16\r\nPostamble=\r\n");
    const std::string before = desk_.X().KeyboardSnapshot();
    std::string read = "ABC";
    for (int i = 0; i < 50; ++i)
        read.insert(read.end() - 3, "\xE9\xE8\xEA\xEB\xE0\xE2\xE4\xF4\xF6\xFC"[i % 10]);
    std::minstd_rand random(20);
    for (int run = 1; run <= 20; ++run) {
        WriteBytes(folder_ / "reradav.log", "");
        const pid_t program = Start({"--headless"});
        ASSERT_TRUE(
            WaitUntil([&] { return Log().find("Active On COM16") != std::string::npos; }, 20s));
        pty_.CloseSlave();
        desk_.ClearReceived();
        pty_.Scan(read);
        ASSERT_TRUE(WaitUntil([&] { return !desk_.Received().empty(); }, 10s)) << Log();
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 400));
        End(program, SIGKILL);
        EXPECT_TRUE(WaitUntil([&] { return desk_.X().KeyboardSnapshot() == before; }, 20s))
            << "run " << run;
    }
}

class Tray : public ProgramRun {
  protected:
    Tray() { withTarget_ = false; }  // the target would take the focus from the menu
    // A tray in the screen's top left corner; its first icon is at (12, 16).
    pid_t StartTray() {
        const pid_t tray = started_.emplace_back(
            Spawn(FindProgram("trayer").value_or("trayer"),
                  {"--edge", "top", "--align", "left", "--widthtype", "pixel", "--width", "64",
                   "--height", "32", "--SetDockType", "false"}));
        EXPECT_TRUE(Xdo({"search", "--class", "trayer"}, 10s)) << "trayer did not start";
        return tray;
    }
    // The about box, through a double-click on the icon: whether it showed (then closed).
    bool AboutFromIcon() {
        Xdo({"mousemove", "12", "16", "click", "--repeat", "2", "--delay", "80", "1"});
        const bool shown = WaitUntil([&] { return Window("About Reradav", true); }, 10s);
        Answer("About Reradav", "", "Escape");
        return shown && WaitUntil([&] { return !Window("About Reradav", true); }, 10s);
    }
};

// A lock that holds through every refusal (Esc, a wrong and an empty answer, 50 in a row), each
// leaving the icon's menu working and the window saved as in the tray; the right password
// shows the window.
TEST_F(Tray, StartsInTheTrayAndTheLockHoldsThroughEveryRefusal) {
    StartTray();
    // The port's device is missing, so the port's tick is stopped: the lock must hold anyway.
    WriteSettings("ComPort=3\r\nDevice3=" + (folder_ / "gone").string() +
                  "\r\nPassword=Geheim\r\n");
    const std::string main = "Reradav \\(Error: .*\\)";
    pid_t program = Start({"/M"});
    ASSERT_TRUE(WaitUntil([&] { return Window(main); }, 20s)) << Log();

    // The menu opens where it was asked for, over the icon; its first item is Open Reradav.
    const auto open = [&] {
        Xdo({"mousemove", "12", "16", "click", "3"});
        return Xdo({"search", "--onlyvisible", "--class", "reradav", "getwindowgeometry", "%2"},
                   10s) &&
               Xdo({"mousemove", "60", "27", "click", "1"}) &&
               WaitUntil([&] { return Window("Reradav Password", true); }, 10s);
    };
    for (int refusal = 0; refusal < 50; ++refusal) {
        ASSERT_TRUE(open()) << "after " << refusal << " refusals";
        Answer("Reradav Password", refusal % 3 == 1 ? "wrong" : "",
               refusal % 3 == 0 ? "Escape" : "Return");
        if (refusal % 3 == 1 && WaitUntil([&] { return Window("Reradav", true); }, 10s))
            Answer("Reradav", "", "Return");  // "Invalid password"
        ASSERT_TRUE(WaitUntil([&] { return !Window("Reradav( Password)?", true); }, 10s));
        EXPECT_FALSE(Window(main, true)) << "a /M start shows only the icon; refusal " << refusal;
    }
    // A second start brings the running copy forward, from the tray only through the lock.
    EXPECT_EQ(End(Start({}), 0), 0) << "it ends by itself, with no message to answer";
    ASSERT_TRUE(WaitUntil([&] { return Window("Reradav Password", true); }, 10s));
    Answer("Reradav Password", "", "Escape");
    ASSERT_TRUE(WaitUntil([&] { return !Window("Reradav Password", true); }, 10s));
    // A quit while the prompt is open ends the program and saves it locked in the tray.
    ASSERT_TRUE(open());
    EXPECT_EQ(End(program), 0);
    EXPECT_THAT(Saved(), HasSubstr("\nWindowState=1\r\n"));
    program = Start({});
    ASSERT_TRUE(WaitUntil([&] { return Window(main); }, 20s)) << Log();
    ASSERT_TRUE(open());
    Answer("Reradav Password", "Geheim", "Return");
    EXPECT_TRUE(WaitUntil([&] { return Window(main, true); }, 10s));
}

// A tray that starts after the program gets the icon; one that goes away gives the window back,
// minimised to the task bar.
TEST_F(Tray, TheWindowFollowsATrayThatComesLateOrGoes) {
    WriteSettings("ComPort=0\r\n");
    const std::string main = "Reradav \\(Inactive\\)";
    pid_t program = Start({"/M"});
    ASSERT_TRUE(WaitUntil([&] { return Window(main, true); }, 20s)) << "no tray: shown";
    const pid_t tray = StartTray();
    EXPECT_TRUE(WaitUntil([&] { return AboutFromIcon(); }, 20s));
    EXPECT_EQ(End(program), 0);
    program = Start({"/M"});
    ASSERT_TRUE(WaitUntil([&] { return AboutFromIcon(); }, 20s));
    ASSERT_FALSE(Window(main, true)) << "in the tray";
    End(tray, SIGKILL);
    EXPECT_TRUE(WaitUntil([&] { return Window(main, true); }, 10s));
}

}  // namespace
}  // namespace reradav::test
