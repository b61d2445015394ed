#include "keys/linux/UinputKeyboard.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "common/Files.h"
#include "keys/VirtualKeys.h"
#include "keys/linux/DesktopLayout.h"
#include "keys/linux/LinuxKeyboardCommon.h"

namespace reradav {
namespace {

constexpr const char* kDeviceName = "Reradav virtual keyboard";

std::string Describe(const char* path, const char* what) {
    return std::string(path) + " " + what + " (" + std::strerror(errno) + ")";
}

// Declares the keys and lock lights, then creates the device. Empty string on success.
std::string CreateDevice(int fd, const char* path) {
    if (ioctl(fd, UI_SET_EVBIT, EV_KEY) < 0 || ioctl(fd, UI_SET_EVBIT, EV_SYN) < 0) {
        return Describe(path, "is not a uinput device");
    }
    for (int vk = 0; vk < 256; ++vk) {
        const std::uint16_t code = EvdevCodeForVk(static_cast<std::uint8_t>(vk));
        if (code != 0 && ioctl(fd, UI_SET_KEYBIT, code) < 0) {
            return Describe(path, "refuses a key");
        }
    }
    // With lights the compositor tells us the lock state it keeps for all keyboards.
    if (ioctl(fd, UI_SET_EVBIT, EV_LED) == 0) {
        ioctl(fd, UI_SET_LEDBIT, LED_CAPSL);
        ioctl(fd, UI_SET_LEDBIT, LED_NUML);
        ioctl(fd, UI_SET_LEDBIT, LED_SCROLLL);
    }

    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x1209;  // pid.codes, open-source projects
    setup.id.product = 0x0001;
    setup.id.version = 1;
    std::strncpy(setup.name, kDeviceName, UINPUT_MAX_NAME_SIZE - 1);
    if (ioctl(fd, UI_DEV_SETUP, &setup) < 0) {
        // Kernels before 4.5 take the description as a write.
        uinput_user_dev legacy{};
        std::strncpy(legacy.name, kDeviceName, UINPUT_MAX_NAME_SIZE - 1);
        legacy.id = setup.id;
        if (!WriteAll(fd,
                      std::string_view(reinterpret_cast<const char*>(&legacy), sizeof legacy))) {
            return Describe(path, "refuses the device description");
        }
    }
    if (ioctl(fd, UI_DEV_CREATE) < 0) {
        return Describe(path, "cannot create a keyboard");
    }
    return {};
}

}  // namespace

std::unique_ptr<UinputKeyboard> UinputKeyboard::Open(std::function<void()> serviceEvents,
                                                     std::unique_ptr<XkbLayout> layout,
                                                     std::string* error, const char* devicePath) {
    std::string message;
    std::string source;
    if (layout == nullptr && (layout = CompileDesktopLayout(&source, &message)) == nullptr) {
        if (error != nullptr) {
            *error = message;
        }
        return nullptr;
    }
    const int fd = ::open(devicePath, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error != nullptr) {
            *error = Describe(devicePath, "cannot be opened");
        }
        return nullptr;
    }
    message = CreateDevice(fd, devicePath);
    if (!message.empty()) {
        ::close(fd);
        if (error != nullptr) {
            *error = message;
        }
        return nullptr;
    }
    // The compositor or X server needs a moment to take up a new device; without the wait the
    // first keys typed are lost.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto keyboard = std::unique_ptr<UinputKeyboard>(
        new UinputKeyboard(OwnedDevice{}, fd, std::move(layout), std::move(serviceEvents)));
    keyboard->layoutSource_ = std::move(source);
    return keyboard;
}

UinputKeyboard::UinputKeyboard(int fd, std::unique_ptr<XkbLayout> layout,
                               std::function<void()> serviceEvents)
    : fd_(fd),
      ownsDevice_(false),
      layout_(std::move(layout)),
      serviceEvents_(std::move(serviceEvents)) {}

UinputKeyboard::UinputKeyboard(OwnedDevice, int fd, std::unique_ptr<XkbLayout> layout,
                               std::function<void()> serviceEvents)
    : UinputKeyboard(fd, std::move(layout), std::move(serviceEvents)) {
    ownsDevice_ = true;
}

UinputKeyboard::~UinputKeyboard() {
    if (ownsDevice_) {
        ioctl(fd_, UI_DEV_DESTROY);
        ::close(fd_);
    }
}

std::int16_t UinputKeyboard::VkKeyScanA(std::uint8_t character) {
    return layout_->KeyValue(character);
}

std::uint32_t UinputKeyboard::MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) {
    return ScanCodeForVk(code, mapType);
}

void UinputKeyboard::keybd_event(std::uint8_t vk, std::uint8_t /*scan*/, std::uint32_t flags) {
    if ((flags & kKeyEventUnicode) != 0) {
        return;  // the compositor's keymap has no key to lend (CanTypeCharacter says no)
    }
    // Caps Lock by its function: the key the layout's options put it on, if any. A named key
    // the keymap lacks is sent from its usual key, as the user's own keyboard would.
    std::uint16_t code = layout_->KeyForVk(vk);
    if (code == 0 && vk != kVkCapital) {
        code = EvdevCodeForVk(vk);
    }
    if (code == 0) {
        return;  // no such key here
    }
    const bool press = (flags & kKeyEventKeyUp) == 0;
    if (vk == kVkCapital && press) {
        // The compositor echoes the new light late; until then this toggle is the truth.
        ReadLeds();
        capsLock_ = !capsLock_;
        ++capsEchoesPending_;
        capsTrustedUntil_ = GetTickCount() + kCapsEchoWaitMs;
    }
    WriteEvent(code, press ? 1 : 0);
}

// One key event and the SYN_REPORT that makes readers take it, in one write.
void UinputKeyboard::WriteEvent(std::uint16_t code, std::int32_t value) {
    input_event events[2]{};
    events[0].type = EV_KEY;
    events[0].code = code;
    events[0].value = value;
    events[1].type = EV_SYN;
    events[1].code = SYN_REPORT;
    events[1].value = 0;
    WriteAll(fd_, std::string_view(reinterpret_cast<const char*>(events), sizeof events));
}

// The lights the compositor or X server set on our device come back as EV_LED events. They
// follow the lock state shared by all keyboards, which counting our own Caps Lock presses could
// not: the user's physical keyboard toggles it too. Our own toggles are trusted over the lights
// until their echo arrives.
void UinputKeyboard::ReadLeds() {
    input_event events[16];
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || (p.revents & POLLIN) == 0) {
            return;
        }
        const ssize_t n = ::read(fd_, events, sizeof events);
        if (n <= 0) {
            return;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof(input_event); ++i) {
            if (events[i].type != EV_LED) {
                continue;
            }
            const bool on = events[i].value != 0;
            switch (events[i].code) {
                case LED_CAPSL:
                    // While an echo of our own toggle is due, a light that disagrees is the echo
                    // of an earlier state; one that agrees is ours. Past the wait, the light wins.
                    if (capsEchoesPending_ > 0 &&
                        static_cast<std::int32_t>(capsTrustedUntil_ - GetTickCount()) > 0) {
                        capsEchoesPending_ = on == capsLock_ ? 0 : capsEchoesPending_ - 1;
                    } else {
                        capsEchoesPending_ = 0;
                        capsLock_ = on;
                    }
                    break;
                case LED_NUML:
                    numLock_ = on;
                    break;
                case LED_SCROLLL:
                    scrollLock_ = on;
                    break;
                default:
                    break;
            }
        }
    }
}

void UinputKeyboard::GetKeyboardState(KeyboardState& state) {
    ReadLeds();
    state = state_;
    auto setLock = [&state](std::uint8_t vk, bool on) {
        state[vk] = static_cast<std::uint8_t>((state[vk] & ~1u) | (on ? 1u : 0u));
    };
    setLock(kVkCapital, capsLock_);
    setLock(kVkNumLock, numLock_);
    setLock(kVkScroll, scrollLock_);
}

// Linux has no per-thread key state to replace: the snapshot is only kept for GetKeyboardState.
void UinputKeyboard::SetKeyboardState(const KeyboardState& state) {
    state_ = state;
}

std::uint32_t UinputKeyboard::GetTickCount() {
    return MonotonicMilliseconds();
}

void UinputKeyboard::ServiceEvents() {
    if (serviceEvents_) {
        serviceEvents_();
    }
}

std::vector<std::int16_t> UinputKeyboard::DeadKeySequence(std::uint8_t character) {
    return layout_->DeadKeySequence(character);
}

std::string UinputKeyboard::LayoutName() {
    return layout_->Name();
}

}  // namespace reradav
