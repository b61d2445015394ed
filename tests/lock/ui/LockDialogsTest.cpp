// The two password dialogs, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "lock/ui/Form1.h"
#include "lock/ui/Form2.h"
#include "support/RecordingMessageBoxes.h"

namespace reradav {
namespace {

// Centred on the screen, with a "*" shown for each character of the password.
void ExpectPasswordDialog(QDialog& dialog, QLineEdit* box) {
    const QPoint offCentre = dialog.frameGeometry().center() - dialog.screen()->geometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);
    EXPECT_EQ(box->displayText(), QString(box->text().size(), '*'));
}

TEST(Form1Test, SetsThePasswordOnlyWhenBothBoxesAgree) {
    AppSettings settings;
    settings.Password = "\x80uro";
    RecordingMessageBoxes messages;
    Form1 form(settings, messages);
    form.show();
    auto* text1 = form.findChild<QLineEdit*>("Text1");
    auto* text2 = form.findChild<QLineEdit*>("Text2");
    text2->insert("!");
    // Characters the settings file cannot keep are refused where typed, and the length is what
    // the file gives back.
    text2->insert(QString::fromUtf8("\u043F\u0430"));
    EXPECT_EQ(text2->text().size(), 5);
    text1->setText(QString(250, 'x'));
    EXPECT_EQ(text1->text().size(), 199);
    ExpectPasswordDialog(form, text2);
    form.findChild<QPushButton*>("Command1")->click();
    EXPECT_EQ(messages.texts, QStringList({Form1::kMismatch}));
    text1->setText(text2->text());
    form.findChild<QPushButton*>("Command1")->click();
    EXPECT_EQ(settings.Password, "\x80uro!");
    EXPECT_FALSE(form.isVisible());
}

// The prompt appears while the user works in another window and takes the focus, so that a
// read typed now lands in the password box. OK gives the typed text, Cancel the empty text.
TEST(Form2Test, TakesTheFocusAndGivesTheTypedText) {
    QWidget other;
    other.show();
    Form2 form;
    form.show();
    other.activateWindow();
    QApplication::processEvents();
    auto* text1 = form.findChild<QLineEdit*>("Text1");
    ASSERT_EQ(QApplication::focusWidget(), text1);
    text1->setText("Secret");
    ExpectPasswordDialog(form, text1);
    form.findChild<QPushButton*>("Command1")->click();
    EXPECT_EQ(form.EnteredPassword(), "Secret");
    form.findChild<QPushButton*>("Command2")->click();
    EXPECT_EQ(form.EnteredPassword(), "");
}

}  // namespace
}  // namespace reradav
