#include "shell/ui/frmAbout.h"

#include <algorithm>

#include <QIcon>
#include <QPalette>

#include "shell/AboutText.h"
#include "ui_frmAbout.h"

namespace reradav {

namespace {

// A path has no blanks to wrap at; a zero-width space after each separator lets a long one
// wrap inside the label instead of being cut off.
QString Wrappable(QString path) {
    return path.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
}

}  // namespace

frmAbout::frmAbout(const QString& settingsFile, const QString& origin, const QString& keyboard,
                   Mode mode, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::frmAbout>()) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const QIcon icon(QStringLiteral(":/reradav.svg"));
    setWindowIcon(icon);
    ui_->picIcon->setPixmap(icon.pixmap(ui_->picIcon->size()));
    ui_->lblVersion->setText(QStringLiteral("Version " RERADAV_VERSION));

    QPalette black = ui_->lblDisclaimer->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    ui_->lblDisclaimer->setPalette(black);
    // A long path is shortened in the middle to two lines of the box; the tool tip has it whole.
    const QString shown = ui_->lblDisclaimer->fontMetrics().elidedText(
        settingsFile, Qt::ElideMiddle, 2 * ui_->lblDisclaimer->width() - 20);
    ui_->lblDisclaimer->setText(Wrappable(DisclaimerText(shown, origin, keyboard)));
    ui_->lblDisclaimer->setToolTip(settingsFile);
    // The path and the address are there to be copied.
    ui_->lblDisclaimer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A note on where the settings came from may need more lines: the box grows to show them.
    const int extra = std::max(0, ui_->lblDisclaimer->heightForWidth(ui_->lblDisclaimer->width()) -
                                      ui_->lblDisclaimer->height());
    ui_->lblDisclaimer->resize(ui_->lblDisclaimer->width(), ui_->lblDisclaimer->height() + extra);

    connect(ui_->cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    if (mode == Mode::Splash) {
        ui_->cmdOK->hide();
        setWindowTitle(QString());
        setWindowFlags(Qt::SplashScreen);  // no frame from the window manager
        setFixedSize(kWidth, kSplashHeight + extra);
    } else {
        setFixedSize(kWidth, kHeight + extra);
    }
}

frmAbout::~frmAbout() = default;

QString frmAbout::DisclaimerText(const QString& settingsFile, const QString& origin,
                                 const QString& keyboard) {
    return QString::fromStdString(reradav::DisclaimerText(
        settingsFile.toStdString(), origin.toStdString(), keyboard.toStdString()));
}

}  // namespace reradav
