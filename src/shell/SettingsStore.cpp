#include "shell/SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/Files.h"
#include "common/NumberText.h"
#include "readproc/KeyTrans.h"
#include "serial/LineSettings.h"

namespace reradav {
namespace {

using CheckBox = SettingsControls::CheckBox;

// Values the controls cannot take. The file may have been edited by hand, and start-up must
// never stop on it, so each value is made one the control can take. All such decisions are
// here.

// An integer key's number, clamped to 16 bits rather than refused.
std::int16_t IntegerValue(const std::string& text) {
    double value = LeadingNumber(text);
    if (std::optional<std::int16_t> rounded = RoundToInt16(value)) {
        return *rounded;
    }
    if (std::isnan(value)) {
        return 0;
    }
    return value < 0 ? std::numeric_limits<std::int16_t>::min()
                     : std::numeric_limits<std::int16_t>::max();
}

std::int16_t InRangeOr(std::int16_t value, std::int16_t low, std::int16_t high,
                       std::int16_t fallback) {
    return value >= low && value <= high ? value : fallback;
}

// 0 clear, 1 ticked, 2 grey; anything else clear.
std::int16_t CheckBoxValueFrom(std::int16_t value) {
    return InRangeOr(value, 0, 2, 0);
}

// "None" and COM1..COM16; another number means no port rather than a port that is not listed.
std::int16_t PortIndexFrom(std::int16_t value) {
    return InRangeOr(value, 0, 16, 0);
}

// -1 (no selection) and the five sounds; anything else the default sound.
std::int16_t SoundIndexFrom(std::int16_t value) {
    return InRangeOr(value, -1, 4, 0);
}

// Normal, minimised, maximised; anything else normal.
std::int16_t WindowStateFrom(std::int16_t value) {
    return InRangeOr(value, 0, 2, 0);
}

// "Handshake" is taken as it is: outside 0..3 the port dialog shows no choice and the port is
// opened without setting any flow control, which is harmless.

// A line-settings text with no "," cannot be placed in the dialog's lists; the default line
// settings are used instead, text and positions alike, as on a first start.
void ApplyCommSettings(const std::string& text, AppSettings& settings) {
    LineIndexes indexes{settings.BaudIndex, settings.ParityIndex, settings.DataBitsIndex,
                        settings.StopBitsIndex};
    settings.CommSettings = text;
    if (!ParseLineSettings(settings.CommSettings, indexes)) {
        settings.CommSettings = kDefaultCommSettings;
        ParseLineSettings(settings.CommSettings, indexes);
    }
    settings.BaudIndex = indexes.BaudIndex;
    settings.ParityIndex = indexes.ParityIndex;
    settings.DataBitsIndex = indexes.DataBitsIndex;
    settings.StopBitsIndex = indexes.StopBitsIndex;
}

std::string KeyTransKey(int code) {
    return "KeyTrans" + std::to_string(code);
}

std::string DeviceKey(int port) {
    return "Device" + std::to_string(port);
}

}  // namespace

void LoadSettings(const ProfileFile& profile, std::string_view commandLine, AppSettings& settings,
                  SettingsControls& controls, ComDevices& devices) {
    auto text = [&](std::string_view key, std::string_view fallback) {
        return profile.GetString(kSettingsSection, key, fallback);
    };
    auto integer = [&](std::string_view key) { return IntegerValue(text(key, "0")); };

    settings.Handshake = integer("Handshake");
    controls.SetCheckBoxValue(CheckBox::BeepOnInput, CheckBoxValueFrom(integer("Beep")));
    controls.RunBeepOnInputClick();
    controls.SetCboSoundListIndex(SoundIndexFrom(integer("BeepSound")));
    settings.ScannerBeepString = text("ScannerBeepString", "");
    controls.SetCheckBoxValue(CheckBox::LoadWithWindows, CheckBoxValueFrom(integer("AutoLoad")));
    controls.SetCheckBoxValue(CheckBox::RemoveCRs, CheckBoxValueFrom(integer("RemoveReturns")));
    controls.SetCheckBoxValue(CheckBox::NumFilter, CheckBoxValueFrom(integer("NumericFilter")));
    controls.SetCheckBoxValue(CheckBox::IgnoreDups, CheckBoxValueFrom(integer("IgnoreDups")));
    controls.SetTermKeyComboText(text("Postamble", ""));
    ApplyCommSettings(text("Settings", kDefaultCommSettings), settings);
    settings.Password = text("Password", "");

    // The port choice below opens the port, which needs the device of that port.
    for (int port = ComDevices::firstPort; port <= ComDevices::lastPort; ++port) {
        if (std::optional<std::string> device = profile.Find(kSettingsSection, DeviceKey(port))) {
            devices.Set(port, *device);
        }
    }
    controls.SetCombo1ListIndex(PortIndexFrom(integer("ComPort")));

    for (int code = 0; code < 256; ++code) {
        std::string& entry = settings.KeyTrans[static_cast<std::size_t>(code)];
        entry = text(KeyTransKey(code), entry);
    }

    std::string state = text("WindowState", "0");
    if (commandLine.find("/M") != std::string_view::npos) {
        state = "1";
    }
    controls.SetWindowState(WindowStateFrom(IntegerValue(state)));
}

SettingValues CurrentValues(const ProfileFile& profile, const AppSettings& settings,
                            const SettingsControls& controls, const ComDevices& devices) {
    SettingValues values;
    auto write = [&](std::string key, std::string value) {
        values.emplace_back(std::move(key), std::move(value));
    };
    auto number = [&](std::string key, std::int16_t value) {
        write(std::move(key), std::to_string(value));
    };
    number("ComPort", controls.Combo1ListIndex());
    number("BeepSound", controls.CboSoundListIndex());
    write("ScannerBeepString", settings.ScannerBeepString);
    number("Handshake", settings.Handshake);
    number("Beep", controls.CheckBoxValue(CheckBox::BeepOnInput));
    number("AutoLoad", controls.CheckBoxValue(CheckBox::LoadWithWindows));
    number("NumericFilter", controls.CheckBoxValue(CheckBox::NumFilter));
    number("IgnoreDups", controls.CheckBoxValue(CheckBox::IgnoreDups));
    number("RemoveReturns", controls.CheckBoxValue(CheckBox::RemoveCRs));
    write("Postamble", controls.TermKeyComboText());
    number("WindowState", controls.WindowState());
    write("Settings", settings.CommSettings);
    write("Password", settings.Password);
    for (int code = 0; code < 256; ++code) {
        write(KeyTransKey(code), settings.KeyTrans[static_cast<std::size_t>(code)]);
    }
    for (int port = ComDevices::firstPort; port <= ComDevices::lastPort; ++port) {
        std::string key = DeviceKey(port);
        if (devices.HasOverride(port) || profile.Find(kSettingsSection, key)) {
            write(key, devices.HasOverride(port) ? devices.DeviceFor(port) : std::string());
        }
    }
    return values;
}

void SaveSettings(ProfileFile& profile, const AppSettings& settings, SettingsControls& controls,
                  const ComDevices& devices, const SettingValues* loaded,
                  std::vector<std::string>* overridden) {
    static const SettingValues kNone;
    const SettingValues& before = loaded != nullptr ? *loaded : kNone;
    for (const auto& [key, value] : CurrentValues(profile, settings, controls, devices)) {
        if (key == "RemoveReturns") {
            controls.RegisterStartup();
        }
        // A key another editor changed on disk stays theirs unless we changed it too; then
        // ours wins, and the caller is told.
        const auto mine = std::find_if(before.begin(), before.end(),
                                       [&key](const auto& each) { return each.first == key; });
        const std::optional<std::string> disk = profile.Find(kSettingsSection, key);
        if (mine != before.end() && disk && *disk != mine->second) {
            if (value == mine->second) {
                continue;
            }
            if (value != *disk && overridden != nullptr) {
                overridden->push_back(key);
            }
        }
        profile.WriteString(kSettingsSection, key, value);
    }
}

std::string LoadSettings(const std::filesystem::path& file, std::string_view commandLine,
                         AppSettings& settings, SettingsControls& controls, ComDevices& devices,
                         SettingValues* loaded) {
    RemoveStaleTemporaries(file);  // of a save killed half-way; only one copy runs
    ProfileFile profile;
    std::string error = profile.Load(file);
    LoadSettings(profile, commandLine, settings, controls, devices);
    if (loaded != nullptr) {
        *loaded = CurrentValues(profile, settings, controls, devices);
    }
    return error;
}

std::string SaveSettings(const std::filesystem::path& file, const AppSettings& settings,
                         SettingsControls& controls, const ComDevices& devices,
                         SettingValues* saved, std::string* note) {
    ProfileFile profile;
    std::string error = profile.Load(file);
    // The start-at-logon step runs whether or not the file can be written.
    std::vector<std::string> overridden;
    SaveSettings(profile, settings, controls, devices, saved, &overridden);
    if (note != nullptr && !overridden.empty()) {
        *note = "changed in the file and here, saved as here:";
        for (const std::string& key : overridden) {
            *note += " " + key;
        }
    }
    if (!error.empty()) {
        return error + "; settings not saved";
    }
    error = profile.Save(file);
    if (error.empty() && saved != nullptr) {
        *saved = CurrentValues(profile, settings, controls, devices);
    }
    return error;
}

void StartFromDefaults(AppSettings& settings) {
    InitKeyTrans(settings.KeyTrans);
    settings.ComPort = 0;
    settings.ComPortText = std::to_string(settings.ComPort);
    settings.BaudIndex = 8;
    settings.ParityIndex = 0;
    settings.DataBitsIndex = 3;
    settings.StopBitsIndex = 0;
    settings.Handshake = 0;
}

}  // namespace reradav
