#pragma once

#include <QList>
#include <QStringList>

#include "common/ui/MessageBoxes.h"

namespace reradav {

// Records each text and returns at once.
class RecordingMessageBoxes : public MessageBoxes {
  public:
    void Show(QWidget* parent, const QString& text) override {
        texts.append(text);
        parents.append(parent);
    }

    QStringList texts;
    QList<QWidget*> parents;
};

}  // namespace reradav
