#include "keys/linux/UinputKeyboard.h"

#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/socket.h>
#include <cstring>

#include "keys/KeyboardEmitter.h"
#include "keys/VirtualKeys.h"
#include "readproc/ReadHandler.h"

namespace reradav {
namespace {

std::unique_ptr<XkbLayout> Us() {
    return XkbLayout::FromNames({"evdev", "pc105", "us", "", ""}, nullptr);
}

// The keyboard writes to a socket as to /dev/uinput; the test reads the events and writes the
// lock lights a compositor would.
TEST(UinputKeyboard, WritesKeyEventsAndReadsTheLockLights) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    EvdevKeyboard keyboard(std::make_unique<UinputKeyboard>(fds[0], false), Us(), nullptr);
    keyboard.keybd_event(kVkRMenu, 0, 0);
    keyboard.keybd_event(255, 0, 0);  // no such key: nothing written
    keyboard.keybd_event('Q', 0, KeyboardPlatform::kKeyEventKeyUp);
    const input_event keys[] = {{{}, EV_KEY, KEY_RIGHTALT, 1}, {}, {{}, EV_KEY, KEY_Q, 0}, {}};
    input_event written[8];
    ASSERT_EQ(read(fds[1], written, sizeof written), static_cast<ssize_t>(sizeof keys));
    EXPECT_EQ(std::memcmp(written, keys, sizeof keys), 0);
    const input_event lights[] = {{{}, EV_LED, LED_CAPSL, 1},
                                  {{}, EV_LED, LED_NUML, 1},
                                  {{}, EV_LED, LED_CAPSL, 0},
                                  {{}, EV_MSC, LED_SCROLLL, 1}};
    ASSERT_EQ(write(fds[1], lights, sizeof lights), static_cast<ssize_t>(sizeof lights));
    KeyboardState state{};
    state[kVkCapital] = 0x81;  // the kept state with the live lights
    keyboard.SetKeyboardState(state);
    keyboard.GetKeyboardState(state);
    EXPECT_EQ(std::vector<int>({state[kVkCapital], state[kVkNumLock], state[kVkScroll]}),
              std::vector<int>({0x80, 1, 0}));
    // An own toggle holds against the late echo of the old light, until its own echo came.
    keyboard.keybd_event(kVkCapital, 0, 0);
    ASSERT_EQ(write(fds[1], lights + 2, sizeof *lights), static_cast<ssize_t>(sizeof *lights));
    keyboard.GetKeyboardState(state);
    ASSERT_EQ(write(fds[1], lights, sizeof *lights * 3), static_cast<ssize_t>(sizeof *lights * 3));
    KeyboardState after{};
    keyboard.GetKeyboardState(after);
    EXPECT_EQ(std::vector<int>({state[kVkCapital], after[kVkCapital]}),
              std::vector<int>({0x81, 0x80}));
    // Caps Lock is pressed where the layout's options put it.
    EvdevKeyboard swapped(
        std::make_unique<UinputKeyboard>(fds[0], false),
        XkbLayout::FromNames({"evdev", "pc105", "us", "", "caps:swapescape"}, nullptr), nullptr);
    swapped.keybd_event(kVkCapital, 0, 0);
    ASSERT_EQ(read(fds[1], written, sizeof written), static_cast<ssize_t>(sizeof *written * 4));
    EXPECT_EQ(std::vector<int>({written[0].code, written[2].code}),
              std::vector({KEY_CAPSLOCK, KEY_ESC}));
    // A dead key and its base; a character the compositor's layout lacks types nothing.
    EvdevKeyboard german(std::make_unique<UinputKeyboard>(fds[0], false),
                         XkbLayout::FromNames({"evdev", "pc105", "de", "", ""}, nullptr), nullptr);
    KeyboardEmitter emitter(german);
    ASSERT_EQ(emitter.SimKeys("\xE9\xF1"), ParseOk);
    ASSERT_EQ(read(fds[1], written, sizeof written), static_cast<ssize_t>(sizeof *written * 8));
    EXPECT_EQ(std::vector<int>({written[0].code, written[4].code, written[6].value}),
              std::vector({KEY_EQUAL, KEY_E, 0}));
    EXPECT_EQ(UntypableText(emitter.TakeUntypable(), emitter.LayoutName()),
              "cannot type '\xF1' on layout de");
    close(fds[0]);
    close(fds[1]);
    std::string error;
    EXPECT_EQ(UinputKeyboard::Open(nullptr, Us(), &error, "/no/uinput"), nullptr);
    EXPECT_EQ(error, "/no/uinput cannot be opened (No such file or directory)");
    EXPECT_EQ(UinputKeyboard::Open(nullptr, nullptr, &error, "/dev/null"), nullptr);
    EXPECT_EQ(error, "/dev/null is not a uinput device (Inappropriate ioctl for device)");
}

}  // namespace
}  // namespace reradav
