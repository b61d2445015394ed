#include "keys/linux/KdeFakeInput.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "common/Files.h"
#include "fake-input-client-protocol.h"
#include "keys/linux/DesktopLayout.h"

namespace reradav {
namespace {

constexpr std::uint32_t kKeyboardKeySince = 4;  // keyboard_key came with version 4
constexpr const char* kGrantFile = RERADAV_APP_ID "-fake-input.desktop";

// What the registry offers this client, and the keymap KWin gives its keyboards.
struct Session {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    org_kde_kwin_fake_input* input = nullptr;
    std::uint32_t inputVersion = 0;
    std::string keymap;

    ~Session() {
        if (keyboard != nullptr) {
            wl_keyboard_destroy(keyboard);
        }
        if (seat != nullptr) {
            wl_seat_destroy(seat);
        }
        if (input != nullptr) {
            org_kde_kwin_fake_input_destroy(input);
        }
        if (registry != nullptr) {
            wl_registry_destroy(registry);
        }
        if (display != nullptr) {
            wl_display_disconnect(display);
        }
    }
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
    auto* session = static_cast<Session*>(data);
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 &&
        session->input == nullptr) {
        session->inputVersion = version;
        if (version >= kKeyboardKeySince) {
            session->input = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
                registry, name, &org_kde_kwin_fake_input_interface, kKeyboardKeySince));
        }
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && session->seat == nullptr) {
        session->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    auto* session = static_cast<Session*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            session->keymap.assign(static_cast<const char*>(text),
                                   strnlen(static_cast<const char*>(text), size));
            munmap(text, size);
        }
    }
    ::close(fd);
}
void OnEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void OnLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void OnKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void OnModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t) {}

const wl_keyboard_listener kKeyboardListener = {OnKeymap, OnEnter,     OnLeave,
                                                OnKey,    OnModifiers, nullptr};

// One connection: KWin decides per connection whether this program may use fake input.
std::unique_ptr<Session> Connect(std::string* error) {
    auto session = std::make_unique<Session>();
    session->display = wl_display_connect(nullptr);
    if (session->display == nullptr) {
        *error = "no Wayland compositor to connect to";
        return nullptr;
    }
    session->registry = wl_display_get_registry(session->display);
    wl_registry_add_listener(session->registry, &kRegistryListener, session.get());
    wl_display_roundtrip(session->display);
    if (session->seat != nullptr) {
        session->keyboard = wl_seat_get_keyboard(session->seat);
        wl_keyboard_add_listener(session->keyboard, &kKeyboardListener, session.get());
        wl_display_roundtrip(session->display);
    }
    return session;
}

// The keymap KWin types with, else the one the desktop settings name.
std::unique_ptr<XkbLayout> LayoutOf(const Session& session, std::string* source,
                                    std::string* error) {
    if (!session.keymap.empty()) {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_keymap* keymap =
            xkb_keymap_new_from_string(context, session.keymap.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                       XKB_KEYMAP_COMPILE_NO_FLAGS);
        xkb_context_unref(context);
        if (keymap != nullptr) {
            auto layout = std::make_unique<XkbLayout>(keymap);
            xkb_keymap_unref(keymap);
            *source = "KWin";
            return layout;
        }
    }
    return CompileDesktopLayout(source, error);
}

}  // namespace

std::string WriteFakeInputGrant(const std::filesystem::path& applications,
                                const std::filesystem::path& program) {
    std::error_code ec;
    std::filesystem::create_directories(applications, ec);
    // Exec must be the program's own path: KWin compares it with the client's executable.
    const std::string entry =
        "[Desktop Entry]\nType=Application\nName=Reradav keyboard access\n"
        "Comment=Lets Reradav type what the scanner reads under KDE Plasma (Wayland)\n"
        "Exec=" +
        program.string() + "\nNoDisplay=true\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
    return ReplaceFileAtomically(applications / kGrantFile, entry, 0644);
}

std::unique_ptr<EvdevKeyboard> KdeFakeInput::Open(std::function<void()> serviceEvents,
                                                  const std::filesystem::path& applications,
                                                  std::string* error) {
    std::string message;
    std::unique_ptr<Session> session = Connect(&message);
    if (session != nullptr && session->input == nullptr && session->inputVersion == 0) {
        std::error_code ec;
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
        message = ec ? ec.message() : WriteFakeInputGrant(applications, program);
        if (message.empty()) {
            session.reset();
            // KWin looks at the entries at most every 1.5 s, and decides on a connection.
            std::this_thread::sleep_for(std::chrono::milliseconds(2000));
            session = Connect(&message);
        }
    }
    if (session != nullptr && session->input == nullptr) {
        message = session->inputVersion != 0
                      ? "KWin's fake input is too old to type (version " +
                            std::to_string(session->inputVersion) + ")"
                      : "KWin does not let Reradav type (its fake input is not granted; see " +
                            (applications / kGrantFile).string() + ")";
    }
    std::string source;
    std::unique_ptr<XkbLayout> layout = session != nullptr && session->input != nullptr
                                            ? LayoutOf(*session, &source, &message)
                                            : nullptr;
    if (layout == nullptr) {
        *error = message;
        return nullptr;
    }
    // Nothing typed counts until the program has said who it is.
    org_kde_kwin_fake_input_authenticate(session->input, "Reradav",
                                         "types what a bar-code scanner reads");
    wl_display_roundtrip(session->display);
    auto sink = std::unique_ptr<KdeFakeInput>(new KdeFakeInput(
        std::exchange(session->display, nullptr), std::exchange(session->input, nullptr)));
    return std::make_unique<EvdevKeyboard>(std::move(sink), std::move(layout),
                                           std::move(serviceEvents), std::move(source));
}

KdeFakeInput::~KdeFakeInput() {
    org_kde_kwin_fake_input_destroy(input_);
    wl_display_roundtrip(display_);
    wl_display_disconnect(display_);
}

void KdeFakeInput::Key(std::uint16_t code, bool press) {
    org_kde_kwin_fake_input_keyboard_key(input_, code, press ? 1 : 0);
    wl_display_flush(display_);
}

std::string KdeFakeInput::Failure() {
    const int error = wl_display_get_error(display_);
    return error == 0 ? ""
                      : "the connection to KWin broke (" + std::string(std::strerror(error)) + ")";
}

}  // namespace reradav
