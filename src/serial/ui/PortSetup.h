#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "common/AppSettings.h"
#include "serial/ComDevices.h"
#include "serial/PortControl.h"
#include "serial/SerialComponent.h"

namespace Ui {
class PortSetup;
}

namespace reradav {

// The port settings dialog: line settings, flow control, the scanner beep string and the
// device behind the chosen COM number. It keeps nothing of its own: every showing loads the
// values from AppSettings and ComDevices, OK (accept()) writes them back and re-opens an open
// port with them, Cancel, Esc and closing store nothing.
class PortSetup : public QDialog {
    Q_OBJECT

  public:
    // The references must outlive the dialog. `serial` is only asked whether the port is open;
    // `showHelp` opens the help document. The dialog is placed relative to `parent`'s window.
    PortSetup(AppSettings& settings, const SerialComponent& serial, PortControl& port,
              ComDevices& devices, std::function<void()> showHelp, QWidget* parent = nullptr);
    ~PortSetup() override;

    // Where the device list is looked up (tests); "/dev" unless changed before showing.
    void SetDeviceRoot(std::string root) { deviceRoot_ = std::move(root); }

    // OK_Button_Click.
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void LoadValues();
    void ShowHelp();
    void PlaceBesideParent();
    void LoadDeviceRow();
    // Stores the device row; true when the port's device is now a different one.
    bool StoreDevice();

    std::unique_ptr<Ui::PortSetup> ui_;
    AppSettings& settings_;
    const SerialComponent& serial_;
    PortControl& port_;
    ComDevices& devices_;
    std::function<void()> showHelp_;
    std::string deviceRoot_ = "/dev";
    std::int16_t devicePort_ = 0;  // the COM number whose device the row shows
};

}  // namespace reradav
