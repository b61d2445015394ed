#include "serial/SerialPortBase.h"

#include <cerrno>
#include <climits>

namespace reradav {

bool SerialPortBase::Fail(int number, std::string description) {
    lastError_ = {number, std::move(description)};
    return false;
}

bool SerialPortBase::SetPortOpen(bool open) {
    if (!open) {
        Close();
        return true;
    }
    return PortOpen() || Open();
}

bool SerialPortBase::ChangeLine(const PortSettings& settings, std::int16_t handshaking) {
    const PortSettings oldSettings = settings_;
    const std::int16_t oldHandshaking = handshaking_;
    settings_ = settings;
    handshaking_ = handshaking;
    if (!PortOpen() || ApplyLine()) {
        return true;
    }
    const Error error = lastError_;
    settings_ = oldSettings;
    handshaking_ = oldHandshaking;
    ApplyLine();
    lastError_ = error;
    return false;
}

bool SerialPortBase::SetSettings(const std::string& settings) {
    const PortSettingsParse parsed = ParsePortSettings(settings);
    if (!parsed.ok) {
        return Fail(EINVAL, parsed.error);
    }
    if (auto refusal = RateRefusal(parsed.settings.baud)) {
        return Fail(EINVAL, std::move(*refusal));
    }
    // Stop bits the word length cannot have are accepted here and refused at opening, where
    // the caption shows it.
    return ChangeLine(parsed.settings, handshaking_);
}

void SerialPortBase::SetHandshaking(std::int16_t mode) {
    if (mode < comNone || mode > comRTSXOnXOff) {
        Fail(EINVAL, "Handshaking " + std::to_string(mode) + " is not a flow-control mode");
        return;
    }
    ChangeLine(settings_, mode);
}

void SerialPortBase::SetDTREnable(bool enable) {
    dtr_ = enable;
    if (PortOpen()) {
        ApplyModemLines();
    }
}

void SerialPortBase::SetRTSEnable(bool enable) {
    rts_ = enable;
    if (PortOpen()) {
        ApplyModemLines();
    }
}

void SerialPortBase::SetInputLen(std::int16_t length) {
    if (length < 0) {
        Fail(EINVAL, "InputLen cannot be negative");
        return;
    }
    inputLen_ = length;
}

int SerialPortBase::InBufferCount() {
    CollectReceived();
    return static_cast<int>(std::min<std::size_t>(rx_.size(), INT_MAX));
}

std::string SerialPortBase::Input() {
    CollectReceived();
    const std::size_t n = inputLen_ > 0 ? std::min<std::size_t>(rx_.size(), inputLen_) : rx_.size();
    std::string taken = rx_.substr(0, n);
    rx_.erase(0, n);
    return taken;
}

}  // namespace reradav
