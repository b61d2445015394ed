#include "serial/PortControl.h"

#include <cerrno>

#include "serial/LineSettings.h"

namespace reradav {
namespace {

// Failures that end when the device comes back or is let go of; a refused setting does not.
bool DeviceMayComeBack(int error) {
    for (int e : {ENOENT, ENODEV, ENXIO, EBUSY, EACCES, EPERM, EIO}) {
        if (error == e) {
            return true;
        }
    }
    return false;
}

}  // namespace

void PortControl::SelectPort(std::int16_t n) {
    settings_.ComPortText = std::to_string(n);
    settings_.ComPort = n;
    Watch(false);
    if (serial_.PortOpen()) {
        TogglePort();
    }
    if (settings_.ComPort != 0) {
        TogglePort();
    }
    window_.SetDisplay("");
}

void PortControl::TogglePort() {
    if (serial_.PortOpen()) {
        serial_.SetPortOpen(false);
        window_.SetCaption(kInactiveCaption);
        Watch(false);
        return;
    }
    serial_.SetCommPort(settings_.ComPort);
    // A line-settings string the component refuses is reported like a failed opening.
    const bool settingsTaken = serial_.SetSettings(settings_.CommSettings);
    serial_.SetDTREnable(true);
    ApplyFlowControl();
    if (!settingsTaken || !serial_.SetPortOpen(true)) {
        ShowError();
    }
    if (serial_.PortOpen()) {
        timer_.SetInterval(ReceiveFraming::TickInterval);
        timer_.SetEnabled(true);
        window_.SetCaption("Reradav (Active On COM" + settings_.ComPortText + ")");
        framing_.ResetIdleTicks();
    } else {
        timer_.SetEnabled(false);
    }
    Watch(!serial_.PortOpen() && DeviceMayComeBack(serial_.LastError().number));
}

void PortControl::ReapplySettings() {
    if (!serial_.PortOpen()) {
        if (settings_.ComPort != 0) {
            TogglePort();
        }
        return;
    }
    serial_.SetPortOpen(false);
    const bool settingsTaken = serial_.SetSettings(settings_.CommSettings);
    ApplyFlowControl();
    if (!settingsTaken || !serial_.SetPortOpen(true)) {
        PortLost();
    }
}

// A flow-control choice outside the list leaves the component's modes as they were.
void PortControl::ApplyFlowControl() {
    if (auto flow = FlowControlFor(settings_.Handshake)) {
        serial_.SetHandshaking(flow->Handshaking);
        serial_.SetRTSEnable(flow->RTSEnable);
    }
    serial_.SetWatchDsr(settings_.Handshake == HandshakeOptoRs);
}

// The reopen is decided from the hang-up itself, and watched for from then on: handling the
// read (typing it, replying to the scanner) may take long and must not change the decision.
void PortControl::PortLost() {
    ShowError();
    timer_.SetEnabled(false);
    Watch(!serial_.PortOpen() && DeviceMayComeBack(serial_.LastError().number));
    framing_.LineEnded();
}

void PortControl::RetryOpen() {
    if (serial_.PortOpen() || settings_.ComPort == 0) {
        Watch(false);
        return;
    }
    TogglePort();
}

void PortControl::Watch(bool watching) {
    if (watching != watching_) {
        watching_ = watching;
        if (onWatch_) {
            onWatch_(watching);
        }
    }
}

void PortControl::ShowError() {
    window_.SetCaption(std::string(kErrorCaption) + serial_.LastError().description + ")");
}

std::string PortControl::CaptionStatus(const std::string& caption) {
    const std::size_t prefix = kErrorCaption.size();
    const bool failed = caption.starts_with(kErrorCaption) && caption.ends_with(")");
    return failed ? "port error: " + caption.substr(prefix, caption.size() - prefix - 1) : "";
}

}  // namespace reradav
