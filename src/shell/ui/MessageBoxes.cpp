#include "shell/ui/MessageBoxes.h"

#include <QIcon>
#include <QMessageBox>

namespace reradav {

void QtMessageBoxes::Show(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kTitle), text, QMessageBox::Ok,
                    parent);
    box.setWindowIcon(QIcon(QStringLiteral(":/reradav.svg")));
    // Wide enough for its title: a short text would cut "Reradav" to "R… av".
    box.setStyleSheet(QStringLiteral("QLabel { min-width: 14em; }"));
    box.exec();
}

}  // namespace reradav
