#include "serial/linux/TermiosSerialPort.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

namespace reradav {
namespace {

// Output the device takes none of for this long is dropped, and a queue is never longer.
constexpr int kOutputStallMs = 5000;
constexpr std::size_t kMaxQueuedOutput = 1u << 20;
constexpr int dsrPollMs = 20;
// Reads per wake-up; the notifier fires again for the rest, so a fast line cannot starve the UI.
constexpr int readsPerWake = 64;

struct Speed {
    std::uint32_t baud;
    speed_t code;
};

constexpr Speed speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(std::uint32_t baud, speed_t& code) {
    const auto it = std::find_if(std::begin(speeds), std::end(speeds),
                                 [baud](const Speed& s) { return s.baud == baud; });
    if (it == std::end(speeds)) {
        return false;
    }
    code = it->code;
    return true;
}

constexpr const char* oneAndHalfStopBits = "1.5 stop bits work only with 5 data bits";

bool StopBitsPossible(const PortSettings& settings) {
    return settings.stopBits != PortSettings::StopBits::OneAndHalf || settings.dataBits == 5;
}

// A driver that refuses the whole line with EINVAL does not say what it refused: each part of
// the wanted line is tried alone on top of the current one, then the current one is put back.
std::string RefusedParts(int fd, const termios& current, const termios& wanted) {
    struct Part {
        const char* name;
        tcflag_t cflag;
        tcflag_t iflag;
        bool speed;
    };
    constexpr Part kParts[] = {{"baud rate", 0, 0, true},
                               {"data bits", CSIZE, 0, false},
                               {"parity", PARENB | PARODD | CMSPAR, 0, false},
                               {"stop bits", CSTOPB, 0, false},
                               {"flow control", CRTSCTS, IXON | IXOFF, false}};
    std::string refused;
    for (const Part& part : kParts) {
        termios trial = current;
        trial.c_cflag = (trial.c_cflag & ~part.cflag) | (wanted.c_cflag & part.cflag);
        trial.c_iflag = (trial.c_iflag & ~part.iflag) | (wanted.c_iflag & part.iflag);
        if (part.speed) {
            cfsetispeed(&trial, cfgetispeed(&wanted));
            cfsetospeed(&trial, cfgetospeed(&wanted));
        }
        if (tcsetattr(fd, TCSANOW, &trial) != 0 && errno == EINVAL) {
            refused += (refused.empty() ? "" : ", ") + std::string(part.name);
        }
    }
    tcsetattr(fd, TCSANOW, &current);
    return refused.empty() ? "line settings" : refused;
}

// English, untranslated, so the caption reads the same for every user.
std::string ErrnoWords(int err) {
    if (err == EACCES) {
        return "Permission denied (is the user in the dialout group?)";
    }
    if (const char* text = strerrordesc_np(err)) {
        return text;
    }
    return "Error " + std::to_string(err);
}

// A pseudo-terminal (and some USB adapters) refuses modem-line and exclusivity ioctls; that is
// no reason to refuse the device.
bool IoctlUnsupported(int err) {
    return err == ENOTTY || err == EINVAL;
}

}  // namespace

bool ApplyPortTermios(termios& tio, const PortSettings& settings, std::int16_t handshaking) {
    speed_t speed = B0;
    if (!SpeedCode(settings.baud, speed) || !StopBitsPossible(settings)) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    switch (settings.dataBits) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        default:
            tio.c_cflag |= CS8;
            break;
    }
    switch (settings.parity) {
        case PortSettings::Parity::None:
            break;
        case PortSettings::Parity::Odd:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case PortSettings::Parity::Even:
            tio.c_cflag |= PARENB;
            break;
        case PortSettings::Parity::Mark:  // CMSPAR: PARODD selects a parity bit of 1
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case PortSettings::Parity::Space:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
    }
    // With 5 data bits a UART's "two" stop bits are one and a half.
    if (settings.stopBits != PortSettings::StopBits::One) {
        tio.c_cflag |= CSTOPB;
    }
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (handshaking == SerialComponent::comXOnXOff ||
        handshaking == SerialComponent::comRTSXOnXOff) {
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = 0x11;
        tio.c_cc[VSTOP] = 0x13;
    }
    if (handshaking == SerialComponent::comRTS || handshaking == SerialComponent::comRTSXOnXOff) {
        tio.c_cflag |= CRTSCTS;
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return true;
}

std::string TermiosMismatch(const termios& wanted, const termios& actual) {
    std::string lost;
    const auto note = [&lost](const char* what) {
        lost += lost.empty() ? "" : ", ";
        lost += what;
    };
    const auto differs = [&](tcflag_t termios::*field, tcflag_t mask) {
        return ((wanted.*field ^ actual.*field) & mask) != 0;
    };
    if (cfgetispeed(&wanted) != cfgetispeed(&actual) ||
        cfgetospeed(&wanted) != cfgetospeed(&actual)) {
        note("baud rate");
    }
    if (differs(&termios::c_cflag, CSIZE)) {
        note("data bits");
    }
    // Odd/even and mark/space mean nothing without parity.
    if (differs(&termios::c_cflag, PARENB) ||
        ((wanted.c_cflag & PARENB) && differs(&termios::c_cflag, PARODD | CMSPAR))) {
        note("parity");
    }
    if (differs(&termios::c_cflag, CSTOPB)) {
        note("stop bits");
    }
    if (differs(&termios::c_cflag, CRTSCTS) || differs(&termios::c_iflag, IXON | IXOFF)) {
        note("flow control");
    }
    return lost;
}

TermiosSerialPort::TermiosSerialPort(const ComDevices& devices) : devices_(devices) {}

TermiosSerialPort::~TermiosSerialPort() {
    Close();
}

bool TermiosSerialPort::Open() {
    // Checked first: no device can help, so its own errors would only hide this one.
    if (!StopBitsPossible(settings_)) {
        return Fail(EINVAL, oneAndHalfStopBits);
    }
    const std::string path = devices_.DeviceFor(commPort_);
    if (path.empty()) {
        return Fail(ENODEV, "COM" + std::to_string(commPort_) + " has no device");
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        return Fail(err, path + ": " + ErrnoWords(err));
    }
    fd_ = fd;  // from here on Close() undoes everything
    path_ = path;
    ++generation_;

    const auto failClosed = [this](int err, const std::string& words) {
        const std::string where = path_;
        Close();
        return Fail(err, where + ": " + words);
    };
    if (pid_t holder = 0; !lock_.Take(path_, &holder)) {
        return failClosed(EBUSY, "in use by PID " + std::to_string(holder));
    }
    // The path follows links (/dev/serial/by-id needs that), so another local user could point
    // it at a pty of their own and type into this session: only devices root or we own.
    struct stat device {};
    if (fstat(fd_, &device) == 0 && device.st_uid != 0 && device.st_uid != geteuid()) {
        return failClosed(EACCES, "owned by another user");
    }
    // A device that does not answer as a terminal, or the master side of a pseudo-terminal
    // (which would make a terminal of its own), is no port.
    termios found;
    int ptyNumber = 0;
    const bool terminal = tcgetattr(fd_, &found) == 0;
    if (!terminal && errno == EIO) {  // a device going away: the watch may find it back
        return failClosed(EIO, ErrnoWords(EIO));
    }
    if (!terminal || ioctl(fd_, TIOCGPTN, &ptyNumber) == 0) {
        return failClosed(ENOTTY, "Not a serial port");
    }
    // flock catches every program that locks the same way, root's too; TIOCEXCL then refuses
    // later opens by anyone but root. Until both are ours, Close() must not touch the tty:
    // it may belong to another program.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        return failClosed(err, ErrnoWords(err));
    }
    if (ioctl(fd_, TIOCEXCL) != 0 && !IoctlUnsupported(errno)) {
        const int err = errno;
        return failClosed(err, ErrnoWords(err));
    }
    owned_ = true;
    found_ = found;  // put back at close, as picocom and minicom do
    if (!ApplyLine() || !ApplyModemLines()) {
        const Error err = lastError_;
        Close();
        lastError_ = err;
        return false;
    }
    // Bytes that arrived before the port was opened belong to nobody.
    tcflush(fd_, TCIFLUSH);
    rx_.clear();
    commEvent_ = 0;
    lastError_ = {};

    if (!notifier_) {
        notifier_ = std::make_unique<QSocketNotifier>(QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { OnReadable(); });
    }
    notifier_->setSocket(fd_);
    notifier_->setEnabled(true);
    if (watchDsr_) {
        StartDsrWatch();
    }
    return true;
}

void TermiosSerialPort::Close() {
    // The notifier goes first: the event loop must never poll a closed descriptor.
    if (notifier_) {
        notifier_->setEnabled(false);
    }
    if (dsrTimer_) {
        dsrTimer_->stop();
    }
    dsr_.reset();
    StopSending();
    if (fd_ >= 0) {
        if (owned_) {
            // Closing discards both buffers, so a line held by flow control cannot block
            // close().
            tcflush(fd_, TCIOFLUSH);
            tcsetattr(fd_, TCSANOW, &found_);
            ioctl(fd_, TIOCNXCL);
        }
        ::close(fd_);
        fd_ = -1;
        owned_ = false;
    }
    lock_.Release();
    path_.clear();
    rx_.clear();
}

bool TermiosSerialPort::ApplyLine() {
    termios current;
    if (tcgetattr(fd_, &current) != 0) {
        const int err = errno;
        return Fail(err, path_ + ": " + ErrnoWords(err));
    }
    termios wanted = current;
    if (!ApplyPortTermios(wanted, settings_, handshaking_)) {
        return Fail(EINVAL,
                    !StopBitsPossible(settings_)
                        ? oneAndHalfStopBits
                        : "Baud rate " + std::to_string(settings_.baud) + " is not supported");
    }
    if (tcsetattr(fd_, TCSANOW, &wanted) != 0) {
        const int err = errno;
        return Fail(err, path_ + ": " +
                             (err == EINVAL ? FormatPortSettings(settings_) + " not accepted (" +
                                                  RefusedParts(fd_, current, wanted) + ")"
                                            : ErrnoWords(err)));
    }
    // tcsetattr succeeds when any part took effect; only reading back shows what did.
    termios actual;
    if (tcgetattr(fd_, &actual) != 0) {
        const int err = errno;
        return Fail(err, path_ + ": " + ErrnoWords(err));
    }
    if (const std::string lost = TermiosMismatch(wanted, actual); !lost.empty()) {
        return Fail(EINVAL,
                    path_ + ": " + FormatPortSettings(settings_) + " not accepted (" + lost + ")");
    }
    return true;
}

bool TermiosSerialPort::ApplyModemLines() {
    const auto set = [this](int line, bool on) {
        int bits = line;
        return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? 0 : errno;
    };
    for (const int err : {set(TIOCM_DTR, dtr_), set(TIOCM_RTS, rts_)}) {
        if (err != 0 && !IoctlUnsupported(err)) {
            return Fail(err, path_ + ": " + ErrnoWords(err));
        }
    }
    return true;
}

std::optional<std::string> TermiosSerialPort::RateRefusal(int baud) const {
    speed_t unused;
    if (SpeedCode(baud, unused)) {
        return std::nullopt;
    }
    return "Baud rate " + std::to_string(baud) + " is not supported";
}

// A failed read is left to the notifier, which closes the port once.
void TermiosSerialPort::CollectReceived() {
    if (PortOpen()) {
        Drain();
    }
}

bool TermiosSerialPort::Drain() {
    char buffer[4096];
    for (int reads = 0; reads < readsPerWake;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            rx_.append(buffer, static_cast<std::size_t>(n));
            ++reads;
        } else if (n == 0) {
            return false;  // a tty reads end of file only after a hang-up
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return true;
        } else if (errno != EINTR) {
            return false;  // EIO: the device is gone
        }
    }
    return true;
}

void TermiosSerialPort::Output(std::string_view bytes) {
    if (!PortOpen()) {
        // The port's error stays the one that closed it: the caption and the reopen rest on it.
        if (onOutputDropped_) {
            onOutputDropped_(std::to_string(bytes.size()) +
                             " bytes for the scanner dropped (the port is not open)");
        }
        return;
    }
    tx_ += bytes;
    if (tx_.size() > kMaxQueuedOutput) {
        DropQueued(ENOBUFS, "more than " + std::to_string(kMaxQueuedOutput) + " bytes waiting");
        return;
    }
    SendQueued();
}

void TermiosSerialPort::SendQueued() {
    if (!writable_) {
        writable_ = std::make_unique<QSocketNotifier>(QSocketNotifier::Write);
        QObject::connect(writable_.get(), &QSocketNotifier::activated, writable_.get(),
                         [this] { SendQueued(); });
        stall_ = std::make_unique<QTimer>();
        stall_->setSingleShot(true);
        stall_->setInterval(kOutputStallMs);
        QObject::connect(stall_.get(), &QTimer::timeout, stall_.get(),
                         [this] { DropQueued(ETIMEDOUT, "the device takes no data"); });
    }
    std::size_t sent = 0;
    while (sent < tx_.size()) {
        const ssize_t n = ::write(fd_, tx_.data() + sent, tx_.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            const int err = errno;
            tx_.erase(0, sent);
            DropQueued(err, ErrnoWords(err));
            return;
        }
    }
    tx_.erase(0, sent);
    if (tx_.empty()) {
        StopSending();
        return;
    }
    writable_->setSocket(fd_);
    writable_->setEnabled(true);
    if (sent > 0 || !stall_->isActive()) {
        stall_->start();  // the wait counts from the last byte the device took
    }
}

// The queue emptied or given up: nothing waits to be written.
void TermiosSerialPort::StopSending() {
    tx_.clear();
    if (writable_) {
        writable_->setEnabled(false);
        stall_->stop();
    }
}

void TermiosSerialPort::DropQueued(int err, const std::string& why) {
    const std::size_t dropped = tx_.size();
    StopSending();
    Fail(err,
         path_ + ": " + std::to_string(dropped) + " bytes for the scanner dropped (" + why + ")");
    if (onOutputDropped_) {
        onOutputDropped_(lastError_.description);
    }
}

void TermiosSerialPort::OnReadable() {
    if (!PortOpen()) {
        return;
    }
    // Off while the handler runs: it may service events and must not be re-entered.
    notifier_->setEnabled(false);
    const unsigned generation = generation_;
    const std::size_t before = rx_.size();
    bool alive = Drain();
    if (alive && rx_.size() == before) {
        // Woken with nothing to read: a hang-up may show only in poll's flags.
        pollfd p{fd_, POLLIN, 0};
        alive = !(poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)));
    }
    if (rx_.size() > before) {
        // Bytes that came before a hang-up are still delivered.
        commEvent_ = comEvReceive;
        if (onComm_) {
            onComm_();
        }
        if (generation != generation_ || !PortOpen()) {
            return;  // the handler closed or reopened the port
        }
    }
    if (!alive) {
        HangUp();
        return;
    }
    notifier_->setEnabled(true);
}

void TermiosSerialPort::HangUp() {
    const std::string path = path_;
    Close();
    lastError_ = {ENODEV, path + ": Device disconnected"};
    if (onHangUp_) {
        onHangUp_();
    }
}

int TermiosSerialPort::ReadModemLines(int fd, int& lines) {
    return ioctl(fd, TIOCMGET, &lines) == 0 ? 0 : errno;
}

void TermiosSerialPort::SetWatchDsr(bool watch) {
    watchDsr_ = watch;
    if (!PortOpen()) {
        return;
    }
    if (watch) {
        StartDsrWatch();
    } else {
        if (dsrTimer_) {
            dsrTimer_->stop();
        }
        dsr_.reset();
    }
}

void TermiosSerialPort::StartDsrWatch() {
    int lines = 0;
    if (ReadModemLines(fd_, lines) != 0) {
        dsr_.reset();  // no modem lines: nothing to watch
        return;
    }
    dsr_ = (lines & TIOCM_DSR) != 0;
    if (!dsrTimer_) {
        dsrTimer_ = std::make_unique<QTimer>();
        dsrTimer_->setInterval(dsrPollMs);
        QObject::connect(dsrTimer_.get(), &QTimer::timeout, dsrTimer_.get(), [this] { PollDsr(); });
    }
    dsrTimer_->start();
}

void TermiosSerialPort::PollDsr() {
    int lines = 0;
    if (!PortOpen()) {
        return;
    }
    if (const int err = ReadModemLines(fd_, lines); err != 0) {
        if (IoctlUnsupported(err)) {
            dsrTimer_->stop();
        }
        return;  // a lost device is the read notifier's to report
    }
    const bool dsr = (lines & TIOCM_DSR) != 0;
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
