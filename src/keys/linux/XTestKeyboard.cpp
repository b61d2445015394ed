#include "keys/linux/XTestKeyboard.h"

// Qt before Xlib, whose macros (Bool, Status) clash with Qt's names.
#include <QTimer>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <utility>

#include "common/CodePage1252.h"
#include "keys/VirtualKeys.h"
#include "keys/linux/KeyLoans.h"
#include "keys/linux/KeymapGuard.h"
#include "keys/linux/LinuxKeyboardCommon.h"
#include "keys/linux/XkbLayout.h"

namespace reradav {

namespace {

// After a key is lent, clients fetch the new keymap when its notice reaches them; the key is
// pressed only after this wait, and given back only when no lent key was used for a while, so
// a target that fetches late still finds it.
constexpr std::uint32_t kLendSettleMs = 20;
constexpr int kGiveBackIdleMs = 500;

// A character's keysym; 0 for the control characters, which have no key to lend.
KeySym CharacterKeysym(std::uint8_t character) {
    const char32_t unicode = Windows1252ToUnicode(character);
    if (unicode < 0x20 || (unicode >= 0x7F && unicode <= 0x9F)) {
        return NoSymbol;
    }
    return xkb_utf32_to_keysym(unicode);
}

}  // namespace

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

    KeyLoans loans;  // of the keys the user's keymap leaves empty
    std::unique_ptr<KeymapGuard> guard;
    QTimer giveBack;

    ~Impl() {
        if (display != nullptr) {
            for (const KeyLoans::Loan& loan : std::vector(loans.Loans())) {
                if (loan.down) {
                    XTestFakeKeyEvent(display, loan.code, False, CurrentTime);
                    loans.SetDown(loan.code, false);
                }
            }
            GiveBack();
        }
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
        FindSpares();
        return true;
    }

    // Empty keys, or keys holding just what we lent them. A loan whose key someone else
    // remapped (setxkbmap) is no longer ours.
    void FindSpares() {
        xkb_keymap* keymap = layout->Keymap();
        std::vector<std::uint32_t> spares = layout->EmptyKeys();
        for (const KeyLoans::Loan& loan : loans.Loans()) {
            const xkb_keysym_t* first = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap, loan.code, 0, 0, &first) == 1 &&
                first[0] == loan.keysym) {
                spares.push_back(loan.code);
            }
        }
        loans.SetSpares(std::move(spares));
    }

    // The key lent to the keysym; 0 when the keymap has no empty key, or all are held down.
    KeyCode Lend(KeySym keysym) {
        const KeyLoans::Lent lent = loans.Lend(static_cast<std::uint32_t>(keysym));
        if (!lent.fresh) {
            return static_cast<KeyCode>(lent.code);
        }
        const auto code = static_cast<KeyCode>(lent.code);
        // Twice: a lone letter would stand for its lower case unshifted, its upper case shifted.
        KeySym both[2] = {keysym, keysym};
        XChangeKeyboardMapping(display, code, 2, both, 1);
        if (guard == nullptr) {
            guard = std::make_unique<KeymapGuard>(DisplayString(display));
        }
        guard->Lent(code, keysym);
        XSync(display, False);
        const std::uint32_t start = MonotonicMilliseconds();
        while (MonotonicMilliseconds() - start < kLendSettleMs) {
            serviceEvents ? serviceEvents() : void(usleep(1000));
        }
        return code;
    }

    // Clears every lent key that is up, as it was before.
    void GiveBack() {
        KeySym none[2] = {NoSymbol, NoSymbol};
        for (const KeyLoans::Loan& loan : loans.EndIdle()) {
            XChangeKeyboardMapping(display, static_cast<KeyCode>(loan.code), 2, none, 1);
            guard->Returned(static_cast<KeyCode>(loan.code));
        }
        XSync(display, False);
    }

    // "de" or "us(dvorak)" from the names the server's keymap was made of.
    std::string RulesLayoutName() {
        const Atom atom = XInternAtom(display, "_XKB_RULES_NAMES", True);
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (atom == None ||
            XGetWindowProperty(display, DefaultRootWindow(display), atom, 0, 1024, False, XA_STRING,
                               &type, &format, &count, &after, &data) != Success ||
            data == nullptr) {
            return layout->Name();
        }
        std::vector<std::string> fields(5);
        std::size_t field = 0;
        for (unsigned long i = 0; i < count && field < fields.size(); ++i) {
            data[i] == '\0' ? void(++field) : fields[field].push_back(static_cast<char>(data[i]));
        }
        XFree(data);
        const std::string name = reradav::LayoutName(
            {fields[0], fields[1], fields[2], fields[3], fields[4]}, layout->Group());
        return name.empty() ? layout->Name() : name;
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
    impl->giveBack.setSingleShot(true);
    impl->giveBack.setInterval(kGiveBackIdleMs);
    QObject::connect(&impl->giveBack, &QTimer::timeout, [raw = impl.get()] { raw->GiveBack(); });
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

void XTestKeyboard::keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    if (vk == VK_CAPITAL && (flags & KEYEVENTF_UNICODE) == 0) {
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
    // A character or a named key the keymap lacks gets a key lent to its keysym.
    KeyCode code = 0;
    if ((flags & KEYEVENTF_UNICODE) != 0) {
        const KeySym keysym = CharacterKeysym(scan);
        code = keysym != NoSymbol ? impl_->Lend(keysym) : 0;
    } else if (const std::uint16_t evdev = impl_->layout->KeyForVk(vk); evdev != 0) {
        code = static_cast<KeyCode>(evdev + kXkbKeycodeOffset);
    } else if (const std::uint32_t named = XkbLayout::NamedKeysym(vk); named != 0) {
        code = impl_->Lend(named);
    }
    if (code == 0) {
        return;  // no such key here
    }
    const bool press = (flags & KEYEVENTF_KEYUP) == 0;
    if (impl_->loans.SetDown(code, press)) {
        impl_->giveBack.start();
    }
    XTestFakeKeyEvent(impl_->display, code, press ? True : False, CurrentTime);
    XFlush(impl_->display);
}

bool XTestKeyboard::CanTypeCharacter(std::uint8_t character) {
    return CharacterKeysym(character) != NoSymbol && !impl_->loans.Spares().empty();
}

std::string XTestKeyboard::LayoutName() {
    impl_->Refresh();
    return impl_->RulesLayoutName();
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
