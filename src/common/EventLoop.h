#pragma once

#include <functional>
#include <memory>

namespace reradav {

// The program's event loop as the engine and the Windows adapters see it: Qt's on Linux, the
// thread's message queue on Windows. Every call but Post is made on the loop's own thread.
class EventLoop {
  public:
    // Calls its tick on the loop's thread each interval (or once) until stopped or destroyed.
    class Timer {
      public:
        virtual ~Timer() = default;
        // (Re)starts it: the first tick comes `intervalMs` from now.
        virtual void Start(int intervalMs) = 0;
        virtual void StartOnce(int delayMs) = 0;
        virtual void Stop() = 0;
        virtual bool Active() const = 0;
    };

    virtual ~EventLoop() = default;

    virtual std::unique_ptr<Timer> NewTimer(std::function<void()> tick) = 0;
    // From any thread: `call` runs on the loop's thread once the events before it have run.
    // Calls still queued when the loop is destroyed are dropped.
    virtual void Post(std::function<void()> call) = 0;
    // Runs the events that are due, waiting up to `waitMs` for the first of them (the pause
    // between two keys). User input stays queued: no dialog opens while a key is down.
    virtual void ServiceEvents(int waitMs) = 0;
    // Runs events until Quit (one made before Run ends it at once); returns its status.
    virtual int Run() = 0;
    virtual void Quit(int status) = 0;
};

}  // namespace reradav
