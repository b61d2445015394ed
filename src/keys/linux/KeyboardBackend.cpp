#include "keys/linux/KeyboardBackend.h"

#include <utility>

#include "common/linux/Environment.h"
#include "keys/linux/KdeFakeInput.h"
#include "keys/linux/MutterRemoteDesktop.h"
#include "keys/linux/PortalRemoteDesktop.h"
#include "keys/linux/UinputKeyboard.h"
#include "keys/linux/WaylandKeyboard.h"
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

bool IsDesktop(const EnvLookup& env, const std::string& desktop) {
    const std::string desktops = ":" + env("XDG_CURRENT_DESKTOP").value_or("") + ":";
    return desktops.find(":" + desktop + ":") != std::string::npos;
}

OpenedKeyboard OpenKeyboard(const KeyboardOpeners& openers) {
    const bool x11 = IsX11Session(openers.env);
    const bool wayland = !x11 && !openers.env("WAYLAND_DISPLAY").value_or("").empty();
    const struct {
        bool tried;
        const char* name;
        const std::function<std::unique_ptr<KeyboardPlatform>(std::string*)>& open;
    } choices[] = {
        {x11, "XTest", openers.openXTest},
        {wayland, "Wayland virtual keyboard", openers.openWayland},
        {wayland && IsDesktop(openers.env, "KDE"), "KWin fake input", openers.openKdeFakeInput},
        {wayland && IsDesktop(openers.env, "KDE"), "KDE remote-desktop portal", openers.openPortal},
        {wayland && openers.unattended && IsDesktop(openers.env, "GNOME"), "GNOME remote desktop",
         openers.openMutter},
        {true, "uinput", openers.openUinput},
        {wayland && IsDesktop(openers.env, "GNOME") && !openers.unattended,
         "GNOME remote-desktop portal", openers.openPortal}};
    OpenedKeyboard result;
    result.reason = "No keyboard output: ";
    for (const auto& choice : choices) {
        std::string error;
        if (!choice.tried || !choice.open) {
            continue;
        }
        result.keyboard = choice.open(&error);
        if (result.keyboard != nullptr) {
            result.description = choice.name + (", layout " + result.keyboard->LayoutName());
            result.reason.clear();
            return result;
        }
        result.reason += error + "; ";
    }
    result.reason += x11 ? "" : "run Reradav in an X11 session, or ";
    result.reason += wayland && IsDesktop(openers.env, "GNOME") && !openers.unattended
                         ? "start it with --unattended (GNOME's remote desktop), or "
                         : "";
    result.reason += "give your user /dev/uinput: ";
    result.reason +=
        "sudo cp 70-reradav-uinput.rules /etc/udev/rules.d/ && sudo udevadm trigger "
        "--sysname-match=uinput (see the README), then log in again.";
    return result;
}

namespace {
bool unattendedAsked = false;
}  // namespace

void SetUnattended(bool unattended) {
    unattendedAsked = unattended;
}

OpenedKeyboard OpenKeyboard(std::function<void()> serviceEvents) {
    KeyboardOpeners openers;
    openers.env = UserEnvironment();
    openers.unattended = unattendedAsked;
    openers.openXTest = [serviceEvents](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
        return XTestKeyboard::Open(serviceEvents, error);
    };
    // Both read the desktop's layout setting; where it came from is said too.
    std::string layoutSource;
    openers.openWayland = [serviceEvents,
                           &layoutSource](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
        auto keyboard = WaylandKeyboard::Open(serviceEvents, nullptr, error);
        layoutSource = keyboard ? keyboard->LayoutSource() : "";
        return keyboard;
    };
    openers.openKdeFakeInput = [serviceEvents, &layoutSource, env = openers.env](
                                   std::string* error) -> std::unique_ptr<KeyboardPlatform> {
        const std::string dataHome = env("XDG_DATA_HOME").value_or("");
        auto keyboard = KdeFakeInput::Open(
            serviceEvents,
            std::filesystem::path(dataHome.empty() ? env("HOME").value_or("") + "/.local/share"
                                                   : dataHome) /
                "applications",
            error);
        layoutSource = keyboard ? keyboard->LayoutSource() : "";
        return keyboard;
    };
    openers.openMutter = [serviceEvents,
                          &layoutSource](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
        auto keyboard = MutterRemoteDesktop::Open(serviceEvents, error);
        layoutSource = keyboard ? keyboard->LayoutSource() : "";
        return keyboard;
    };
    openers.openPortal = [serviceEvents,
                          &layoutSource](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
        auto keyboard = PortalRemoteDesktop::Open(
            serviceEvents, ConfigHome() / "reradav" / "remote-desktop-token", error);
        layoutSource = keyboard ? keyboard->LayoutSource() : "";
        return keyboard;
    };
    openers.openUinput = [serviceEvents,
                          &layoutSource](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
        auto keyboard = UinputKeyboard::Open(serviceEvents, nullptr, error);
        layoutSource = keyboard ? keyboard->LayoutSource() : "";
        return keyboard;
    };
    OpenedKeyboard opened = OpenKeyboard(openers);
    if (!layoutSource.empty()) {
        opened.description += " (from " + layoutSource + ")";
    }
    return opened;
}

}  // namespace reradav
