#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "common/EventLoop.h"

namespace reradav {

// Ctrl+C, Ctrl+Break, closing the console, logging off and shutting down end the program the
// orderly way. Windows tells of them on threads of its own: a console handler, and a hidden
// top-level window with a thread of its own (a program gets no WM_ENDSESSION without one, and
// the loop's thread may be busy). Each posts the quit to `loop`, where `onQuit` runs once, on the
// first of them; later ones are absorbed. The process ends as soon as a close, log-off or
// shutdown is answered, so those answers wait until Done() says the settings are saved, a few
// seconds at most. One object at a time, made and destroyed on the loop's thread; the loop
// outlives it. The destructor removes the handler and the window.
class SessionEnd {
  public:
    SessionEnd(EventLoop& loop, std::function<void()> onQuit);
    ~SessionEnd();
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    // False when the handler or the window could not be set up.
    bool Installed() const { return installed_; }
    // The orderly end is complete: an answer that waits may let the process end.
    void Done();

  private:
    static BOOL WINAPI OnConsoleEvent(DWORD event);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Posts the quit; with `processEnds`, waits for Done. False when no object is there.
    static bool Tell(bool processEnds);
    void RunWindow(std::promise<HWND>& made);

    EventLoop& loop_;
    // Emptied when it runs: the quit calls still queued find nothing to do.
    std::shared_ptr<std::function<void()>> onQuit_;
    std::mutex doneLock_;
    std::condition_variable doneChanged_;
    bool done_ = false;
    HWND window_ = nullptr;
    std::thread windowThread_;
    bool installed_ = false;
};

}  // namespace reradav
