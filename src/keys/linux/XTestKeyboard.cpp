#include "keys/linux/XTestKeyboard.h"

// Qt before Xlib, whose macros (Bool, Status) clash with Qt's names.
#include <QSocketNotifier>
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
#include "keys/linux/XErrors.h"
#include "keys/linux/XkbLayout.h"

namespace reradav {

namespace {

// After a key is lent, clients fetch the new keymap when its notice reaches them; the key is
// pressed only after this wait.
constexpr std::uint32_t kLendSettleMs = 20;
// Loans unused this long are given back, so the keymap is the user's own again between scanning
// sessions. Far beyond kLentKeyKeepMs: no client still behind reads a key given back.
constexpr int kGiveBackIdleMs = 30000;
// Typing that waits this long for a key to lend says so on the status line.
constexpr std::uint32_t kWaitNoticeMs = 1000;
// A lent key holds two keysyms, the second typed with Shift: twice the characters in the few
// empty keys a keymap has (17 to 19 in Xvfb's), before typing must wait for a loan to age.
constexpr std::uint32_t kLentLevels = 2;

// A character's keysym; 0 for the control characters, which have no key to lend.
KeySym CharacterKeysym(std::uint8_t character) {
    const char32_t unicode = Windows1252ToUnicode(character);
    if (unicode < 0x20 || (unicode >= 0x7F && unicode <= 0x9F)) {
        return NoSymbol;
    }
    return xkb_utf32_to_keysym(unicode);
}

bool IsModifier(std::uint8_t vk) {
    return vk == kVkShift || vk == kVkControl || vk == kVkMenu || vk == kVkRMenu;
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
    Listener listener;
    bool lost = false;
    std::optional<std::uint32_t> stopAt;

    KeyLoans loans;  // of the keys the user's keymap leaves empty
    std::unique_ptr<KeymapGuard> guard;
    QTimer giveBack;
    std::unique_ptr<QSocketNotifier> connection;
    std::vector<KeyCode> down;  // the keys we hold, in the order pressed

    // What the press of a character did besides its key, for its release to undo.
    struct Character {
        KeyCode code = 0;
        bool shiftChanged = false;
        KeyCode altGr = 0;
        std::optional<std::uint32_t> userGroup;  // another group was locked for the key
    } character;
    // The group before a key string, put back if its own modifier keys switched it.
    std::uint32_t groupBefore = 0;
    bool modifiersPressed = false;

    ~Impl() {
        if (display != nullptr && !lost) {
            ReleaseCharacter();
            for (const KeyCode code : std::vector(down.rbegin(), down.rend())) {
                Key(code, false);
            }
            // What no client can still be reading goes now; the rest is the guard's to clear
            // when it has been kept long enough, or ours now when there is no guard.
            GiveBack(loans.KeepMs());
            if (!loans.Loans().empty()) {
                guard->Running() ? guard->Quit() : GiveBack(0);
            }
        }
        guard.reset();
        connection.reset();
        layout.reset();
        xkb_context_unref(context);
        if (xcb != nullptr) {
            xcb_disconnect(xcb);
        }
        if (display != nullptr) {
            XErrors::Forget(display);
            XCloseDisplay(display);
        }
    }

    static std::uint32_t Now() { return MonotonicMilliseconds(); }
    bool StopDue() const { return stopAt && static_cast<std::int32_t>(Now() - *stopAt) >= 0; }
    void Service() { serviceEvents ? serviceEvents() : void(usleep(1000)); }
    KeyCode KeyFor(std::uint8_t vk) const {
        const std::uint16_t evdev = layout->KeyForVk(vk);
        return evdev != 0 ? static_cast<KeyCode>(evdev + kXkbKeycodeOffset) : 0;
    }
    bool Holds(KeyCode code) const {
        return std::find(down.begin(), down.end(), code) != down.end();
    }

    // The guard hears of a press before the server, of a release after: a guard that releases a
    // key already up does no harm.
    void Key(KeyCode code, bool press) {
        if (press) {
            guard->Pressed(code, true);
        }
        XTestFakeKeyEvent(display, code, press ? True : False, CurrentTime);
        XFlush(display);
        std::erase(down, code);
        if (press) {
            down.push_back(code);
        } else {
            guard->Pressed(code, false);
        }
        if (loans.SetDown(code, press, Now())) {
            giveBack.start();
        }
    }

    // A character's key, with Shift as its level needs whatever the key string holds, AltGr
    // when it needs that, in a locked group when only another group has it.
    void PressCharacter(KeyCode code, bool shift, bool altGr) {
        const KeyCode shiftKey = KeyFor(kVkShift);
        if (Holds(shiftKey) != shift) {
            Key(shiftKey, shift);
            character.shiftChanged = true;
        }
        if (altGr) {
            character.altGr = KeyFor(kVkRMenu);
            Key(character.altGr, true);
        }
        character.code = code;
        Key(code, true);
    }

    void PressCharacter(std::uint8_t c) {
        character = {};
        if (const XkbLayout::GroupKey other = layout->OtherGroupKey(c); other.key != -1) {
            character.userGroup = layout->Group();
            guard->GroupLocked(character.userGroup);
            XkbLockGroup(display, XkbUseCoreKbd, other.group);
            PressCharacter(KeyFor(static_cast<std::uint8_t>(other.key & 0xFF)),
                           (other.key & XkbLayout::kShiftBit) != 0,
                           (other.key & XkbLayout::kAltGrBits) == XkbLayout::kAltGrBits);
            return;
        }
        PressLent(CharacterKeysym(c));
    }

    void PressLent(KeySym keysym) {
        character = {};
        const KeyLoans::Lent lent = keysym != NoSymbol ? Lend(keysym) : KeyLoans::Lent{};
        if (lent.code != 0) {
            PressCharacter(static_cast<KeyCode>(lent.code), lent.level == 1, false);
        }
    }

    void ReleaseCharacter() {
        if (character.code == 0) {
            return;
        }
        Key(character.code, false);
        if (character.altGr != 0) {
            Key(character.altGr, false);
        }
        if (character.shiftChanged) {
            const KeyCode shiftKey = KeyFor(kVkShift);
            Key(shiftKey, !Holds(shiftKey));
        }
        if (character.userGroup) {
            XkbLockGroup(display, XkbUseCoreKbd, *character.userGroup);
            XFlush(display);
            guard->GroupLocked(std::nullopt);
        }
        character = {};
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
    // remapped (setxkbmap, xmodmap) is no longer ours.
    void FindSpares() {
        xkb_keymap* keymap = layout->Keymap();
        std::vector<std::uint32_t> spares = layout->EmptyKeys();
        for (const std::uint32_t code : loans.Keys()) {
            const std::vector<std::uint32_t> keysyms = loans.Keysyms(code);
            bool holds = true;
            for (std::uint32_t level = 0; level < keysyms.size(); ++level) {
                const xkb_keysym_t* syms = nullptr;
                holds = holds && (keysyms[level] == 0 || (xkb_keymap_key_get_syms_by_level(
                                                              keymap, code, 0, level, &syms) == 1 &&
                                                          syms[0] == keysyms[level]));
            }
            if (holds) {
                spares.push_back(code);
            } else {
                loans.End(code);
            }
        }
        loans.SetSpares(std::move(spares));
    }

    // A key and level lent to the keysym; code 0 when none can be. When every level of every
    // spare key is lent, typing waits for the oldest loan to have been kept long enough.
    KeyLoans::Lent Lend(KeySym keysym) {
        KeyLoans::Lent lent = loans.Lend(static_cast<std::uint32_t>(keysym), Now());
        const std::uint32_t start = Now();
        bool told = false;
        while (lent.code == 0 && lent.waitMs > 0 && !lost && !StopDue()) {
            if (!told && Now() - start >= kWaitNoticeMs && listener.status) {
                told = true;
                listener.status(
                    "typing waits for a spare key: the keys lent last may not have been read yet");
            }
            Service();
            lent = loans.Lend(static_cast<std::uint32_t>(keysym), Now());
        }
        if (!lent.fresh || lost) {
            return lost ? KeyLoans::Lent{} : lent;
        }
        const std::vector<std::uint32_t> keysyms = loans.Keysyms(lent.code);
        guard->Lent(lent.code, keysyms);
        const unsigned long errors = XErrors::Count(display);
        MapLentKey(display, lent.code, keysyms);
        XSync(display, False);
        if (XErrors::Count(display) != errors) {
            loans.End(lent.code);
            if (listener.status) {
                listener.status("the X server refused to lend a key: a character was not typed");
            }
            return {};
        }
        giveBack.start();
        for (const std::uint32_t settle = Now(); Now() - settle < kLendSettleMs;) {
            Service();
        }
        return lent;
    }

    // Clears the keys none of whose loans was used for `idleMs`, where they still hold what we
    // lent them; the guard hears of it once the server has it.
    void GiveBack(std::uint32_t idleMs) {
        if (lost) {
            return;
        }
        std::vector<std::uint32_t> ended = loans.IdleKeys(Now(), idleMs);
        for (const std::uint32_t code : ended) {
            if (HoldsLent(display, code, loans.Keysyms(code))) {
                MapLentKey(display, code, {});
            }
            loans.End(code);
        }
        XSync(display, False);
        for (const std::uint32_t code : ended) {
            guard->Returned(code);
        }
        if (!loans.Loans().empty()) {
            giveBack.start();
        }
    }

    void Lost() {
        lost = true;
        if (connection) {
            connection->setEnabled(false);
        }
        giveBack.stop();
        // Told from the event loop, not from inside Xlib.
        QMetaObject::invokeMethod(
            &giveBack,
            [this] {
                if (listener.lost) {
                    listener.lost(kLostText);
                }
            },
            Qt::QueuedConnection);
    }
    static constexpr const char* kLostText = "the X server closed the connection";

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
        if (lost) {
            return;
        }
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
                                                   std::string* error, const char* displayName,
                                                   std::uint32_t keepMs) {
    auto fail = [error](std::string message) -> std::unique_ptr<XTestKeyboard> {
        if (error != nullptr) {
            *error = std::move(message);
        }
        return nullptr;
    };
    auto impl = std::make_unique<Impl>();
    impl->serviceEvents = std::move(serviceEvents);
    impl->loans = KeyLoans(kLentLevels, keepMs);
    impl->giveBack.setSingleShot(true);
    impl->giveBack.setInterval(kGiveBackIdleMs);
    QObject::connect(&impl->giveBack, &QTimer::timeout,
                     [raw = impl.get()] { raw->GiveBack(kGiveBackIdleMs); });
    impl->display = XOpenDisplay(displayName);
    const std::string name = XDisplayName(displayName);
    if (impl->display == nullptr) {
        return fail("the X display \"" + name + "\" cannot be opened");
    }
    XErrors::Watch(impl->display, [raw = impl.get()] { raw->Lost(); });
    impl->guard = std::make_unique<KeymapGuard>(DisplayString(impl->display));
    // Reading what arrives finds a server that died while nothing was typed; the events wait
    // in Xlib's queue for the next key string.
    impl->connection =
        std::make_unique<QSocketNotifier>(ConnectionNumber(impl->display), QSocketNotifier::Read);
    QObject::connect(impl->connection.get(), &QSocketNotifier::activated, [raw = impl.get()] {
        if (!raw->lost) {
            XEventsQueued(raw->display, QueuedAfterReading);
        }
    });
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
    if (impl_->lost) {
        return;
    }
    const bool press = (flags & kKeyEventKeyUp) == 0;
    if (vk == kVkCapital && (flags & kKeyEventUnicode) == 0) {
        // Caps Lock by its function: an option such as caps:swapescape puts another key where it
        // sits. The press flips the lock; the release has nothing to do.
        if (press) {
            XkbStateRec st{};
            XkbGetState(impl_->display, XkbUseCoreKbd, &st);
            XkbLockModifiers(impl_->display, XkbUseCoreKbd, LockMask,
                             (st.locked_mods & LockMask) != 0 ? 0 : LockMask);
            XFlush(impl_->display);
        }
        return;
    }
    // A character the group in force lacks: from another group, else a key lent to its keysym;
    // so also a named key the keymap lacks. Its release directly follows its press.
    const std::uint32_t named = XkbLayout::NamedKeysym(vk);
    const KeyCode code = (flags & kKeyEventUnicode) != 0 ? 0 : impl_->KeyFor(vk);
    if ((flags & kKeyEventUnicode) != 0 || (code == 0 && named != 0)) {
        if (!press) {
            impl_->ReleaseCharacter();
        } else if ((flags & kKeyEventUnicode) != 0) {
            impl_->PressCharacter(scan);
        } else {
            impl_->PressLent(named);
        }
    } else if (code != 0) {
        impl_->modifiersPressed = impl_->modifiersPressed || IsModifier(vk);
        impl_->Key(code, press);
    }
}

bool XTestKeyboard::CanTypeCharacter(std::uint8_t character) {
    return impl_->layout->OtherGroupKey(character).key != -1 ||
           (CharacterKeysym(character) != NoSymbol && !impl_->loans.Spares().empty());
}

std::string XTestKeyboard::Failure() {
    return impl_->lost ? Impl::kLostText : "";
}

void XTestKeyboard::SetListener(Listener listener) {
    impl_->listener = std::move(listener);
}

void XTestKeyboard::StopWaitingAt(std::uint32_t tick) {
    impl_->stopAt = tick;
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
    impl_->groupBefore = xkbState.locked_group;
    impl_->modifiersPressed = false;
    unsigned int lights = 0;
    XkbGetIndicatorState(impl_->display, XkbUseCoreKbd, &lights);

    state = impl_->state;
    auto setLock = [&state](std::uint8_t vk, bool on) {
        state[vk] = static_cast<std::uint8_t>((state[vk] & ~1u) | (on ? 1u : 0u));
    };
    setLock(kVkCapital, impl_->Indicator(XKB_LED_NAME_CAPS, lights)
                            .value_or((xkbState.locked_mods & LockMask) != 0));
    setLock(kVkNumLock, impl_->Indicator(XKB_LED_NAME_NUM, lights).value_or(false));
    setLock(kVkScroll, impl_->Indicator(XKB_LED_NAME_SCROLL, lights).value_or(false));
}

// X has no per-thread key state to replace: the snapshot is only kept for GetKeyboardState.
// Where the key string's own modifiers are a group switch (Shift+Alt with grp:alt_shift_toggle),
// the user's group is put back.
void XTestKeyboard::SetKeyboardState(const KeyboardState& state) {
    impl_->state = state;
    if (impl_->modifiersPressed && !impl_->lost &&
        xkb_keymap_num_layouts(impl_->layout->Keymap()) > 1 &&
        impl_->LockedGroup() != impl_->groupBefore) {
        XkbLockGroup(impl_->display, XkbUseCoreKbd, impl_->groupBefore);
        XFlush(impl_->display);
    }
    impl_->modifiersPressed = false;
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
