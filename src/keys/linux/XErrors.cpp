#include "keys/linux/XErrors.h"

#include <X11/Xlib.h>

#include <map>

namespace reradav {
namespace {

struct Watched {
    unsigned long errors = 0;
    std::function<void()> lost;
};

// Xlib's handlers are plain functions: what they need lives here, for the process.
struct Handlers {
    std::map<Display*, Watched> displays;
    XErrorHandler previousError = nullptr;
    XIOErrorHandler previousIo = nullptr;
    bool installed = false;
};

Handlers& State() {
    static Handlers handlers;
    return handlers;
}

int OnError(Display* display, XErrorEvent* error) {
    Handlers& h = State();
    if (auto found = h.displays.find(display); found != h.displays.end()) {
        ++found->second.errors;
        return 0;
    }
    return h.previousError != nullptr ? h.previousError(display, error) : 0;
}

// Returns quietly for a watched display: Xlib then calls the display's exit handler below
// instead of ending the program.
int OnIoError(Display* display) {
    Handlers& h = State();
    if (h.displays.count(display) != 0 || h.previousIo == nullptr) {
        return 0;
    }
    return h.previousIo(display);
}

void OnIoExit(Display* display, void*) {
    Handlers& h = State();
    if (auto found = h.displays.find(display); found != h.displays.end() && found->second.lost) {
        std::function<void()> lost = std::move(found->second.lost);
        lost();
    }
}

}  // namespace

void XErrors::Watch(Display* display, std::function<void()> lost) {
    Handlers& h = State();
    if (!h.installed) {
        h.installed = true;
        h.previousError = XSetErrorHandler(OnError);
        h.previousIo = XSetIOErrorHandler(OnIoError);
    }
    h.displays[display] = Watched{0, std::move(lost)};
    XSetIOErrorExitHandler(display, OnIoExit, nullptr);
}

void XErrors::Forget(Display* display) {
    State().displays.erase(display);
}

unsigned long XErrors::Count(Display* display) {
    auto found = State().displays.find(display);
    return found != State().displays.end() ? found->second.errors : 0;
}

}  // namespace reradav
