#include "serial/windows/Win32SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "common/windows/SystemText.h"
#include "serial/windows/SerialLink.h"

namespace reradav {
namespace {

constexpr int kDsrPollMs = 20;
constexpr const char* kDevicePrefix = "\\\\.\\";
// The driver's flow-control thresholds, well inside any driver's input buffer.
constexpr WORD kXonLimit = 512;
constexpr WORD kXoffLimit = 512;

// Why a DCB cannot carry the setting (a UART's stop-bit choice depends on the word length);
// nullptr when it can.
const char* LineRefusal(const PortSettings& settings) {
    if (settings.stopBits == PortSettings::StopBits::OneAndHalf && settings.dataBits != 5) {
        return "1.5 stop bits work only with 5 data bits";
    }
    if (settings.stopBits == PortSettings::StopBits::Two && settings.dataBits == 5) {
        return "2 stop bits do not work with 5 data bits";
    }
    return nullptr;
}

// The parts of a line, each taken alone (to find what a driver refuses) or compared (to find
// what it silently changed). Flow control is compared by what the driver does, not by the RTS
// mode it reports back: Wine reports hardware flow control as RTS simply on.
struct DcbPart {
    const char* name;
    void (*take)(DCB& to, const DCB& from);
    bool (*same)(const DCB& a, const DCB& b);
};

constexpr DcbPart kDcbParts[] = {
    {"baud rate", [](DCB& to, const DCB& from) { to.BaudRate = from.BaudRate; },
     [](const DCB& a, const DCB& b) { return a.BaudRate == b.BaudRate; }},
    {"data bits", [](DCB& to, const DCB& from) { to.ByteSize = from.ByteSize; },
     [](const DCB& a, const DCB& b) { return a.ByteSize == b.ByteSize; }},
    {"parity",
     [](DCB& to, const DCB& from) {
         to.Parity = from.Parity;
         to.fParity = from.fParity;
     },
     [](const DCB& a, const DCB& b) { return a.Parity == b.Parity; }},
    {"stop bits", [](DCB& to, const DCB& from) { to.StopBits = from.StopBits; },
     [](const DCB& a, const DCB& b) { return a.StopBits == b.StopBits; }},
    {"flow control",
     [](DCB& to, const DCB& from) {
         to.fOutxCtsFlow = from.fOutxCtsFlow;
         to.fRtsControl = from.fRtsControl;
         to.fOutX = from.fOutX;
         to.fInX = from.fInX;
     },
     [](const DCB& a, const DCB& b) {
         return a.fOutxCtsFlow == b.fOutxCtsFlow && a.fOutX == b.fOutX && a.fInX == b.fInX;
     }},
};

// Errno-style numbers, so the port control knows which failures may end by themselves.
int ErrnoFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EBUSY;
        case ERROR_INVALID_PARAMETER:
        case ERROR_INVALID_NAME:
            return EINVAL;
        default:
            return EIO;  // a device failing: worth another try
    }
}

// "COM16" for \\.\COM16: the name the user knows.
std::string ShortName(const std::string& device) {
    const std::string_view prefix = kDevicePrefix;
    return device.compare(0, prefix.size(), prefix) == 0 ? device.substr(prefix.size()) : device;
}

DCB NewDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    return dcb;
}

}  // namespace

bool ApplyPortDcb(DCB& dcb, const PortSettings& settings, std::int16_t handshaking, bool dtr,
                  bool rts) {
    if (LineRefusal(settings) != nullptr || settings.dataBits < 5 || settings.dataBits > 8 ||
        handshaking < SerialComponent::comNone || handshaking > SerialComponent::comRTSXOnXOff) {
        return false;
    }
    static constexpr BYTE kParity[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    static constexpr BYTE kStopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = settings.baud;
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = kParity[static_cast<int>(settings.parity)];
    dcb.fParity = settings.parity != PortSettings::Parity::None;
    dcb.StopBits = kStopBits[static_cast<int>(settings.stopBits)];
    // Every byte as it came: a scan may hold NUL, and a line error must not stop the reads.
    dcb.fBinary = TRUE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fAbortOnError = FALSE;
    // DSR is watched (Opto-RS), never obeyed.
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    const bool hardware =
        handshaking == SerialComponent::comRTS || handshaking == SerialComponent::comRTSXOnXOff;
    const bool software =
        handshaking == SerialComponent::comXOnXOff || handshaking == SerialComponent::comRTSXOnXOff;
    dcb.fOutxCtsFlow = hardware;
    dcb.fRtsControl =
        hardware ? RTS_CONTROL_HANDSHAKE : (rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE);
    dcb.fOutX = software;
    dcb.fInX = software;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = kXonLimit;
    dcb.XoffLim = kXoffLimit;
    return true;
}

std::string DcbMismatch(const DCB& wanted, const DCB& actual) {
    std::string lost;
    for (const DcbPart& part : kDcbParts) {
        if (!part.same(wanted, actual)) {
            lost += (lost.empty() ? "" : ", ") + std::string(part.name);
        }
    }
    return lost;
}

std::string OpenErrorText(const std::string& name, DWORD error) {
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        return name + " is in use by another program";
    }
    return name + ": " + SystemMessage(error);
}

Win32SerialPort::Win32SerialPort(const ComDevices& devices, EventLoop& loop)
    : devices_(devices), loop_(loop) {}

Win32SerialPort::~Win32SerialPort() {
    Close();
}

std::string Win32SerialPort::DeviceFor(int port) const {
    std::string device;
    if (devices_.HasOverride(port)) {
        device = devices_.DeviceFor(port);
    } else if (port >= ComDevices::firstPort && port <= ComDevices::lastPort) {
        device = "COM" + std::to_string(port);
    }
    // CreateFile finds only COM1-COM9 by their bare names; \\.\ reaches every device.
    if (!device.empty() && device.find_first_of("\\/:") == std::string::npos) {
        device = kDevicePrefix + device;
    }
    return device;
}

bool Win32SerialPort::Open() {
    // Checked first: no device can help, so its own errors would only hide this one.
    if (const char* refusal = LineRefusal(settings_)) {
        return Fail(EINVAL, refusal);
    }
    const std::string device = DeviceFor(commPort_);
    if (device.empty()) {
        return Fail(ENODEV, "COM" + std::to_string(commPort_) + " has no device");
    }
    const std::string name = ShortName(device);
    // Share mode 0: Windows lets one program have a COM port.
    const HANDLE handle = ::CreateFileW(Utf8ToWide(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return Fail(ErrnoFor(error), OpenErrorText(name, error));
    }
    link_ = std::make_shared<SerialLink>(handle, settings_.baud);  // from here Close() undoes all
    name_ = name;
    DCB found = NewDcb();
    if (::GetFileType(handle) != FILE_TYPE_CHAR || !::GetCommState(handle, &found)) {
        Close();
        return Fail(ENOTTY, name + ": Not a serial port");
    }
    // No time-outs: a read completes when its bytes are there, a write when the line took it.
    COMMTIMEOUTS timeouts{};
    bool ready = ApplyLine();
    if (ready && !::SetCommTimeouts(handle, &timeouts)) {
        const DWORD error = ::GetLastError();
        ready = Fail(ErrnoFor(error), name + ": " + SystemMessage(error));
    }
    if (!ready) {
        const Error error = lastError_;
        Close();
        lastError_ = error;
        return false;
    }
    // Bytes that arrived before the port was opened belong to nobody.
    ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    rx_.clear();
    commEvent_ = 0;
    lastError_ = {};
    const bool started = link_->Start([this, weak = std::weak_ptr<SerialLink>(link_)] {
        loop_.Post([this, weak] {
            if (const auto link = weak.lock()) {
                OnNews(link);
            }
        });
    });
    if (!started) {
        const DWORD error = ::GetLastError();
        Close();
        return Fail(ErrnoFor(error), name + ": " + SystemMessage(error));
    }
    if (watchDsr_) {
        StartDsrWatch();
    }
    return true;
}

void Win32SerialPort::Close() {
    if (dsrTimer_) {
        dsrTimer_->Stop();
    }
    dsr_.reset();
    // Unset first: calls posted for this opening find it gone.
    if (const auto link = std::exchange(link_, nullptr)) {
        link->Stop();
    }
    name_.clear();
    rx_.clear();
}

bool Win32SerialPort::ApplyLine() {
    const HANDLE handle = link_->Handle();
    const auto failSystem = [this] {
        const DWORD error = ::GetLastError();
        return Fail(ErrnoFor(error), name_ + ": " + SystemMessage(error));
    };
    DCB current = NewDcb();
    if (!::GetCommState(handle, &current)) {
        return failSystem();
    }
    DCB wanted = current;
    if (!ApplyPortDcb(wanted, settings_, handshaking_, dtr_, rts_)) {
        const char* refusal = LineRefusal(settings_);
        return Fail(EINVAL, refusal != nullptr ? refusal : "line settings not possible");
    }
    const std::string refused = name_ + ": " + FormatPortSettings(settings_) + " not accepted (";
    if (!::SetCommState(handle, &wanted)) {
        if (::GetLastError() != ERROR_INVALID_PARAMETER) {
            return failSystem();
        }
        return Fail(EINVAL, refused + RefusedParts(current, wanted) + ")");
    }
    // A driver may take a setting and use another (Wine on a pty: any parity as none); only
    // reading back shows what it did.
    DCB actual = NewDcb();
    if (!::GetCommState(handle, &actual)) {
        return failSystem();
    }
    if (const std::string lost = DcbMismatch(wanted, actual); !lost.empty()) {
        return Fail(EINVAL, refused + lost + ")");
    }
    link_->SetBaud(settings_.baud);
    return true;
}

// A driver that refuses the whole line does not say what it refused: each part of the wanted
// line is tried alone on top of the current one, then the current one is put back.
std::string Win32SerialPort::RefusedParts(const DCB& current, const DCB& wanted) {
    const HANDLE handle = link_->Handle();
    std::string refused;
    for (const DcbPart& part : kDcbParts) {
        DCB trial = current;
        part.take(trial, wanted);
        if (!::SetCommState(handle, &trial) && ::GetLastError() == ERROR_INVALID_PARAMETER) {
            refused += (refused.empty() ? "" : ", ") + std::string(part.name);
        }
    }
    DCB before = current;  // SetCommState takes no const DCB
    ::SetCommState(handle, &before);
    return refused.empty() ? "line settings" : refused;
}

void Win32SerialPort::CollectReceived() {
    if (link_) {
        rx_ += link_->TakeReceived();
    }
}

void Win32SerialPort::Output(std::string_view bytes) {
    if (!PortOpen()) {
        // The port's error stays the one that closed it: the caption and the reopen rest on it.
        if (onOutputDropped_) {
            onOutputDropped_(std::to_string(bytes.size()) +
                             " bytes for the scanner dropped (the port is not open)");
        }
        return;
    }
    if (const std::size_t dropped = link_->Send(bytes)) {
        ReportDrop(dropped, ENOBUFS,
                   "more than " + std::to_string(SerialLink::kMaxQueuedOutput) + " bytes waiting");
    }
}

void Win32SerialPort::ReportDrop(std::size_t bytes, int number, const std::string& why) {
    Fail(number,
         name_ + ": " + std::to_string(bytes) + " bytes for the scanner dropped (" + why + ")");
    if (onOutputDropped_) {
        onOutputDropped_(lastError_.description);
    }
}

void Win32SerialPort::OnNews(const std::shared_ptr<SerialLink>& link) {
    // A handler that services events may run this again: its own loop below takes what came.
    if (link != link_ || delivering_) {
        return;
    }
    DWORD lost = 0;
    delivering_ = true;
    while (link == link_ && lost == 0) {
        SerialLink::News news = link->Take();
        lost = news.lostError;
        if (news.droppedBytes > 0) {
            ReportDrop(news.droppedBytes, news.dropNumber, news.dropWhy);
        }
        if (news.received.empty()) {
            break;
        }
        // Bytes that came before a hang-up are still delivered.
        rx_ += news.received;
        commEvent_ = comEvReceive;
        if (onComm_) {
            onComm_();
        }
    }
    delivering_ = false;
    if (lost != 0 && link == link_) {
        HangUp(lost);
    } else if (link_ && link_ != link) {
        // The handler reopened the port; what the new opening announced meanwhile waits.
        loop_.Post([this, weak = std::weak_ptr<SerialLink>(link_)] {
            if (const auto next = weak.lock()) {
                OnNews(next);
            }
        });
    }
}

void Win32SerialPort::HangUp(DWORD error) {
    const std::string name = name_;
    Close();
    lastError_ = {ENODEV, name + ": Device disconnected (" + SystemMessage(error) + ")"};
    if (onHangUp_) {
        onHangUp_();
    }
}

void Win32SerialPort::SetWatchDsr(bool watch) {
    watchDsr_ = watch;
    if (!PortOpen()) {
        return;
    }
    if (watch) {
        StartDsrWatch();
    } else {
        if (dsrTimer_) {
            dsrTimer_->Stop();
        }
        dsr_.reset();
    }
}

void Win32SerialPort::StartDsrWatch() {
    DWORD lines = 0;
    if (!::GetCommModemStatus(link_->Handle(), &lines)) {
        dsr_.reset();  // no modem lines (Wine's pty): nothing to watch
        return;
    }
    dsr_ = (lines & MS_DSR_ON) != 0;
    if (!dsrTimer_) {
        dsrTimer_ = loop_.NewTimer([this] { PollDsr(); });
    }
    dsrTimer_->Start(kDsrPollMs);
}

void Win32SerialPort::PollDsr() {
    DWORD lines = 0;
    // A device that is gone is the link's to report.
    if (!PortOpen() || !::GetCommModemStatus(link_->Handle(), &lines)) {
        return;
    }
    const bool dsr = (lines & MS_DSR_ON) != 0;
    if (dsr_ && *dsr_ == dsr) {
        return;
    }
    dsr_ = dsr;
    commEvent_ = comEvDSR;
    if (onComm_) {
        onComm_();
    }
}

}  // namespace reradav
