#include "keys/linux/KeyboardBackend.h"

#include <utility>

#include "keys/linux/UinputKeyboard.h"
#include "keys/linux/XTestKeyboard.h"

namespace reradav {

bool IsX11Session(const EnvLookup& env) {
    auto value = [&env](const char* name) { return env(name).value_or(std::string()); };
    const std::string sessionType = value("XDG_SESSION_TYPE");
    if (sessionType == "x11") {
        return true;
    }
    if (sessionType == "wayland") {
        return false;
    }
    return !value("DISPLAY").empty() && value("WAYLAND_DISPLAY").empty();
}

OpenedKeyboard OpenKeyboard(const KeyboardOpeners& openers) {
    OpenedKeyboard result;
    std::string xtestError;
    const bool x11 = IsX11Session(openers.env);
    if (x11) {
        result.keyboard = openers.openXTest(&xtestError);
        if (result.keyboard != nullptr) {
            result.backend = KeyboardBackend::XTest;
            result.description = "XTest, layout " + result.keyboard->LayoutName();
            return result;
        }
    }
    std::string uinputError;
    result.keyboard = openers.openUinput(&uinputError);
    if (result.keyboard != nullptr) {
        result.backend = KeyboardBackend::Uinput;
        result.description = "uinput, layout " + result.keyboard->LayoutName();
        return result;
    }
    result.reason = "No keyboard output: ";
    if (x11) {
        result.reason += xtestError + ", and ";
    }
    result.reason += uinputError +
                     ". Give your user access to /dev/uinput (install Reradav's udev rule and log "
                     "in again)";
    result.reason += x11 ? "." : ", or run Reradav in an X11 session.";
    return result;
}

OpenedKeyboard OpenKeyboard(std::function<void()> serviceEvents) {
    KeyboardOpeners openers;
    openers.env = ProcessEnvironment();
    openers.openXTest = [serviceEvents](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
        return XTestKeyboard::Open(serviceEvents, error);
    };
    std::string layoutSource;
    openers.openUinput = [serviceEvents,
                          &layoutSource](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
        auto keyboard = UinputKeyboard::Open(serviceEvents, nullptr, error);
        layoutSource = keyboard ? keyboard->LayoutSource() : "";
        return keyboard;
    };
    OpenedKeyboard opened = OpenKeyboard(openers);
    if (opened.backend == KeyboardBackend::Uinput) {
        opened.description += " (from " + layoutSource + ")";
    }
    return opened;
}

}  // namespace reradav
