#include "shell/linux/QuitSignals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>
#include <thread>

namespace reradav {
namespace {

// Runs the event loop until `done` holds; bounded so that a lost signal fails instead of hanging.
template <typename Done>
void ProcessEventsUntil(Done done) {
    QTimer wake;
    wake.start(20);
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void ProcessPendingEvents() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

class QuitSignalsTest : public ::testing::TestWithParam<int> {};

TEST_P(QuitSignalsTest, SignalRunsTheCallbackLaterOnTheUiThread) {
    int calls = 0;
    QThread* thread = nullptr;
    QuitSignals quit([&] {
        ++calls;
        thread = QThread::currentThread();
    });
    ASSERT_TRUE(quit.Installed());

    ASSERT_EQ(::raise(GetParam()), 0);
    // Not from inside the handler: only the event loop runs it.
    EXPECT_EQ(calls, 0);
    ProcessEventsUntil([&] { return calls > 0; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(thread, QCoreApplication::instance()->thread());
}

INSTANTIATE_TEST_SUITE_P(QuitSignals, QuitSignalsTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(QuitSignals, SignalFromAnotherThreadReachesTheUiThread) {
    int calls = 0;
    QThread* thread = nullptr;
    QuitSignals quit([&] {
        ++calls;
        thread = QThread::currentThread();
    });
    std::thread sender([] { ::kill(::getpid(), SIGTERM); });
    sender.join();
    ProcessEventsUntil([&] { return calls > 0; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(thread, QCoreApplication::instance()->thread());
}

TEST(QuitSignals, RepeatedSignalsCallOnce) {
    int calls = 0;
    QuitSignals quit([&] { ++calls; });
    // More than a pipe holds: the handler must drop bytes, never block.
    for (int i = 0; i < 70000; ++i) {
        ::raise(i % 2 == 0 ? SIGTERM : SIGINT);
    }
    ProcessEventsUntil([&] { return calls > 0; });
    ::raise(SIGHUP);
    ProcessPendingEvents();
    EXPECT_EQ(calls, 1);
}

TEST(QuitSignals, SignalsWhileQuittingAreAbsorbed) {
    int calls = 0;
    QuitSignals quit([&] {
        ++calls;
        // The orderly end in progress: another Ctrl+C, another stop request.
        ::raise(SIGINT);
        ::raise(SIGTERM);
        ProcessPendingEvents();
    });
    ::raise(SIGTERM);
    ProcessEventsUntil([&] { return calls > 0; });
    ProcessPendingEvents();
    EXPECT_EQ(calls, 1);
}

TEST(QuitSignals, RestoresThePreviousHandlers) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction saved {};
    ASSERT_EQ(::sigaction(SIGHUP, &ignore, &saved), 0);
    {
        QuitSignals quit([] {});
        struct sigaction during {};
        ::sigaction(SIGHUP, nullptr, &during);
        EXPECT_NE(during.sa_handler, SIG_IGN);
    }
    struct sigaction after {};
    ::sigaction(SIGHUP, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
    ::sigaction(SIGHUP, &saved, nullptr);
}

TEST(QuitSignals, ANewObjectAfterAnEarlierOneWorks) {
    {
        QuitSignals first([] {});
    }
    int calls = 0;
    QuitSignals second([&] { ++calls; });
    ::raise(SIGTERM);
    ProcessEventsUntil([&] { return calls > 0; });
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace reradav
