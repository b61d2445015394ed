#include "keys/linux/WaylandKeyboard.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "common/CodePage1252.h"
#include "common/Files.h"
#include "keys/VirtualKeys.h"
#include "keys/linux/DesktopLayout.h"
#include "keys/linux/KeyLoans.h"
#include "keys/linux/LinuxKeyboardCommon.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace reradav {
namespace {

constexpr std::uint32_t kKeymapFormatXkbV1 = 1;

struct Globals {
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* manager = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t /*version*/) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 &&
               globals->manager == nullptr) {
        globals->manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

std::uint32_t CharacterKeysym(std::uint8_t character) {
    return xkb_utf32_to_keysym(Windows1252ToUnicode(character));
}

}  // namespace

std::string KeymapWithKeys(const std::string& keymap,
                           const std::vector<std::pair<std::uint32_t, std::uint32_t>>& keys,
                           const XkbLayout& layout) {
    const std::size_t section = keymap.find("xkb_symbols");
    const std::size_t end = keymap.find("\n};", section);
    if (section == std::string::npos || end == std::string::npos) {
        return {};
    }
    std::string added;
    for (const auto& [code, keysym] : keys) {
        const char* name = xkb_keymap_key_get_name(layout.Keymap(), code);
        char symbol[64] = {};
        if (name != nullptr && xkb_keysym_get_name(keysym, symbol, sizeof symbol) > 0) {
            added += std::string("\n\tkey <") + name + "> { [ " + symbol + ", " + symbol + " ] };";
        }
    }
    return keymap.substr(0, end) + added + keymap.substr(end);
}

// The compositor reads the modifier state from us: ours is worked out by xkbcommon from the
// layout's keymap (the keys added for characters are no modifiers).
struct WaylandKeyboard::Impl {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    Globals globals;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    std::unique_ptr<XkbLayout> layout;
    std::function<void()> serviceEvents;
    std::string keymapText;  // the layout's, without added keys
    xkb_state* state = nullptr;
    std::array<std::uint32_t, 4> modifiersSent{};
    KeyLoans loans;  // taken over at once: the keymap reaches clients in order with the keys
    bool keymapChanged = false;  // a key was lent since the keymap was last sent
    std::vector<std::uint32_t> down;
    KeyboardState kept{};
    bool lost = false;

    ~Impl() {
        if (keyboard != nullptr && !lost) {
            for (const std::uint32_t code : std::vector(down)) {
                Key(code, false);
            }
            zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
            zwp_virtual_keyboard_v1_destroy(keyboard);
            wl_display_roundtrip(display);
        }
        if (globals.manager != nullptr) {
            zwp_virtual_keyboard_manager_v1_destroy(globals.manager);
        }
        if (globals.seat != nullptr) {
            wl_seat_destroy(globals.seat);
        }
        if (registry != nullptr) {
            wl_registry_destroy(registry);
        }
        xkb_state_unref(state);
        if (display != nullptr) {
            wl_display_disconnect(display);
        }
    }

    // The layout's keymap with the lent keys, in a file the compositor maps.
    bool SendKeymap() {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
        for (const KeyLoans::Loan& loan : loans.Loans()) {
            keys.emplace_back(loan.code, loan.keysym);
        }
        const std::string text =
            keys.empty() ? keymapText : KeymapWithKeys(keymapText, keys, *layout);
        const int fd = memfd_create("reradav-keymap", MFD_CLOEXEC);
        if (fd < 0 || !WriteAll(fd, std::string_view(text.c_str(), text.size() + 1))) {
            if (fd >= 0) {
                ::close(fd);
            }
            return false;
        }
        zwp_virtual_keyboard_v1_keymap(keyboard, kKeymapFormatXkbV1, fd,
                                       static_cast<std::uint32_t>(text.size() + 1));
        ::close(fd);  // the request carries a copy
        keymapChanged = false;
        return Flush();
    }

    void Key(std::uint32_t code, bool press) {
        if (keymapChanged && !SendKeymap()) {
            return;
        }
        xkb_state_update_key(state, code + kXkbKeycodeOffset, press ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_key(
            keyboard, MonotonicMilliseconds(), code,
            press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        std::erase(down, code);
        if (press) {
            down.push_back(code);
        }
        loans.SetDown(code + kXkbKeycodeOffset, press, MonotonicMilliseconds());
        SendModifiers();
        Flush();
    }

    void SendModifiers() {
        const std::array<std::uint32_t, 4> now = {
            xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE)};
        if (now != modifiersSent) {
            modifiersSent = now;
            zwp_virtual_keyboard_v1_modifiers(keyboard, now[0], now[1], now[2], now[3]);
        }
    }

    // Sends what is queued, waiting while the socket is full; after a connection broke,
    // nothing more is typed, and Failure() says so.
    bool Flush() {
        while (!lost && wl_display_flush(display) < 0) {
            pollfd p{wl_display_get_fd(display), POLLOUT, 0};
            lost = errno != EAGAIN || poll(&p, 1, 1000) <= 0;
        }
        return !lost;
    }

    // Reads what the compositor sent (it may say the connection failed), without waiting.
    void Dispatch() {
        if (lost) {
            return;
        }
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                lost = true;
                return;
            }
        }
        Flush();
        pollfd p{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&p, 1, 0) > 0) {
            lost = wl_display_read_events(display) < 0;
        } else {
            wl_display_cancel_read(display);
        }
        lost = lost || wl_display_dispatch_pending(display) < 0;
    }

    // The key lent to the keysym; 0 when there is none to lend.
    std::uint32_t Lend(std::uint32_t keysym) {
        const KeyLoans::Lent lent = loans.Lend(keysym, MonotonicMilliseconds());
        keymapChanged = keymapChanged || lent.fresh;
        return lent.code;
    }
};

WaylandKeyboard::WaylandKeyboard(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

WaylandKeyboard::~WaylandKeyboard() = default;

std::unique_ptr<WaylandKeyboard> WaylandKeyboard::Open(std::function<void()> serviceEvents,
                                                       std::unique_ptr<XkbLayout> layout,
                                                       std::string* error, const char* display) {
    auto fail = [error](const std::string& why) {
        if (error != nullptr) {
            *error = why;
        }
        return nullptr;
    };
    std::string source;
    std::string message;
    if (layout == nullptr && (layout = CompileDesktopLayout(&source, &message)) == nullptr) {
        return fail(message);
    }
    auto impl = std::make_unique<Impl>();
    impl->layout = std::move(layout);
    impl->serviceEvents = std::move(serviceEvents);
    impl->display = wl_display_connect(display);
    if (impl->display == nullptr) {
        return fail("no Wayland compositor to connect to (" + std::string(std::strerror(errno)) +
                    ")");
    }
    impl->registry = wl_display_get_registry(impl->display);
    wl_registry_add_listener(impl->registry, &kRegistryListener, &impl->globals);
    wl_display_roundtrip(impl->display);
    if (impl->globals.manager == nullptr || impl->globals.seat == nullptr) {
        return fail("the Wayland compositor offers no virtual keyboard");
    }
    impl->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(impl->globals.manager,
                                                                             impl->globals.seat);
    char* text = xkb_keymap_get_as_string(impl->layout->Keymap(), XKB_KEYMAP_FORMAT_TEXT_V1);
    impl->keymapText = text != nullptr ? text : "";
    std::free(text);
    impl->state = xkb_state_new(impl->layout->Keymap());
    xkb_state_update_mask(impl->state, 0, 0, 0, 0, 0, impl->layout->Group());
    std::vector<std::uint32_t> spares = impl->layout->EmptyKeys();
    std::erase_if(spares, [&](std::uint32_t code) {
        return xkb_keymap_key_get_name(impl->layout->Keymap(), code) == nullptr;
    });
    impl->loans.SetSpares(std::move(spares));
    // Keys sent before a keymap would be lost; a broken connection is told below.
    if (!impl->SendKeymap() && !impl->lost) {
        return fail("the keymap could not be handed to the Wayland compositor (" +
                    std::string(std::strerror(errno)) + ")");
    }
    impl->SendModifiers();
    if (wl_display_roundtrip(impl->display) < 0 || impl->lost) {
        impl->lost = true;
        return fail("the Wayland compositor refused a virtual keyboard (" +
                    std::string(std::strerror(wl_display_get_error(impl->display))) + ")");
    }
    auto keyboard = std::unique_ptr<WaylandKeyboard>(new WaylandKeyboard(std::move(impl)));
    keyboard->layoutSource_ = std::move(source);
    return keyboard;
}

std::int16_t WaylandKeyboard::VkKeyScanA(std::uint8_t character) {
    return impl_->layout->KeyValue(character);
}

std::uint32_t WaylandKeyboard::MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) {
    return ScanCodeForVk(code, mapType);
}

void WaylandKeyboard::keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    if (impl_->lost) {
        return;
    }
    const bool press = (flags & kKeyEventKeyUp) == 0;
    if (vk == kVkCapital && (flags & kKeyEventUnicode) == 0) {
        // Caps Lock by its function, wherever the options put its key: the press flips the
        // lock in the state the compositor takes from us.
        const xkb_mod_index_t caps =
            xkb_keymap_mod_get_index(impl_->layout->Keymap(), XKB_MOD_NAME_CAPS);
        if (press && caps != XKB_MOD_INVALID) {
            const xkb_mod_mask_t lock = 1u << caps;
            xkb_state_update_mask(
                impl_->state, xkb_state_serialize_mods(impl_->state, XKB_STATE_MODS_DEPRESSED),
                xkb_state_serialize_mods(impl_->state, XKB_STATE_MODS_LATCHED),
                xkb_state_serialize_mods(impl_->state, XKB_STATE_MODS_LOCKED) ^ lock, 0, 0,
                xkb_state_serialize_layout(impl_->state, XKB_STATE_LAYOUT_LOCKED));
            impl_->SendModifiers();
            impl_->Flush();
        }
        return;
    }
    // A character or a named key the keymap lacks gets a key of its own in our keymap.
    std::uint32_t code = 0;
    if ((flags & kKeyEventUnicode) != 0) {
        const std::uint32_t keysym = CharacterKeysym(scan);
        code = keysym != XKB_KEY_NoSymbol ? impl_->Lend(keysym) : 0;
    } else if (const std::uint16_t evdev = impl_->layout->KeyForVk(vk); evdev != 0) {
        code = evdev + kXkbKeycodeOffset;
    } else if (const std::uint32_t named = XkbLayout::NamedKeysym(vk); named != 0) {
        code = impl_->Lend(named);
    }
    if (code != 0) {
        impl_->Key(code - kXkbKeycodeOffset, press);
    }
}

// Called while the read is parsed, before its first key: every key a read lends is in the
// keymap sent before that key, so the keymap goes once per read.
bool WaylandKeyboard::CanTypeCharacter(std::uint8_t character) {
    const std::uint32_t keysym = CharacterKeysym(character);
    return keysym != XKB_KEY_NoSymbol && impl_->Lend(keysym) != 0;
}

void WaylandKeyboard::GetKeyboardState(KeyboardState& state) {
    state = impl_->kept;
    auto setLock = [&](std::uint8_t vk, const char* led) {
        const bool on = xkb_state_led_name_is_active(impl_->state, led) > 0;
        state[vk] = static_cast<std::uint8_t>((state[vk] & ~1u) | (on ? 1u : 0u));
    };
    setLock(kVkCapital, XKB_LED_NAME_CAPS);
    setLock(kVkNumLock, XKB_LED_NAME_NUM);
    setLock(kVkScroll, XKB_LED_NAME_SCROLL);
}

// Wayland has no per-thread key state to replace: the snapshot is only kept for
// GetKeyboardState.
void WaylandKeyboard::SetKeyboardState(const KeyboardState& state) {
    impl_->kept = state;
}

std::uint32_t WaylandKeyboard::GetTickCount() {
    return MonotonicMilliseconds();
}

void WaylandKeyboard::ServiceEvents() {
    impl_->Dispatch();
    if (impl_->serviceEvents) {
        impl_->serviceEvents();
    }
}

std::string WaylandKeyboard::LayoutName() {
    return impl_->layout->Name();
}

std::string WaylandKeyboard::Failure() {
    return impl_->lost ? "the connection to the Wayland compositor broke; nothing more is typed"
                       : "";
}

}  // namespace reradav
