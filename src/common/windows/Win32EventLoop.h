#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <mutex>

#include "common/EventLoop.h"

namespace reradav {

// The message queue of the thread that makes it: timers are SetTimer timers and posted calls
// PostMessage to a message-only window of its own, so they run inside any message loop of the
// thread (a dialog's too). While it exists the system timer ticks every millisecond, so a
// 1 ms pause between two keys is one, not 16.
class Win32EventLoop : public EventLoop {
  public:
    Win32EventLoop();
    ~Win32EventLoop() override;
    Win32EventLoop(const Win32EventLoop&) = delete;
    Win32EventLoop& operator=(const Win32EventLoop&) = delete;

    std::unique_ptr<Timer> NewTimer(std::function<void()> tick) override;
    void Post(std::function<void()> call) override;
    void ServiceEvents(int waitMs) override;
    int Run() override;
    void Quit(int status) override;

  private:
    class Win32Timer;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RunPosted();
    bool DispatchPending();

    HWND window_ = nullptr;
    UINT_PTR nextTimerId_ = 1;
    std::map<UINT_PTR, Win32Timer*> timers_;
    std::mutex postedLock_;
    std::deque<std::function<void()>> posted_;
    bool quitting_ = false;
    int status_ = 0;
};

}  // namespace reradav
