#pragma once

class QLineEdit;
class QWidget;

namespace reradav {

// What the two password dialogs share.

// Centres a window on its screen (the whole screen, not the work area).
void CentreOnScreen(QWidget& window);

// A password box: one "*" per character, and only characters the settings file can hold
// (Windows-1252), so what is stored is exactly what was typed.
void SetUpPasswordBox(QLineEdit& box);

}  // namespace reradav
