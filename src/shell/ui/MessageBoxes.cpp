#include "shell/ui/MessageBoxes.h"

#include <QMessageBox>

namespace reradav {

void QtMessageBoxes::Show(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kTitle), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

}  // namespace reradav
