#include "keys/linux/KeyboardBackend.h"

#include <gtest/gtest.h>

#include <map>

namespace reradav {
namespace {

// Only its identity matters here: which opener made it.
class NamedKeyboard : public KeyboardPlatform {
  public:
    explicit NamedKeyboard(std::string name) : name(std::move(name)) {}
    std::int16_t VkKeyScanA(std::uint8_t) override { return -1; }
    std::uint32_t MapVirtualKeyA(std::uint32_t, std::uint32_t) override { return 0; }
    void keybd_event(std::uint8_t, std::uint8_t, std::uint32_t) override {}
    void GetKeyboardState(KeyboardState&) override {}
    void SetKeyboardState(const KeyboardState&) override {}
    std::uint32_t GetTickCount() override { return 0; }
    void ServiceEvents() override {}
    std::string name;
};

using Env = std::map<std::string, std::string>;

EnvLookup Lookup(const Env& env) {
    return [env](const char* name) -> std::optional<std::string> {
        const auto it = env.find(name);
        if (it == env.end()) {
            return std::nullopt;
        }
        return it->second;
    };
}

class KeyboardChoiceTest : public ::testing::Test {
  protected:
    OpenedKeyboard Open(const Env& env) {
        KeyboardOpeners openers;
        openers.env = Lookup(env);
        openers.openXTest = [this](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
            ++xtestCalls_;
            if (!xtestWorks_) {
                *error = "the X display \":0\" has no XTest extension";
                return nullptr;
            }
            return std::make_unique<NamedKeyboard>("xtest");
        };
        openers.openUinput = [this](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
            ++uinputCalls_;
            if (!uinputWorks_) {
                *error = "/dev/uinput cannot be opened (Permission denied)";
                return nullptr;
            }
            return std::make_unique<NamedKeyboard>("uinput");
        };
        return OpenKeyboard(openers);
    }

    static std::string Name(const OpenedKeyboard& opened) {
        auto* keyboard = dynamic_cast<NamedKeyboard*>(opened.keyboard.get());
        return keyboard == nullptr ? "none" : keyboard->name;
    }

    bool xtestWorks_ = true;
    bool uinputWorks_ = true;
    int xtestCalls_ = 0;
    int uinputCalls_ = 0;
};

TEST(IsX11Session, SessionTypeAndDisplayVariables) {
    EXPECT_TRUE(IsX11Session(Lookup({{"XDG_SESSION_TYPE", "x11"}})));
    EXPECT_TRUE(IsX11Session(Lookup({{"XDG_SESSION_TYPE", "x11"}, {"WAYLAND_DISPLAY", "w-0"}})));
    EXPECT_TRUE(IsX11Session(Lookup({{"DISPLAY", ":0"}})));
    EXPECT_TRUE(IsX11Session(Lookup({{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "tty"}})));
    EXPECT_TRUE(IsX11Session(Lookup({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", ""}})));
    EXPECT_FALSE(IsX11Session(Lookup({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}})));
    EXPECT_FALSE(IsX11Session(Lookup({{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}})));
    EXPECT_FALSE(IsX11Session(Lookup({{"DISPLAY", ""}})));
    EXPECT_FALSE(IsX11Session(Lookup({{"XDG_SESSION_TYPE", "tty"}})));
    EXPECT_FALSE(IsX11Session(Lookup({})));
}

TEST_F(KeyboardChoiceTest, X11SessionWithXTestTakesXTest) {
    const auto opened = Open({{"DISPLAY", ":0"}});
    EXPECT_EQ(opened.backend, KeyboardBackend::XTest);
    EXPECT_EQ(Name(opened), "xtest");
    EXPECT_TRUE(opened.reason.empty());
    EXPECT_EQ(uinputCalls_, 0);  // no virtual device is created needlessly
}

TEST_F(KeyboardChoiceTest, X11SessionWithoutXTestFallsBackToUinput) {
    xtestWorks_ = false;
    const auto opened = Open({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}});
    EXPECT_EQ(opened.backend, KeyboardBackend::Uinput);
    EXPECT_EQ(Name(opened), "uinput");
    EXPECT_EQ(xtestCalls_, 1);
}

TEST_F(KeyboardChoiceTest, WaylandSessionNeverTriesXTest) {
    const auto opened = Open({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}});
    EXPECT_EQ(opened.backend, KeyboardBackend::Uinput);
    EXPECT_EQ(Name(opened), "uinput");
    EXPECT_EQ(xtestCalls_, 0);
}

TEST_F(KeyboardChoiceTest, ConsoleTakesUinput) {
    const auto opened = Open({});
    EXPECT_EQ(opened.backend, KeyboardBackend::Uinput);
    EXPECT_EQ(xtestCalls_, 0);
}

TEST_F(KeyboardChoiceTest, NothingOpensOutsideX11) {
    uinputWorks_ = false;
    const auto opened = Open({{"WAYLAND_DISPLAY", "wayland-0"}});
    EXPECT_EQ(opened.backend, KeyboardBackend::None);
    EXPECT_EQ(opened.keyboard, nullptr);
    EXPECT_EQ(opened.reason.rfind("No keyboard output: /dev/uinput cannot be opened "
                                  "(Permission denied). ",
                                  0),
              0u)
        << opened.reason;
    EXPECT_NE(opened.reason.find("udev rule"), std::string::npos) << opened.reason;
    EXPECT_NE(opened.reason.find("X11 session"), std::string::npos) << opened.reason;
    EXPECT_EQ(opened.reason.find("XTest"), std::string::npos) << opened.reason;
}

TEST_F(KeyboardChoiceTest, NothingOpensInX11GivesBothReasons) {
    xtestWorks_ = false;
    uinputWorks_ = false;
    const auto opened = Open({{"DISPLAY", ":0"}});
    EXPECT_EQ(opened.backend, KeyboardBackend::None);
    EXPECT_EQ(opened.keyboard, nullptr);
    EXPECT_NE(opened.reason.find("has no XTest extension"), std::string::npos) << opened.reason;
    EXPECT_NE(opened.reason.find("/dev/uinput cannot be opened (Permission denied)"),
              std::string::npos)
        << opened.reason;
    // Already in X11: the advice is only about uinput.
    EXPECT_EQ(opened.reason.find("X11 session"), std::string::npos) << opened.reason;
    EXPECT_EQ(opened.reason.back(), '.');
}

}  // namespace
}  // namespace reradav
