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

std::unique_ptr<EvdevKeyboard> UinputKeyboard::Open(std::function<void()> serviceEvents,
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
    return std::make_unique<EvdevKeyboard>(std::make_unique<UinputKeyboard>(fd, true),
                                           std::move(layout), std::move(serviceEvents),
                                           std::move(source));
}

UinputKeyboard::~UinputKeyboard() {
    if (ownsDevice_) {
        ioctl(fd_, UI_DEV_DESTROY);
        ::close(fd_);
    }
}

// One key event and the SYN_REPORT that makes readers take it, in one write.
void UinputKeyboard::Key(std::uint16_t code, bool press) {
    input_event events[2]{};
    events[0].type = EV_KEY;
    events[0].code = code;
    events[0].value = press ? 1 : 0;
    events[1].type = EV_SYN;
    events[1].code = SYN_REPORT;
    events[1].value = 0;
    if (!WriteAll(fd_, std::string_view(reinterpret_cast<const char*>(events), sizeof events)) &&
        failure_.empty()) {
        failure_ = Describe(kDevicePath, "takes no more keys");
    }
}

// The lights the compositor or X server set on our device come back as EV_LED events.
std::vector<std::pair<std::uint16_t, bool>> UinputKeyboard::TakeLights() {
    std::vector<std::pair<std::uint16_t, bool>> lights;
    input_event events[16];
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || (p.revents & POLLIN) == 0) {
            return lights;
        }
        const ssize_t n = ::read(fd_, events, sizeof events);
        if (n <= 0) {
            return lights;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof(input_event); ++i) {
            if (events[i].type == EV_LED) {
                lights.emplace_back(events[i].code, events[i].value != 0);
            }
        }
    }
}

}  // namespace reradav
