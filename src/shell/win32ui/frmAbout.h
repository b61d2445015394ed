#pragma once

#include <string>

#include "common/win32ui/Dialog.h"

namespace reradav {

// The about box: program name, version, and a warning with the settings file in use. Enter and
// Esc both close it. Also the splash of start-up: no caption, no button, a little shorter.
class frmAbout : public Dialog {
  public:
    enum class Mode { About, Splash };

    // UTF-8 texts; `origin` says where the settings came from, or "".
    frmAbout(std::string settingsFile, std::string origin, std::string keyboard,
             Mode mode = Mode::About)
        : settingsFile_(std::move(settingsFile)),
          origin_(std::move(origin)),
          keyboard_(std::move(keyboard)),
          mode_(mode) {}
    ~frmAbout() override;

    void ShowModal(HWND owner);
    // Shown at once and drawn now (start-up paints nothing else for a while).
    void ShowModeless();

  private:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::string settingsFile_;
    std::string origin_;
    std::string keyboard_;
    Mode mode_;
    HFONT titleFont_ = nullptr;
};

}  // namespace reradav
