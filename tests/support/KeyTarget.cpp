// A window that writes every key it receives to a file, and shows it: printable text as itself,
// other keys as "<Keysym>" (Qt's own names would make Clear a Delete). Modifier and lock keys
// are left out; they show in the case of the text. Prints "ready" once it holds the focus.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <cstdio>

#include <xkbcommon/xkbcommon.h>

namespace {

class KeyTarget : public QLabel {
  public:
    explicit KeyTarget(const QString& path) : out_(path) {
        setTextFormat(Qt::PlainText), setWordWrap(true), setAlignment(Qt::AlignTop);
        out_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        setWindowTitle("Reradav key target");
        setFocusPolicy(Qt::StrongFocus);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();  // Shift to ScrollLock are one run of codes
        if ((key >= Qt::Key_Shift && key <= Qt::Key_ScrollLock) || key == Qt::Key_AltGr ||
            key == Qt::Key_Mode_switch) {
            return;
        }
        const QString text = event->text();
        const bool printable =
            !text.isEmpty() && text.at(0).unicode() >= 0x20 && text.at(0).unicode() != 0x7F;
        char name[64] = {};
        xkb_keysym_get_name(event->nativeVirtualKey(), name, sizeof name);
        const QString shown = printable ? text : "<" + QString(name) + ">";
        out_.write(shown.toUtf8());
        setText(this->text() + shown + (shown == "<Return>" ? "\n" : ""));
    }

  private:
    QFile out_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    KeyTarget target(QString::fromLocal8Bit(argc > 1 ? argv[1] : "/dev/null"));  // OUTPUT-FILE
    target.resize(480, 160);
    target.show();
    // Without a window manager the window must take the focus itself.
    QTimer focus;
    bool announced = false;
    QObject::connect(&focus, &QTimer::timeout, [&] {
        if (!target.hasFocus()) {
            target.activateWindow(), target.setFocus();
        } else if (!std::exchange(announced, true)) {
            std::puts("ready"), std::fflush(stdout);
        }
    });
    focus.start(100);
    return app.exec();
}
