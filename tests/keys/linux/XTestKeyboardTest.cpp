#include "keys/linux/XTestKeyboard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "keys/VirtualKeys.h"
#include "support/Processes.h"

// Xlib last: its macros (None, Bool, Status) break gtest's headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace reradav {
namespace {

// Each test talks to a private Xvfb of its own.
class XTestKeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!server_.Start(&why)) {
            GTEST_SKIP() << why;
        }
        display_ = server_.Display();

        std::string error;
        keyboard_ = XTestKeyboard::Open(nullptr, &error, display_.c_str());
        ASSERT_NE(keyboard_, nullptr) << error;
    }

    void TearDown() override { keyboard_.reset(); }

    void SetServerLayout(const std::string& layout) {
        ASSERT_TRUE(server_.SetLayout(layout)) << "setxkbmap " << layout;
    }

    bool LockBit(std::uint8_t vk) {
        KeyboardState state{};
        keyboard_->GetKeyboardState(state);
        return (state[vk] & 1) != 0;
    }

    void Tap(std::uint8_t vk) {
        keyboard_->keybd_event(vk, 0, 0);
        keyboard_->keybd_event(vk, 0, KeyboardPlatform::KEYEVENTF_KEYUP);
    }

    // Types a key value the way the emitter does: Shift and AltGr held around the key.
    void Type(std::int16_t value) {
        const bool shift = (value & 0x100) != 0;
        const bool altGr = (value & 0x600) == 0x600;
        if (shift) {
            keyboard_->keybd_event(VK_SHIFT, 0, 0);
        }
        if (altGr) {
            keyboard_->keybd_event(VK_RMENU, 0, 0);
        }
        Tap(static_cast<std::uint8_t>(value & 0xFF));
        if (altGr) {
            keyboard_->keybd_event(VK_RMENU, 0, KeyboardPlatform::KEYEVENTF_KEYUP);
        }
        if (shift) {
            keyboard_->keybd_event(VK_SHIFT, 0, KeyboardPlatform::KEYEVENTF_KEYUP);
        }
    }

    test::XvfbServer server_;
    std::string display_;
    std::unique_ptr<XTestKeyboard> keyboard_;
};

// A focused window of our own that collects the text of the key presses it receives.
class TextWindow {
  public:
    explicit TextWindow(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
        if (display_ == nullptr) {
            return;
        }
        window_ =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 100, 100, 0, 0, 0);
        XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        XEvent event;
        do {
            XNextEvent(display_, &event);
        } while (event.type != MapNotify);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    ~TextWindow() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    bool Ok() const { return display_ != nullptr; }

    // Text of the key presses received until `count` characters have arrived; gives up when
    // the server stays silent for five seconds.
    std::string Receive(std::size_t count) {
        std::string text;
        while (text.size() < count) {
            if (XPending(display_) == 0) {
                pollfd p{ConnectionNumber(display_), POLLIN, 0};
                if (poll(&p, 1, 5000) <= 0) {
                    break;
                }
                continue;
            }
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == KeyPress) {
                char buffer[8];
                KeySym keysym = 0;
                const int n = XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
                text.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return text;
    }

  private:
    Display* display_;
    Window window_ = 0;
};

TEST_F(XTestKeyboardTest, CharactersComeFromTheServerLayout) {
    EXPECT_EQ(keyboard_->VkKeyScanA('a'), 'A');
    EXPECT_EQ(keyboard_->VkKeyScanA('A'), 0x100 | 'A');
    EXPECT_EQ(keyboard_->VkKeyScanA('{'), 0x1DB);
    EXPECT_EQ(keyboard_->VkKeyScanA(0x80), -1);
}

TEST_F(XTestKeyboardTest, LayoutSetWhileRunningTakesEffect) {
    EXPECT_EQ(keyboard_->VkKeyScanA('z'), 'Z');
    SetServerLayout("de");
    KeyboardState state{};
    keyboard_->GetKeyboardState(state);  // as every typed key string begins
    EXPECT_EQ(keyboard_->VkKeyScanA('z'), VkForEvdevCode(KEY_Y));
    EXPECT_EQ(keyboard_->VkKeyScanA(0x80), 0x600 | VkForEvdevCode(KEY_E));
    SetServerLayout("us");
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(keyboard_->VkKeyScanA('z'), 'Z');
}

TEST_F(XTestKeyboardTest, ActiveGroupIsUsed) {
    SetServerLayout("us,de");
    Display* other = XOpenDisplay(display_.c_str());
    ASSERT_NE(other, nullptr);
    XkbLockGroup(other, XkbUseCoreKbd, 1);
    XSync(other, False);
    KeyboardState state{};
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(keyboard_->VkKeyScanA('z'), VkForEvdevCode(KEY_Y));
    XkbLockGroup(other, XkbUseCoreKbd, 0);
    XSync(other, False);
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(keyboard_->VkKeyScanA('z'), 'Z');
    XCloseDisplay(other);
}

TEST_F(XTestKeyboardTest, LockKeysToggleTheLockBits) {
    ASSERT_FALSE(LockBit(VK_CAPITAL));
    keyboard_->keybd_event(VK_CAPITAL, 69, KeyboardPlatform::KEYEVENTF_EXTENDEDKEY);
    keyboard_->keybd_event(
        VK_CAPITAL, 69,
        KeyboardPlatform::KEYEVENTF_EXTENDEDKEY | KeyboardPlatform::KEYEVENTF_KEYUP);
    EXPECT_TRUE(LockBit(VK_CAPITAL));
    Tap(VK_CAPITAL);
    EXPECT_FALSE(LockBit(VK_CAPITAL));

    ASSERT_FALSE(LockBit(VK_NUMLOCK));
    Tap(VK_NUMLOCK);
    EXPECT_TRUE(LockBit(VK_NUMLOCK));
    EXPECT_FALSE(LockBit(VK_CAPITAL));
    Tap(VK_NUMLOCK);
    EXPECT_FALSE(LockBit(VK_NUMLOCK));
}

TEST_F(XTestKeyboardTest, KeptStateComesBackWithLiveLockBits) {
    KeyboardState saved{};
    saved[VK_SHIFT] = 0x80;
    saved[VK_CAPITAL] = 0x01;
    keyboard_->SetKeyboardState(saved);
    KeyboardState state{};
    keyboard_->GetKeyboardState(state);
    EXPECT_EQ(state[VK_SHIFT], 0x80);
    EXPECT_EQ(state[VK_CAPITAL], 0x00);  // Caps Lock is off on the server
}

TEST_F(XTestKeyboardTest, TypedKeysReachTheFocusedWindow) {
    TextWindow window(display_);
    ASSERT_TRUE(window.Ok());
    const std::string text = "aZ{~1";
    for (char c : text) {
        const std::int16_t value = keyboard_->VkKeyScanA(static_cast<std::uint8_t>(c));
        ASSERT_NE(value, -1) << c;
        Type(value);
    }
    EXPECT_EQ(window.Receive(text.size()), text);
}

TEST_F(XTestKeyboardTest, AltGrCharactersReachTheFocusedWindow) {
    SetServerLayout("de");
    KeyboardState state{};
    keyboard_->GetKeyboardState(state);
    TextWindow window(display_);
    ASSERT_TRUE(window.Ok());
    const std::string text = "z@{~\\|<";
    for (char c : text) {
        const std::int16_t value = keyboard_->VkKeyScanA(static_cast<std::uint8_t>(c));
        ASSERT_NE(value, -1) << c;
        Type(value);
    }
    EXPECT_EQ(window.Receive(text.size()), text);
}

TEST_F(XTestKeyboardTest, ServiceEventsAndTickCount) {
    int serviced = 0;
    std::string error;
    auto keyboard = XTestKeyboard::Open([&serviced] { ++serviced; }, &error, display_.c_str());
    ASSERT_NE(keyboard, nullptr) << error;
    keyboard->ServiceEvents();
    EXPECT_EQ(serviced, 1);
    EXPECT_EQ(keyboard->MapVirtualKeyA('A', 0), static_cast<std::uint32_t>(KEY_A));
    const std::uint32_t first = keyboard->GetTickCount();
    EXPECT_LT(keyboard->GetTickCount() - first, 0x80000000u);  // never runs backwards
}

TEST(XTestKeyboardOpen, MissingDisplayIsReported) {
    std::string error;
    auto keyboard = XTestKeyboard::Open(nullptr, &error, ":4097");
    EXPECT_EQ(keyboard, nullptr);
    EXPECT_NE(error.find("\":4097\" cannot be opened"), std::string::npos) << error;
}

}  // namespace
}  // namespace reradav
