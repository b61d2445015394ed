#include "shell/windows/SessionEnd.h"

#include <gtest/gtest.h>

#include <atomic>

#include "common/windows/Win32EventLoop.h"

namespace reradav {

// Reports come on the system's threads; the quit runs once, on the loop's thread.
TEST(WindowsSessionEnd, CtrlCQuitsOnceAndALogOffIsAnsweredWhenTheSettingsAreSaved) {
    Win32EventLoop loop;
    const DWORD loopThread = ::GetCurrentThreadId();
    std::atomic<int> quits = 0;
    SessionEnd end(loop, [&] { quits += ::GetCurrentThreadId() == loopThread ? 1 : 100; });
    // On a console of this process alone: the event must not reach whoever started the tests.
    ::FreeConsole();
    ASSERT_TRUE(::AllocConsole());
    ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    for (int i = 0; i < 300 && quits == 0; ++i) {
        loop.ServiceEvents(10);
    }
    std::atomic<bool> answered = false;
    std::thread logOff([&] {
        ::SendMessageW(::FindWindowW(L"ReradavSessionEnd", nullptr), WM_ENDSESSION, TRUE, 0);
        answered = true;
    });
    ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    for (int i = 0; i < 30; ++i) {
        loop.ServiceEvents(10);
    }
    EXPECT_FALSE(answered) << "the process would end before the save";
    end.Done();
    logOff.join();
    ::FreeConsole();
    ::AttachConsole(ATTACH_PARENT_PROCESS);
    EXPECT_EQ(quits, 1);
}

}  // namespace reradav
