#include "keys/linux/UinputKeyboard.h"

#include <gtest/gtest.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <vector>

#include "keys/VirtualKeys.h"

namespace reradav {
namespace {

constexpr std::uint32_t kDown = 0;
constexpr std::uint32_t kUp = KeyboardPlatform::KEYEVENTF_KEYUP;
constexpr std::uint32_t kExtended = KeyboardPlatform::KEYEVENTF_EXTENDEDKEY;

struct Record {
    std::uint16_t type;
    std::uint16_t code;
    std::int32_t value;
    bool operator==(const Record&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Record& r) {
    return out << "{type " << r.type << ", code " << r.code << ", value " << r.value << "}";
}

std::unique_ptr<XkbLayout> Layout(const char* name) {
    XkbNames names;
    names.layout = name;
    std::string error;
    auto layout = XkbLayout::FromNames(names, &error);
    EXPECT_NE(layout, nullptr) << error;
    return layout;
}

// The keyboard writes to one end of a socket pair, as to /dev/uinput; the test reads the other
// end and writes the lock lights a compositor would.
class UinputKeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0);
        keyboard_ =
            std::make_unique<UinputKeyboard>(fds_[0], Layout("us"), [this] { ++serviced_; });
    }
    void TearDown() override {
        keyboard_.reset();
        close(fds_[0]);
        close(fds_[1]);
    }

    bool Pending() {
        pollfd p{fds_[1], POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }

    // Everything written so far, record by record.
    std::vector<Record> Written() {
        std::vector<Record> records;
        while (Pending()) {
            input_event event{};
            std::size_t got = 0;
            while (got < sizeof event) {
                const ssize_t n =
                    read(fds_[1], reinterpret_cast<char*>(&event) + got, sizeof event - got);
                if (n <= 0) {
                    ADD_FAILURE() << "short record";
                    return records;
                }
                got += static_cast<std::size_t>(n);
            }
            records.push_back({event.type, event.code, event.value});
        }
        return records;
    }

    void SendLed(std::uint16_t led, bool on) {
        input_event event{};
        event.type = EV_LED;
        event.code = led;
        event.value = on ? 1 : 0;
        ASSERT_EQ(write(fds_[1], &event, sizeof event), static_cast<ssize_t>(sizeof event));
    }

    static Record Key(std::uint16_t code, std::int32_t value) { return {EV_KEY, code, value}; }
    static Record Syn() { return {EV_SYN, SYN_REPORT, 0}; }

    int fds_[2] = {-1, -1};
    int serviced_ = 0;
    std::unique_ptr<UinputKeyboard> keyboard_;
};

TEST_F(UinputKeyboardTest, EachKeyEventIsFollowedBySynReport) {
    keyboard_->keybd_event('A', 30, kDown);
    keyboard_->keybd_event('A', 30, kUp);
    const std::vector<Record> expected = {Key(KEY_A, 1), Syn(), Key(KEY_A, 0), Syn()};
    EXPECT_EQ(Written(), expected);
}

TEST_F(UinputKeyboardTest, ModifiersAndAltGrAreTheirOwnKeys) {
    keyboard_->keybd_event(VK_SHIFT, 42, kDown);
    keyboard_->keybd_event(VK_RMENU, 100, kDown);
    keyboard_->keybd_event('E', 18, kDown);
    keyboard_->keybd_event('E', 18, kUp);
    keyboard_->keybd_event(VK_RMENU, 100, kUp);
    keyboard_->keybd_event(VK_SHIFT, 42, kUp);
    const std::vector<Record> expected = {
        Key(KEY_LEFTSHIFT, 1), Syn(), Key(KEY_RIGHTALT, 1), Syn(), Key(KEY_E, 1),         Syn(),
        Key(KEY_E, 0),         Syn(), Key(KEY_RIGHTALT, 0), Syn(), Key(KEY_LEFTSHIFT, 0), Syn()};
    EXPECT_EQ(Written(), expected);
}

TEST_F(UinputKeyboardTest, ExtendedFlagDoesNotChangeTheKey) {
    keyboard_->keybd_event(VK_CAPITAL, 69, kExtended);
    keyboard_->keybd_event(VK_CAPITAL, 69, kExtended | kUp);
    keyboard_->keybd_event(VK_LEFT, 105, kDown);
    keyboard_->keybd_event(VK_LEFT, 105, kUp);
    const std::vector<Record> expected = {Key(KEY_CAPSLOCK, 1), Syn(), Key(KEY_CAPSLOCK, 0), Syn(),
                                          Key(KEY_LEFT, 1),     Syn(), Key(KEY_LEFT, 0),     Syn()};
    EXPECT_EQ(Written(), expected);
}

TEST_F(UinputKeyboardTest, VirtualKeysWithoutAKeyWriteNothing) {
    keyboard_->keybd_event(255, 0, kDown);
    keyboard_->keybd_event(255, 0, kUp);
    keyboard_->keybd_event(0, 0, kDown);
    EXPECT_FALSE(Pending());
    keyboard_->keybd_event(VK_RETURN, 28, kDown);
    const std::vector<Record> expected = {Key(KEY_ENTER, 1), Syn()};
    EXPECT_EQ(Written(), expected);
}

TEST_F(UinputKeyboardTest, EveryTableKeyIsSentAsItsEvdevCode) {
    for (int vk = 1; vk < 256; ++vk) {
        const std::uint16_t code = EvdevCodeForVk(static_cast<std::uint8_t>(vk));
        keyboard_->keybd_event(static_cast<std::uint8_t>(vk), 0, kDown);
        const auto written = Written();
        if (code == 0) {
            EXPECT_TRUE(written.empty()) << "vk " << vk;
        } else {
            const std::vector<Record> expected = {Key(code, 1), Syn()};
            EXPECT_EQ(written, expected) << "vk " << vk;
        }
    }
}

TEST_F(UinputKeyboardTest, ScanCodeIsTheEvdevCode) {
    for (std::uint32_t vk = 0; vk < 256; ++vk) {
        EXPECT_EQ(keyboard_->MapVirtualKeyA(vk, 0),
                  EvdevCodeForVk(static_cast<std::uint8_t>(vk)) & 0xFFu)
            << "vk " << vk;
    }
    EXPECT_EQ(keyboard_->MapVirtualKeyA('A', 0), static_cast<std::uint32_t>(KEY_A));
    EXPECT_EQ(keyboard_->MapVirtualKeyA('A', 1), 0u);  // other map types are not offered
    EXPECT_EQ(keyboard_->MapVirtualKeyA(0x141, 0), 0u);
}

TEST_F(UinputKeyboardTest, LockLightsGiveTheLockBits) {
    KeyboardState state{};
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(state[VK_CAPITAL] & 1, 0);
    EXPECT_EQ(state[VK_NUMLOCK] & 1, 0);

    SendLed(LED_CAPSL, true);
    SendLed(LED_NUML, true);
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(state[VK_CAPITAL] & 1, 1);
    EXPECT_EQ(state[VK_NUMLOCK] & 1, 1);
    EXPECT_EQ(state[VK_SCROLL] & 1, 0);

    SendLed(LED_CAPSL, false);
    SendLed(LED_SCROLLL, true);
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(state[VK_CAPITAL] & 1, 0);
    EXPECT_EQ(state[VK_NUMLOCK] & 1, 1);
    EXPECT_EQ(state[VK_SCROLL] & 1, 1);
}

TEST_F(UinputKeyboardTest, LastLightWinsWhenSeveralArrive) {
    SendLed(LED_CAPSL, true);
    SendLed(LED_CAPSL, false);
    SendLed(LED_CAPSL, true);
    KeyboardState state{};
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(state[VK_CAPITAL] & 1, 1);
}

TEST_F(UinputKeyboardTest, KeptStateComesBackWithLiveLockBits) {
    KeyboardState saved{};
    saved['A'] = 0x80;
    saved[VK_SHIFT] = 0x80;
    saved[VK_CAPITAL] = 0x01;  // on when saved, off by now
    keyboard_->SetKeyboardState(saved);
    KeyboardState state{};
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(state['A'], 0x80);
    EXPECT_EQ(state[VK_SHIFT], 0x80);
    EXPECT_EQ(state[VK_CAPITAL], 0x00);

    keyboard_->SetKeyboardState(KeyboardState{});
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(state, KeyboardState{});
    EXPECT_FALSE(Pending());  // the state is never sent as key events
}

TEST_F(UinputKeyboardTest, CharactersComeFromTheLayout) {
    EXPECT_EQ(keyboard_->VkKeyScanA('z'), 'Z');
    EXPECT_EQ(keyboard_->VkKeyScanA('~'), 0x1C0);
    EXPECT_EQ(keyboard_->VkKeyScanA(0x80), -1);
    UinputKeyboard german(fds_[0], Layout("de"), nullptr);
    EXPECT_EQ(german.VkKeyScanA('z'), 'Y');
    EXPECT_EQ(german.VkKeyScanA(0x80), 0x600 | 'E');
}

TEST_F(UinputKeyboardTest, ServiceEventsRunsTheGivenFunction) {
    keyboard_->ServiceEvents();
    keyboard_->ServiceEvents();
    EXPECT_EQ(serviced_, 2);
    UinputKeyboard withoutFunction(fds_[0], Layout("us"), nullptr);
    withoutFunction.ServiceEvents();
}

TEST_F(UinputKeyboardTest, TickCountIsTheMonotonicClock) {
    auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(t.tv_sec) * 1000u +
                                          static_cast<std::uint64_t>(t.tv_nsec) / 1000000u);
    };
    const std::uint32_t before = now();
    const std::uint32_t tick = keyboard_->GetTickCount();
    const std::uint32_t after = now();
    // Unsigned differences stay right across the wrap at 2^32.
    EXPECT_LE(tick - before, after - before);
}

TEST(UinputKeyboardOpen, MissingDeviceNodeIsReported) {
    std::string error;
    auto keyboard = UinputKeyboard::Open(nullptr, Layout("us"), &error, "/nonexistent/uinput");
    EXPECT_EQ(keyboard, nullptr);
    EXPECT_NE(error.find("/nonexistent/uinput cannot be opened"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST(UinputKeyboardOpen, NodeThatIsNotUinputIsRefused) {
    std::string error;
    auto keyboard = UinputKeyboard::Open(nullptr, Layout("us"), &error, "/dev/null");
    EXPECT_EQ(keyboard, nullptr);
    EXPECT_NE(error.find("/dev/null is not a uinput device"), std::string::npos) << error;
}

}  // namespace
}  // namespace reradav
