#pragma once

#include <functional>
#include <memory>
#include <string>

#include "keys/KeyboardPlatform.h"
#include "keys/linux/XkbLayout.h"

namespace reradav {

// What the choice depends on: the environment, and how each backend is opened (nullptr and a
// reason in *error when it cannot be).
struct KeyboardOpeners {
    EnvLookup env;
    std::function<std::unique_ptr<KeyboardPlatform>(std::string* error)> openXTest;
    std::function<std::unique_ptr<KeyboardPlatform>(std::string* error)> openWayland;
    std::function<std::unique_ptr<KeyboardPlatform>(std::string* error)> openKdeFakeInput;
    std::function<std::unique_ptr<KeyboardPlatform>(std::string* error)> openMutter;
    std::function<std::unique_ptr<KeyboardPlatform>(std::string* error)> openPortal;
    std::function<std::unique_ptr<KeyboardPlatform>(std::string* error)> openUinput;
    // Asked for (--unattended): a way that asks no one, GNOME's own remote desktop.
    bool unattended = false;
};

// An X11 session: XDG_SESSION_TYPE=x11, or DISPLAY without WAYLAND_DISPLAY (a Wayland session
// type rules X11 out even then: XTest would reach only XWayland windows).
bool IsX11Session(const EnvLookup& env);

// A session of this desktop (XDG_CURRENT_DESKTOP names it, among others).
bool IsDesktop(const EnvLookup& env, const std::string& desktop);

// XTest in an X11 session; in a Wayland one the compositor's virtual keyboard where it offers
// one; under KDE KWin's fake input, else the remote-desktop portal; under GNOME its own remote
// desktop when unattended; else uinput; else under GNOME the portal (which asks the user);
// else none, with the reasons and what to do in one line.
OpenedKeyboard OpenKeyboard(const KeyboardOpeners& openers);
// --unattended for this process's keyboards.
void SetUnattended(bool unattended);
// The same with the real backends and the process environment.
OpenedKeyboard OpenKeyboard(std::function<void()> serviceEvents);

}  // namespace reradav
