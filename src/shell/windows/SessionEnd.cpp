#include "shell/windows/SessionEnd.h"

#include <chrono>
#include <utility>

namespace reradav {
namespace {

constexpr wchar_t kWindowClass[] = L"ReradavSessionEnd";
// Windows waits about five seconds for an answer before it ends the process itself.
constexpr auto kSaveTime = std::chrono::seconds(4);

// The console handler has no context: the object it reports to.
std::mutex gCurrentLock;
SessionEnd* gCurrent = nullptr;

}  // namespace

SessionEnd::SessionEnd(EventLoop& loop, std::function<void()> onQuit)
    : loop_(loop), onQuit_(std::make_shared<std::function<void()>>(std::move(onQuit))) {
    {
        std::lock_guard lock(gCurrentLock);
        gCurrent = this;
    }
    std::promise<HWND> made;
    std::future<HWND> window = made.get_future();
    windowThread_ = std::thread([this, &made] { RunWindow(made); });
    window_ = window.get();
    installed_ = ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) && window_ != nullptr;
}

SessionEnd::~SessionEnd() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    Done();
    {
        std::lock_guard lock(gCurrentLock);  // after a report in progress
        gCurrent = nullptr;
    }
    if (window_ != nullptr) {
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    windowThread_.join();
    *onQuit_ = nullptr;
}

void SessionEnd::Done() {
    {
        std::lock_guard lock(doneLock_);
        done_ = true;
    }
    doneChanged_.notify_all();
}

bool SessionEnd::Tell(bool processEnds) {
    std::lock_guard lock(gCurrentLock);
    SessionEnd* self = gCurrent;
    if (self == nullptr) {
        return false;
    }
    self->loop_.Post([quit = self->onQuit_] {
        if (*quit) {
            std::exchange(*quit, nullptr)();
        }
    });
    if (processEnds) {
        std::unique_lock wait(self->doneLock_);
        self->doneChanged_.wait_for(wait, kSaveTime, [self] { return self->done_; });
    }
    return true;
}

BOOL WINAPI SessionEnd::OnConsoleEvent(DWORD event) {
    return Tell(event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT);
}

LRESULT CALLBACK SessionEnd::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENDSESSION) {
        if (wParam) {
            Tell(true);
        }
        return 0;
    }
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void SessionEnd::RunWindow(std::promise<HWND>& made) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);  // fails harmlessly when an earlier object registered it
    // Top-level and never shown: a message-only window gets no session messages.
    const HWND window = ::CreateWindowExW(0, kWindowClass, L"Reradav", WS_POPUP, 0, 0, 0, 0,
                                          nullptr, nullptr, windowClass.hInstance, nullptr);
    made.set_value(window);
    MSG message;
    while (window != nullptr && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&message);
    }
}

}  // namespace reradav
