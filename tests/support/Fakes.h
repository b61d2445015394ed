#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "common/MainWindowView.h"
#include "common/SettingsControls.h"
#include "keys/RecordingKeyboard.h"
#include "readproc/Beeper.h"
#include "readproc/DateTokens.h"
#include "serial/PortControl.h"
#include "serial/SerialComponent.h"

namespace reradav::test {

using CheckBox = SettingsControls::CheckBox;

// A serial component whose line is played by the test: Receive() queues bytes as one chunk,
// as a driver hands them over; Output() is recorded.
class FakeSerial : public SerialComponent {
  public:
    bool PortOpen() const override { return open; }
    bool SetPortOpen(bool o) override {
        Log("PortOpen=" + std::to_string(o));
        return (o && failOpen) ? false : (open = o, true);
    }
    void SetCommPort(std::int16_t n) override { Log("CommPort=" + std::to_string(n)); }
    bool SetSettings(const std::string& s) override {
        return Log("Settings=" + s), !refuseSettings;
    }
    void SetDTREnable(bool on) override { Log("DTREnable=" + std::to_string(on)); }
    void SetHandshaking(std::int16_t mode) override { Log("Handshaking=" + std::to_string(mode)); }
    void SetRTSEnable(bool on) override { Log("RTSEnable=" + std::to_string(on)); }
    void SetWatchDsr(bool on) override { Log("WatchDsr=" + std::to_string(on)); }
    std::int16_t CommEvent() const override { return event; }
    void SetInputLen(std::int16_t length) override { inputLen = length; }
    int InBufferCount() override {
        return std::accumulate(chunks.begin(), chunks.end(), 0,
                               [](int n, const std::string& c) { return n + int(c.size()); });
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
    void SetOnOutputDropped(std::function<void(const std::string&)>) override {}

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

// Main-window controls as plain values, with a log of what the settings store did to them.
class FakeSettingsControls : public SettingsControls {
  public:
    std::array<std::int16_t, 5> checkBoxes{};
    std::int16_t sound = 0, combo1 = 0, windowState = 0;
    std::string postamble;
    mutable std::vector<std::string> log;
    bool logging = true;  // off where the fake's own cost would be measured

    std::int16_t& Box(CheckBox box) { return checkBoxes[static_cast<std::size_t>(box)]; }
    std::int16_t CheckBoxValue(CheckBox box) const override {
        return Get(kBoxNames[static_cast<int>(box)], checkBoxes[static_cast<std::size_t>(box)]);
    }
    void SetCheckBoxValue(CheckBox box, std::int16_t value) override {
        Set(kBoxNames[static_cast<int>(box)], Box(box), value);
    }
    void RunBeepOnInputClick() override { log.push_back("click BeepOnInput"); }
    std::int16_t CboSoundListIndex() const override { return Get("cboSound", sound); }
    void SetCboSoundListIndex(std::int16_t index) override { Set("cboSound", sound, index); }
    std::int16_t Combo1ListIndex() const override { return Get("Combo1", combo1); }
    void SetCombo1ListIndex(std::int16_t index) override { Set("Combo1", combo1, index); }
    std::string TermKeyComboText() const override { return Get("TermKeyCombo", postamble); }
    void SetTermKeyComboText(const std::string& t) override { Set("TermKeyCombo", postamble, t); }
    std::int16_t WindowState() const override { return Get("WindowState", windowState); }
    void SetWindowState(std::int16_t state) override { Set("WindowState", windowState, state); }
    void RegisterStartup() override { log.push_back("RegisterStartup"); }

  private:
    static constexpr const char* kBoxNames[] = {"BeepOnInput", "LoadWithWindows", "RemoveCRs",
                                                "NumFilter", "IgnoreDups"};
    template <typename T>
    T Get(const char* name, T value) const {
        if (logging) {
            log.push_back(std::string("get ") + name);
        }
        return value;
    }
    template <typename T>
    void Set(const char* name, T& field, const T& value) {
        std::ostringstream text;
        text << "set " << name << "=" << value;
        log.push_back(text.str());
        field = value;
    }
};

// The framing timer as plain values.
struct FakeTimer : FramingTimer {
    void SetInterval(int ms) override { interval = ms; }
    void SetEnabled(bool on) override { enabled = on; }
    int interval = 0;
    bool enabled = true;
};

struct FakeWindow : MainWindowView {
    bool IsActiveWindow() const override { return active; }
    void SetDisplay(const std::string& text) override {
        display = text;
        ++displayCount;
    }
    void SetCaption(const std::string& text) override { captions.push_back(text); }
    void SetStatus(const std::string& subject, const std::string& text) override {
        status = text.empty() ? "" : subject + ": " + text;
    }

    bool active = false;
    std::string display;
    int displayCount = 0;
    std::vector<std::string> captions;
    std::string status;
};

struct FakeBeeper : Beeper {
    void MessageBeep(BeepType type) override { beeps.push_back(type); }
    std::vector<BeepType> beeps;
};

// Hands out the given times in turn, then keeps the last.
struct FakeClock : Clock {
    LocalDateTime Now() override {
        if (times.size() > 1) {
            LocalDateTime t = times.front();
            times.erase(times.begin());
            return t;
        }
        return times.empty() ? LocalDateTime{2026, 3, 5, 14, 7, 9} : times.front();
    }
    std::vector<LocalDateTime> times;
};

// A German-like layout: AltGr for "@" and "{", a dead acute (key 221, with Shift the grave) for
// "\xE9" and "\xC8", and the platform's own means for "\xF1".
class AltGrKeyboard : public RecordingKeyboard {
  public:
    std::int16_t VkKeyScanA(std::uint8_t c) override {
        return c == '@' ? 0x651 : c == '{' ? 0x637 : RecordingKeyboard::VkKeyScanA(c);
    }
    std::vector<std::int16_t> DeadKeySequence(std::uint8_t c) override {
        using Keys = std::vector<std::int16_t>;
        return c == 0xE9 ? Keys{221, 'E'} : c == 0xC8 ? Keys{0x100 | 221, 0x100 | 'E'} : Keys{};
    }
    bool CanTypeCharacter(std::uint8_t c) override { return c == 0xF1; }
};

}  // namespace reradav::test
