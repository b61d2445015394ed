#pragma once

#include <QObject>
#include <optional>

#include "common/EventLoop.h"

namespace reradav {

// The event loop of the QCoreApplication, which must exist first.
class QtEventLoop : public EventLoop {
  public:
    std::unique_ptr<Timer> NewTimer(std::function<void()> tick) override;
    void Post(std::function<void()> call) override;
    void ServiceEvents(int waitMs) override;
    int Run() override;
    void Quit(int status) override;

  private:
    QObject context_;  // posted calls die with it
    std::optional<int> quit_;
};

}  // namespace reradav
