#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "keys/linux/EvdevKeyboard.h"

struct wl_display;
struct org_kde_kwin_fake_input;

namespace reradav {

// Key events through KWin's fake input (org_kde_kwin_fake_input), which KDE Plasma's Wayland
// session grants, without root, to a program whose desktop entry asks for it. Characters are
// looked up in the keymap KWin gives its clients, so they follow the layout KWin types with.
class KdeFakeInput : public KeySink {
  public:
    // Connects to the compositor of the session. When KWin does not offer fake input to this
    // program, writes the user's desktop entry that asks for it (in `applications`) and tries
    // once more, as KWin rereads the entries within two seconds. nullptr and a sentence in
    // *error when it cannot.
    static std::unique_ptr<EvdevKeyboard> Open(std::function<void()> serviceEvents,
                                               const std::filesystem::path& applications,
                                               std::string* error);
    ~KdeFakeInput() override;
    KdeFakeInput(const KdeFakeInput&) = delete;
    KdeFakeInput& operator=(const KdeFakeInput&) = delete;

    void Key(std::uint16_t code, bool press) override;
    std::string Failure() override;

  private:
    KdeFakeInput(wl_display* display, org_kde_kwin_fake_input* input)
        : display_(display), input_(input) {}

    wl_display* display_;
    org_kde_kwin_fake_input* input_;
};

// The desktop entry that grants `program` (an absolute path) KWin's fake input, written whole
// under a temporary name and renamed into `applications` (KWin sees no change made in place).
// "" or why it could not be written.
std::string WriteFakeInputGrant(const std::filesystem::path& applications,
                                const std::filesystem::path& program);

}  // namespace reradav
