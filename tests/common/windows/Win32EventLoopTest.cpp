#include "common/windows/Win32EventLoop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

namespace reradav {
namespace {

// A repeating timer ticks until stopped, a single shot once; a timer may end itself in its
// tick; a quit ends the run it is made in, or made before Run, the next one at once.
TEST(Win32EventLoop, TimersTickAsStartedAndQuitEndsTheRun) {
    Win32EventLoop loop;
    int repeating = 0;
    int once = 0;
    std::unique_ptr<EventLoop::Timer> ticker = loop.NewTimer([&] {
        if (++repeating == 3) {
            ticker.reset();
            loop.Quit(7);
        }
    });
    auto single = loop.NewTimer([&] { ++once; });
    ticker->Start(10);
    single->StartOnce(1);
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_EQ(repeating + once * 10, 13);
    EXPECT_FALSE(single->Active());
    loop.Post([&] { loop.Quit(5); });  // the spent quit ends no later run
    EXPECT_EQ(loop.Run(), 5);
    loop.Quit(4);
    EXPECT_EQ(loop.Run(), 4);
}

TEST(Win32EventLoop, CallsPostedFromAnotherThreadRunInOrderOnTheLoopsThread) {
    Win32EventLoop loop;
    const auto owner = std::this_thread::get_id();
    std::string order;
    bool onOwner = true;
    std::thread poster([&] {
        for (char c : std::string("abcde")) {
            loop.Post([&, c] {
                order += c;
                onOwner = onOwner && std::this_thread::get_id() == owner;
            });
        }
        loop.Post([&] { loop.Quit(0); });
    });
    loop.Run();
    poster.join();
    EXPECT_EQ(order, "abcde");
    EXPECT_TRUE(onOwner);
}

// A key pressed while a key string is typed must wait for its end, in the queue.
TEST(Win32EventLoop, ServicingRunsTimersAndPostedCallsButLeavesKeyboardInputQueued) {
    Win32EventLoop loop;
    // A real key press for a focused window of ours: input, not a posted message.
    HWND window = ::CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                    100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ::SetForegroundWindow(window);
    ::SetFocus(window);
    for (int i = 0; i < 500 && ::GetFocus() != window; ++i) {
        MSG pending;
        while (::PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&pending);
        }
        ::Sleep(2);
    }
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = 'A';
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(::SendInput(2, keys, sizeof(INPUT)), 2u);
    for (int i = 0; i < 500 && (HIWORD(::GetQueueStatus(QS_KEY)) & QS_KEY) == 0; ++i) {
        ::Sleep(2);
    }
    ASSERT_NE(HIWORD(::GetQueueStatus(QS_KEY)) & QS_KEY, 0) << "the key never arrived";
    bool posted = false;
    bool ticked = false;
    loop.Post([&] { posted = true; });
    auto timer = loop.NewTimer([&] { ticked = true; });
    timer->StartOnce(5);
    for (int i = 0; i < 200 && !(posted && ticked); ++i) {
        loop.ServiceEvents(1);
    }
    EXPECT_TRUE(posted);
    EXPECT_TRUE(ticked);
    MSG message;
    EXPECT_TRUE(::PeekMessageW(&message, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace reradav
