// A window that writes every key it receives to a file: printable text as itself, other keys
// as "<Name>". Modifier and lock keys are left out; they show in the case of the text. Prints
// "ready" once it holds the keyboard focus.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

class KeyTarget : public QWidget {
  public:
    explicit KeyTarget(const QString& path) : out_(path) {
        out_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        setWindowTitle("Reradav key target");
        setFocusPolicy(Qt::StrongFocus);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Shift:
            case Qt::Key_Control:
            case Qt::Key_Alt:
            case Qt::Key_AltGr:
            case Qt::Key_Meta:
            case Qt::Key_CapsLock:
            case Qt::Key_NumLock:
            case Qt::Key_ScrollLock:
            case Qt::Key_Mode_switch:
                return;
            default:
                break;
        }
        const QString text = event->text();
        QString record;
        if (!text.isEmpty() && text.at(0).unicode() >= 0x20 && text.at(0).unicode() != 0x7F) {
            record = text;
        } else {
            record = "<" + QKeySequence(event->key()).toString() + ">";
        }
        out_.write(record.toUtf8());
    }
    void focusInEvent(QFocusEvent*) override {
        if (!announced_) {
            announced_ = true;
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }

  private:
    QFile out_;
    bool announced_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: key_target OUTPUT-FILE\n");
        return 2;
    }
    KeyTarget target(QString::fromLocal8Bit(argv[1]));
    target.resize(200, 100);
    target.show();
    // Without a window manager the window must take the focus itself.
    QTimer focus;
    QObject::connect(&focus, &QTimer::timeout, [&] {
        if (!target.hasFocus()) {
            target.activateWindow();
            target.setFocus();
        }
    });
    focus.start(100);
    return app.exec();
}
