#include "lock/ui/Form2.h"

#include <QTimer>

#include "common/ui/Windows1252.h"
#include "lock/ui/LockDialogs.h"
#include "ui_Form2.h"

namespace reradav {

Form2::Form2(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::Form2>()) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    SetUpPasswordBox(*ui_->Text1);
    ui_->Text1->setFocus();
    setFixedSize(sizeHint());
    connect(ui_->Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(ui_->Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
}

Form2::~Form2() = default;

std::string Form2::Ask(QWidget* parent) {
    Form2 prompt(parent);
    prompt.exec();
    return prompt.EnteredPassword();
}

void Form2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
    // The prompt appears while the user works in another program, and a read completed while
    // it is open must be typed into it: it takes the keyboard focus once it is on screen.
    QTimer::singleShot(0, this, &Form2::TakeFocus);
}

void Form2::TakeFocus() {
    raise();
    activateWindow();
    ui_->Text1->setFocus(Qt::ActiveWindowFocusReason);
}

void Form2::Command1_Click() {
    enteredPassword_ = ToWindows1252(ui_->Text1->text());
    accept();
}

void Form2::Command2_Click() {
    enteredPassword_.clear();
    reject();
}

}  // namespace reradav
