#include "app/Headless.h"

#include <ostream>

#include "common/CodePage1252.h"
#include "common/Unicode.h"
#include "readproc/KeyTrans.h"
#include "serial/PortControl.h"
#include "shell/SettingsStore.h"

namespace reradav {
namespace {

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
        const char32_t unicode = Windows1252ToUnicode(byte);
        // C0, DEL and the C1 controls (the bytes Windows-1252 leaves undefined).
        if (unicode < 0x20 || (unicode >= 0x7F && unicode <= 0x9F)) {
            constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += EncodeUtf8(std::u32string_view(&unicode, 1));
        }
    }
    return out;
}

Headless::Headless(Beeper& beeper, std::ostream& log, std::unique_ptr<KeyboardPlatform> keyboard)
    : log_(log), caption_(PortControl::kInactiveCaption) {
    engine_ =
        std::make_unique<Engine>(settings_, devices_, *this, *this, beeper, std::move(keyboard));
    if (!engine_->KeyboardProblem().empty()) {
        Log("keyboard: " + engine_->KeyboardProblem() + " Reads are still shown here.");
    } else if (!engine_->KeyboardDescription().empty()) {
        Log("keyboard: " + engine_->KeyboardDescription());
    }
}

Headless::~Headless() = default;

void Headless::Load(const std::filesystem::path& file, const std::string& origin) {
    settingsFile_ = file;
    if (!origin.empty()) {
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
    // The quit can arrive from the event loop that the keyboard runs between two keys.
    engine_->AfterTyping([this] { FinishQuit(); });
}

void Headless::FinishQuit() {
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

// "AutoLoad" is saved unchanged either way.
void Headless::RegisterStartup() {
    if (onRegisterStartup) {
        onRegisterStartup(CheckBoxValue(CheckBox::LoadWithWindows) == 1, settings_.ProgramPath);
    }
}

}  // namespace reradav
