#include "serial/ui/PortSetup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/LineSettings.h"
#include "support/Fakes.h"
#include "support/TempFolder.h"

using namespace reradav::test;  // NOLINT
namespace reradav {
namespace {

using namespace test;

struct FakeTimer : FramingTimer {
    void SetInterval(int) override {}
    void SetEnabled(bool) override {}
};

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

template <typename List>
QStringList AsQt(const List& list) {
    QStringList items;
    for (const auto& item : list) {
        items << QString::fromStdString(std::string(item));
    }
    return items;
}

// A key pressed on the focused control: what the control leaves goes on to the dialog.
void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// What the user does in a list: picks the entry with this text.
void Choose(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    if (index < 0) {
        throw std::runtime_error("no entry " + text.toStdString() + " in " +
                                 combo->objectName().toStdString());
    }
    combo->setCurrentIndex(index);
}

void ExpectSameSettings(const AppSettings& a, const AppSettings& b) {
    EXPECT_EQ(a.ComPort, b.ComPort);
    EXPECT_EQ(a.ComPortText, b.ComPortText);
    EXPECT_EQ(a.CommSettings, b.CommSettings);
    EXPECT_EQ(a.BaudIndex, b.BaudIndex);
    EXPECT_EQ(a.ParityIndex, b.ParityIndex);
    EXPECT_EQ(a.DataBitsIndex, b.DataBitsIndex);
    EXPECT_EQ(a.StopBitsIndex, b.StopBitsIndex);
    EXPECT_EQ(a.Handshake, b.Handshake);
    EXPECT_EQ(a.ScannerBeepString, b.ScannerBeepString);
    EXPECT_EQ(a.Password, b.Password);
    EXPECT_EQ(a.KeyTrans, b.KeyTrans);
    EXPECT_EQ(a.Postamble, b.Postamble);
    EXPECT_EQ(a.ProgramPath, b.ProgramPath);
}

class PortSetupTest : public ::testing::Test {
  protected:
    PortSetupTest() {
        serial.open = false;
        PlaceLineSettings("9600,N,8,1");
        for (const char* name : {"ttyUSB0", "ttyS1", "serial/by-id/usb-Scanner-if00"}) {
            const std::filesystem::path file = devFolder / name;
            std::filesystem::create_directories(file.parent_path());
            WriteBytes(file, "");
        }
    }

    // The dialog as the main window shows it, not yet closed.
    std::unique_ptr<PortSetup> Show(QWidget* parent = nullptr) {
        auto dialog = std::make_unique<PortSetup>(
            settings, serial, port, devices, [this] { ++helpCalls; }, parent);
        dialog->SetDeviceRoot(devFolder.string());
        dialog->show();
        return dialog;
    }

    template <typename T>
    static T* Find(const QWidget& dialog, const char* name) {
        T* control = dialog.findChild<T*>(name);
        if (control == nullptr) {
            throw std::runtime_error(std::string("no control ") + name);
        }
        return control;
    }
    static QComboBox* Combo(const QWidget& dialog, const char* name) {
        return Find<QComboBox>(dialog, name);
    }
    static QPushButton* Button(const QWidget& dialog, const char* name) {
        return Find<QPushButton>(dialog, name);
    }
    static QLineEdit* Beep(const QWidget& dialog) { return Find<QLineEdit>(dialog, "BeepString"); }
    std::string Dev(const char* name) const { return (devFolder / name).string(); }

    // The line settings and their list positions in step, as loading the settings leaves them.
    void PlaceLineSettings(const std::string& text) {
        LineIndexes parsed;
        if (!ParseLineSettings(text, parsed)) {
            throw std::runtime_error("cannot place " + text);
        }
        settings.CommSettings = text;
        settings.BaudIndex = parsed.BaudIndex;
        settings.ParityIndex = parsed.ParityIndex;
        settings.DataBitsIndex = parsed.DataBitsIndex;
        settings.StopBitsIndex = parsed.StopBitsIndex;
    }

    // The serial port open on COMn, as a choice in the port list leaves it.
    void OpenPort(std::int16_t n) {
        settings.ComPort = n;
        settings.ComPortText = std::to_string(n);
        serial.open = true;
    }

    static constexpr const char* kListNames[] = {"BaudCombo", "ParityCombo", "DataBitsCombo",
                                                 "StopBitsCombo", "FlowCtrlCombo"};

    AppSettings settings;
    FakeSerial serial;
    FakeSettingsControls prefs;
    FakeWindow window;
    FakeTimer timer;
    ReceiveFraming framing{serial, settings, prefs, window, [](std::string& r) { r.clear(); }};
    PortControl port{settings, serial, framing, timer, window};
    ComDevices devices;
    int helpCalls = 0;
    TempFolder folder;
    std::filesystem::path devFolder = folder / "dev";
};

// --- Form and lists ---------------------------------------------------------------------------

TEST_F(PortSetupTest, ControlsCarryTheirCaptions) {
    auto dialog = Show();
    EXPECT_EQ(dialog->windowTitle(), "Reradav Serial Port Settings");
    const std::pair<const char*, const char*> labels[] = {
        {"Label1_0", "Baud Rate:"},    {"Label1_2", "Parity:"},
        {"Label1_1", "Data Bits:"},    {"Label1_3", "Stop Bits:"},
        {"Label1_4", "Flow Control:"}, {"Label2", "Scanner Beep String:"},
        {"DeviceLabel", "Device:"}};
    for (const auto& [name, text] : labels) {
        EXPECT_EQ(Find<QLabel>(*dialog, name)->text(), text) << name;
    }
    EXPECT_EQ(Button(*dialog, "OK_Button")->text(), "OK");
    EXPECT_EQ(Button(*dialog, "Cancel_Button")->text(), "Cancel");
    EXPECT_EQ(Button(*dialog, "HelpButton")->text(), "Help");
    EXPECT_TRUE(Button(*dialog, "OK_Button")->isDefault());
    for (const char* name : kListNames) {
        EXPECT_FALSE(Combo(*dialog, name)->isEditable()) << name;
    }
    EXPECT_TRUE(Combo(*dialog, "DeviceCombo")->isEditable());
}

TEST_F(PortSetupTest, ListsHoldTheirEntriesInListOrder) {
    auto dialog = Show();
    EXPECT_EQ(Items(Combo(*dialog, "BaudCombo")),
              QStringList({"110", "300", "600", "1200", "2400", "4800", "9600", "19200", "38400",
                           "57600", "115200"}));
    EXPECT_EQ(Items(Combo(*dialog, "ParityCombo")),
              QStringList({"None", "Odd", "Even", "Mark", "Space"}));
    EXPECT_EQ(Items(Combo(*dialog, "DataBitsCombo")), QStringList({"5", "6", "7", "8"}));
    EXPECT_EQ(Items(Combo(*dialog, "StopBitsCombo")), QStringList({"1", "1.5", "2"}));
    EXPECT_EQ(Items(Combo(*dialog, "FlowCtrlCombo")),
              QStringList({"None", "Xon / Xoff", "Hardware", "Opto-RS"}));
    // The same tables the line-settings string is built from.
    EXPECT_EQ(Items(Combo(*dialog, "ParityCombo")), AsQt(kParityItems));
    EXPECT_EQ(Items(Combo(*dialog, "FlowCtrlCombo")), AsQt(kFlowControlItems));
}

TEST_F(PortSetupTest, RowsRunTopToBottomWithTheButtonsInAColumnOnTheRight) {
    auto dialog = Show();
    const char* rows[][2] = {{"Label1_0", "BaudCombo"},     {"Label1_2", "ParityCombo"},
                             {"Label1_1", "DataBitsCombo"}, {"Label1_3", "StopBitsCombo"},
                             {"Label1_4", "FlowCtrlCombo"}, {"Label2", "BeepString"},
                             {"DeviceLabel", "DeviceCombo"}};
    int previousTop = -1;
    int rightmost = 0;
    for (const auto& [label, control] : rows) {
        const QRect labelBox = Find<QWidget>(*dialog, label)->geometry();
        const QRect controlBox = Find<QWidget>(*dialog, control)->geometry();
        EXPECT_GT(labelBox.top(), previousTop) << label;
        previousTop = labelBox.top();
        if (std::string(label) != "Label2") {  // the beep string sits under its label
            EXPECT_TRUE(controlBox.top() <= labelBox.center().y() &&
                        labelBox.center().y() <= controlBox.bottom())
                << label << " beside " << control;
            EXPECT_LT(labelBox.right(), controlBox.left()) << label;
        } else {
            EXPECT_GT(controlBox.top(), labelBox.bottom());
        }
        rightmost = std::max(rightmost, controlBox.right());
    }
    const QRect ok = Button(*dialog, "OK_Button")->geometry();
    const QRect cancel = Button(*dialog, "Cancel_Button")->geometry();
    const QRect help = Button(*dialog, "HelpButton")->geometry();
    EXPECT_EQ(ok.left(), cancel.left());
    EXPECT_EQ(ok.left(), help.left());
    EXPECT_LT(ok.bottom(), cancel.top());
    EXPECT_LT(cancel.bottom(), help.top());
    EXPECT_GT(ok.left(), rightmost);
}

TEST_F(PortSetupTest, TabOrderFollowsTheButtonsThenTheLists) {
    auto dialog = Show();
    const QStringList order = {"OK_Button",     "Cancel_Button", "BaudCombo",     "ParityCombo",
                               "DataBitsCombo", "StopBitsCombo", "FlowCtrlCombo", "HelpButton",
                               "BeepString",    "DeviceCombo"};
    QStringList seen;
    QWidget* start = Button(*dialog, "OK_Button");
    QWidget* w = start;
    do {
        if (order.contains(w->objectName()) && !seen.contains(w->objectName())) {
            seen << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != start);
    EXPECT_EQ(seen, order);
}

TEST_F(PortSetupTest, ShowsTheStoredSelections) {
    settings.BaudIndex = 3;
    settings.ParityIndex = 4;
    settings.DataBitsIndex = 1;
    settings.StopBitsIndex = 2;
    settings.Handshake = 2;
    auto dialog = Show();
    EXPECT_EQ(Combo(*dialog, "BaudCombo")->currentText(), "1200");
    EXPECT_EQ(Combo(*dialog, "ParityCombo")->currentText(), "Space");
    EXPECT_EQ(Combo(*dialog, "DataBitsCombo")->currentText(), "6");
    EXPECT_EQ(Combo(*dialog, "StopBitsCombo")->currentText(), "2");
    EXPECT_EQ(Combo(*dialog, "FlowCtrlCombo")->currentText(), "Hardware");
}

TEST_F(PortSetupTest, IndexesOutsideTheListsShowNoSelection) {
    // Beyond the longest list, and a hand-edited flow control of 7.
    for (std::int16_t outside : {-1, 11, 300, -5}) {
        settings.BaudIndex = outside;
        settings.ParityIndex = outside;
        settings.DataBitsIndex = outside;
        settings.StopBitsIndex = outside;
        settings.Handshake = outside;
        auto dialog = Show();
        for (const char* name : kListNames) {
            EXPECT_EQ(Combo(*dialog, name)->currentIndex(), -1) << name << " for " << outside;
            EXPECT_EQ(Combo(*dialog, name)->currentText(), "") << name;
        }
    }
    settings.Handshake = 7;
    auto dialog = Show();
    EXPECT_EQ(Combo(*dialog, "FlowCtrlCombo")->currentIndex(), -1);
}

TEST_F(PortSetupTest, EachShowingFillsEveryListOnce) {
    auto dialog = Show();
    Choose(Combo(*dialog, "BaudCombo"), "300");
    dialog->reject();
    dialog->show();
    EXPECT_EQ(Combo(*dialog, "BaudCombo")->count(), static_cast<int>(kBaudRates.size()));
    EXPECT_EQ(Combo(*dialog, "ParityCombo")->count(), static_cast<int>(kParityItems.size()));
    EXPECT_EQ(Combo(*dialog, "DataBitsCombo")->count(), static_cast<int>(kDataBitsItems.size()));
    EXPECT_EQ(Combo(*dialog, "StopBitsCombo")->count(), static_cast<int>(kStopBitsItems.size()));
    EXPECT_EQ(Combo(*dialog, "FlowCtrlCombo")->count(), static_cast<int>(kFlowControlItems.size()));
    // A new showing starts from the settings, not from the last one's choices.
    EXPECT_EQ(Combo(*dialog, "BaudCombo")->currentIndex(), settings.BaudIndex);

    settings.ComPort = 5;
    dialog->reject();
    dialog->show();
    dialog->reject();
    dialog->show();
    EXPECT_EQ(Combo(*dialog, "DeviceCombo")->count(), 3);

    auto second = Show();
    EXPECT_EQ(Combo(*second, "BaudCombo")->count(), static_cast<int>(kBaudRates.size()));
    EXPECT_EQ(Combo(*second, "DeviceCombo")->count(), 3);
}

TEST_F(PortSetupTest, PlacedLeftOfAndBelowTheMainWindowsTopLeftCorner) {
    QWidget mainWindow;
    mainWindow.setGeometry(400, 300, 500, 400);
    mainWindow.show();
    QWidget* inside = new QWidget(&mainWindow);  // any widget of the window stands for it
    auto dialog = Show(inside);
    // 800 and 340 twips at 15 twips per pixel.
    EXPECT_EQ(dialog->pos(), mainWindow.pos() + QPoint(-53, 23));
}

// --- OK ---------------------------------------------------------------------------------------

TEST_F(PortSetupTest, OkWithNothingChangedRebuildsTheSameString) {
    for (const char* text : {"9600,N,8,1", "4800,E,7,2", "115200,E,7,1.5", "110,O,5,1",
                             "57600,S,6,2", "1200,M,8,1.5", "300,N,7,1", "38400,O,6,1.5"}) {
        PlaceLineSettings(text);
        const AppSettings before = settings;
        auto dialog = Show();
        dialog->accept();
        EXPECT_EQ(settings.CommSettings, text);
        ExpectSameSettings(settings, before);
    }
}

TEST_F(PortSetupTest, AStringInAnotherFormComesBackInTheDialogsForm) {
    // The stored string's parse placed a lower-case "n" on Even.
    PlaceLineSettings("9600,n,8,1");
    auto dialog = Show();
    dialog->accept();
    EXPECT_EQ(settings.CommSettings, "9600,E,8,1");
}

TEST_F(PortSetupTest, ChoicesBuildTheLineSettingsString) {
    auto dialog = Show();
    Choose(Combo(*dialog, "BaudCombo"), "1200");
    Choose(Combo(*dialog, "ParityCombo"), "Mark");
    Choose(Combo(*dialog, "DataBitsCombo"), "7");
    Choose(Combo(*dialog, "StopBitsCombo"), "1.5");
    Button(*dialog, "OK_Button")->click();
    EXPECT_EQ(settings.CommSettings, "1200,M,7,1.5");
    EXPECT_EQ(settings.BaudIndex, 3);
    EXPECT_EQ(settings.ParityIndex, 3);
    EXPECT_EQ(settings.DataBitsIndex, 2);
    EXPECT_EQ(settings.StopBitsIndex, 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(PortSetupTest, OkOnAClosedPortStoresEverythingAndLeavesThePortClosed) {
    settings.ComPort = 3;
    auto dialog = Show();
    Choose(Combo(*dialog, "BaudCombo"), "19200");
    Choose(Combo(*dialog, "ParityCombo"), "Odd");
    Choose(Combo(*dialog, "DataBitsCombo"), "5");
    Choose(Combo(*dialog, "StopBitsCombo"), "2");
    Choose(Combo(*dialog, "FlowCtrlCombo"), "Opto-RS");
    Beep(*dialog)->setText("7,13");
    Button(*dialog, "OK_Button")->click();
    EXPECT_EQ(settings.CommSettings, "19200,O,5,2");
    EXPECT_EQ(settings.BaudIndex, 7);
    EXPECT_EQ(settings.ParityIndex, 1);
    EXPECT_EQ(settings.DataBitsIndex, 0);
    EXPECT_EQ(settings.StopBitsIndex, 2);
    EXPECT_EQ(settings.Handshake, 3);
    EXPECT_EQ(settings.ScannerBeepString, "7,13");
    EXPECT_FALSE(serial.open);
    EXPECT_EQ(serial.log, "");
    EXPECT_TRUE(window.captions.empty());
}

TEST_F(PortSetupTest, OkOnAnOpenPortClosesAndReopensItEvenWithNothingChanged) {
    OpenPort(3);
    auto dialog = Show();
    Button(*dialog, "OK_Button")->click();
    // The port keeps its number, DTR and caption.
    EXPECT_EQ(serial.log,
              "PortOpen=0 Settings=9600,N,8,1 Handshaking=0 RTSEnable=1 WatchDsr=0 PortOpen=1");
    EXPECT_TRUE(serial.open);
    EXPECT_TRUE(window.captions.empty());
}

TEST_F(PortSetupTest, AFailedReopenIsShownAndLeavesThePortClosed) {
    OpenPort(3);
    serial.failOpen = true;
    serial.error.description = "Device vanished";
    auto dialog = Show();
    Button(*dialog, "OK_Button")->click();
    EXPECT_FALSE(serial.open);
    EXPECT_EQ(window.captions, std::vector<std::string>{"Reradav (Error: Device vanished)"});
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(PortSetupTest, FlowControlChoicesReachTheReopenedPort) {
    const std::pair<const char*, std::string> cases[] = {
        {"None", "Handshaking=0 RTSEnable=1 WatchDsr=0"},
        {"Xon / Xoff", "Handshaking=3 RTSEnable=1 WatchDsr=0"},
        {"Hardware", "Handshaking=2 RTSEnable=1 WatchDsr=0"},
        {"Opto-RS", "Handshaking=0 RTSEnable=0 WatchDsr=1"}};
    std::int16_t expectedIndex = 0;
    for (const auto& [item, options] : cases) {
        OpenPort(2);
        serial.log.clear();
        auto dialog = Show();
        Choose(Combo(*dialog, "FlowCtrlCombo"), item);
        dialog->accept();
        EXPECT_EQ(settings.Handshake, expectedIndex++) << item;
        EXPECT_EQ(serial.log, "PortOpen=0 Settings=9600,N,8,1 " + options + " PortOpen=1") << item;
    }
}

TEST_F(PortSetupTest, NoFlowControlSelectionStaysSoAndSetsNoLineOptions) {
    settings.Handshake = -1;
    OpenPort(1);
    auto dialog = Show();
    EXPECT_EQ(Combo(*dialog, "FlowCtrlCombo")->currentIndex(), -1);
    dialog->accept();
    EXPECT_EQ(settings.Handshake, -1);
    EXPECT_EQ(serial.log, "PortOpen=0 Settings=9600,N,8,1 WatchDsr=0 PortOpen=1");
    EXPECT_TRUE(serial.open);
}

TEST_F(PortSetupTest, ListsWithoutSelectionBuildTheFallbackString) {
    settings.BaudIndex = 11;
    settings.ParityIndex = 5;
    settings.DataBitsIndex = -1;
    settings.StopBitsIndex = 3;
    settings.Handshake = 7;
    auto dialog = Show();
    dialog->accept();
    EXPECT_EQ(settings.CommSettings, "0,E,7,1");
    EXPECT_EQ(settings.BaudIndex, -1);
    EXPECT_EQ(settings.ParityIndex, -1);
    EXPECT_EQ(settings.DataBitsIndex, -1);
    EXPECT_EQ(settings.StopBitsIndex, -1);
    EXPECT_EQ(settings.Handshake, -1);
}

// --- Beep string ------------------------------------------------------------------------------

TEST_F(PortSetupTest, BeepStringIsStoredAsTyped) {
    settings.ScannerBeepString = "  7, 13 ,x ";
    auto dialog = Show();
    EXPECT_EQ(Beep(*dialog)->text(), "  7, 13 ,x ");
    dialog->accept();
    EXPECT_EQ(settings.ScannerBeepString, "  7, 13 ,x ");

    auto again = Show();
    Beep(*again)->setText(" 27,  ");
    again->accept();
    EXPECT_EQ(settings.ScannerBeepString, " 27,  ");
}

TEST_F(PortSetupTest, BeepStringRoundTripsWindows1252) {
    settings.ScannerBeepString = "\x80 7,\xE9\x9F";
    auto dialog = Show();
    EXPECT_EQ(Beep(*dialog)->text(), QString::fromUtf8("\u20AC 7,\u00E9\u0178"));
    dialog->accept();
    EXPECT_EQ(settings.ScannerBeepString, "\x80 7,\xE9\x9F");

    auto again = Show();
    Beep(*again)->setText(QString::fromUtf8("\u2122\u00FF"));
    again->accept();
    EXPECT_EQ(settings.ScannerBeepString, "\x99\xFF");
}

// --- Cancel, keys, help -----------------------------------------------------------------------

class PortSetupCancelTest : public PortSetupTest {
  protected:
    // Every list, the beep string and the device changed from what the settings hold.
    std::unique_ptr<PortSetup> ShowAndChangeEverything() {
        OpenPort(5);
        settings.ScannerBeepString = "7";
        devices.Set(5, "/dev/ttyACM3");
        devices.Set(9, "/dev/ttyS9");
        before = settings;
        auto dialog = Show();
        for (const char* name : kListNames) {
            QComboBox* combo = Combo(*dialog, name);
            combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        }
        Beep(*dialog)->setText("13,10");
        Combo(*dialog, "DeviceCombo")->setEditText(QString::fromStdString(Dev("ttyUSB0")));
        return dialog;
    }
    void ExpectNothingStored() {
        ExpectSameSettings(settings, before);
        EXPECT_EQ(devices.Overrides(),
                  (std::map<int, std::string>{{5, "/dev/ttyACM3"}, {9, "/dev/ttyS9"}}));
        EXPECT_EQ(serial.log, "");
        EXPECT_TRUE(serial.open);
    }

    AppSettings before;
};

TEST_F(PortSetupCancelTest, CancelButtonStoresNothing) {
    auto dialog = ShowAndChangeEverything();
    Button(*dialog, "Cancel_Button")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    ExpectNothingStored();
}

TEST_F(PortSetupCancelTest, EscStoresNothing) {
    auto dialog = ShowAndChangeEverything();
    PressKey(Combo(*dialog, "StopBitsCombo"), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    ExpectNothingStored();
}

TEST_F(PortSetupCancelTest, ClosingTheWindowStoresNothing) {
    auto dialog = ShowAndChangeEverything();
    EXPECT_TRUE(dialog->close());
    EXPECT_FALSE(dialog->isVisible());
    ExpectNothingStored();
}

TEST_F(PortSetupTest, EnterPressesOkFromAListAndFromTheTextBoxes) {
    auto dialog = Show();
    Choose(Combo(*dialog, "BaudCombo"), "2400");
    PressKey(Combo(*dialog, "BaudCombo"), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(settings.CommSettings, "2400,N,8,1");

    auto again = Show();
    Beep(*again)->setText("7");
    PressKey(Beep(*again), Qt::Key_Enter);
    EXPECT_EQ(again->result(), QDialog::Accepted);
    EXPECT_EQ(settings.ScannerBeepString, "7");

    settings.ComPort = 6;
    auto third = Show();
    QLineEdit* deviceText = Combo(*third, "DeviceCombo")->lineEdit();
    deviceText->setText("/dev/ttyXRUSB0");
    PressKey(deviceText, Qt::Key_Return);
    EXPECT_EQ(third->result(), QDialog::Accepted);
    EXPECT_EQ(devices.DeviceFor(6), "/dev/ttyXRUSB0");
}

TEST_F(PortSetupTest, HelpOpensTheHelpAndLeavesTheDialogAsItIs) {
    const AppSettings before = settings;
    auto dialog = Show();
    Button(*dialog, "HelpButton")->click();
    EXPECT_EQ(helpCalls, 1);
    EXPECT_TRUE(dialog->isVisible());
    PressKey(Combo(*dialog, "ParityCombo"), Qt::Key_F1);
    EXPECT_EQ(helpCalls, 2);
    EXPECT_TRUE(dialog->isVisible());
    ExpectSameSettings(settings, before);
    EXPECT_EQ(serial.log, "");
}

TEST_F(PortSetupTest, HelpWithoutAHelpActionIsHarmless) {
    PortSetup dialog(settings, serial, port, devices, nullptr);
    dialog.show();
    Button(dialog, "HelpButton")->click();
    EXPECT_TRUE(dialog.isVisible());
}

// --- Device row -------------------------------------------------------------------------------

TEST_F(PortSetupTest, DeviceRowOffersThePresentDevicesWithTheBuiltInAsPlaceholder) {
    settings.ComPort = 5;
    auto dialog = Show();
    QComboBox* combo = Combo(*dialog, "DeviceCombo");
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_EQ(Items(combo),
              QStringList({QString::fromStdString(Dev("serial/by-id/usb-Scanner-if00")),
                           QString::fromStdString(Dev("ttyUSB0")),
                           QString::fromStdString(Dev("ttyS1"))}));
    EXPECT_EQ(combo->currentText(), "");
    EXPECT_EQ(combo->lineEdit()->placeholderText(),
              QString::fromStdString(ComDevices::DefaultDeviceFor(5)));
    EXPECT_EQ(combo->lineEdit()->placeholderText(), "/dev/ttyUSB0");
}

TEST_F(PortSetupTest, DeviceRowShowsTheOverrideOfThePort) {
    settings.ComPort = 2;
    devices.Set(2, "/dev/serial/by-id/usb-Caf\xE9-port0");
    devices.Set(3, "/dev/ttyUSB3");
    auto dialog = Show();
    EXPECT_EQ(Combo(*dialog, "DeviceCombo")->currentText(),
              QString::fromUtf8("/dev/serial/by-id/usb-Caf\u00E9-port0"));
    dialog->accept();
    EXPECT_EQ(devices.DeviceFor(2), "/dev/serial/by-id/usb-Caf\xE9-port0");
    EXPECT_EQ(devices.DeviceFor(3), "/dev/ttyUSB3");
}

TEST_F(PortSetupTest, DeviceRowSetsAndClearsTheOverride) {
    settings.ComPort = 9;
    auto dialog = Show();
    Combo(*dialog, "DeviceCombo")->setCurrentIndex(0);
    dialog->accept();
    EXPECT_EQ(devices.DeviceFor(9), Dev("serial/by-id/usb-Scanner-if00"));

    auto typed = Show();
    Combo(*typed, "DeviceCombo")->setEditText("  /dev/ttyUSB7 ");
    typed->accept();
    EXPECT_EQ(devices.DeviceFor(9), "/dev/ttyUSB7");

    auto cleared = Show();
    Combo(*cleared, "DeviceCombo")->setEditText("");
    cleared->accept();
    EXPECT_FALSE(devices.HasOverride(9));
    EXPECT_EQ(devices.DeviceFor(9), ComDevices::DefaultDeviceFor(9));
}

TEST_F(PortSetupTest, DeviceRowIsOffWithoutAPort) {
    settings.ComPort = 0;
    devices.Set(1, "/dev/ttyUSB2");
    auto dialog = Show();
    QComboBox* combo = Combo(*dialog, "DeviceCombo");
    EXPECT_FALSE(combo->isEnabled());
    EXPECT_FALSE(Find<QLabel>(*dialog, "DeviceLabel")->isEnabled());
    EXPECT_EQ(combo->currentText(), "");
    EXPECT_EQ(combo->count(), 0);
    EXPECT_TRUE(combo->lineEdit()->placeholderText().contains("No COM port", Qt::CaseInsensitive));
    dialog->accept();
    EXPECT_EQ(devices.Overrides(), (std::map<int, std::string>{{1, "/dev/ttyUSB2"}}));
}

TEST_F(PortSetupTest, ANewDeviceReopensAnOpenPortAsAPortChoiceDoes) {
    OpenPort(5);
    settings.Handshake = 2;
    auto dialog = Show();
    Choose(Combo(*dialog, "ParityCombo"), "Even");
    Combo(*dialog, "DeviceCombo")->setEditText(QString::fromStdString(Dev("ttyS1")));
    dialog->accept();
    EXPECT_EQ(devices.DeviceFor(5), Dev("ttyS1"));
    EXPECT_EQ(serial.log,
              "PortOpen=0 CommPort=5 Settings=9600,E,8,1 DTREnable=1 Handshaking=2 RTSEnable=1 "
              "WatchDsr=0 PortOpen=1");
    EXPECT_EQ(window.captions,
              (std::vector<std::string>{"Reradav (Inactive)", "Reradav (Active On COM5)"}));
    EXPECT_TRUE(serial.open);
}

TEST_F(PortSetupTest, TheSameDeviceUnderAnotherSpellingIsNoNewDevice) {
    OpenPort(5);
    auto dialog = Show();
    // Typing the built-in device makes an override that names the same device.
    Combo(*dialog, "DeviceCombo")->setEditText("/dev/ttyUSB0");
    dialog->accept();
    EXPECT_EQ(serial.log,
              "PortOpen=0 Settings=9600,N,8,1 Handshaking=0 RTSEnable=1 WatchDsr=0 PortOpen=1");
    EXPECT_TRUE(window.captions.empty());
}

TEST_F(PortSetupTest, ANewDeviceForAClosedPortWaitsForTheNextOpening) {
    settings.ComPort = 5;
    auto dialog = Show();
    Combo(*dialog, "DeviceCombo")->setEditText("/dev/ttyACM0");
    dialog->accept();
    EXPECT_EQ(devices.DeviceFor(5), "/dev/ttyACM0");
    EXPECT_EQ(serial.log, "");
    EXPECT_FALSE(serial.open);
}

}  // namespace
}  // namespace reradav
