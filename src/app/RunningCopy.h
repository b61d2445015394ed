#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace reradav {

// A second start of the window asks the copy already running for the same settings file to
// come forward, through a local socket beside that file, instead of only saying it runs.

// Asks the copy listening at `path` to show its window on this display; false when none
// answered, or when it runs on another display.
bool AskRunningCopyToShow(const QString& path);

// Listens at `path` while it lives; each request from this display calls `show`.
class ShowRequests : public QObject {
  public:
    ShowRequests(const QString& path, std::function<void()> show);

  private:
    QLocalServer server_;
    std::function<void()> show_;
};

}  // namespace reradav
