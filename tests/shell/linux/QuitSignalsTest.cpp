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
    const int all[] = {SIGTERM, SIGINT, SIGHUP};
    for (const int signal : all) {
        std::signal(signal, [](int) { before = before + 1; });
    }
    int quits = 0;
    {
        QuitSignals quit([&] {
            ++quits;
            std::raise(SIGINT);  // a second Ctrl+C while the settings are saved
        });
        ASSERT_TRUE(quit.Installed());
        std::raise(SIGTERM), std::raise(SIGHUP);
        while (quits == 0) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        QCoreApplication::processEvents();  // delivers the signal raised during the quit
        EXPECT_EQ(std::pair(quits, static_cast<int>(before)), std::pair(1, 0));
    }
    for (const int signal : all) {
        std::raise(signal);
        std::signal(signal, SIG_DFL);
    }
    EXPECT_EQ(before, 3);
}

}  // namespace
}  // namespace reradav
