#include "serial/PortControl.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <map>

#include "support/Fakes.h"

namespace reradav {
namespace {

using namespace test;

std::string Times(const std::string& text, std::size_t n) {
    std::string all;
    while (n-- > 0)
        all += text;
    return all;
}

// A serial port, closed, with its framing and control, a window showing "old", the timer stopped.
struct Rig : FakeSerial, FakeWindow, FakeTimer {
    Rig() { enabled = open = false, display = "old"; }
    void Fail(int number, const char* why) { error = {number, why}; }
    // Words for what the line, the device and the user do: "___" three ticks, "COM3" the port
    // chosen, "flow2" the flow control, "{...}" played while the next read is typed, a command
    // below; other words are bytes arriving.
    Rig& Run(const std::string& script) {
        std::istringstream in(script);
        for (std::string w, rest; std::getline(in, w, ' ');) {
            if (w.starts_with('{') && std::getline(in, rest, '}'))
                duringRead = [this, inner = w.substr(1) + " " + rest] { Run(inner); };
            else if (w.find_first_not_of('_') == w.npos)
                for (std::size_t n = w.size(); n-- > 0;)
                    framing.Timer1_Timer();
            else if (commands.contains(w))
                commands.at(w)();
            else if (w.starts_with("COM"))
                port.SelectPort(static_cast<std::int16_t>(std::stoi(w.substr(3))));
            else if (w.starts_with("flow"))
                settings.Handshake = static_cast<std::int16_t>(std::stoi(w.substr(4)));
            else {  // in two chunks where it can be split, as a driver may hand them over
                Receive(w.substr(0, 1)), w.size() > 1 ? Receive(w.substr(1)) : void();
                event = comEvReceive, framing.OnComm();
                EXPECT_EQ(inputLen, 0) << "every waiting byte is asked for";
            }
        }
        return *this;
    }
    // The reads (a long one by its size), then what the scanner was sent, then the status.
    std::string Reads() const {
        std::string seen;
        for (const std::string& read : reads)
            seen += "[" + (read.size() > 99 ? std::to_string(read.size()) + " bytes" : read) + "]";
        return seen + output + (status.empty() ? "" : " / " + status);
    }
    // The caption; open with the port, line settings, DTR, handshaking, RTS and DSR watching it
    // last opened with, or closed; the framing timer's ticks; the watch; the display.
    std::string Port() const {
        std::string seen = captions.empty() ? "" : captions.back();
        const std::string opening = log.substr(0, log.rfind("PortOpen=1"));
        seen += open ? " |" : " | closed";
        for (std::string name :
             {"CommPort=", "Settings=", "DTREnable=", "Handshaking=", "RTSEnable=", "WatchDsr="}) {
            const std::size_t at = opening.rfind(name) + name.size();
            seen += open ? " " + opening.substr(at, opening.find(' ', at) - at) : "";
        }
        return seen + (enabled ? " | ticks " + std::to_string(interval) : "") +
               (watched ? " | watched" : "") + (display.empty() ? "" : " | display kept");
    }

    AppSettings settings;
    FakeSettingsControls prefs;
    std::vector<std::string> reads;
    std::function<void()> duringRead = [] {};  // played once, by the next read handed over
    ReceiveFraming framing{*this, settings, prefs, *this, [this](std::string& read) {
                               std::exchange(duringRead, [] {})(), reads.push_back(read);
                           }};
    PortControl port{settings, *this, framing, *this, *this};
    // Whether the port control last asked for the port to be watched for.
    bool watched = (port.SetOnWatch([this](bool on) { watched = on; }), false);
    const std::map<std::string, std::function<void()>> commands{
        {"settings", [this] { settings.CommSettings = "19200,E,7,2", port.ReapplySettings(); }},
        {"retry", [this] { port.RetryOpen(); }},  // the watch's timer fired
        {"hangup", [this] { open = false, Fail(EIO, "I/O error"), port.PortLost(); }},
        {"busy", [this] { failOpen = true, Fail(EBUSY, "busy"); }},
        {"refused", [this] { refuseSettings = true, Fail(EINVAL, "bad settings"); }},
        {"free", [this] { failOpen = refuseSettings = false; }},
        {"filter", [this] { prefs.Box(CheckBox::NumFilter) = 1; }},
        {"dsr", [this] { event = comEvDSR, framing.OnComm(); }},
        {"quit", [this] { framing.Quit([this] { return reads.size() >= 2; }); }}};
};

// Framing, with the port open on COM1.
TEST(ReceiveFraming, TurnsTheBytesThatArriveIntoReads) {
    const std::tuple<const char*, std::string, std::string> rows[] = {
        {"two idle ticks do not end a read, the third does", "A ___ B ____ C ____", "[AB][C]"},
        {"bytes pass as they are", std::string("\0\x7f\x80\xff ____", 9),
         "[" + std::string("\0\x7f\x80\xff", 4) + "]"},
        {"a long silence ends a read once", "A " + std::string(600, '_'), "[A]"},
        {"the number filter keeps digits, '.', '-'", "a1 _ filter b-2.5,+\r\n ____", "[a1-2.5]"},
        {"a read the filter empties still ends", "filter ABC ____", "[]"},
        {"Opto-RS polls at every other DSR change", "dsr dsr flow3 dsr dsr dsr", "?\r?\r"},
        {"a hang-up ends the read, drops the rest", "97 _ 8 hangup old ___ COM1 ____", "[978]"},
        {"reads framed while typing follow it", "{b ____ c ____ d _} a _______", "[a][b][c][d]"},
        {"beyond 64 reads waiting, more are dropped, said", "{" + Times("x ____ ", 70) + "} y ____",
         "[y]" + Times("[x]", 64) +
             " / port: 6 reads were dropped: they came faster than they could be typed"},
        {"a read without a pause ends at 16 MiB, said", std::string((16 << 20) + 3, 'x') + " ____",
         "[16777216 bytes][xxx] / port: a read of 16 MiB without a pause was ended there"},
        {"a quit ends the read, counts those past its grace", "{b ____ c ____ d _ quit} a ____",
         "[a][b] / port: 2 reads were not typed: Reradav was quitting"}};
    for (const auto& [name, script, seen] : rows)
        EXPECT_EQ(Rig().Run("COM1 " + script).Reads(), seen) << name;
}

// From a closed port, none chosen, no flow control.
TEST(PortControl, ThePortOpensClosesFailsAndIsWatchedForAsTheUserSees) {
    auto com3 = [](std::string s) { return "Reradav (Active On COM3) | 3 " + s + " | ticks 50"; };
    auto failed = [](std::string s) { return "Reradav (Error: " + s + ") | closed"; };
    const std::string open = com3("9600,N,8,1 1 0 1 0");
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {"choosing a port opens it, closing the one before", "COM5 COM3", open},
        {"with Xon/Xoff", "flow1 COM3", com3("9600,N,8,1 1 3 1 0")},
        {"with Opto-RS, watching DSR", "flow3 COM3", com3("9600,N,8,1 1 0 0 1")},
        {"port 0 closes it", "COM3 COM0", "Reradav (Inactive) | closed | ticks 50"},
        {"refused settings are said, not watched for", "refused COM3", failed("bad settings")},
        {"a busy device is said and watched for", "COM5 busy COM3", failed("busy") + " | watched"},
        {"the watch opens it when the device is free", "busy COM3 free retry retry", open},
        {"choosing port 0 ends the watch", "busy COM3 COM0", failed("busy")},
        {"new settings reopen an open port", "COM3 flow1 settings", com3("19200,E,7,2 1 3 1 0")},
        {"a choice outside the list keeps the modes", "flow2 COM3 flow7 settings",
         com3("19200,E,7,2 1 2 1 0")},
        {"new settings open a closed port", "busy COM3 free settings", com3("19200,E,7,2 1 0 1 0")},
        {"new settings refused close the port, said", "COM3 refused settings",
         failed("bad settings")},
        {"a failed reopen is said and watched for", "COM3 busy settings",
         failed("busy") + " | watched"},
        {"a hang-up is said and watched for", "COM3 hangup", failed("I/O error") + " | watched"}};
    for (const auto& [name, script, seen] : rows)
        EXPECT_EQ(Rig().Run(script).Port(), seen) << name;
}

}  // namespace
}  // namespace reradav
