// The about box and the splash, offscreen.
#include "shell/ui/frmAbout.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

namespace reradav {
namespace {

// A long settings path is shortened on the box and whole in the tool tip; a note on where the
// settings came from makes the box taller, not cut; OK closes the box; the splash has no OK.
TEST(frmAbout, ShowsTheSettingsFileAndTheKeyboardAndClosesWithOK) {
    const QString path = "/home/" + QString(300, 'x') + "/default.vav";
    frmAbout plain(path, "", "X11, layout fr"), noted(path, "Copied from " + QString(200, 'y'), "");
    const QLabel* text = plain.findChild<QLabel*>("lblDisclaimer");
    EXPECT_TRUE(text->text().contains("default.vav\n\nKeyboard: X11, layout fr") &&
                text->text().contains(QChar(0x2026)) && !text->text().contains(QString(300, 'x')));
    EXPECT_EQ(text->toolTip(), path);
    EXPECT_GT(noted.height(), plain.height());
    const QLabel* more = noted.findChild<QLabel*>("lblDisclaimer");
    EXPECT_GE(more->height(), more->heightForWidth(more->width()));
    plain.show();
    plain.findChild<QPushButton*>("cmdOK")->click();
    EXPECT_TRUE(plain.result() == QDialog::Accepted && !plain.isVisible());
    frmAbout splash(path, "", "X11", frmAbout::Mode::Splash);
    splash.show();
    EXPECT_FALSE(splash.findChild<QPushButton*>("cmdOK")->isVisible());
}

}  // namespace
}  // namespace reradav
