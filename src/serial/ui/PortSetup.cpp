#include "serial/ui/PortSetup.h"

#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QShowEvent>
#include <cmath>

#include "common/ui/Windows1252.h"
#include "serial/LineSettings.h"
#include "serial/linux/SerialDevices.h"
#include "ui_PortSetup.h"

namespace reradav {

namespace {

// Qt's device-independent pixel is 1/96 inch, 15 twips.
int TwipsToPixels(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

template <typename Items>
void Fill(QComboBox* combo, const Items& items) {
    for (const auto& item : items) {
        combo->addItem(FromWindows1252(std::string(item)));
    }
}

// A stored index outside the list (a hand-edited settings file) shows no selection.
void Select(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

std::int16_t Selected(const QComboBox* combo) {
    return static_cast<std::int16_t>(combo->currentIndex());
}

}  // namespace

PortSetup::PortSetup(AppSettings& settings, const SerialComponent& serial, PortControl& port,
                     ComDevices& devices, std::function<void()> showHelp, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::PortSetup>()),
      settings_(settings),
      serial_(serial),
      port_(port),
      devices_(devices),
      showHelp_(std::move(showHelp)) {
    ui_->setupUi(this);

    // The items never change, so the lists are filled once per dialog; every showing then
    // selects afresh from the settings.
    std::vector<std::string> rates;
    for (int rate : kBaudRates) {
        rates.push_back(std::to_string(rate));
    }
    Fill(ui_->BaudCombo, rates);
    Fill(ui_->DataBitsCombo, kDataBitsItems);
    Fill(ui_->ParityCombo, kParityItems);
    Fill(ui_->StopBitsCombo, kStopBitsItems);
    Fill(ui_->FlowCtrlCombo, kFlowControlItems);

    // Device paths are case-sensitive, and an inline completion would swallow the Enter that
    // should press OK.
    if (QCompleter* completer = ui_->DeviceCombo->completer()) {
        completer->setCaseSensitivity(Qt::CaseSensitive);
        completer->setCompletionMode(QCompleter::PopupCompletion);
    }

    // Enter confirms what is shown; the beep-string box is not where a user starts.
    ui_->OK_Button->setDefault(true);
    ui_->OK_Button->setFocus();
    connect(ui_->OK_Button, &QPushButton::clicked, this, &PortSetup::accept);
    connect(ui_->Cancel_Button, &QPushButton::clicked, this, &PortSetup::reject);
    connect(ui_->HelpButton, &QPushButton::clicked, this, &PortSetup::ShowHelp);

    LoadValues();
}

PortSetup::~PortSetup() = default;

void PortSetup::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        LoadValues();
        PlaceBesideParent();  // before QDialog's own centring, which a moved dialog skips
    }
    QDialog::showEvent(event);
}

// F1 opens the help here as it does in the main window; the controls pass it up unused.
void PortSetup::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::HelpContents)) {
        ShowHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PortSetup::ShowHelp() {
    if (showHelp_) {
        showHelp_();
    }
}

void PortSetup::LoadValues() {
    Select(ui_->BaudCombo, settings_.BaudIndex);
    Select(ui_->ParityCombo, settings_.ParityIndex);
    Select(ui_->DataBitsCombo, settings_.DataBitsIndex);
    Select(ui_->StopBitsCombo, settings_.StopBitsIndex);
    Select(ui_->FlowCtrlCombo, settings_.Handshake);
    ui_->BeepString->setText(FromWindows1252(settings_.ScannerBeepString));
    LoadDeviceRow();
}

// The left edge 800 twips left of the main window's, the top 340 twips below its top. A minimised
// or hidden main window still reports its last position, so the dialog lands where it was seen.
void PortSetup::PlaceBesideParent() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (owner == nullptr) {
        return;
    }
    move(owner->x() - TwipsToPixels(800), owner->y() + TwipsToPixels(340));
}

void PortSetup::LoadDeviceRow() {
    QComboBox* combo = ui_->DeviceCombo;
    devicePort_ = settings_.ComPort;
    combo->clear();
    const bool chosen = devicePort_ > 0;
    ui_->DeviceLabel->setEnabled(chosen);
    combo->setEnabled(chosen);
    if (!chosen) {
        combo->setToolTip({});
        combo->lineEdit()->setPlaceholderText(tr("No COM port chosen"));
        return;
    }
    for (const std::string& path : ListSerialDevices(deviceRoot_)) {
        combo->addItem(FromWindows1252(path));
    }
    combo->setCurrentIndex(-1);
    combo->setEditText(devices_.HasOverride(devicePort_)
                           ? FromWindows1252(devices_.DeviceFor(devicePort_))
                           : QString());
    const QString builtIn = FromWindows1252(ComDevices::DefaultDeviceFor(devicePort_));
    combo->lineEdit()->setPlaceholderText(builtIn);
    combo->setToolTip(tr("The device of COM%1; left empty, COM%1 is %2")
                          .arg(devicePort_)
                          .arg(builtIn.isEmpty() ? tr("no device") : builtIn));
}

bool PortSetup::StoreDevice() {
    if (devicePort_ <= 0) {
        return false;
    }
    const std::string before = devices_.DeviceFor(devicePort_);
    // Blanks around a path are never meant (and the settings file would drop them anyway).
    const std::string path = ToWindows1252(ui_->DeviceCombo->currentText().trimmed());
    if (path.empty()) {
        devices_.Clear(devicePort_);
    } else {
        devices_.Set(devicePort_, path);
    }
    return devices_.DeviceFor(devicePort_) != before;
}

void PortSetup::accept() {
    LineIndexes indexes;
    indexes.BaudIndex = Selected(ui_->BaudCombo);
    indexes.ParityIndex = Selected(ui_->ParityCombo);
    indexes.DataBitsIndex = Selected(ui_->DataBitsCombo);
    indexes.StopBitsIndex = Selected(ui_->StopBitsCombo);
    StoreLineChoices(settings_, indexes, Selected(ui_->FlowCtrlCombo),
                     ToWindows1252(ui_->BeepString->text()));

    const bool deviceChanged = StoreDevice();
    if (serial_.PortOpen()) {
        if (deviceChanged && devicePort_ == settings_.ComPort) {
            // Another device is another port to the user: open it the way a choice in the
            // port list does (port number, DTR, the "Active On" caption, a restarted framing
            // timer, a cleared display), not by re-applying line settings to what was open.
            port_.SelectPort(settings_.ComPort);
        } else {
            port_.ReapplySettings();
        }
    }
    QDialog::accept();
}

}  // namespace reradav
