// The main window, offscreen.
#include "shell/ui/MainForm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "keys/RecordingKeyboard.h"
#include "support/Fakes.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TempFolder.h"

namespace reradav {
namespace {

using CheckBox = SettingsControls::CheckBox;

class MainFormTest : public ::testing::Test {
  protected:
    test::TempFolder folder;
    test::FakeBeeper beeper;
    RecordingMessageBoxes messages;
    MainForm form{beeper, messages, std::make_unique<RecordingKeyboard>()};
};

// A file written on Windows goes through the window's controls and comes back byte for byte.
TEST_F(MainFormTest, AWindowsSettingsFileSurvivesAnExitAndANewPasswordIsSavedAtOnce) {
    const std::string sample = test::ReadBytes(RERADAV_TEST_DATA_DIR "/windows-default.vav");
    test::WriteBytes(folder / "default.vav", sample);
    ASSERT_EQ(form.Form_Load(folder / "default.vav", "/M"), "");
    EXPECT_EQ(form.WindowState(), 1);
    form.ShowAsLoaded();  // offscreen there is no tray to hide in
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.findChild<QWidget*>("cboSound")->isHidden());  // Beep=1
    ASSERT_EQ(form.Form_Unload(), "");
    EXPECT_TRUE(test::ReadBytes(folder / "default.vav") == sample) << "the file changed";
    QTimer::singleShot(0, [] {  // File > Password, both boxes alike: saved at once
        QWidget* dialog = QApplication::activeModalWidget();
        dialog->findChild<QLineEdit*>("Text1")->setText("new");
        dialog->findChild<QLineEdit*>("Text2")->setText("new");
        dialog->findChild<QPushButton*>("Command1")->click();
    });
    form.findChild<QAction*>("mPassword")->trigger();
    EXPECT_NE(test::ReadBytes(folder / "default.vav").find("\nPassword=new\r\n"),
              std::string::npos);
    const QSize shown = form.minimumSizeHint();
    form.SetCheckBoxValue(CheckBox::BeepOnInput, 0);
    EXPECT_TRUE(form.findChild<QWidget*>("cboSound")->isHidden());
    QApplication::sendPostedEvents();  // the layouts are done again
    EXPECT_EQ(form.minimumSizeHint(), shown) << "the window keeps its size";
}

TEST_F(MainFormTest, ThePortChoiceOpensThePortAndTheDisplayDrawsControlCharacters) {
    form.Devices().Set(16, (folder / "no-such-tty").string());
    form.RefreshPortList();
    const QComboBox* list = form.findChild<QComboBox*>("Combo1");  // long: cut in the middle
    EXPECT_TRUE(list->itemData(16, Qt::ToolTipRole).toString().endsWith("/no-such-tty") &&
                list->itemText(16).contains(QChar(0x2026)) && list->itemText(16).endsWith("tty"));
    form.SetStatus("keyboard", "no keyboard output");
    form.SetCombo1ListIndex(16);
    EXPECT_TRUE(form.windowTitle().startsWith("Reradav (Error: "));
    // The caption may be cut short: the status line has the error whole, beside the keyboard's.
    const QWidget* status = form.findChild<QWidget*>("KeyboardStatus");
    EXPECT_EQ(status->property("text").toString().toStdString(),
              "No keyboard output.\nPort error: " + (folder / "no-such-tty").string() +
                  ": No such file or directory.");
    form.SetDisplay(std::string("\x1F \r\x7F\xE9", 5));
    EXPECT_EQ(form.findChild<QWidget*>("Display")->property("text"), QString::fromUtf8("▼ ♪⌂é"));
}

// The startup entry follows the box and the window state; a failed save is said, once.
TEST_F(MainFormTest, ExitRegistersTheStartupEntryAndReportsAFailedSave) {
    std::string startup;
    form.onRegisterStartup = [&](bool add, const std::string& command) {
        startup += (add ? "add " : "remove ") + command;
    };
    form.Settings().ProgramPath = "/opt/reradav";
    form.SetWindowState(1);
    form.SetCheckBoxValue(CheckBox::LoadWithWindows, 1);
    // No settings file was loaded: there is nowhere to save.
    form.findChild<QAction*>("FileExit")->trigger();
    form.close();
    EXPECT_EQ(startup, "add /opt/reradav /M");
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].startsWith("The settings could not be saved."));
}

}  // namespace
}  // namespace reradav
