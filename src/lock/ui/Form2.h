#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class Form2;
}

namespace reradav {

// Asks for the password before the main window comes back from the tray. OK gives the typed
// text, Cancel (or closing) the empty text.
class Form2 : public QDialog {
    Q_OBJECT

  public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // Windows-1252, as the password is stored.
    const std::string& EnteredPassword() const { return enteredPassword_; }

    // Shows a prompt modally and returns what it gave.
    static std::string Ask(QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Command1_Click();
    void Command2_Click();
    void TakeFocus();

    std::unique_ptr<Ui::Form2> ui_;
    std::string enteredPassword_;
};

}  // namespace reradav
