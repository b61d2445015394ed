#include "lock/ui/LockDialogs.h"

#include <QLineEdit>
#include <QScreen>
#include <QValidator>
#include <QWidget>

#include "common/ui/Windows1252.h"

namespace reradav {

namespace {

class Windows1252Validator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        bool lossless = true;
        ToWindows1252(input, &lossless);
        return lossless ? Acceptable : Invalid;
    }
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
    box.setEchoMode(QLineEdit::Password);
    box.setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    box.setValidator(new Windows1252Validator(&box));
}

}  // namespace reradav
