#include "readproc/ReadHandler.h"

#include <cstdio>

#include "common/NumberText.h"

namespace reradav {
namespace {

const std::string kOptoRsPoll = "?\r";

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string UntypableText(const std::string& characters, const std::string& layout) {
    if (characters.empty()) {
        return {};
    }
    std::string text = "cannot type ";
    for (char c : characters) {
        text += (text.back() == ' ' ? "'" : ", '") + std::string(1, c) + "'";
    }
    return layout.empty() ? text : text + " on layout " + layout;
}

std::string EmptyEntriesText(const std::string& characters) {
    if (characters.empty()) {
        return {};
    }
    std::string bytes;
    for (char c : characters) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(c));
        bytes += (bytes.empty() ? "" : ", ") + std::string(hex);
    }
    return characters.size() == 1
               ? "nothing is typed for byte " + bytes + ": its translation entry is empty"
               : "nothing is typed for bytes " + bytes + ": their translation entries are empty";
}

std::optional<std::string> ParseByteList(std::string_view text) {
    std::string out;
    std::string rest = std::string(text) + ",";
    std::string_view r = rest;
    while (!r.empty()) {
        auto value = RoundToInt32(LeadingNumber(r));
        if (!value) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(static_cast<std::uint32_t>(*value) & 0xFF));
        r.remove_prefix(r.find(',') + 1);
    }
    return out;
}

void ReadHandler::ProcessRead(std::string& pendingRead) {
    std::string read = std::move(pendingRead);
    pendingRead.clear();
    AppSettings& settings = d_.settings;
    SettingsControls& prefs = d_.preferences;

    if (settings.Handshake == HandshakeOptoRs) {
        pollToggle_ = !pollToggle_;
        if (!pollToggle_) {
            return;  // every second read answers the poll and is dropped
        }
        d_.serial.Output(kOptoRsPoll);
    }
    if (prefs.RemoveCRs() != 0) {
        if (EndsWith(read, "{ENTER}")) {
            read.resize(read.size() - 7);
        }
        if (EndsWith(read, "\n")) {
            read.pop_back();
        }
        if (EndsWith(read, "\r")) {
            read.pop_back();
        }
    }
    if (prefs.BeepOnInput() != 0) {
        d_.beeper.MessageBeep(BeepTypeForSound(prefs.cboSound()));
    }
    if (!settings.ScannerBeepString.empty()) {
        if (auto bytes = ParseByteList(settings.ScannerBeepString)) {
            d_.serial.Output(*bytes);
        }
    }
    if (prefs.IgnoreDups() != 0 && read == lastRead_) {
        return;
    }
    lastRead_ = read;
    settings.Postamble = prefs.TermKeyCombo();
    d_.window.SetDisplay(read + ExpandDateTokens(settings.Postamble, d_.clock));
    if (d_.window.IsActiveWindow() || d_.keyboard == nullptr) {
        return;
    }
    // A quit that stopped typing ends the read at once, whatever is left of it.
    for (auto c = read.begin(); c != read.end() && !d_.keyboard->StopDue(); ++c) {
        d_.keyboard->SimKeys(settings.KeyTrans[static_cast<unsigned char>(*c)]);
    }
    d_.keyboard->SimKeys(ExpandDateTokens(settings.Postamble, d_.clock));
    std::string empty;  // characters whose table entry types nothing, each once
    for (char c : read) {
        if (settings.KeyTrans[static_cast<unsigned char>(c)].empty() &&
            empty.find(c) == std::string::npos) {
            empty.push_back(c);
        }
    }
    std::string said = UntypableText(d_.keyboard->TakeUntypable(), d_.keyboard->LayoutName());
    if (const std::string skipped = EmptyEntriesText(empty); !skipped.empty()) {
        said += (said.empty() ? "" : "; ") + skipped;
    }
    const std::string failure = d_.keyboard->Failure();
    d_.window.SetStatus("keyboard", failure.empty() ? said : failure);
}

}  // namespace reradav
