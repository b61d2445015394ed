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

// Takes everything at once: swapping keeps the cost per character constant. A read that grows
// to kMaxReadBytes without a pause is ended there, after the loop: handling it may type, and
// ticks during the typing take input again.
void ReceiveFraming::TakeInput() {
    taking_.clear();
    taking_.swap(inputBuffer_);
    std::vector<std::string> full;
    const bool numbersOnly = preferences_.NumFilter() != 0;
    for (char c : taking_) {
        if (!numbersOnly || Numeric(c)) {
            pendingRead_ += c;
            if (pendingRead_.size() == kMaxReadBytes) {
                full.push_back(std::exchange(pendingRead_, {}));
            }
        }
    }
    charsPending_ = true;
    for (std::string& read : full) {
        window_.SetStatus("port", "a read of " + std::to_string(kMaxReadBytes >> 20) +
                                      " MiB without a pause was ended there");
        CompleteRead(std::move(read));
    }
}

void ReceiveFraming::CompleteRead() {
    charsPending_ = false;
    CompleteRead(std::exchange(pendingRead_, {}));
}

void ReceiveFraming::Quit(std::function<bool()> stopped) {
    stopped_ = std::move(stopped);
    LineEnded();
}

// Handles the read, then those completed while it was typed; a read completed while another
// is typed (this runs inside the typing's event loop) waits its turn. Once a quit has stopped
// typing, reads are only counted: not shown, not answered, not typed.
void ReceiveFraming::CompleteRead(std::string read) {
    if (busy_) {
        if (waiting_.size() < kMaxWaitingReads && waitingBytes_ + read.size() <= kMaxWaitingBytes) {
            waitingBytes_ += read.size();
            waiting_.push_back(std::move(read));
        } else {
            ++dropped_;
        }
        return;
    }
    ScopedFlag busy(busy_);
    waitingBytes_ += read.size();
    waiting_.push_front(std::move(read));
    while (!waiting_.empty()) {
        read = std::move(waiting_.front());
        waiting_.pop_front();
        waitingBytes_ -= read.size();
        if (stopped_ && stopped_()) {
            ++notTyped_;
        } else {
            processRead_(read);
        }
    }
    if (dropped_ > 0) {
        window_.SetStatus("port",
                          std::to_string(std::exchange(dropped_, 0)) +
                              " reads were dropped: they came faster than they could be typed");
    }
    if (notTyped_ > 0) {
        window_.SetStatus("port", std::to_string(std::exchange(notTyped_, 0)) +
                                      " reads were not typed: Reradav was quitting");
    }
}

}  // namespace reradav
