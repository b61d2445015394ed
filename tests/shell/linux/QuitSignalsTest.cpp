#include "shell/linux/QuitSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>

namespace reradav {
namespace {

volatile std::sig_atomic_t before = 0;  // signals the handler from before the object saw

// Many signals, also one during the save, make one orderly quit; the handlers from before are
// back afterwards.
TEST(QuitSignals, ManySignalsMakeOneQuitAndTheOldHandlersComeBack) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(signal, [](int) { before = before + 1; });
    }
    int quits = 0;
    {
        QuitSignals quit([&] {
            ++quits;
            std::raise(SIGINT);  // a second Ctrl+C while the settings are saved
        });
        ASSERT_TRUE(quit.Installed());
        std::raise(SIGTERM);
        std::raise(SIGHUP);
        while (quits == 0) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        QCoreApplication::processEvents();  // delivers the signal raised during the quit
        EXPECT_EQ(quits, 1);
        EXPECT_EQ(before, 0);
    }
    std::raise(SIGHUP);
    EXPECT_EQ(before, 1);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(signal, SIG_DFL);
    }
}

}  // namespace
}  // namespace reradav
