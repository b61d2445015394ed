#include "lock/ui/LockDialogs.h"

#include <QIcon>
#include <QLineEdit>
#include <QScreen>
#include <QToolTip>
#include <QValidator>
#include <QWidget>

#include "common/AppSettings.h"
#include "common/ui/Windows1252.h"

namespace reradav {

namespace {

// The settings file keeps a password in Windows-1252: a character outside it is refused where
// it is typed, and the box says which, rather than dropping it (a Cyrillic password would
// otherwise be saved empty, which removes the lock).
class Windows1252Validator : public QValidator {
  public:
    explicit Windows1252Validator(QLineEdit& box) : QValidator(&box), box_(box) {}
    State validate(QString& input, int&) const override {
        for (const QChar c : input) {
            bool lossless = true;
            ToWindows1252(QString(c), &lossless);
            if (!lossless) {
                QToolTip::showText(
                    box_.mapToGlobal(QPoint(0, box_.height())),
                    QStringLiteral("\u201C%1\u201D cannot be used in a password.").arg(c), &box_);
                return Invalid;
            }
        }
        return Acceptable;
    }

  private:
    QLineEdit& box_;
};

}  // namespace

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.x() + (area.width() - size.width()) / 2,
                area.y() + (area.height() - size.height()) / 2);
}

void SetUpPasswordBox(QLineEdit& box) {
    box.window()->setWindowIcon(QIcon(QStringLiteral(":/reradav.svg")));
    box.setEchoMode(QLineEdit::Password);
    box.setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    box.setValidator(new Windows1252Validator(box));
    // What the settings file gives back: a longer password would be cut on the next start.
    box.setMaxLength(static_cast<int>(kMaxSettingLength));
}

}  // namespace reradav
