// The about box and its splash variant, offscreen.
#include <gtest/gtest.h>

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "shell/ui/frmAbout.h"
#include "support/WidgetInput.h"

namespace reradav {
namespace {

const QString kSettingsFile = QStringLiteral("/home/someone/.config/reradav/default.vav");

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// What the label shows, without the break opportunities added for long paths.
QString Shown(QLabel* label) {
    return label ? label->text().remove(QChar(0x200B)) : QString();
}

TEST(AboutBoxTest, ShowsNameVersionIconAndSeparator) {
    frmAbout about(kSettingsFile);
    EXPECT_EQ(about.windowTitle(), "About Reradav");
    EXPECT_EQ(Shown(Child<QLabel>(about, "lblTitle")), "Reradav");
    EXPECT_EQ(Shown(Child<QLabel>(about, "lblVersion")), "Version 1.0");
    EXPECT_EQ(about.size(), QSize(399, 350));

    QLabel* icon = Child<QLabel>(about, "picIcon");
    ASSERT_NE(icon, nullptr);
    const QIcon program(QStringLiteral(":/reradav.svg"));
    EXPECT_EQ(icon->pixmap().toImage(), program.pixmap(icon->size()).toImage());

    QFrame* line = Child<QFrame>(about, "linSeparator");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->frameShape(), QFrame::HLine);
    EXPECT_EQ(line->frameShadow(), QFrame::Sunken);
}

TEST(AboutBoxTest, TheDisclaimerWarnsAndNamesTheSettingsFile) {
    frmAbout about(kSettingsFile);
    QLabel* disclaimer = Child<QLabel>(about, "lblDisclaimer");
    ASSERT_NE(disclaimer, nullptr);
    const QString text = Shown(disclaimer);
    EXPECT_TRUE(text.contains("keyboard focus")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(kSettingsFile)) << text.toStdString();
    EXPECT_TRUE(disclaimer->wordWrap());
    EXPECT_EQ(disclaimer->palette().color(QPalette::WindowText), QColor(Qt::black));

    frmAbout other(QStringLiteral("/opt/reradav/default.vav"));
    EXPECT_TRUE(Shown(Child<QLabel>(other, "lblDisclaimer")).endsWith("/opt/reradav/default.vav"));
}

TEST(AboutBoxTest, OkIsTheDefaultButton) {
    frmAbout about(kSettingsFile);
    QPushButton* ok = Child<QPushButton>(about, "cmdOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    about.show();
    ok->click();
    EXPECT_FALSE(about.isVisible());
}

TEST(AboutBoxTest, EnterAndEscBothClose) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        frmAbout about(kSettingsFile);
        about.show();
        ASSERT_TRUE(about.isVisible());
        test::PressKey(&about, key);
        EXPECT_FALSE(about.isVisible()) << key;
    }
}

TEST(AboutBoxTest, TheSplashHasNoCaptionNoButtonAndIsShorter) {
    frmAbout splash(kSettingsFile, frmAbout::Mode::Splash);
    splash.show();
    EXPECT_TRUE(splash.windowTitle().isEmpty());
    QPushButton* ok = Child<QPushButton>(splash, "cmdOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_FALSE(ok->isVisible());
    EXPECT_EQ(splash.size(), QSize(399, 330));
    EXPECT_EQ(Shown(Child<QLabel>(splash, "lblTitle")), "Reradav");

    // A box made after the splash is complete again.
    frmAbout about(kSettingsFile);
    about.show();
    EXPECT_EQ(about.windowTitle(), "About Reradav");
    EXPECT_TRUE(Child<QPushButton>(about, "cmdOK")->isVisible());
}

}  // namespace
}  // namespace reradav
