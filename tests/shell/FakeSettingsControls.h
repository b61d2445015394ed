#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/SettingsControls.h"

namespace reradav {

// Main-window controls as plain values, with a log of what the settings store did to them.
class FakeSettingsControls : public SettingsControls {
  public:
    std::array<std::int16_t, 5> checkBoxes{};
    std::int16_t cboSound = 0;
    std::int16_t combo1 = 0;
    std::string termKeyCombo;
    std::int16_t windowState = 0;
    mutable std::vector<std::string> log;
    // Run where the real controls run their handlers.
    std::function<void()> onCombo1Change;
    std::function<void()> onWindowStateChange;
    std::function<void()> onRegisterStartup;

    static const char* Name(CheckBox box) {
        switch (box) {
            case CheckBox::BeepOnInput:
                return "BeepOnInput";
            case CheckBox::LoadWithWindows:
                return "LoadWithWindows";
            case CheckBox::RemoveCRs:
                return "RemoveCRs";
            case CheckBox::NumFilter:
                return "NumFilter";
            case CheckBox::IgnoreDups:
                return "IgnoreDups";
        }
        return "?";
    }

    std::int16_t& Box(CheckBox box) { return checkBoxes[static_cast<std::size_t>(box)]; }

    std::int16_t CheckBoxValue(CheckBox box) const override {
        log.push_back(std::string("get ") + Name(box));
        return checkBoxes[static_cast<std::size_t>(box)];
    }
    void SetCheckBoxValue(CheckBox box, std::int16_t value) override {
        log.push_back(std::string("set ") + Name(box) + "=" + std::to_string(value));
        Box(box) = value;
    }
    void RunBeepOnInputClick() override { log.push_back("click BeepOnInput"); }

    std::int16_t CboSoundListIndex() const override {
        log.push_back("get cboSound");
        return cboSound;
    }
    void SetCboSoundListIndex(std::int16_t index) override {
        log.push_back("set cboSound=" + std::to_string(index));
        cboSound = index;
    }

    std::int16_t Combo1ListIndex() const override {
        log.push_back("get Combo1");
        return combo1;
    }
    void SetCombo1ListIndex(std::int16_t index) override {
        log.push_back("set Combo1=" + std::to_string(index));
        combo1 = index;
        if (onCombo1Change) {
            onCombo1Change();
        }
    }

    std::string TermKeyComboText() const override {
        log.push_back("get TermKeyCombo");
        return termKeyCombo;
    }
    void SetTermKeyComboText(const std::string& text) override {
        log.push_back("set TermKeyCombo=" + text);
        termKeyCombo = text;
    }

    std::int16_t WindowState() const override {
        log.push_back("get WindowState");
        return windowState;
    }
    void SetWindowState(std::int16_t state) override {
        log.push_back("set WindowState=" + std::to_string(state));
        windowState = state;
        if (onWindowStateChange) {
            onWindowStateChange();
        }
    }

    void RegisterStartup() override {
        log.push_back("RegisterStartup");
        if (onRegisterStartup) {
            onRegisterStartup();
        }
    }
};

}  // namespace reradav
