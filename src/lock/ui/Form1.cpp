#include "lock/ui/Form1.h"

#include "common/ui/Windows1252.h"
#include "lock/ui/LockDialogs.h"
#include "ui_Form1.h"

namespace reradav {

Form1::Form1(AppSettings& settings, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::Form1>()),
      settings_(settings),
      messages_(messages) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    SetUpPasswordBox(*ui_->Text1);
    SetUpPasswordBox(*ui_->Text2);
    const QString current = FromWindows1252(settings_.Password);
    ui_->Text1->setText(current);
    ui_->Text2->setText(current);
    ui_->Text1->setFocus();
    setFixedSize(sizeHint());
    connect(ui_->Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(ui_->Command2, &QPushButton::clicked, this, &QDialog::reject);
}

Form1::~Form1() = default;

void Form1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

void Form1::Command1_Click() {
    if (ui_->Text2->text() != ui_->Text1->text()) {
        messages_.Show(this, QString::fromLatin1(kMismatch));
        return;
    }
    settings_.Password = ToWindows1252(ui_->Text1->text());
    accept();
}

}  // namespace reradav
