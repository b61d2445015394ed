#include "serial/ui/PortSetup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "support/Fakes.h"

namespace reradav {
namespace {

// The dialog as the main window's Settings command shows it, for COM5.
TEST(PortSetupTest, HelpEscAndOkOnTheLineSettingsAndTheDevice) {
    AppSettings settings;
    test::FakeSerial serial;
    test::FakeSettingsControls prefs;
    test::FakeWindow window;
    test::FakeTimer timer;
    ReceiveFraming framing{serial, settings, prefs, window, [](std::string& r) { r.clear(); }};
    PortControl port{settings, serial, framing, timer, window};
    ComDevices devices;
    int helpCalls = 0;
    QWidget mainWindow;
    PortSetup dialog{settings, serial, port, devices, [&] { ++helpCalls; }, &mainWindow};
    auto combo = [&](const char* name) { return dialog.findChild<QComboBox*>(name); };
    auto press = [&](int key) {  // on a list, which leaves it to the dialog
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(combo("ParityCombo"), &event);
    };
    settings.ComPort = 5;
    devices.Set(5, "/dev/ttyACM3");
    dialog.show();
    EXPECT_EQ(dialog.pos(), mainWindow.pos() + QPoint(-53, 23));  // 800 and 340 twips
    QComboBox* row = combo("DeviceCombo");
    EXPECT_EQ(row->currentText(), "/dev/ttyACM3");
    EXPECT_EQ(row->lineEdit()->placeholderText(), "/dev/ttyUSB0");  // COM5's built-in device

    // F1 and Help open the help; Esc stores nothing, and the next showing starts afresh.
    combo("BaudCombo")->setCurrentIndex(0);
    row->setEditText("/dev/ttyS9");
    press(Qt::Key_F1);
    dialog.findChild<QPushButton*>("HelpButton")->click();
    press(Qt::Key_Escape);
    EXPECT_EQ(helpCalls, 2);
    dialog.show();
    EXPECT_EQ(combo("BaudCombo")->currentText() + row->currentText(), "38400/dev/ttyACM3");

    // OK stores everything and opens the port's new device the way a choice in the port list
    // does; the same device again only re-applies the settings.
    combo("FlowCtrlCombo")->setCurrentIndex(2);
    dialog.findChild<QLineEdit*>("BeepString")->setText(QString::fromUtf8("™,13"));
    row->setEditText(" /dev/ttyUSB7 ");
    press(Qt::Key_Return);  // OK is the default button
    EXPECT_EQ(settings.CommSettings + settings.ScannerBeepString, "38400,N,8,1\x99,13");
    EXPECT_EQ(devices.DeviceFor(5), "/dev/ttyUSB7");
    EXPECT_EQ(serial.log,
              "PortOpen=0 CommPort=5 Settings=38400,N,8,1 DTREnable=1 Handshaking=2 RTSEnable=1 "
              "WatchDsr=0 PortOpen=1");
    serial.log.clear();
    dialog.accept();
    EXPECT_EQ(serial.log,
              "PortOpen=0 Settings=38400,N,8,1 Handshaking=2 RTSEnable=1 WatchDsr=0 PortOpen=1");
}

}  // namespace
}  // namespace reradav
