#include "serial/ReceiveFraming.h"

#include "common/ScopedFlag.h"

namespace reradav {

void ReceiveFraming::OnComm() {
    const std::int16_t event = serial_.CommEvent();
    if (event == SerialComponent::comEvDSR) {
        // Opto-RS: every second DSR change asks the scanner for its data.
        if (settings_.Handshake == HandshakeOptoRs) {
            dsrToggle_ = !dsrToggle_;
            if (dsrToggle_) {
                serial_.Output("?\r");
            }
        }
    } else if (event == SerialComponent::comEvReceive) {
        serial_.SetInputLen(0);
        while (serial_.InBufferCount() > 0) {
            std::string bytes = serial_.Input();
            if (bytes.empty()) {
                break;  // the count promised data the component could not deliver
            }
            inputBuffer_ += bytes;
        }
    }
}

void ReceiveFraming::Timer1_Timer() {
    wasMinimised_ = window_.IsMinimised();
    if (busy_ || !serial_.PortOpen()) {
        return;
    }
    idleTicks_ = (idleTicks_ + 1) & 255;
    if (!inputBuffer_.empty()) {
        // Take everything at once: swapping keeps the cost per character constant.
        taking_.clear();
        taking_.swap(inputBuffer_);
        for (char c : taking_) {
            if (preferences_.NumFilter() == 0 || Numeric(c)) {
                pendingRead_ += c;
            }
        }
        charsPending_ = true;
        idleTicks_ = 0;
    }
    if (charsPending_ && idleTicks_ == ReadTimeoutTicks) {
        {
            ScopedFlag busy(busy_);
            processRead_(pendingRead_);
        }
        pendingRead_.clear();
        charsPending_ = false;
    }
}

}  // namespace reradav
