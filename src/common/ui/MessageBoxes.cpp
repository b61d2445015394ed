#include "common/ui/MessageBoxes.h"

#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>

namespace reradav {

void QtMessageBoxes::Show(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kTitle), text, QMessageBox::Ok,
                    parent);
    box.setWindowIcon(QIcon(QStringLiteral(":/reradav.svg")));
    // Wide enough for its title: a short text would cut "Reradav" to "R… av". A spacer, as the
    // box sizes itself to its text and ignores a minimum width.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(box.fontMetrics().averageCharWidth() * 30, 0,
                                      QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

}  // namespace reradav
