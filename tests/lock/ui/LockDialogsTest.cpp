// The two password dialogs, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include "lock/ui/Form1.h"
#include "lock/ui/Form2.h"
#include "shell/ui/MessageBoxes.h"
#include "support/WidgetInput.h"

namespace reradav {
namespace {

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QString LabelText(QWidget& dialog, const char* name) {
    QLabel* label = Child<QLabel>(dialog, name);
    return label ? label->text() : QString();
}

void ExpectPasswordBox(QWidget& dialog, const char* name) {
    QLineEdit* box = Child<QLineEdit>(dialog, name);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->echoMode(), QLineEdit::Password) << name;
    EXPECT_EQ(box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box), '*')
        << name;
}

void ExpectDefaultAndCancel(QWidget& dialog) {
    QPushButton* ok = Child<QPushButton>(dialog, "Command1");
    QPushButton* cancel = Child<QPushButton>(dialog, "Command2");
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_FALSE(cancel->isDefault());
}

void ExpectCentred(QWidget& dialog) {
    const QRect screen = dialog.screen()->geometry();
    const QRect frame = dialog.frameGeometry();
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1);
}

// The chain Tab walks from the first box, until it comes back.
QStringList TabOrder(QWidget& dialog, const char* first) {
    QStringList names;
    QWidget* start = Child<QWidget>(dialog, first);
    QWidget* w = start;
    do {
        if (w->focusPolicy() & Qt::TabFocus) {
            names << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != nullptr && w != start);
    return names;
}

AppSettings WithPassword(const char* password) {
    AppSettings settings;
    settings.Password = password;
    return settings;
}

class Form1Test : public ::testing::Test {
  protected:
    void Type(const char* box, const QString& text) {
        QLineEdit* edit = Child<QLineEdit>(form, box);
        edit->clear();
        test::TypeText(edit, text);
    }

    AppSettings settings = WithPassword("Old");
    RecordingMessageBoxes messages;
    Form1 form{settings, messages};
};

TEST_F(Form1Test, LooksLikeTheSetPasswordDialog) {
    EXPECT_EQ(form.windowTitle(), "Reradav Password");
    EXPECT_EQ(LabelText(form, "Label1"), "Enter Password:");
    EXPECT_EQ(LabelText(form, "Label2"), "Confirm Password:");
    ExpectPasswordBox(form, "Text1");
    ExpectPasswordBox(form, "Text2");
    ExpectDefaultAndCancel(form);
    EXPECT_EQ(TabOrder(form, "Text1"), QStringList({"Text1", "Text2", "Command1", "Command2"}));
}

TEST_F(Form1Test, OpensWithTheCurrentPasswordCentredAndTheFocusInTheFirstBox) {
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(Child<QLineEdit>(form, "Text1")->text(), "Old");
    EXPECT_EQ(Child<QLineEdit>(form, "Text2")->text(), "Old");
    EXPECT_EQ(form.focusWidget(), Child<QWidget>(form, "Text1"));
    ExpectCentred(form);
}

TEST_F(Form1Test, EnterWithMatchingTextsSetsThePassword) {
    form.show();
    Type("Text1", "New Pass");
    Type("Text2", "New Pass");
    test::PressKey(Child<QLineEdit>(form, "Text2"), Qt::Key_Return);
    EXPECT_EQ(settings.Password, "New Pass");
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(Form1Test, AMismatchIsReportedAndChangesNothing) {
    form.show();
    Type("Text1", "Secret");
    Type("Text2", "secret");
    Child<QPushButton>(form, "Command1")->click();
    EXPECT_EQ(messages.texts,
              QStringList({"Your confirming password does not match your password. Please "
                           "re-enter."}));
    EXPECT_EQ(messages.parents.value(0), &form);
    EXPECT_EQ(settings.Password, "Old");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Child<QLineEdit>(form, "Text1")->text(), "Secret");
    EXPECT_EQ(Child<QLineEdit>(form, "Text2")->text(), "secret");

    // Once the two agree, OK stores the password.
    Type("Text2", "Secret");
    Child<QPushButton>(form, "Command1")->click();
    EXPECT_EQ(settings.Password, "Secret");
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(Form1Test, BothBoxesClearedRemovesThePassword) {
    form.show();
    Child<QLineEdit>(form, "Text1")->clear();
    Child<QLineEdit>(form, "Text2")->clear();
    Child<QPushButton>(form, "Command1")->click();
    EXPECT_EQ(settings.Password, "");
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(Form1Test, CancelAndEscChangeNothing) {
    form.show();
    Type("Text1", "Other");
    Type("Text2", "Other");
    test::PressKey(Child<QLineEdit>(form, "Text1"), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);

    Form1 again(settings, messages);
    again.show();
    QLineEdit* text1 = Child<QLineEdit>(again, "Text1");
    QLineEdit* text2 = Child<QLineEdit>(again, "Text2");
    text1->setText("Other");
    text2->setText("Other");
    Child<QPushButton>(again, "Command2")->click();
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(settings.Password, "Old");
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(Form1Test, PasswordsAreStoredAsWindows1252) {
    settings.Password = "\x80uro";  // the euro sign in Windows-1252
    Form1 form1252(settings, messages);
    EXPECT_EQ(Child<QLineEdit>(form1252, "Text1")->text(), QString::fromUtf8("\u20ACuro"));
    form1252.show();
    QLineEdit* text1 = Child<QLineEdit>(form1252, "Text1");
    QLineEdit* text2 = Child<QLineEdit>(form1252, "Text2");
    text1->setText(QString::fromUtf8("caf\u00E9\u20AC"));
    text2->setText(QString::fromUtf8("caf\u00E9\u20AC"));
    Child<QPushButton>(form1252, "Command1")->click();
    EXPECT_EQ(settings.Password, "caf\xe9\x80");
}

TEST_F(Form1Test, CharactersTheSettingsFileCannotHoldCannotBeTyped) {
    form.show();
    QLineEdit* text1 = Child<QLineEdit>(form, "Text1");
    text1->clear();
    test::TypeText(text1, QString::fromUtf8("a\u0142b"));  // l with stroke: not in 1252
    EXPECT_EQ(text1->text(), "ab");
}

class Form2Test : public ::testing::Test {
  protected:
    Form2 form;
};

TEST_F(Form2Test, LooksLikeThePasswordPrompt) {
    EXPECT_EQ(form.windowTitle(), "Reradav Password");
    EXPECT_EQ(LabelText(form, "Label1"), "Enter Password:");
    EXPECT_EQ(form.findChild<QLabel*>("Label2"), nullptr);
    EXPECT_EQ(form.findChild<QLineEdit*>("Text2"), nullptr);
    ExpectPasswordBox(form, "Text1");
    EXPECT_TRUE(Child<QLineEdit>(form, "Text1")->text().isEmpty());
    ExpectDefaultAndCancel(form);
    EXPECT_EQ(TabOrder(form, "Text1"), QStringList({"Text1", "Command1", "Command2"}));
}

TEST_F(Form2Test, EnterGivesTheTypedText) {
    form.show();
    QLineEdit* text1 = Child<QLineEdit>(form, "Text1");
    test::TypeText(text1, "Secret");
    test::PressKey(text1, Qt::Key_Return);
    EXPECT_EQ(form.EnteredPassword(), "Secret");
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Form2Test, CancelAndEscGiveTheEmptyText) {
    form.show();
    QLineEdit* text1 = Child<QLineEdit>(form, "Text1");
    test::TypeText(text1, "Secret");
    Child<QPushButton>(form, "Command2")->click();
    EXPECT_EQ(form.EnteredPassword(), "");
    EXPECT_FALSE(form.isVisible());

    Form2 other;
    other.show();
    test::TypeText(Child<QLineEdit>(other, "Text1"), "Secret");
    test::PressKey(Child<QLineEdit>(other, "Text1"), Qt::Key_Escape);
    EXPECT_EQ(other.EnteredPassword(), "");
    EXPECT_EQ(other.result(), QDialog::Rejected);
}

TEST_F(Form2Test, TakesTheKeyboardFocusWhenShown) {
    // Another window takes the focus just as the prompt appears (the user is working in
    // another program); once on screen the prompt takes it back.
    QWidget other;
    other.show();
    form.show();
    other.activateWindow();
    ExpectCentred(form);
    for (int round = 0; round < 3; ++round) {
        QApplication::processEvents();
    }
    EXPECT_EQ(QApplication::activeWindow(), &form);
    // So a read typed now lands in the password box.
    EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>(form, "Text1"));
}

TEST_F(Form2Test, AskRunsThePromptModally) {
    QTimer::singleShot(0, [] {
        auto* prompt = qobject_cast<Form2*>(QApplication::activeModalWidget());
        ASSERT_NE(prompt, nullptr);
        QLineEdit* text1 = prompt->findChild<QLineEdit*>("Text1");
        test::TypeText(text1, "typed");
        test::PressKey(text1, Qt::Key_Return);
    });
    EXPECT_EQ(Form2::Ask(), "typed");
}

}  // namespace
}  // namespace reradav
