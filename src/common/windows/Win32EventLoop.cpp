#include "common/windows/Win32EventLoop.h"

#include <timeapi.h>

#include <string_view>

namespace reradav {
namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"ReradavEventLoop";
// Everything but keyboard and mouse input.
constexpr UINT kNonInputEvents = QS_POSTMESSAGE | QS_TIMER | QS_SENDMESSAGE | QS_PAINT;
constexpr UINT kNonInputMessages = PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE | PM_QS_PAINT;

// A modeless dialog's keys (Tab, Enter, Esc, mnemonics) are the dialog manager's to handle.
bool DialogKey(MSG& message) {
    HWND root = message.hwnd != nullptr ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    wchar_t name[8] = {};
    return root != nullptr && ::GetClassNameW(root, name, 8) > 0 &&
           std::wstring_view(name) == L"#32770" && ::IsDialogMessageW(root, &message);
}

}  // namespace

class Win32EventLoop::Win32Timer : public EventLoop::Timer {
  public:
    Win32Timer(Win32EventLoop& loop, std::function<void()> tick)
        : loop_(loop), id_(loop.nextTimerId_++), tick_(std::move(tick)) {
        loop_.timers_[id_] = this;
    }
    ~Win32Timer() override {
        Stop();
        loop_.timers_.erase(id_);
    }
    void Start(int intervalMs) override { Set(intervalMs, false); }
    void StartOnce(int delayMs) override { Set(delayMs, true); }
    void Stop() override {
        if (active_) {
            ::KillTimer(loop_.window_, id_);  // also removes a WM_TIMER already queued
            active_ = false;
        }
    }
    bool Active() const override { return active_; }

    void Tick() {
        if (once_) {
            Stop();
        }
        tick_();  // may destroy this timer
    }

  private:
    void Set(int ms, bool once) {
        once_ = once;
        active_ = ::SetTimer(loop_.window_, id_, static_cast<UINT>(ms < 0 ? 0 : ms), nullptr) != 0;
    }

    Win32EventLoop& loop_;
    UINT_PTR id_;
    std::function<void()> tick_;
    bool once_ = false;
    bool active_ = false;
};

Win32EventLoop::Win32EventLoop() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);  // fails harmlessly when a loop registered it before
    window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::timeBeginPeriod(1);
}

Win32EventLoop::~Win32EventLoop() {
    ::timeEndPeriod(1);
    ::DestroyWindow(window_);
}

std::unique_ptr<EventLoop::Timer> Win32EventLoop::NewTimer(std::function<void()> tick) {
    return std::make_unique<Win32Timer>(*this, std::move(tick));
}

void Win32EventLoop::Post(std::function<void()> call) {
    std::lock_guard lock(postedLock_);
    posted_.push_back(std::move(call));
    if (posted_.size() == 1) {
        ::PostMessageW(window_, kRunPosted, 0, 0);
    }
}

void Win32EventLoop::RunPosted() {
    // Only the calls queued so far: one that posts again runs on the next turn.
    std::deque<std::function<void()>> calls;
    {
        std::lock_guard lock(postedLock_);
        calls.swap(posted_);
    }
    for (auto& call : calls) {
        call();
    }
}

LRESULT CALLBACK Win32EventLoop::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    auto* loop = reinterpret_cast<Win32EventLoop*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (loop != nullptr && message == WM_TIMER) {
        if (auto it = loop->timers_.find(wParam); it != loop->timers_.end()) {
            it->second->Tick();
        }
        return 0;
    }
    if (loop != nullptr && message == kRunPosted) {
        loop->RunPosted();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool Win32EventLoop::DispatchPending() {
    bool any = false;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | kNonInputMessages)) {
        any = true;
        if (message.message == WM_QUIT) {
            Quit(static_cast<int>(message.wParam));
            break;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return any;
}

void Win32EventLoop::ServiceEvents(int waitMs) {
    if (!DispatchPending()) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(waitMs), kNonInputEvents, 0);
        DispatchPending();
    }
}

int Win32EventLoop::Run() {
    MSG message;
    while (!quitting_) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            status_ = got == 0 ? static_cast<int>(message.wParam) : 1;
            break;
        }
        if (DialogKey(message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    quitting_ = false;  // the quit is spent: a later Run runs until its own
    return status_;
}

void Win32EventLoop::Quit(int status) {
    quitting_ = true;
    status_ = status;
    ::PostMessageW(window_, WM_NULL, 0, 0);  // wakes a GetMessage that waits
}

}  // namespace reradav
