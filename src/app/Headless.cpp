#include "app/Headless.h"

#include <unistd.h>

#include <QCoreApplication>
#include <iostream>

#include "common/ui/Windows1252.h"
#include "readproc/KeyTrans.h"
#include "readproc/linux/CanberraBeeper.h"
#include "serial/PortControl.h"
#include "shell/SettingsStore.h"
#include "shell/linux/QuitSignals.h"
#include "shell/linux/SettingsLocation.h"
#include "shell/linux/SingleInstance.h"

namespace reradav {
namespace {

// How long a quit waits before it looks again whether the read being typed is done.
constexpr int kQuitRetryMs = 20;

// "Reradav (Active On COM16)" says "Active On COM16" here; the program name is in the journal.
std::string PortStatus(const std::string& caption) {
    constexpr std::string_view prefix = "Reradav (";
    if (caption.size() > prefix.size() && caption.starts_with(prefix) && caption.back() == ')') {
        return caption.substr(prefix.size(), caption.size() - prefix.size() - 1);
    }
    return caption;
}

}  // namespace

std::string ReadableText(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '\r':
                out += "\\r";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\t':
                out += "\\t";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            default:
                break;
        }
        const QString text = FromWindows1252(std::string(1, c));
        const char16_t unicode = text.at(0).unicode();
        // C0, DEL and the C1 controls (the bytes Windows-1252 leaves undefined).
        if (unicode < 0x20 || (unicode >= 0x7F && unicode <= 0x9F)) {
            constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += text.toStdString();
        }
    }
    return out;
}

Headless::Headless(Beeper& beeper, std::ostream& log, std::unique_ptr<KeyboardPlatform> keyboard)
    : log_(log), caption_(PortControl::kInactiveCaption) {
    quitRetry_.setSingleShot(true);
    quitRetry_.setInterval(kQuitRetryMs);
    QObject::connect(&quitRetry_, &QTimer::timeout, [this] { FinishQuit(); });
    engine_ =
        std::make_unique<Engine>(settings_, devices_, *this, *this, beeper, std::move(keyboard));
    if (!engine_->KeyboardProblem().empty()) {
        Log("keyboard: " + engine_->KeyboardProblem() + " Reads are still shown here.");
    } else if (!engine_->KeyboardDescription().empty()) {
        Log("keyboard: " + engine_->KeyboardDescription());
    }
}

Headless::~Headless() = default;

void Headless::Load(const SettingsPlace& place) {
    settingsFile_ = place.file;
    if (const std::string origin = OriginText(place); !origin.empty()) {
        Log("settings: " + origin);
    }
    InitKeyTrans(settings_.KeyTrans);
    // The window's own command line switch ("/M") means nothing here: the window state is
    // loaded and saved as it is.
    loading_ = true;
    const std::string error = LoadSettings(settingsFile_, "", settings_, *this, devices_, &saved_);
    loading_ = false;
    if (!error.empty()) {
        Log("reradav: " + ReadableText(error) + "; the defaults are used");
    }
    Log("port: " + ReadableText(PortStatus(caption_)));
}

void Headless::Quit(std::function<void(int status)> done) {
    if (done_) {
        return;
    }
    done_ = std::move(done);
    engine_->StopReading();
    FinishQuit();
}

void Headless::FinishQuit() {
    // The quit can arrive from the event loop that the keyboard runs between two keys.
    if (engine_->Typing()) {
        quitRetry_.start();
        return;
    }
    std::string note;
    const std::string error =
        SaveSettings(settingsFile_, settings_, *this, devices_, &saved_, &note);
    if (!note.empty()) {
        Log("settings: " + note);
    }
    if (!error.empty()) {
        Log("reradav: the settings could not be saved: " + ReadableText(error));
    }
    done_(error.empty() ? 0 : 1);
}

void Headless::Log(const std::string& line) {
    log_ << line << '\n' << std::flush;
}

// ---- what the window would show ----

// The port choice clears the display with an empty text; that is no read.
void Headless::SetDisplay(const std::string& text) {
    if (!text.empty()) {
        Log("read: " + ReadableText(text));
    }
}

// While loading, the port choice passes through "Inactive" on its way to the outcome; only
// the outcome is logged, by Load.
void Headless::SetCaption(const std::string& caption) {
    if (caption == caption_) {
        return;
    }
    caption_ = caption;
    if (!loading_) {
        Log("port: " + ReadableText(PortStatus(caption_)));
    }
}

void Headless::SetStatus(const std::string& subject, const std::string& text) {
    if (!text.empty()) {
        Log(subject + ": " + ReadableText(text));
    }
}

// ---- settings held by controls ----

std::int16_t Headless::CheckBoxValue(CheckBox box) const {
    return checkBoxes_[static_cast<std::size_t>(box)];
}

void Headless::SetCheckBoxValue(CheckBox box, std::int16_t value) {
    checkBoxes_[static_cast<std::size_t>(box)] = value;
}

void Headless::SetCombo1ListIndex(std::int16_t index) {
    if (index != port_) {
        port_ = index;
        engine_->Port().SelectPort(index);
    }
}

// The start-at-logon entry starts the windowed program; a headless one is started by its
// systemd unit, so the entry is left as it is (and "AutoLoad" is saved unchanged).
void Headless::RegisterStartup() {}

int RunHeadless(int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Reradav");

    const SettingsPlace place = SettingsPlaceNow();
    SingleInstance instance(InstanceLockPathFor(place.file.string()));
    std::string lockError;
    switch (instance.Acquire(&lockError)) {
        case SingleInstance::Result::AlreadyRunning:
            std::cerr << "reradav: Reradav is already running.\n";
            return 1;
        case SingleInstance::Result::Failed:
            // Better to run than to refuse over a lock file.
            std::cerr << "reradav: warning: " << lockError << '\n';
            break;
        case SingleInstance::Result::Acquired:
            break;
    }

    CanberraBeeper beeper;
    Headless headless(beeper, std::cerr);
    QuitSignals quitSignals(
        [&headless] { headless.Quit([](int status) { QCoreApplication::exit(status); }); });
    if (!quitSignals.Installed()) {
        std::cerr << "reradav: warning: a signal will end the program without saving the "
                     "settings\n";
    }
    // A session whose X server ended is over: the settings are saved, the status is a failure.
    headless.Wedge().SetOnKeyboardLost(
        [&headless] { headless.Quit([](int) { QCoreApplication::exit(1); }); });
    headless.Load(place);
    return QCoreApplication::exec();
}

}  // namespace reradav
