#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/AppSettings.h"
#include "common/SettingsControls.h"
#include "serial/ComDevices.h"
#include "shell/ProfileFile.h"

namespace reradav {

// The one section of the settings file the program reads and writes.
inline constexpr std::string_view kSettingsSection = "Reradav";
inline constexpr std::string_view kDefaultCommSettings = "9600,N,8,1";

// The main window's fixed lists, which its start-up fills.
inline constexpr const char* kPostambleChoices[] = {"{ENTER}", "{TAB}",  "{DOWN}",
                                                    "{RIGHT}", "{LEFT}", "{UP}"};
inline constexpr const char* kSoundChoices[] = {"Default Sound", "Asterisk", "Exclamation", "Hand",
                                                "Question"};

// What the window's start-up sets before the settings are loaded: the built-in translation
// table, no port, and the default line settings.
void StartFromDefaults(AppSettings& settings);

// Loads every setting from the profile in start-up order, setting the controls (whose handlers
// run, opening the chosen port) and the fields of `settings`. `settings.KeyTrans` must already
// hold the built-in table: an absent "KeyTrans<i>" keeps entry i. "Device<n>" keys override
// the device of COMn (an empty value restores the built-in one); absent ones change nothing. "/M"
// anywhere in `commandLine` (case-sensitive) forces the minimised state. Never fails: absent keys
// take their defaults and unusable values are mapped to usable ones.
void LoadSettings(const ProfileFile& profile, std::string_view commandLine, AppSettings& settings,
                  SettingsControls& controls, ComDevices& devices);

// Every key the program writes with its value now, in shutdown order: the device entries that
// are set, and those whose key the profile already has (so that clearing one sticks), last.
using SettingValues = std::vector<std::pair<std::string, std::string>>;
SettingValues CurrentValues(const ProfileFile& profile, const AppSettings& settings,
                            const SettingsControls& controls, const ComDevices& devices);

// Writes every key into the profile, running controls.RegisterStartup() between "IgnoreDups"
// and "RemoveReturns". With the values as `loaded`, a key whose value in the profile differs
// from them (another editor changed it) is kept unless the program changed it too; then the
// program's value is written and its key added to `overridden`.
void SaveSettings(ProfileFile& profile, const AppSettings& settings, SettingsControls& controls,
                  const ComDevices& devices, const SettingValues* loaded = nullptr,
                  std::vector<std::string>* overridden = nullptr);

// The same on the settings file itself; each returns "" or what went wrong. A missing file
// loads as all defaults without complaint; an unreadable one loads as defaults too, and the
// message says why. The save reads the file afresh, so that keys added by hand meanwhile are
// kept; when the file exists but cannot be read it is not overwritten, so nothing in it is lost.
// `loaded` gets the values as loaded, and a save the values as saved: the next save tells
// another editor's changes by them. The save's `note` says which keys changed on both sides.
[[nodiscard]] std::string LoadSettings(const std::filesystem::path& file,
                                       std::string_view commandLine, AppSettings& settings,
                                       SettingsControls& controls, ComDevices& devices,
                                       SettingValues* loaded = nullptr);
[[nodiscard]] std::string SaveSettings(const std::filesystem::path& file,
                                       const AppSettings& settings, SettingsControls& controls,
                                       const ComDevices& devices, SettingValues* saved = nullptr,
                                       std::string* note = nullptr);

}  // namespace reradav
