#include "shell/ui/MainForm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "keys/RecordingKeyboard.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

namespace fs = std::filesystem;

class MainFormTest : public ::testing::Test {
  protected:
    MainFormTest() {
        folder_ = fs::temp_directory_path() /
                  ("reradav-mainform-" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
        file_ = folder_ / "default.vav";
    }
    ~MainFormTest() override { fs::remove_all(folder_); }

    void WriteSettings(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
    std::string ReadSettings() {
        std::ifstream in(file_, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    template <typename T>
    T* Find(const char* name) {
        T* widget = form.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    std::string Load(const std::string& commandLine = "") {
        return form.Form_Load(file_, commandLine);
    }

    fs::path folder_, file_;
    test::FakeBeeper beeper;
    RecordingMessageBoxes messages;
    MainForm form{beeper, messages, std::make_unique<RecordingKeyboard>()};
};

TEST_F(MainFormTest, EveryControlAndMenuCarriesItsName) {
    for (const char* name :
         {"Label4", "Label3", "Combo1", "Frame1", "Frame2", "BeepOnInput", "cboSound",
          "LoadWithWindows", "RemoveCRs", "Text1", "NumFilter", "IgnoreDups", "Label1",
          "TermKeyCombo", "Label5", "Label2", "Display", "Label6"}) {
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
    }
    for (const char* name : {"mPassword", "FileExit", "MSettings", "HelpIndex", "HelpAbout"}) {
        EXPECT_NE(form.findChild<QAction*>(name), nullptr) << name;
    }
    EXPECT_EQ(Find<QMenu>("FilePullDown")->title(), "&File");
    EXPECT_EQ(Find<QMenu>("Help")->title(), "&Help");
    EXPECT_EQ(Find<QAction>("MSettings")->text(), "&Settings!");
    EXPECT_EQ(Find<QAction>("MSettings")->menu(), nullptr);  // a command on the bar itself
    EXPECT_EQ(Find<QCheckBox>("BeepOnInput")->text(), "Beep PC On Good Read:");
    EXPECT_EQ(Find<QGroupBox>("Frame2")->title(), "Preferences:");
    EXPECT_TRUE(Find<QLabel>("Label4")->text().startsWith("STEP 1:"));
    EXPECT_TRUE(Find<QLabel>("Label5")->text().startsWith("STEP 2:"));
    EXPECT_TRUE(Find<QLabel>("Label6")->text().startsWith("STEP 3:"));
}

TEST_F(MainFormTest, TheSwitchedOffPortFrameOffersNoChoice) {
    auto* frame = Find<QGroupBox>("Frame1");
    EXPECT_EQ(frame->title(), "Port:");
    EXPECT_FALSE(frame->isEnabled());
    for (QRadioButton* option : frame->findChildren<QRadioButton*>()) {
        EXPECT_FALSE(option->isEnabled());
    }
}

TEST_F(MainFormTest, ThePortListNamesTheDeviceOfEachEntry) {
    auto* ports = Find<QComboBox>("Combo1");
    ASSERT_EQ(ports->count(), 17);
    EXPECT_EQ(ports->itemText(0), "None");
    EXPECT_EQ(ports->itemText(1), QString::fromUtf8("COM1 — /dev/ttyS0"));
    EXPECT_EQ(ports->itemText(5), QString::fromUtf8("COM5 — /dev/ttyUSB0"));
    form.Devices().Set(5, "/dev/serial/by-id/usb-Scanner");
    form.RefreshPortList();
    EXPECT_EQ(ports->itemText(5), QString::fromUtf8("COM5 — /dev/serial/by-id/usb-Scanner"));
}

TEST_F(MainFormTest, AFirstStartHasEverythingClear) {
    EXPECT_EQ(Load(), "");
    EXPECT_EQ(form.windowTitle(), "Reradav (Inactive)");
    EXPECT_EQ(Find<QComboBox>("Combo1")->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>("TermKeyCombo")->count(), 6);
    EXPECT_EQ(Find<QComboBox>("TermKeyCombo")->itemText(1), "{TAB}");
    EXPECT_EQ(Find<QComboBox>("cboSound")->count(), 5);
    EXPECT_EQ(Find<QComboBox>("cboSound")->itemText(4), "Question");
    EXPECT_EQ(form.cboSound(), 0);
    EXPECT_TRUE(Find<QComboBox>("cboSound")->isHidden());
    EXPECT_EQ(form.TermKeyCombo(), "");
    for (const char* box :
         {"BeepOnInput", "LoadWithWindows", "RemoveCRs", "NumFilter", "IgnoreDups"}) {
        EXPECT_EQ(Find<QCheckBox>(box)->checkState(), Qt::Unchecked) << box;
    }
    EXPECT_EQ(form.Settings().CommSettings, "9600,N,8,1");
    EXPECT_EQ(form.Settings().BaudIndex, 6);
    EXPECT_EQ(form.Settings().KeyTrans['$'], "{F9}");
    EXPECT_EQ(Find<QLineEdit>("Text1")->text(), QString::fromUtf8("(♪)"));
}

TEST_F(MainFormTest, TheBeepBoxShowsTheSoundListAndKeepsItsChoice) {
    Load();
    auto* sounds = Find<QComboBox>("cboSound");
    sounds->setCurrentIndex(3);
    Find<QCheckBox>("BeepOnInput")->setChecked(true);
    EXPECT_FALSE(sounds->isHidden());
    Find<QCheckBox>("BeepOnInput")->setChecked(false);
    EXPECT_TRUE(sounds->isHidden());
    Find<QCheckBox>("BeepOnInput")->setChecked(true);
    EXPECT_EQ(form.cboSound(), 3);
}

TEST_F(MainFormTest, SettingsAreLoadedIntoTheControlsAndSavedBack) {
    WriteSettings(
        "[Reradav]\r\nBeep=1\r\nBeepSound=2\r\nRemoveReturns=1\r\nNumericFilter=1\r\n"
        "IgnoreDups=1\r\nAutoLoad=2\r\nPostamble={TAB}{MONTH}\r\nSettings=19200,E,7,2\r\n"
        "KeyTrans13={TAB}\r\nCustom=kept\r\n");
    EXPECT_EQ(Load(), "");
    EXPECT_EQ(form.BeepOnInput(), 1);
    EXPECT_FALSE(Find<QComboBox>("cboSound")->isHidden());
    EXPECT_EQ(form.cboSound(), 2);
    EXPECT_EQ(form.RemoveCRs(), 1);
    EXPECT_EQ(form.NumFilter(), 1);
    EXPECT_EQ(form.IgnoreDups(), 1);
    EXPECT_EQ(form.CheckBoxValue(SettingsControls::CheckBox::LoadWithWindows), 2);
    EXPECT_EQ(form.TermKeyCombo(), "{TAB}{MONTH}");
    EXPECT_EQ(form.Settings().BaudIndex, 7);
    EXPECT_EQ(form.Settings().KeyTrans[13], "{TAB}");

    Find<QCheckBox>("NumFilter")->setChecked(false);
    Find<QComboBox>("TermKeyCombo")->setEditText("{ENTER}");
    EXPECT_EQ(form.Form_Unload(), "");
    const std::string saved = ReadSettings();
    EXPECT_NE(saved.find("NumericFilter=0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Postamble={ENTER}\r\n"), std::string::npos);
    EXPECT_NE(saved.find("AutoLoad=2\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Custom=kept\r\n"), std::string::npos);
    EXPECT_NE(saved.find("KeyTrans13={TAB}\r\n"), std::string::npos);
}

TEST_F(MainFormTest, PreferencesAreReadFromTheControlsAtTheMomentOfUse) {
    Load();
    EXPECT_EQ(form.RemoveCRs(), 0);
    Find<QCheckBox>("RemoveCRs")->setChecked(true);
    EXPECT_EQ(form.RemoveCRs(), 1);
    Find<QComboBox>("TermKeyCombo")->setEditText(QString::fromUtf8("{TAB}é"));
    EXPECT_EQ(form.TermKeyCombo(), "{TAB}\xE9");  // typed, no Enter pressed
}

TEST_F(MainFormTest, TheDisplayDrawsControlCharactersAsGlyphs) {
    form.SetDisplay(std::string("12\r\n\x00\xE9", 6));
    EXPECT_EQ(Find<QLineEdit>("Display")->text(), QString::fromUtf8("12♪◙␀é"));
}

TEST_F(MainFormTest, ChoosingAMissingPortShowsTheErrorInTheCaption) {
    WriteSettings("[Reradav]\r\nDevice3=" + (folder_ / "no-such-tty").string() +
                  "\r\nComPort=3\r\n");
    Load();
    EXPECT_TRUE(form.windowTitle().startsWith("Reradav (Error: "))
        << form.windowTitle().toStdString();
    EXPECT_TRUE(form.windowTitle().contains("No such file or directory"));
    EXPECT_EQ(form.Combo1ListIndex(), 3);
    const QString failed = form.windowTitle();
    form.SetDisplay("old");
    Find<QComboBox>("Combo1")->setCurrentIndex(0);  // "None" with the port closed
    EXPECT_EQ(form.windowTitle(), failed);
    EXPECT_EQ(Find<QLineEdit>("Display")->text(), "");
}

TEST_F(MainFormTest, MinimisedAtStartWithTheSwitch) {
    WriteSettings("[Reradav]\r\nWindowState=0\r\n");
    Load("/M");
    EXPECT_EQ(form.WindowState(), 1);
    EXPECT_TRUE(form.IsMinimised());
}

TEST_F(MainFormTest, TheStartupEntryFollowsTheBoxAndTheWindowState) {
    Load();
    form.Settings().ProgramPath = "/opt/reradav/reradav";
    std::vector<std::pair<bool, std::string>> calls;
    form.onRegisterStartup = [&](bool add, const std::string& command) {
        calls.emplace_back(add, command);
    };
    Find<QCheckBox>("LoadWithWindows")->setChecked(true);
    form.SetWindowState(1);
    ASSERT_EQ(form.Form_Unload(), "");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].first);
    EXPECT_EQ(calls[0].second, "/opt/reradav/reradav /M");
}

TEST_F(MainFormTest, AKeyboardProblemIsSaidInTheWindow) {
    test::FakeBeeper quiet;
    // No keyboard given and no display: no backend can open here.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    MainForm noKeyboard(quiet, messages);
    auto* status = noKeyboard.findChild<QLabel*>("KeyboardStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->isHidden());
    EXPECT_TRUE(status->text().contains("Reads are still shown"));
    EXPECT_FALSE(noKeyboard.Wedge().KeyboardProblem().empty());
}

}  // namespace
}  // namespace reradav

namespace reradav {
namespace {

TEST_F(MainFormTest, TheTrayMenuOpensOrShowsTheAboutBoxWithAboutAsDefault) {
    QMenu* menu = form.TrayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "mnuPopup");
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->objectName(), "mnuOpen");
    EXPECT_EQ(items[0]->text(), "Open Reradav");
    EXPECT_EQ(items[1]->objectName(), "mnuAbout");
    EXPECT_EQ(items[1]->text(), "About Reradav");
    EXPECT_EQ(menu->defaultAction(), items[1]);
    // Never on the menu bar.
    for (QAction* action : form.menuBar()->actions()) {
        EXPECT_NE(action->menu(), menu);
    }
}

TEST_F(MainFormTest, WithoutATrayAMinimisedWindowIsNotHidden) {
    Load();
    ASSERT_FALSE(form.HasTrayIcon());  // offscreen: no tray
    form.show();
    form.SetWindowState(1);
    EXPECT_EQ(form.WindowState(), 1);
    EXPECT_FALSE(form.isHidden());
    form.ShowAsLoaded();
    EXPECT_FALSE(form.isHidden());
}

TEST_F(MainFormTest, AFailedSaveIsReported) {
    Load();
    fs::remove_all(folder_);  // nowhere to save
    form.close();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].startsWith("The settings could not be saved."));
    fs::create_directories(folder_);
}

}  // namespace
}  // namespace reradav

namespace reradav {
namespace {

// A file written on Windows goes through the window's controls and comes back byte for byte.
TEST_F(MainFormTest, AWindowsSettingsFileSurvivesAnExitWithNothingChanged) {
    std::ifstream sample(RERADAV_TEST_DATA_DIR "/windows-default.vav", std::ios::binary);
    ASSERT_TRUE(sample) << "sample missing";
    std::ostringstream bytes;
    bytes << sample.rdbuf();
    WriteSettings(bytes.str());
    ASSERT_EQ(Load(), "");
    EXPECT_EQ(form.TermKeyCombo(), "{TAB}");
    EXPECT_EQ(form.Settings().Password, "Geheim");
    ASSERT_EQ(form.Form_Unload(), "");
    EXPECT_TRUE(ReadSettings() == bytes.str()) << "the file changed";
}

}  // namespace
}  // namespace reradav
