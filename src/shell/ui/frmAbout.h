#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class frmAbout;
}

namespace reradav {

// The about box: program name, version, and a warning with the settings file in use. Enter
// and Esc both close it. Whether it is modal is the caller's choice (exec() or show()).
class frmAbout : public QDialog {
    Q_OBJECT

  public:
    // Splash: the start-up variant, without caption and button and a little shorter.
    enum class Mode { About, Splash };

    static constexpr int kWidth = 399;  // 5985 x 5250 twips at 96 dpi
    static constexpr int kHeight = 350;
    static constexpr int kSplashHeight = 330;

    // `origin`: a line on where the settings came from, or "".
    frmAbout(const QString& settingsFile, const QString& origin, const QString& keyboard,
             Mode mode = Mode::About, QWidget* parent = nullptr);
    ~frmAbout() override;

    static QString DisclaimerText(const QString& settingsFile, const QString& origin,
                                  const QString& keyboard);

  private:
    std::unique_ptr<Ui::frmAbout> ui_;
};

}  // namespace reradav
