#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "keys/RecordingKeyboard.h"
#include "readproc/Beeper.h"
#include "readproc/DateTokens.h"
#include "readproc/PreferenceControls.h"
#include "serial/SerialComponent.h"
#include "shell/MainWindowView.h"

namespace reradav::test {

// A serial component whose line is played by the test: Receive() queues bytes as one chunk,
// as a driver hands them over; Output() is recorded.
class FakeSerial : public SerialComponent {
  public:
    bool PortOpen() const override { return open; }
    bool SetPortOpen(bool o) override {
        Log("PortOpen=" + std::to_string(o));
        if (o && failOpen) {
            return false;
        }
        open = o;
        return true;
    }
    void SetCommPort(std::int16_t n) override { Log("CommPort=" + std::to_string(n)); }
    bool SetSettings(const std::string& s) override {
        Log("Settings=" + s);
        return !refuseSettings;
    }
    void SetDTREnable(bool on) override { Log("DTREnable=" + std::to_string(on)); }
    void SetHandshaking(std::int16_t mode) override { Log("Handshaking=" + std::to_string(mode)); }
    void SetRTSEnable(bool on) override { Log("RTSEnable=" + std::to_string(on)); }
    void SetWatchDsr(bool on) override { Log("WatchDsr=" + std::to_string(on)); }
    std::int16_t CommEvent() const override { return event; }
    void SetInputLen(std::int16_t length) override { inputLen = length; }
    int InBufferCount() override {
        int n = 0;
        for (const auto& c : chunks)
            n += static_cast<int>(c.size());
        return n;
    }
    std::string Input() override {
        if (chunks.empty())
            return {};
        std::string c = std::move(chunks.front());
        chunks.pop_front();
        return c;
    }
    void Output(std::string_view bytes) override { output.append(bytes); }
    Error LastError() const override { return error; }
    void SetOnComm(std::function<void()> h) override { onComm = std::move(h); }
    void SetOnHangUp(std::function<void()>) override {}

    void Receive(std::string bytes) { chunks.push_back(std::move(bytes)); }
    void Log(const std::string& call) { log += (log.empty() ? "" : " ") + call; }

    bool open = true;
    bool failOpen = false;
    bool refuseSettings = false;
    Error error;
    std::string log;  // the setup calls, in order
    std::int16_t event = comEvReceive;
    std::int16_t inputLen = -1;
    std::deque<std::string> chunks;
    std::string output;
    std::function<void()> onComm;
};

struct FakePreferences : PreferenceControls {
    int BeepOnInput() const override { return beep; }
    int cboSound() const override { return sound; }
    int RemoveCRs() const override { return removeCRs; }
    int NumFilter() const override { return numFilter; }
    int IgnoreDups() const override { return ignoreDups; }
    std::string TermKeyCombo() const override { return postamble; }

    int beep = 0, sound = 0, removeCRs = 0, numFilter = 0, ignoreDups = 0;
    std::string postamble;
};

struct FakeWindow : MainWindowView {
    bool IsActiveWindow() const override { return active; }
    bool IsMinimised() const override { return minimised; }
    void SetDisplay(const std::string& text) override {
        display = text;
        ++displayCount;
    }
    void SetCaption(const std::string& text) override { captions.push_back(text); }

    bool active = false, minimised = false;
    std::string display;
    int displayCount = 0;
    std::vector<std::string> captions;
};

struct FakeBeeper : Beeper {
    void MessageBeep(BeepType type) override { beeps.push_back(type); }
    std::vector<BeepType> beeps;
};

// Hands out the given times in turn, then keeps the last.
struct FakeClock : Clock {
    LocalDateTime Now() override {
        ++reads;
        if (times.size() > 1) {
            LocalDateTime t = times.front();
            times.erase(times.begin());
            return t;
        }
        return times.empty() ? LocalDateTime{2026, 3, 5, 14, 7, 9} : times.front();
    }
    std::vector<LocalDateTime> times;
    int reads = 0;
};

// A US keyboard on which "@" and "{" need AltGr, as on a German layout (Q and 7).
class AltGrKeyboard : public RecordingKeyboard {
  public:
    std::int16_t VkKeyScanA(std::uint8_t c) override {
        if (c == '@')
            return 0x651;
        if (c == '{')
            return 0x637;
        return RecordingKeyboard::VkKeyScanA(c);
    }
};

}  // namespace reradav::test
