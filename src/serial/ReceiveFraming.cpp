#include "serial/ReceiveFraming.h"

#include <utility>

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
    if (!serial_.PortOpen()) {
        return;
    }
    idleTicks_ = (idleTicks_ + 1) & 255;
    if (!inputBuffer_.empty()) {
        TakeInput();
        idleTicks_ = 0;
    }
    if (charsPending_ && idleTicks_ == ReadTimeoutTicks) {
        CompleteRead();
    }
}

void ReceiveFraming::LineEnded() {
    if (!inputBuffer_.empty()) {
        TakeInput();
    }
    if (charsPending_) {
        CompleteRead();
    }
}

// Takes everything at once: swapping keeps the cost per character constant.
void ReceiveFraming::TakeInput() {
    taking_.clear();
    taking_.swap(inputBuffer_);
    for (char c : taking_) {
        if (preferences_.NumFilter() == 0 || Numeric(c)) {
            pendingRead_ += c;
        }
    }
    charsPending_ = true;
}

// Handles the read, then those completed while it was typed; a read completed while another
// is typed (this runs inside the typing's event loop) waits its turn.
void ReceiveFraming::CompleteRead() {
    charsPending_ = false;
    if (busy_) {
        if (waiting_.size() < kMaxWaitingReads &&
            waitingBytes_ + pendingRead_.size() <= kMaxWaitingBytes) {
            waitingBytes_ += pendingRead_.size();
            waiting_.push_back(std::move(pendingRead_));
        } else {
            ++dropped_;
        }
        pendingRead_.clear();
        return;
    }
    ScopedFlag busy(busy_);
    // Out of the way first: ticks during the typing build the next read there.
    std::string read = std::move(pendingRead_);
    pendingRead_.clear();
    processRead_(read);
    while (!waiting_.empty()) {
        read = std::move(waiting_.front());
        waiting_.pop_front();
        waitingBytes_ -= read.size();
        processRead_(read);
    }
    if (dropped_ > 0) {
        window_.SetStatus("port",
                          std::to_string(std::exchange(dropped_, 0)) +
                              " reads were dropped: they came faster than they could be typed");
    }
}

}  // namespace reradav
