#include "keys/linux/KeyboardBackend.h"

#include <gtest/gtest.h>

#include <map>

#include "keys/RecordingKeyboard.h"
#include "support/FakeEnvironment.h"

namespace reradav {
namespace {

// Backends by letter: x XTest, w virtual keyboard, k KWin fake input, m Mutter, p portal,
// u uinput. Those in `opening` open; `tried` is the order they were asked in.
struct Row {
    const char* name;
    std::map<std::string, std::string> env;
    bool unattended;
    std::string opening;
    std::string tried;
    std::string chosen;  // the description's way, "" for none
};

TEST(OpenKeyboard, EachSessionTriesItsWaysInOrderAndNamesTheOneUsed) {
    auto with = [](const char* desktop) {
        return std::map<std::string, std::string>{{"WAYLAND_DISPLAY", "w"},
                                                  {"XDG_SESSION_TYPE", "wayland"},
                                                  {"XDG_CURRENT_DESKTOP", desktop}};
    };
    const Row rows[] = {
        {"x11", {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}, false, "xu", "x", "XTest"},
        {"wlroots", with("sway"), false, "wu", "w", "Wayland virtual keyboard"},
        {"kde", with("KDE"), false, "kpu", "wk", "KWin fake input"},
        {"kde not granted", with("KDE"), false, "pu", "wkp", "KDE remote-desktop portal"},
        {"gnome", with("ubuntu:GNOME"), false, "pu", "wu", "uinput"},
        {"gnome without uinput", with("GNOME"), false, "p", "wup", "GNOME remote-desktop portal"},
        {"gnome unattended", with("GNOME"), true, "mpu", "wm", "GNOME remote desktop"},
        {"gnome unattended refused", with("GNOME"), true, "p", "wmu", ""},
        {"console", {}, true, "p", "u", ""},
    };
    for (const Row& row : rows) {
        std::string tried;
        auto opener = [&](char letter) {
            return [&tried, &row, letter](std::string* error) -> std::unique_ptr<KeyboardPlatform> {
                tried += letter;
                *error = std::string(1, letter) + " failed";
                return row.opening.find(letter) == std::string::npos
                           ? nullptr
                           : std::make_unique<RecordingKeyboard>();
            };
        };
        const KeyboardOpeners openers{test::Env(row.env), opener('x'), opener('w'), opener('k'),
                                      opener('m'),        opener('p'), opener('u'), row.unattended};
        const OpenedKeyboard opened = OpenKeyboard(openers);
        EXPECT_EQ(tried, row.tried) << row.name;
        EXPECT_EQ(opened.description.substr(0, opened.description.find(',')), row.chosen)
            << row.name;
        EXPECT_EQ(
            opened.reason.find(row.tried.back() + std::string(" failed")) != std::string::npos,
            row.chosen.empty())
            << row.name << ": " << opened.reason;
    }
}

}  // namespace
}  // namespace reradav
