#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace reradav {

// The program's message boxes: an "OK" button only, the title "Reradav". Everything that
// tells the user something goes through this seam, so tests can see it without a modal loop.
class MessageBoxes {
  public:
    static constexpr const char* kTitle = "Reradav";

    virtual ~MessageBoxes() = default;
    // Returns when the user has dismissed the message.
    virtual void Show(QWidget* parent, const QString& text) = 0;
};

// A modal QMessageBox.
class QtMessageBoxes : public MessageBoxes {
  public:
    void Show(QWidget* parent, const QString& text) override;
};

}  // namespace reradav
