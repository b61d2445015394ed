#pragma once

#include <cstdint>
#include <string>

namespace reradav {

// The settings that live in main-window controls rather than in `AppSettings`. The settings
// store sets them at load and reads them back at save; the engine reads the preferences at the
// moment of use, so a change takes effect with the next character or read. The main window and
// the headless front end implement this.
class SettingsControls {
  public:
    enum class CheckBox { BeepOnInput, LoadWithWindows, RemoveCRs, NumFilter, IgnoreDups };

    virtual ~SettingsControls() = default;

    // Check box value: 0 clear, 1 ticked, 2 grey. Setting a different value runs the box's
    // click handler, as a user's click would.
    virtual std::int16_t CheckBoxValue(CheckBox box) const = 0;
    virtual void SetCheckBoxValue(CheckBox box, std::int16_t value) = 0;
    // Runs `BeepOnInput_Click` whether or not the value changed, so that `cboSound` is shown or
    // hidden to match the loaded value.
    virtual void RunBeepOnInputClick() = 0;

    // `cboSound` list index, -1 for no selection; setting it runs no handler.
    virtual std::int16_t CboSoundListIndex() const = 0;
    virtual void SetCboSoundListIndex(std::int16_t index) = 0;

    // `Combo1` list index: 0 "None", n for COMn. Setting a different index runs the port
    // choice, which opens the port.
    virtual std::int16_t Combo1ListIndex() const = 0;
    virtual void SetCombo1ListIndex(std::int16_t index) = 0;

    // `TermKeyCombo` text: the postamble `KeyString`.
    virtual std::string TermKeyComboText() const = 0;
    virtual void SetTermKeyComboText(const std::string& text) = 0;

    // Main window state: 0 normal, 1 minimised, 2 maximised.
    virtual std::int16_t WindowState() const = 0;
    virtual void SetWindowState(std::int16_t state) = 0;

    // The start-at-logon step of shutdown; `SaveSettings` runs it after "IgnoreDups" is written
    // and before "RemoveReturns".
    virtual void RegisterStartup() = 0;

    // The preferences under the names the read handling uses; a check box is set when not 0.
    int BeepOnInput() const { return CheckBoxValue(CheckBox::BeepOnInput); }
    int cboSound() const { return CboSoundListIndex(); }
    int RemoveCRs() const { return CheckBoxValue(CheckBox::RemoveCRs); }
    int NumFilter() const { return CheckBoxValue(CheckBox::NumFilter); }
    int IgnoreDups() const { return CheckBoxValue(CheckBox::IgnoreDups); }
    std::string TermKeyCombo() const { return TermKeyComboText(); }
};

}  // namespace reradav
