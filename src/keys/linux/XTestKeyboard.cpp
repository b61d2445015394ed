#include "keys/linux/XTestKeyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <utility>

#include "keys/VirtualKeys.h"
#include "keys/linux/LinuxKeyboardCommon.h"
#include "keys/linux/XkbLayout.h"

namespace reradav {

// Xlib carries the fake key events and the state queries, so a query is answered after the keys
// sent before it. xkbcommon-x11 needs an XCB connection of its own for the keymap (libX11-xcb,
// which could share Xlib's, is not a dependency).
struct XTestKeyboard::Impl {
    Display* display = nullptr;
    int xkbEventBase = 0;
    xcb_connection_t* xcb = nullptr;
    std::int32_t deviceId = -1;
    xkb_context* context = nullptr;
    std::unique_ptr<XkbLayout> layout;
    std::function<void()> serviceEvents;
    KeyboardState state{};

    ~Impl() {
        layout.reset();
        xkb_context_unref(context);
        if (xcb != nullptr) {
            xcb_disconnect(xcb);
        }
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }

    std::uint32_t LockedGroup() {
        XkbStateRec st{};
        XkbGetState(display, XkbUseCoreKbd, &st);
        return st.locked_group;
    }

    bool LoadKeymap(std::uint32_t group) {
        xkb_keymap* keymap =
            xkb_x11_keymap_new_from_device(context, xcb, deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (keymap == nullptr) {
            return false;
        }
        if (layout == nullptr) {
            layout = std::make_unique<XkbLayout>(keymap, group);
        } else {
            layout->Reload(keymap, group);
        }
        xkb_keymap_unref(keymap);
        return true;
    }

    // Takes the server's notices of a new keymap or group; cheap when there are none.
    void Refresh() {
        bool newKeymap = false;
        std::uint32_t group = layout->Group();
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != xkbEventBase) {
                continue;
            }
            const auto* xkb = reinterpret_cast<const XkbEvent*>(&event);
            switch (xkb->any.xkb_type) {
                case XkbNewKeyboardNotify:
                case XkbMapNotify:
                    newKeymap = true;
                    break;
                case XkbStateNotify:
                    group = static_cast<std::uint32_t>(xkb->state.locked_group);
                    break;
                default:
                    break;
            }
        }
        if (newKeymap) {
            LoadKeymap(LockedGroup());
        } else {
            layout->SetGroup(group);
        }
    }

    // The server's light for a named indicator; nullopt when the keymap has no such light.
    std::optional<bool> Indicator(const char* name, unsigned int lights) const {
        const xkb_led_index_t index = xkb_keymap_led_get_index(layout->Keymap(), name);
        if (index == XKB_LED_INVALID || index >= 32) {
            return std::nullopt;
        }
        return (lights & (1u << index)) != 0;
    }
};

std::unique_ptr<XTestKeyboard> XTestKeyboard::Open(std::function<void()> serviceEvents,
                                                   std::string* error, const char* displayName) {
    auto fail = [error](std::string message) -> std::unique_ptr<XTestKeyboard> {
        if (error != nullptr) {
            *error = std::move(message);
        }
        return nullptr;
    };
    auto impl = std::make_unique<Impl>();
    impl->serviceEvents = std::move(serviceEvents);
    impl->display = XOpenDisplay(displayName);
    const std::string name = XDisplayName(displayName);
    if (impl->display == nullptr) {
        return fail("the X display \"" + name + "\" cannot be opened");
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(impl->display, &eventBase, &errorBase, &major, &minor)) {
        return fail("the X display \"" + name + "\" has no XTest extension");
    }
    int opcode = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(impl->display, &opcode, &impl->xkbEventBase, &errorBase, &major,
                           &minor)) {
        return fail("the X display \"" + name + "\" has no XKB extension");
    }
    XkbSelectEvents(impl->display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XkbSelectEventDetails(impl->display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                          XkbGroupStateMask);

    impl->xcb = xcb_connect(DisplayString(impl->display), nullptr);
    if (xcb_connection_has_error(impl->xcb) != 0 ||
        !xkb_x11_setup_xkb_extension(
            impl->xcb, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
        return fail("the keyboard layout of the X display \"" + name + "\" cannot be read");
    }
    impl->deviceId = xkb_x11_get_core_keyboard_device_id(impl->xcb);
    impl->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (impl->deviceId < 0 || impl->context == nullptr || !impl->LoadKeymap(impl->LockedGroup())) {
        return fail("the keyboard layout of the X display \"" + name + "\" cannot be read");
    }
    return std::unique_ptr<XTestKeyboard>(new XTestKeyboard(std::move(impl)));
}

XTestKeyboard::XTestKeyboard(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

XTestKeyboard::~XTestKeyboard() = default;

std::int16_t XTestKeyboard::VkKeyScanA(std::uint8_t character) {
    impl_->Refresh();
    return impl_->layout->KeyValue(character);
}

std::uint32_t XTestKeyboard::MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) {
    return ScanCodeForVk(code, mapType);
}

void XTestKeyboard::keybd_event(std::uint8_t vk, std::uint8_t /*scan*/, std::uint32_t flags) {
    if (vk == VK_CAPITAL) {
        // Caps Lock by its function: an option such as caps:swapescape puts another key where it
        // sits. The press flips the lock; the release has nothing to do.
        if ((flags & KEYEVENTF_KEYUP) == 0) {
            XkbStateRec st{};
            XkbGetState(impl_->display, XkbUseCoreKbd, &st);
            XkbLockModifiers(impl_->display, XkbUseCoreKbd, LockMask,
                             (st.locked_mods & LockMask) != 0 ? 0 : LockMask);
            XFlush(impl_->display);
        }
        return;
    }
    const std::uint16_t code = EvdevCodeForVk(vk);
    if (code == 0) {
        return;  // no such key here (e.g. the 255 the parser queues for an untypable character)
    }
    // The servers of today number keys as evdev + 8.
    XTestFakeKeyEvent(impl_->display, code + 8u, (flags & KEYEVENTF_KEYUP) != 0 ? False : True,
                      CurrentTime);
    XFlush(impl_->display);
}

void XTestKeyboard::GetKeyboardState(KeyboardState& state) {
    // The round trip first: every notice the server sent before it is then in our queue.
    XkbStateRec xkbState{};
    XkbGetState(impl_->display, XkbUseCoreKbd, &xkbState);
    impl_->Refresh();
    impl_->layout->SetGroup(xkbState.locked_group);
    unsigned int lights = 0;
    XkbGetIndicatorState(impl_->display, XkbUseCoreKbd, &lights);

    state = impl_->state;
    auto setLock = [&state](std::uint8_t vk, bool on) {
        state[vk] = static_cast<std::uint8_t>((state[vk] & ~1u) | (on ? 1u : 0u));
    };
    setLock(VK_CAPITAL, impl_->Indicator(XKB_LED_NAME_CAPS, lights)
                            .value_or((xkbState.locked_mods & LockMask) != 0));
    setLock(VK_NUMLOCK, impl_->Indicator(XKB_LED_NAME_NUM, lights).value_or(false));
    setLock(VK_SCROLL, impl_->Indicator(XKB_LED_NAME_SCROLL, lights).value_or(false));
}

// X has no per-thread key state to replace: the snapshot is only kept for GetKeyboardState.
void XTestKeyboard::SetKeyboardState(const KeyboardState& state) {
    impl_->state = state;
}

std::uint32_t XTestKeyboard::GetTickCount() {
    return MonotonicMilliseconds();
}

void XTestKeyboard::ServiceEvents() {
    if (impl_->serviceEvents) {
        impl_->serviceEvents();
    }
}

}  // namespace reradav
