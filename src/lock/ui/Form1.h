#pragma once

#include <QDialog>
#include <memory>

#include "common/AppSettings.h"
#include "common/ui/MessageBoxes.h"
#include "lock/RestoreCheck.h"

namespace Ui {
class Form1;
}

namespace reradav {

// Sets the password that guards restoring the main window from the tray. Opens with the
// current password in both boxes; OK stores Text1 when the two agree (both empty removes the
// password), Cancel changes nothing.
class Form1 : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* kMismatch = kPasswordMismatch;

    Form1(AppSettings& settings, MessageBoxes& messages, QWidget* parent = nullptr);
    ~Form1() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Command1_Click();

    std::unique_ptr<Ui::Form1> ui_;
    AppSettings& settings_;
    MessageBoxes& messages_;
};

}  // namespace reradav
