#include "common/linux/QtEventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace reradav {
namespace {

class QtTimer : public EventLoop::Timer {
  public:
    explicit QtTimer(std::function<void()> tick) {
        // Precise: the framing's 50 ms pause and the pacing must not drift by 5 %.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
    }
    void Start(int intervalMs) override {
        timer_.setSingleShot(false);
        timer_.start(intervalMs);
    }
    void StartOnce(int delayMs) override {
        timer_.setSingleShot(true);
        timer_.start(delayMs);
    }
    void Stop() override { timer_.stop(); }
    bool Active() const override { return timer_.isActive(); }

  private:
    QTimer timer_;
};

}  // namespace

std::unique_ptr<EventLoop::Timer> QtEventLoop::NewTimer(std::function<void()> tick) {
    return std::make_unique<QtTimer>(std::move(tick));
}

void QtEventLoop::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(&context_, std::move(call), Qt::QueuedConnection);
}

void QtEventLoop::ServiceEvents(int waitMs) {
    QEventLoop wait;
    QTimer::singleShot(waitMs, Qt::PreciseTimer, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

int QtEventLoop::Run() {
    // Qt ignores an exit while no loop runs.
    const int status = quit_ ? *quit_ : QCoreApplication::exec();
    quit_.reset();
    return status;
}

void QtEventLoop::Quit(int status) {
    quit_ = status;
    QCoreApplication::exit(status);
}

}  // namespace reradav
