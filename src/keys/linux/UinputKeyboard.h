#pragma once

#include <functional>
#include <memory>
#include <string>

#include "keys/linux/EvdevKeyboard.h"

namespace reradav {

// Key events through a virtual input device (/dev/uinput): works under Wayland, X11 and on the
// console.
class UinputKeyboard : public KeySink {
  public:
    static constexpr const char* kDevicePath = "/dev/uinput";

    // Opens the device node and creates one virtual keyboard for the life of the keyboard;
    // nullptr and a sentence in *error when that fails. Without `layout`, the desktop's.
    static std::unique_ptr<EvdevKeyboard> Open(std::function<void()> serviceEvents,
                                               std::unique_ptr<XkbLayout> layout,
                                               std::string* error,
                                               const char* devicePath = kDevicePath);
    // Writes events to a descriptor that is already open (a socket in tests); with `ownsDevice`
    // the device is destroyed and the descriptor closed with the object.
    UinputKeyboard(int fd, bool ownsDevice) : fd_(fd), ownsDevice_(ownsDevice) {}
    ~UinputKeyboard() override;
    UinputKeyboard(const UinputKeyboard&) = delete;
    UinputKeyboard& operator=(const UinputKeyboard&) = delete;

    void Key(std::uint16_t code, bool press) override;
    std::vector<std::pair<std::uint16_t, bool>> TakeLights() override;
    std::string Failure() override { return failure_; }

  private:
    int fd_;
    bool ownsDevice_;
    std::string failure_;  // the first write that failed
};

}  // namespace reradav
